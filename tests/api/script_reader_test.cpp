// ReadXmlScriptFile: the record tree of accepted documents, the message of
// every rule a document can break, and files written by WriteXmlScriptFile
// read back unchanged.
#include <filesystem>

#include "api/script_fixture.h"

using namespace script_test;
using testing_support::EntryList;
using testing_support::Str;

namespace {

// The tree as indented text: one line per record, properties as id=value.
std::string Dump(const ScriptConfig *config) {
    if (!config) return "(no tree)";
    std::string out;
    if (config->version)
        out += "version " + Str(config->version->utilityVersion) + " " +
               Str(config->version->scriptVersion) + "\n";
    auto properties = [&](const ScriptProperty *p, const char *indent) {
        for (; p; p = p->next) out += indent + Str(p->id) + "=" + Str(p->value) + "\n";
    };
    auto vlans = [&](const ScriptVlan *v) {
        for (; v; v = v->next) {
            out += "  vlan\n";
            properties(v->properties, "    ");
        }
    };
    for (const ScriptNic *n = config->nics; n; n = n->next) {
        out += "nic\n";
        properties(n->properties, "  ");
        vlans(n->vlans);
    }
    for (const ScriptTeam *t = config->teams; t; t = t->next) {
        out += "team relnics=" + Str(t->relnics) + "\n";
        properties(t->properties, "  ");
        vlans(t->vlans);
    }
    return out;
}

struct ReadResult {
    uint32_t code;
    std::string tree;
    std::optional<std::string> message;
};

class ScriptReader : public EnvironmentTest {
protected:
    ReadResult readFile(const std::u16string &file) {
        ScriptConfig *config = reinterpret_cast<ScriptConfig *>(1);
        char *message = reinterpret_cast<char *>(1);
        ReadResult result;
        result.code = ReadXmlScriptFile(&config, file.c_str(), &message);
        result.tree = Dump(config);
        if (message) result.message = message;
        testing_support::FreeScriptConfig(config);
        std::free(message);
        return result;
    }
    ReadResult read(const std::string &document) {
        dir.write("in.xml", document);
        return readFile(path("in.xml"));
    }
    std::string inPath() const { return dir.path() + "/in.xml"; }
};

TEST_F(ScriptReader, EmptyTeamingConfigGivesAnEmptyTree) {
    ReadResult r = read("<teamingconfig/>");
    EXPECT_EQ(r.code, 0u);
    EXPECT_EQ(r.tree, "");
    EXPECT_FALSE(r.message);
}

TEST_F(ScriptReader, ElementsBelongToThePrecedingNicTeamOrVlan) {
    ReadResult r = read(
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
        "<teamingconfig>\n"
        "  <!-- comments and text are ignored -->\n"
        "  <version UtilityVersion='1.0' ScriptVersion='3.0'/>\n"
        "  <nic><property id='SpeedDuplex' value='Auto'/></nic>\n"
        "  <property id='AfterNic' value='x'/>\n"
        "  <nic>\n"
        "    <vlan><property id='VlanId' value='10'/></vlan>\n"
        "    <vlan><property value='b&amp;&lt;&gt;&apos;&quot;' id='VlanName'/></vlan>\n"
        "    <property id='AfterVlan' value=''/>\n"
        "  </nic>\n"
        "  <team relnics=' 1  x '><property id='OpMode' value='caf\xE9'/><vlan/></team>\n"
        "  <team relnics=''/>\n"
        "  <version Second='2.0'/>\n"
        "</teamingconfig>\n");
    EXPECT_EQ(r.code, 0u);
    EXPECT_FALSE(r.message);
    // The later version element replaces the first, and a missing value is empty.
    EXPECT_EQ(r.tree,
              "version 2.0 \n"
              "nic\n"
              "  SpeedDuplex=Auto\n"
              "  AfterNic=x\n"
              "nic\n"
              "  vlan\n"
              "    VlanId=10\n"
              "  vlan\n"
              "    VlanName=b&<>'\"\n"
              "    AfterVlan=\n"
              "team relnics= 1  x \n"
              "  OpMode=caf\xC3\xA9\n"
              "  vlan\n"
              "team relnics=\n");
}

TEST_F(ScriptReader, RejectedDocumentsGiveTheFirstRulesMessage) {
    struct Case {
        const char *document;
        const char *message;
    };
    const Case cases[] = {
        {"<config><nic/></config>", "Unexpected XML Element when expecting <teamingconfig> element: <config>"},
        {"<teamingconfig><nic/><settings/></teamingconfig>", "Unexpected or invalid XML Element: <settings>"},
        {"<teamingconfig><property id='a' value='b'/></teamingconfig>",
         "Unexpected or invalid XML Element: <property>"},
        {"<teamingconfig><vlan/></teamingconfig>", "Unexpected or invalid XML Element: <vlan>"},
        {"<teamingconfig><nic/><teamingconfig/></teamingconfig>",
         "Unexpected or invalid XML Element: <teamingconfig>"},
        {"<teamingconfig><team/></teamingconfig>", "One and only one attribute may be specified in <team> element"},
        {"<teamingconfig><team relnics='1' name='t'/></teamingconfig>",
         "One and only one attribute may be specified in <team> element"},
        {"<teamingconfig><team members='1'/></teamingconfig>", "Invalid attribute found in <team> element: members"},
        {"<teamingconfig><nic><property id='a'/></nic></teamingconfig>",
         "Two and only two attributes may be specified in property element"},
        {"<teamingconfig><nic><property id='a' value='b' name='c'/></nic></teamingconfig>",
         "Two and only two attributes may be specified in property element"},
        {"<teamingconfig><nic><property id='a' name='c'/></nic></teamingconfig>",
         "Invalid attribute specified for <property> element: name"},
        {"<teamingconfig><team relnics='1'><vlan><property Id='a' value='b'/></vlan></team></teamingconfig>",
         "Invalid attribute specified for <property> element: Id"},
        // Nested deeper than it belongs: refused, not read as the next NIC or team.
        {"<teamingconfig><nic><property id='a' value='b'/><nic/></nic></teamingconfig>",
         "Unexpected or invalid XML Element: <nic>"},
        {"<teamingconfig><team relnics='1'><team relnics='2'/></team></teamingconfig>",
         "Unexpected or invalid XML Element: <team>"},
        {"<teamingconfig><nic><vlan><vlan/></vlan></nic></teamingconfig>", "Unexpected or invalid XML Element: <vlan>"},
        {"<teamingconfig><nic><property id='a' value='b'><property id='c' value='d'/></property></nic></teamingconfig>",
         "Unexpected or invalid XML Element: <property>"},
        {"<teamingconfig><version UtilityVersion='1' ScriptVersion='3.1'><nic/></version></teamingconfig>",
         "Unexpected or invalid XML Element: <nic>"},
        // A failure after good records releases them too.
        {"<teamingconfig><nic><property id='a' value='b'/></nic><nic><vlan><property/></vlan></nic></teamingconfig>",
         "Two and only two attributes may be specified in property element"},
        // Only the first broken rule is reported; later elements are not read.
        {"<teamingconfig><nic><property id='a'/></nic><team/><settings/></teamingconfig>",
         "Two and only two attributes may be specified in property element"},
    };
    for (const Case &c : cases) {
        ReadResult r = read(c.document);
        EXPECT_EQ(r.code, 100u) << c.document;
        EXPECT_EQ(r.tree, "(no tree)") << c.document;
        EXPECT_EQ(r.message.value_or("(none)"), c.message) << c.document;
    }
}

TEST_F(ScriptReader, ParserErrorsNameTheFileLineAndColumn) {
    struct Case {
        std::string document;
        std::string where;
    };
    const Case cases[] = {
        {"<teamingconfig>\n  <nic", "line 2, char 7"},  // cut off in a tag
        {"<teamingconfig>\n<nic><property id='a' id='b'/></nic></teamingconfig>", "line 2, char 26"},
        {"", "line 1, char 1"},
        // A parse error wins over a rule broken earlier in the document.
        {"<teamingconfig><settings/><nic><property id='a' value='b'/></nic>\n<team relnics='1'></nic>",
         "line 2, char 21"},
        // No external entity is loaded, and expansion is bounded.
        {"<!DOCTYPE t [<!ENTITY e SYSTEM 'file:///etc/hostname'>]>\n"
         "<teamingconfig><nic>&e;</nic></teamingconfig>",
         ""},
    };
    for (const Case &c : cases) {
        ReadResult r = read(c.document);
        EXPECT_EQ(r.code, 100u) << c.document;
        EXPECT_EQ(r.tree, "(no tree)");
        ASSERT_TRUE(r.message) << c.document;
        if (!c.where.empty())
            EXPECT_EQ(*r.message, "Parse Error at " + inPath() + ", " + c.where) << c.document;
        else
            EXPECT_EQ(r.message->rfind("Parse Error at " + inPath() + ", ", 0), 0u) << *r.message;
    }

    std::string laughs = "<!DOCTYPE t [<!ENTITY a 'aaaaaaaaaa'>";
    for (char e = 'b'; e <= 'j'; ++e) {
        laughs += std::string("<!ENTITY ") + e + " '";
        for (int i = 0; i < 10; ++i) laughs += std::string("&") + static_cast<char>(e - 1) + ";";
        laughs += "'>";
    }
    laughs += "]><teamingconfig><nic><property id='a' value='&j;'/></nic></teamingconfig>";
    ReadResult r = read(laughs);
    EXPECT_EQ(r.code, 100u);
    EXPECT_EQ(r.message.value_or("").rfind("Parse Error at " + inPath() + ", ", 0), 0u);
}

TEST_F(ScriptReader, MessagesComeInJapaneseForAJapaneseLocale) {
    SKIP_ON_WINDOWS("the UI language is the process's");
    set("LANG", "ja_JP.UTF-8");
    EXPECT_EQ(read("<config/>").message.value_or("(none)"),
              "<teamingconfig> \xE3\x81\xAE\xE8\xA6\x81\xE7\xB4\xA0: <config>\xE3\x81\xAB\xE4\xBA\x88\xE6\x9C\x9F"
              "\xE3\x81\x97\xE3\x81\xAA\xE3\x81\x84XML\xE8\xA6\x81\xE7\xB4\xA0\xE3\x81\xA7\xE3\x81\x99");
    set("LANG", "C");
    set("LC_MESSAGES", "ja");
    EXPECT_EQ(read("<teamingconfig><team/></teamingconfig>").message.value_or("(none)"),
              "<team>\xE8\xA6\x81\xE7\xB4\xA0\xE4\xB8\xAD\xE3\x81\xAB\xE3\x81\xB2\xE3\x81\xA8\xE3\x81\xA4\xE3\x81\xA8"
              "\xE3\x81\x9F\xE3\x81\xA0\xE3\x81\xB2\xE3\x81\xA8\xE3\x81\xA4\xE3\x81\xAE\xE5\xB1\x9E\xE6\x80\xA7\xE3\x81"
              "\x8C\xE3\x81\x97\xE3\x81\xA6\xE3\x81\x84\xE3\x81\x95\xE3\x82\x8C\xE3\x81\xA6\xE3\x81\x84\xE3\x82\x8B"
              "\xE3\x81\x8B\xE3\x82\x82\xE3\x81\x97\xE3\x82\x8C\xE3\x81\xBE\xE3\x81\x9B\xE3\x82\x93");
}

TEST_F(ScriptReader, LongMessagesAreCutWithoutSplittingACharacter) {
    SKIP_ON_WINDOWS("messages are in the ANSI code page, where this character takes one byte");
    std::string name;
    for (int i = 0; i < 1000; ++i) name += "\xC3\xA9";  // é, two bytes in UTF-8
    ReadResult r = read("<?xml version='1.0' encoding='UTF-8'?><teamingconfig><" + name + "/></teamingconfig>");
    ASSERT_TRUE(r.message);
    // 36 bytes of text, then as many whole characters as fit in 1,023 bytes.
    EXPECT_EQ(r.message->size(), 1022u);
    EXPECT_EQ(*r.message, "Unexpected or invalid XML Element: <" + name.substr(0, 986));
}

TEST_F(ScriptReader, FilesThatCannotBeOpenedAndBadArguments) {
    std::filesystem::create_directory(dir.path() + "/sub");
    for (const std::u16string &file : {path("missing.xml"), path("sub"), std::u16string()}) {
        ReadResult r = readFile(file);
        EXPECT_EQ(r.code, 106u);
        EXPECT_EQ(r.tree, "(no tree)");
        EXPECT_FALSE(r.message);
    }
    ScriptConfig *config = reinterpret_cast<ScriptConfig *>(1);
    char *message = reinterpret_cast<char *>(1);
    EXPECT_EQ(ReadXmlScriptFile(&config, nullptr, &message), 106u);
    EXPECT_EQ(config, nullptr);
    EXPECT_EQ(message, nullptr);
    dir.write("in.xml", "<teamingconfig/>");
    std::u16string file = path("in.xml");
    EXPECT_EQ(ReadXmlScriptFile(nullptr, file.c_str(), &message), 100u);
    EXPECT_EQ(ReadXmlScriptFile(&config, file.c_str(), nullptr), 100u);
    EXPECT_EQ(config, nullptr);
}

TEST_F(ScriptReader, FullFormIsRejectedAtItsFirstSection) {
    Records records;
    records.nic(1);
    std::u16string file = path("full.xml");
    ASSERT_EQ(WriteXmlScriptFile(records.teams, records.nics, file.c_str(), 1, 0), 0u);
    ReadResult r = readFile(file);
    EXPECT_EQ(r.code, 100u);
    EXPECT_EQ(r.message.value_or("(none)"), "Unexpected or invalid XML Element: <settings>");
}

// A configuration with every kind of block and awkward texts, written in the
// short form and read back.
class ScriptRoundTrip : public ScriptReader, public ::testing::WithParamInterface<const char *> {};

TEST_P(ScriptRoundTrip, ShortFormReadsBackIntoTheSameTree) {
    set("LANG", GetParam());
    set("LXNICUI_VERSION", "9.2 'beta' & <x>");
    const std::string awkward = "&<>'\" caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC \xE2\x82\xAC \xF0\x9F\x98\x80 \\~ a\tb\nc";
    Records r;
    AdapterEntry *eth0 = r.nic(1, "eth0");
    eth0->capabilities = 1;
    eth0->settingsList = EntryList({{.id = "SpeedDuplex", .value = awkward},
                                    {.id = "ConfiguredPortCost", .value = "k&1=v<1;k2=" + awkward, .compound = 1},
                                    {.id = "DefaultVlanId", .value = ""}});
    eth0->advancedList = EntryList({{.id = "TOEEnabled", .value = "Enabled"}});
    eth0->iscsiSettingsList = EntryList({{.id = "iSCSIEnabled", .value = "Disabled"}});
    eth0->informationList = EntryList({{.id = "CurrentAddress", .value = "00--11-->"}});
    Append(eth0->vlans, NewVlan(EntryList({{.id = "VlanId", .value = "10"}, {.id = "VlanName", .value = awkward}})));
    Append(eth0->vlans, NewVlan(EntryList({{.id = "VlanId", .value = "11"}})));
    AdapterEntry *eth1 = r.nic(2, "eth1");
    eth1->teamHandle = 5;
    eth1->teamSettingsList = EntryList({{.id = "PreferredPrimaryRanking", .value = "0"}});
    TeamEntry *team = r.team();
    AddMember(team, eth0);
    AddMember(team, eth1);
    team->settingsList = EntryList({{.id = "TeamName", .value = awkward},
                                    {.id = "TeamNetworkAddress", .value = "-- -->"},
                                    {.id = "DefaultVlanId", .value = "3"}});
    team->redundancyList = EntryList({{.id = "RouterPathEnabled", .value = "Enabled"},
                                      {.id = "RouterPathIPAddress", .value = "10.0.0.1"}});
    Append(team->vlans, NewVlan(EntryList({{.id = "VlanName", .value = awkward}})));

    std::u16string file = path("round.xml");
    ASSERT_EQ(WriteXmlScriptFile(r.teams, r.nics, file.c_str(), 0, 1), 0u);
    ReadResult back = readFile(file);
    EXPECT_EQ(back.code, 0u);
    EXPECT_FALSE(back.message);
    EXPECT_EQ(back.tree,
              "version 9.2 'beta' & <x> 3.1\n"
              "nic\n"
              "  SpeedDuplex=" + awkward + "\n"
              "  k&1=v<1\n"
              "  k2=" + awkward + "\n"
              "  NetworkAddress=\n"
              "  DefaultVlanId=\n"
              "  TOEEnabled=Enabled\n"
              "  iSCSIEnabled=Disabled\n"
              "  iSCSIDHCPEnabled=Enabled\n"
              "  iSCSIIPAddress=0.0.0.0\n"
              "  iSCSISubnetMask=0.0.0.0\n"
              "  iSCSIGateway=0.0.0.0\n"
              "  iSCSILAA=\n"
              "  vlan\n"
              "    VlanId=10\n"
              "    VlanName=" + awkward + "\n"
              "  vlan\n"
              "    VlanId=11\n"
              "nic\n"
              "  PreferredPrimaryRanking=0\n"
              "team relnics=1 2\n"
              "  TeamName=" + awkward + "\n"
              "  TeamNetworkAddress=\n"
              "  RouterPathEnabled=Enabled\n"
              "  RouterPathIPAddress=10.0.0.1\n"
              "  DefaultVlanId=3\n"
              "  vlan\n"
              "    VlanName=" + awkward + "\n");
}

INSTANTIATE_TEST_SUITE_P(Encodings, ScriptRoundTrip, ::testing::Values("C", "ja_JP.SJIS"));

}  // namespace
