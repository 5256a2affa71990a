// Loading a file builds each element as the parser reports it; building from
// the element list of the same file must give the very same definitions.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "definitions/catalog.h"
#include "definitions/loader.h"
#include "definitions/xml_parser.h"
#include "support/same_definitions.h"
#include "support/test_files.h"

using namespace lxniccfg;

namespace {

// The definitions of a file built while it is parsed and built from its
// element list; "" when they are the same.
std::string BothWays(const std::string &path, DefinitionsCatalog &direct) {
    XmlLibrarySession session;
    DefinitionsBuilder builder(direct);
    platform::InputFile file;
    EXPECT_TRUE(file.open(path));
    builder.parseFile(file, path, ByteObserver());
    builder.end();
    DefinitionsCatalog listed;
    ElementList elements;
    ParseXmlFile(path, path, elements);
    BuildDefinitions(elements, listed);
    return testing_support::DefinitionsDifference(direct, listed);
}

}  // namespace

TEST(DefinitionsReader, BuildsWhatTheElementListBuilds) {
    struct Case {
        std::string prolog;  // before the root element
        std::string body;
    };
    const std::vector<Case> cases = {
        // Membership by document order, unknown elements, orphans, carried enum items.
        {"", R"(<panel name="settings"><panelitem>Orphan</panelitem></panel>
           <nic type="A"/>
           <panel name="advanced"/><panelitem>One</panelitem><panelitem>Two</panelitem>
           <panel name="advanced"><panelitem>Three</panelitem></panel>
           <property id="X" linkid="1"/><unknown id="Y" linkid="2"/><property/><other/>
           <enumeration id="X"><enumitem enumid="carried over"/><enumitem enumvalue="Switched on"/>
             <enumitem enumvalue="Switched off" enumid="left for the next"/><bogus enumvalue="Bogus item"/></enumeration>
           <sourceproperty name="Lonely" value="1"/>
           <sourceproperty name="X" value="1" id="Z"><linkproperty name="Y" range="1-2" default="1"/>
             <linkproperty name="X" default=""/></sourceproperty>
           <nic type="B" derived="A"/><nic derived="Later" type="C"/><nic type="Later"/>)"},
        // The text of a panel item: the first run before the next start tag only.
        {"", R"(<nic type="T"><panel name="advanced">
           <panelitem>a&amp;b</panelitem><panelitem>
             </panelitem><panelitem/><panelitem></panelitem>after
           <panelitem><x/>inner</panelitem><panelitem><![CDATA[<cd>]]></panelitem>
           <panelitem at="1" b="">v&#x263A;w</panelitem><other c="2">not kept</other>
           <panelitem>D&#233;lai d'&#xB5;s tr&#232;s long</panelitem></panel>
           <panel name="settings">text of a panel</panel></nic>)"},
        // Every property attribute, flags read strictly, texts at the 15-byte edge.
        {"", R"(<nic type="P"><property id="P1" linkid="7" enum="e" range="0-4096" default="abcdefghijklmno"
             displayname="abcdefghijklmnop" controltype="spin" step="1" dependency="3" hint="D&#233;lai"
             teamproperty="" lowest="0" rangetype="range" hide="true" compound="true" splevel="12abc"
             vbdrestart="1" Id="ignored" hint2="x" i="y" identifier="z"/>
           <property id="P2" hide="TRUE" compound="yes" vbdrestart="true" splevel="99999999999"/>
           <property id="P3" linkid="-1" vbdrestart="0" default="" é="accent"/>
           <property id="P1" linkid="8" displayname="second of the same id"/></nic>)"},
        // Names with a prefix are not the attribute of their local part;
        // attributes a DTD gives a default come after the written ones.
        {R"(<!DOCTYPE definitions [<!ATTLIST property hint CDATA "from the DTD" x:step CDATA "9">
           <!ATTLIST nic p:type CDATA "prefixed">]>)",
         R"(<nic type="N"><property id="Q1" x:id="prefixed" linkid="3" x:hint="prefixed"/>
           <property id="Q2" hint="written" step="2"/><enumeration x:id="E"><enumitem enumid="1" x:enumvalue="v"/>
           <enumitem x:enumid="2" enumvalue="w"/></enumeration></nic>)"},
    };
    testing_support::TempDir dir;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(i);
        const std::string path = dir.write(
            "d" + std::to_string(i) + ".xml",
            cases[i].prolog + testing_support::WildcardDefinitions(cases[i].body + "</definitions>"));
        DefinitionsCatalog direct;
        EXPECT_EQ(BothWays(path, direct), "");
        EXPECT_NE(direct.slot(0), nullptr);
    }
}

TEST(DefinitionsReader, BuildsTheShippedDefinitionsAsTheElementListDoes) {
    const char *source = std::getenv("LXNICCFG_SOURCE_DIR");
    ASSERT_NE(source, nullptr);
    DefinitionsCatalog direct;
    EXPECT_EQ(BothWays(std::string(source) + "/definitions/lxnicdefs.xml", direct), "");
    EXPECT_NE(direct.slot(1), nullptr);
}
