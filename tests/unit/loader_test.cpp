#include <gtest/gtest.h>

#include "definitions/catalog.h"
#include "definitions/loader.h"
#include "definitions/xml_parser.h"
#include "support/built_definitions.h"
#include "support/test_files.h"

using namespace lxniccfg;
using testing_support::TempDir;

using testing_support::Built;
using testing_support::N;

TEST(BuildDefinitions, BuildsPanelsPropertiesAndIndex) {
    Built b(R"(<r><nic type="A"><panel name="settings"><panelitem>X</panelitem></panel>
              <property id="X" linkid="5"/></nic></r>)");
    ASSERT_NE(b.catalog.slot(0), nullptr);
    EXPECT_EQ(b.catalog.slot(1), nullptr);
    const NicDefinition &d = b.at(0);
    EXPECT_EQ(d.type.narrowText(), "A");
    const Panel *settings = d.panel(PanelSlot::Settings);
    ASSERT_NE(settings, nullptr);
    ASSERT_EQ(settings->items.count(), 1);
    EXPECT_EQ(settings->items[0].value.narrowText(), "X");
    EXPECT_EQ(d.properties.count(), 1);
    EXPECT_EQ(FindPropertyIndex(d.index, DualString(u"X")), 0);
}

TEST(BuildDefinitions, DocumentOrderDecidesMembership) {
    Built b(R"(<r>
      <panel name="settings"><panelitem>Orphan</panelitem></panel>
      <nic type="A"/>
      <panel name="advanced"/><panelitem>One</panelitem><panelitem>Two</panelitem>
      <panel name="advanced"><panelitem>Three</panelitem></panel>
      <panel name="Settings"><panelitem>Capital</panelitem></panel>
      <property id="X" linkid="1"/><unknown id="Y" linkid="2"/>
      <property/>
      <enumeration id="X"><enumitem enumid="1"/><enumitem enumvalue="On"/></enumeration>
      <sourceproperty name="Lonely" value="1"/>
      <sourceproperty name="X" value="1" id="Z"><linkproperty name="Y" range="1-2" default="1"/></sourceproperty>
      <nic type="B" derived="Later"/>
      <nic type="Later"/>
    </r>)");
    const NicDefinition &a = b.at(0);
    EXPECT_EQ(a.panel(PanelSlot::Settings), nullptr);  // "Settings" is not the slot's name
    const Panel *advanced = a.panel(PanelSlot::Advanced);
    ASSERT_NE(advanced, nullptr);
    ASSERT_EQ(advanced->items.count(), 1);  // the second panel of the name wins
    EXPECT_EQ(advanced->items[0].value.narrowText(), "Three");
    EXPECT_EQ(a.properties.count(), 2);  // the unknown element counts as one more property
    EXPECT_EQ(FindPropertyIndex(a.index, N("Y")), 1);
    ASSERT_EQ(a.enumerations().size(), 1u);
    EXPECT_EQ(a.enumerations()[0].id.narrowText(), "X");  // an id on a rule element does not touch it
    ASSERT_EQ(a.enumerations()[0].items.count(), 1);
    EXPECT_EQ(a.enumerations()[0].items[0].enumid.narrowText(), "1");  // carried into the next item
    EXPECT_EQ(a.enumerations()[0].items[0].enumvalue.narrowText(), "On");
    ASSERT_EQ(a.sources.count(), 1);  // a source without links is dropped
    EXPECT_EQ(a.sources[0].name.narrowText(), "X");
    EXPECT_EQ(a.sources[0].links.count(), 1);
    EXPECT_EQ(b.at(1).base, nullptr);  // derived names a later definition
}

TEST(BuildDefinitions, CatalogHoldsAtMost128Definitions) {
    std::string xml = "<r>";
    for (int i = 0; i < 130; ++i) xml += "<nic type='T" + std::to_string(i) + "'/>";
    Built b(xml + "</r>");
    EXPECT_EQ(b.at(127).type.narrowText(), "T127");
    EXPECT_EQ(b.catalog.find(N("T128")), nullptr);
}

TEST(CheckLinks, JudgesEachRootDefinition) {
    struct Case { const char *what; const char *body; int result; };
    const Case cases[] = {
        {"consistent", R"(<property id="S" linkid="1" dependency="2"/><property id="T" linkid="2" dependency="1"/>
           <sourceproperty name="S" value="1"><linkproperty name="T"/></sourceproperty>)", 0},
        {"target that no link names", R"(<property id="T" linkid="2" dependency="1"/>)", 1},
        {"source that no rule names", R"(<property id="S" linkid="2" dependency="2"/>)", 1},
        {"rule source without the source bit", R"(<property id="S" linkid="1"/><property id="T" linkid="2" dependency="1"/>
           <sourceproperty name="S" value="1"><linkproperty name="T"/></sourceproperty>)", 1},
        {"link to a property without linkid", R"(<property id="S" linkid="1" dependency="2"/><property id="T" dependency="1"/>
           <sourceproperty name="S" value="1"><linkproperty name="T"/></sourceproperty>)", 1},
        {"link to an unknown property", R"(<property id="S" linkid="1" dependency="2"/>
           <sourceproperty name="S" value="1"><linkproperty name="U"/></sourceproperty>)", 1},
        {"both bits on one property", R"(<property id="S" linkid="1" dependency="3"/>
           <sourceproperty name="S" value="1"><linkproperty name="S"/></sourceproperty>)", 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Built b(std::string("<r><nic type='A'>") + c.body + "</nic></r>");
        EXPECT_EQ(CheckLinks(b.at(0)), c.result);
    }
    // A derived definition is judged by its root, not by its own properties.
    Built b(R"(<r><nic type="A"/><nic type="B" derived="A"><property id="T" linkid="2" dependency="1"/></nic>
               <nic type="C"><property id="T" linkid="2" dependency="1"/></nic><nic type="D" derived="C"/></r>)");
    EXPECT_EQ(CheckLinks(b.at(1)), 0);
    EXPECT_EQ(CheckLinks(b.at(3)), 1);
}

TEST(MakeFileUrl, EncodesEveryByteOutsideTheUnreservedSet) {
#ifdef _WIN32
    EXPECT_EQ(MakeFileUrl("C:\\a b\\%#\\\xc3\xa9-_.~x.xml"), "file:///C%3A/a%20b/%25%23/%C3%A9-_.~x.xml");
#else
    EXPECT_EQ(MakeFileUrl("/a b/%#/\xc3\xa9-_.~x.xml"), "file:///a%20b/%25%23/%C3%A9-_.~x.xml");
#endif
    EXPECT_EQ(MakeFileUrl("rel.xml").rfind("file:///", 0), 0u);
}
