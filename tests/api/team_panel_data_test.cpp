// GetTeamPanelData and UpdateTeamPanelData through the C interface, against
// the test double, with teams and members held as a front end holds them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "lxniccfg.h"
#include "support/nicif_double.h"
#include "support/records.h"
#include "support/test_files.h"

using nicif_double::Nic;
using testing_support::EntryList;
using testing_support::EntrySpec;
using testing_support::FreeEntries;
using testing_support::FreeNicList;
using testing_support::Ids;
using testing_support::Str;
using testing_support::TempDir;
using testing_support::Text;
using testing_support::W;
using testing_support::WildcardDefinitions;
using Calls = std::vector<std::string>;
using Texts = std::vector<std::string>;

namespace {

constexpr uint64_t kTeam = 30;
constexpr uint64_t kVlan = 40;
PanelEntry *const kUntouched = reinterpret_cast<PanelEntry *>(0x1);

// "Mode" (link 10) is enumerated with the default "Smart"; "Name" (11) and
// "VlanId" (20) are plain; "Fixed" is not held by the library. The advanced properties combine their members' entries:
// "Speed" (30) as a list, "Mtu" (31) as numeric_low, "Wol" (32) as binary;
// "Flow" (33) and "Jumbo" (34) are lists that only some or no members have.
// "BaseOnly" lives in the base definition, which team reads do not consult.
const char *kTeamProperties = R"(
  <property id="Mode" linkid="10" enum="1" default="Smart" displayname="Teaming Mode"/>
  <property id="Name" linkid="11"/>
  <property id="Fixed" linkid="-1" default="fixed value"/>
  <property id="VlanId" linkid="20"/>
  <property id="Speed" linkid="30" rangetype="list" range="1|2|3|4" default="4" lowest="1"/>
  <property id="Mtu" linkid="31" rangetype="numeric_low" range="0-9999" default="1500" lowest="500"/>
  <property id="Wol" linkid="32" rangetype="binary" range="On|Off" default="On" lowest="Off"/>
  <property id="Flow" linkid="33" rangetype="list" range="1|2" default="2" lowest="1"/>
  <property id="Jumbo" linkid="34" rangetype="list" range="1|2" default="2"/>
  <enumeration id="Mode">
    <enumitem enumid="0" enumvalue="Smart"/>
    <enumitem enumid="1" enumvalue="Failover"/>
  </enumeration>
)";

std::string Panel(const std::string &name, const std::vector<std::string> &items) {
    std::string text = "<panel name=\"" + name + "\">";
    for (const std::string &item : items) text += "<panelitem>" + item + "</panelitem>";
    return text + "</panel>";
}

const std::string kAdvanced = Panel("TeamAdvanced", {"Speed", "Mtu", "Wol", "Flow", "Jumbo"});

// Members' "Speed", "Mtu" and "Wol" entries as a front end keeps them in
// advancedList (their selectedValue is what the user chose).
std::vector<EntrySpec> Member1() {
    return {{.id = "Speed", .selectedValue = "3", .range = "1|2|3", .rangeType = "list"},
            {.id = "Mtu", .selectedValue = "1500", .range = "100-9000", .rangeType = "numeric_low"},
            {.id = "Wol", .selectedValue = "On", .range = "On|Off", .defaultValue = "Off",
             .lowest = "Off", .rangeType = "binary"},
            {.id = "Flow", .selectedValue = "1", .range = "1|2", .rangeType = "list"}};
}
std::vector<EntrySpec> Member2() {
    return {{.id = "Speed", .selectedValue = "2", .range = "2|3", .rangeType = "list"},
            {.id = "Mtu", .selectedValue = "1000", .range = "200-4000", .rangeType = "numeric_low"},
            {.id = "Wol", .selectedValue = "On", .range = "On|Off", .defaultValue = "Off",
             .lowest = "Off", .rangeType = "binary"}};
}

// A team and its member adapters as a front end holds them.
class Team {
public:
    explicit Team(const std::vector<std::vector<EntrySpec>> &members, uint8_t isNew = 0) {
        team_ = static_cast<TeamEntry *>(std::calloc(1, sizeof(TeamEntry)));
        team_->handle = kTeam;
        team_->definitionType = Text("TEAM");
        team_->isNew = isNew;
        TeamMemberLink **link = &team_->members;
        AdapterEntry **adapter = &adapters_;
        uint64_t handle = 1;
        for (const auto &advanced : members) {
            *link = static_cast<TeamMemberLink *>(std::calloc(1, sizeof(TeamMemberLink)));
            *adapter = static_cast<AdapterEntry *>(std::calloc(1, sizeof(AdapterEntry)));
            (*adapter)->handle = handle++;
            (*adapter)->definitionType = Text("ADP");
            (*adapter)->advancedList = EntryList(advanced);
            (*link)->adapter = *adapter;
            (*link)->adapterHandle = (*adapter)->handle;
            link = &(*link)->next;
            adapter = &(*adapter)->next;
        }
    }
    ~Team() { FreeNicList(team_, adapters_); }
    TeamEntry *get() const { return team_; }
    AdapterEntry *adapters() const { return adapters_; }

private:
    TeamEntry *team_ = nullptr;
    AdapterEntry *adapters_ = nullptr;
};

class TeamPanelData : public ::testing::Test {
protected:
    void SetUp() override { Nic().reset(); }
    void TearDown() override {
        Release();
        CloseXml(0);
    }

    void Load(const std::string &panels, const std::string &properties = kTeamProperties) {
        std::string body =
            R"(<nic type="ADP"><property id="Speed" linkid="2"/></nic>)"
            R"(<nic type="TEAMBASE"><property id="BaseOnly" linkid="9"/></nic>)"
            R"(<nic type="TEAM" derived="TEAMBASE">)" +
            properties + panels + "</nic></definitions>";
        std::string path = dir_.write("defs.xml", WildcardDefinitions(body));
        CloseXml(0);  // InitXml loads only what it is given after a close
        ASSERT_EQ(InitXml(W(path).c_str()), 0u);
        Nic().clearCalls();
    }

    uint32_t Get(void *record, const std::string &panel) {
        Release();
        return GetTeamPanelData(record, W(panel).c_str(), &list_);
    }
    void Release() {
        if (list_ != kUntouched) FreeEntries(list_);
        list_ = kUntouched;
    }
    PanelEntry *list() const { return list_ == kUntouched ? nullptr : list_; }
    Texts Field(lx_wchar *PanelEntry::*field) const {
        Texts v;
        for (PanelEntry *e = list(); e; e = e->next) v.push_back(Str(e->*field));
        return v;
    }
    PanelEntry &At(std::size_t n) const {
        PanelEntry *e = list();
        while (n--) e = e->next;
        return *e;
    }

    TempDir dir_;
    PanelEntry *list_ = kUntouched;
};

TEST_F(TeamPanelData, GeneralPanelsReadTheTeamsValues) {
    Load(Panel("TeamSettings", {"Mode", "Name", "Fixed"}));
    Team team({});
    Nic().value("NicIfGetTeamProperty", kTeam, 10, u"1");
    Nic().value("NicIfGetTeamProperty", kTeam, 11, u"team0", /*mustFree=*/false);
    ASSERT_EQ(Get(team.get(), "TeamSettings"), 0u);
    EXPECT_EQ(Nic().calls(),
              (Calls{"NicIfGetTeamProperty(30, 10)", "NicIfGetTeamProperty(30, 11)"}));
    EXPECT_EQ(Ids(list_), (Texts{"Mode", "Name", "Fixed"}));
    EXPECT_EQ(Field(&PanelEntry::value), (Texts{"Failover", "team0", "fixed value"}));
    EXPECT_EQ(Str(At(0).displayName), "Teaming Mode");
    EXPECT_EQ(Field(&PanelEntry::derivedValue), (Texts(3, "(null)")));
}

TEST_F(TeamPanelData, ResultsOfTheGeneralAndInformationReaders) {
    struct Case {
        const char *name, *panel;
        std::vector<std::string> items;
        std::vector<std::pair<uint32_t, uint32_t>> answers;  // link id, code
        uint32_t result;
        Texts ids;
    };
    const std::vector<Case> cases = {
        {"unheld properties alone read nothing", "TeamSettings", {"Fixed"}, {}, 100, {"Fixed"}},
        {"an undefined property, the others delivered", "TeamSettings", {"Name", "Nope", "VlanId"},
         {{11, 0}, {20, 0}}, 100, {"Name", "VlanId"}},
        {"the base definition is not consulted", "TeamSettings", {"BaseOnly", "Name"}, {{11, 0}}, 100,
         {"Name"}},
        {"the later of two failures wins", "TeamStatistics", {"Name", "VlanId"}, {{11, 6}, {20, 3}},
         20 * 65536 + 3, {"Name", "VlanId"}},
        {"unsupported properties disappear", "TeamSettings", {"Name", "VlanId"}, {{11, 1}, {20, 0}},
         0, {"VlanId"}},
        {"an empty general panel", "TeamSettings", {}, {}, 100, {}},
        {"only unsupported properties", "TeamSettings", {"Name"}, {{11, 1}}, 0, {}},
        {"an empty information panel", "TeamInfo", {}, {}, 104, {}},
        {"an information panel left empty", "TeamInfo", {"Name", "Nope"}, {{11, 1}}, 104, {}},
        {"an information panel with a failure", "TeamInfo", {"Name", "VlanId"}, {{11, 0}, {20, 9}},
         20 * 65536 + 9, {"Name", "VlanId"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Nic().reset();
        Load(Panel(c.panel, c.items));
        for (auto [link, code] : c.answers)
            Nic().valueWithCode("NicIfGetTeamProperty", kTeam, link, code, u"v");
        Team team({});
        EXPECT_EQ(Get(team.get(), c.panel), c.result);
        EXPECT_EQ(Ids(list()), c.ids);
        if (c.ids.empty()) {
            EXPECT_EQ(list_, kUntouched);
        }
    }
}

TEST_F(TeamPanelData, ATeamNotCreatedYetShowsDefaultsAndDerivesFromItsMembers) {
    Load(Panel("TeamSettings", {"Mode", "Name", "Fixed"}) + kAdvanced);
    Team team({Member1(), Member2()}, /*isNew=*/1);
    ASSERT_EQ(Get(team.get(), "TeamSettings"), 0u);
    EXPECT_EQ(Field(&PanelEntry::value), (Texts{"Smart", "(null)", "fixed value"}));

    ASSERT_EQ(Get(team.get(), "TeamAdvanced"), 0u);
    EXPECT_TRUE(Nic().calls().empty());
    EXPECT_EQ(Field(&PanelEntry::value), Texts(5, "(null)"));
    EXPECT_EQ(Field(&PanelEntry::derivedValue), (Texts{"2", "1000", "On", "1", "(null)"}));
    EXPECT_EQ(At(4).noMemberValue, 1);

    // The information panel does not look at isNew.
    Load(Panel("TeamInfo", {"Name"}));
    Nic().value("NicIfGetTeamProperty", kTeam, 11, u"team0");
    EXPECT_EQ(Get(team.get(), "TeamInfo"), 0u);
    EXPECT_EQ(Field(&PanelEntry::value), Texts{"team0"});
}

TEST_F(TeamPanelData, TeamAdvancedDerivesFromTheMembersEntries) {
    Load(kAdvanced);
    Team team({Member1(), Member2()});
    Nic().value("NicIfGetTeamProperty", kTeam, 30, u"3");
    Nic().value("NicIfGetTeamProperty", kTeam, 31, u"1500");
    Nic().valueWithCode("NicIfGetTeamProperty", kTeam, 32, 1, std::nullopt);  // stays, no value
    Nic().value("NicIfGetTeamProperty", kTeam, 33, u"1");
    Nic().valueWithCode("NicIfGetTeamProperty", kTeam, 34, 5, std::nullopt);
    ASSERT_EQ(Get(team.get(), "TeamAdvanced"), 34u * 65536 + 5);
    EXPECT_EQ(Nic().calls("NicIfGetTeamProperty").size(), 5u);
    EXPECT_EQ(Ids(list_), (Texts{"Speed", "Mtu", "Wol", "Flow", "Jumbo"}));
    EXPECT_EQ(Field(&PanelEntry::value), (Texts{"3", "1500", "(null)", "1", "(null)"}));

    // list: the choices both members offer; numeric_low: the common range
    // and the smaller value; binary: both members off their lowest.
    EXPECT_EQ(Field(&PanelEntry::range), (Texts{"2|3", "200-4000", "On|Off", "1|2", "1|2"}));
    EXPECT_EQ(Field(&PanelEntry::defaultValue), (Texts{"2", "1500", "Off", "2", "2"}));
    EXPECT_EQ(Field(&PanelEntry::derivedValue), (Texts{"2", "1000", "On", "1", "(null)"}));
    // Flow: one member lacks it, so the team shows its lowest; Jumbo: no
    // member has it.
    std::vector<std::pair<int, int>> flags;
    for (PanelEntry *e = list_; e; e = e->next) flags.push_back({e->derivationBlocked, e->noMemberValue});
    EXPECT_EQ(flags, (std::vector<std::pair<int, int>>{{0, 0}, {0, 0}, {0, 0}, {1, 0}, {1, 1}}));
}

TEST_F(TeamPanelData, TeamAdvancedStopsAtAnUndefinedPropertyAndAnEmptyPanelIs104) {
    Load(Panel("TeamAdvanced", {"Speed", "BaseOnly", "Mtu"}));
    Team team({Member1()});
    Nic().value("NicIfGetTeamProperty", kTeam, 30, u"3");
    EXPECT_EQ(Get(team.get(), "TeamAdvanced"), 100u);
    EXPECT_EQ(list_, kUntouched);

    Load(Panel("TeamAdvanced", {}));
    EXPECT_EQ(Get(team.get(), "TeamAdvanced"), 104u);
    EXPECT_EQ(list_, kUntouched);
}

TEST_F(TeamPanelData, AnEnumeratedValueOutsideTheEnumerationIsResetToTheDefault) {
    Load(Panel("TeamSettings", {"Name", "Mode"}));
    Team team({});
    Nic().value("NicIfGetTeamProperty", kTeam, 11, u"team0");
    Nic().value("NicIfGetTeamProperty", kTeam, 10, u"9", /*mustFree=*/false);
    Nic().respond("NicIfSetTeamProperty", 7);  // a notice counts as written
    EXPECT_EQ(Get(team.get(), "TeamSettings"), 0u);
    EXPECT_EQ(Nic().calls(), (Calls{"NicIfGetTeamProperty(30, 11)", "NicIfGetTeamProperty(30, 10)",
                                    "NicIfSetTeamProperty(30, 10, \"0\", 4)"}));
    EXPECT_EQ(Field(&PanelEntry::value), (Texts{"team0", "Smart"}));
}

TEST_F(TeamPanelData, AnUntranslatableValueEndsEveryReaderWithNothingDelivered) {
    const std::string noDefault =
        R"(<property id="Name" linkid="11"/><property id="Mode" linkid="10" enum="1"/>
           <enumeration id="Mode"><enumitem enumid="0" enumvalue="Smart"/></enumeration>)";
    struct Case {
        const char *name, *panel;
        std::string properties;
        uint32_t writeAnswer;
        Calls writes;
    };
    const std::vector<Case> cases = {
        {"general, the default cannot be written", "TeamSettings", kTeamProperties, 3,
         {"NicIfSetTeamProperty(30, 10, \"0\", 4)"}},
        {"information, no default", "TeamInfo", noDefault, 0, {}},
        {"derived, the default cannot be written", "TeamAdvanced", kTeamProperties, 2,
         {"NicIfSetTeamProperty(30, 10, \"0\", 4)"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Nic().reset();
        Load(Panel(c.panel, {"Name", "Mode", "Name"}), c.properties);
        Team team({Member1()});
        Nic().value("NicIfGetTeamProperty", kTeam, 11, u"team0");
        Nic().value("NicIfGetTeamProperty", kTeam, 10, u"9");
        Nic().respond("NicIfSetTeamProperty", c.writeAnswer);
        EXPECT_EQ(Get(team.get(), c.panel), 100u);
        EXPECT_EQ(list_, kUntouched);
        EXPECT_EQ(Nic().calls("NicIfSetTeamProperty"), c.writes);
        // The read stopped at the enumerated item.
        EXPECT_EQ(Nic().calls("NicIfGetTeamProperty").size(), 2u);
    }
}

TEST_F(TeamPanelData, VlanPanelsUseTheVlanReadAndTheTeamDefinition) {
    Load(Panel("VlanInfo", {"VlanId", "Mode"}) + Panel("TeamSettings", {"VlanId"}));
    VlanEntry vlan{};
    vlan.handle = kVlan;  // definitionType stays NULL: "TEAM" is used
    Nic().value("NicIfGetVlanProperty", kVlan, 20, u"12");
    Nic().value("NicIfGetVlanProperty", kVlan, 10, u"7");  // outside the enumeration
    EXPECT_EQ(Get(&vlan, "VlanInfo"), 0u);
    EXPECT_EQ(Field(&PanelEntry::value), (Texts{"12", "Smart"}));
    // The default goes back to the VLAN the value came from.
    EXPECT_EQ(Nic().calls(), (Calls{"NicIfGetVlanProperty(40, 20)", "NicIfGetVlanProperty(40, 10)",
                                    "NicIfSetVlanProperty(40, 10, \"0\", 4)"}));

    Nic().clearCalls();
    Nic().value("NicIfGetTeamProperty", kVlan, 20, u"t");
    EXPECT_EQ(Get(&vlan, "TeamSettings"), 0u);
    EXPECT_EQ(Nic().calls(), Calls{"NicIfGetTeamProperty(40, 20)"});

    // A VLAN still to be created reads the defaults.
    vlan.isNew = 1;
    Nic().clearCalls();
    EXPECT_EQ(Get(&vlan, "VlanInfo"), 0u);
    EXPECT_EQ(Field(&PanelEntry::value), (Texts{"(null)", "Smart"}));
    EXPECT_TRUE(Nic().calls().empty());
}

TEST_F(TeamPanelData, EveryTeamPanelNameReachesItsPanelWithItsRead) {
    struct Name {
        std::string request, file;
        const char *read;  // the library read that serves it
    };
    const std::vector<Name> names = {
        {"TeamingControls", "TeamingControls", "Team"}, {"TeamSettings", "TeamSettings", "Team"},
        {"AdvancedRedundancy", "AdvancedRedundancy", "Team"}, {"DiscProtocols", "DiscProtocols", "Team"},
        {"TeamInfo", "TeamInfo", "Team"}, {"TeamConnectionInfo", "TeamConnectionInfo", "Team"},
        {"TeamConnectionStats", "TeamConnectionStats", "Team"},
        {"TeamStatistics", "TeamStatistics", "Team"}, {"Vlan", "Vlan", "Vlan"},
        {"VlanInfo", "VlanInfo", "Vlan"}, {"VlanConnectionInfo", "VlanConnectionInfo", "Vlan"},
        {"VlanConnectionStats", "VlanConnectionStats", "Vlan"},
        {"VlanStatistics", "VlanStatistics", "Vlan"}, {"TeamInfo1", "TeamInfo1", "Team"},
        {"TeamInfo2", "TeamInfo2", "Team"}, {"TeamInfo3", "TeamInfo3", "Team"},
        {"TeamStatus1", "TeamStatus1", "Team"}, {"TeamStatus2", "TeamStatus2", "Team"},
        {"TeamStatus3", "TeamStatus3", "Team"}, {"TeamUtilization", "TeamUtilization", "Team"},
        {"RegistryValues", "RegistryValues", "Team"},
        {"VlanRegistryValues", "VlanRegistryValues", "Vlan"}, {"TaskOffload", "TaskOffload", "Team"},
        {"ToeTaskOffload", "ToeTaskOffload", "Team"}, {"RSSTaskOffload", "RssTaskOffload", "Team"},
        {"TeamRxStats", "TeamRxStats", "Team"}, {"TeamTxStats", "TeamTxStats", "Team"},
        {"TeamToeStatistics", "TeamToeStatistics", "Team"},
    };
    // Each panel shows a property of its own, so a mix-up shows.
    std::string properties, panels;
    for (std::size_t i = 0; i < names.size(); ++i) {
        properties += "<property id=\"P" + std::to_string(i) + "\" linkid=\"" +
                      std::to_string(100 + i) + "\"/>";
        panels += Panel(names[i].file, {"P" + std::to_string(i)});
    }
    Load(panels, properties);
    Team team({});
    for (std::size_t i = 0; i < names.size(); ++i) {
        SCOPED_TRACE(names[i].request);
        Nic().clearCalls();
        Nic().value(std::string("NicIfGet") + names[i].read + "Property", kTeam,
                    static_cast<uint32_t>(100 + i), W(names[i].request));
        EXPECT_EQ(Get(team.get(), names[i].request), 0u);
        EXPECT_EQ(Field(&PanelEntry::value), Texts{names[i].request});
        EXPECT_EQ(Nic().calls().size(), 1u);
    }
}

TEST_F(TeamPanelData, UnknownDefinitionsPanelsAndArgumentsGive100) {
    Load(Panel("TeamSettings", {"Name"}) + Panel("RSSTaskOffload", {"Name"}) +
         Panel("settings", {"Name"}));
    Team team({});
    for (const char *name : {"teamsettings", "Settings", "RssTaskOffload", "TeamInfo", ""}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(Get(team.get(), name), 100u);
        EXPECT_EQ(list_, kUntouched);
    }
    std::free(team.get()->definitionType);
    team.get()->definitionType = Text("OTHER");
    EXPECT_EQ(Get(team.get(), "TeamSettings"), 100u);
    EXPECT_EQ(GetTeamPanelData(nullptr, u"TeamSettings", &list_), 100u);
    EXPECT_EQ(GetTeamPanelData(team.get(), nullptr, &list_), 100u);
    EXPECT_EQ(GetTeamPanelData(team.get(), u"TeamSettings", nullptr), 100u);
    EXPECT_EQ(UpdateTeamPanelData(nullptr, u"TeamAdvanced", nullptr), 100u);
    EXPECT_EQ(UpdateTeamPanelData(team.get(), nullptr, nullptr), 100u);
    EXPECT_EQ(list_, kUntouched);
    EXPECT_TRUE(Nic().calls().empty());

    CloseXml(0);  // nothing loaded
    VlanEntry vlan{};
    EXPECT_EQ(Get(&vlan, "TeamSettings"), 100u);
    EXPECT_EQ(UpdateTeamPanelData(&vlan, u"TeamAdvanced", nullptr), 100u);
    EXPECT_EQ(list_, kUntouched);
    EXPECT_EQ(Nic().calls(), Calls{"NicIfClose(0)"});
}

TEST_F(TeamPanelData, UpdateRefreshesTheDerivedTextsOfTheCallersList) {
    Load(kAdvanced + Panel("TeamSettings", {"Speed"}));
    Team team({Member1(), Member2()});
    Nic().value("NicIfGetTeamProperty", kTeam, 30, u"3");
    ASSERT_EQ(Get(team.get(), "TeamAdvanced"), 0u);
    PanelEntry *held = list_;
    // The user edits the team entry and picks other values on the members.
    At(0).selectedValue = Text("3");
    PanelEntry *speed2 = team.adapters()->next->advancedList;
    std::free(speed2->selectedValue);
    speed2->selectedValue = Text("3");
    PanelEntry *mtu1 = team.adapters()->advancedList->next;
    std::free(mtu1->range);
    mtu1->range = Text("300-9000");
    std::free(mtu1->selectedValue);
    mtu1->selectedValue = Text("900");

    Nic().clearCalls();
    EXPECT_EQ(UpdateTeamPanelData(team.get(), u"TeamAdvanced", held), 0u);
    EXPECT_EQ(Nic().calls("NicIfGetTeamProperty").size(), 5u);  // a fresh read
    EXPECT_EQ(Field(&PanelEntry::derivedValue), (Texts{"3", "900", "On", "1", "(null)"}));
    EXPECT_EQ(Field(&PanelEntry::range), (Texts{"2|3", "300-4000", "On|Off", "1|2", "1|2"}));
    EXPECT_EQ(Str(At(0).value), "3");
    EXPECT_EQ(Str(At(0).selectedValue), "3");
    EXPECT_EQ(At(3).derivationBlocked, 1);

    // Other panels are not refreshed.
    EXPECT_EQ(UpdateTeamPanelData(team.get(), u"TeamSettings", held), 100u);
    EXPECT_EQ(Field(&PanelEntry::derivedValue), (Texts{"3", "900", "On", "1", "(null)"}));
}

TEST_F(TeamPanelData, UpdatePairsEntriesById) {
    Load(Panel("TeamAdvanced", {"Speed", "Mtu", "Speed"}));
    Team team({Member1(), Member2()});
    // A list that lost an entry and holds one the panel does not have, in
    // another order; the fresh derivation of Flow does not reach it.
    PanelEntry *held = EntryList({{.id = "Mtu", .range = "old", .derivedValue = "old"},
                                  {.id = "Flow", .range = "keep", .derivedValue = "keep"},
                                  {.id = "Speed", .range = "old", .defaultValue = "old"}});
    held->derivationBlocked = 1;
    EXPECT_EQ(UpdateTeamPanelData(team.get(), u"TeamAdvanced", held), 0u);
    list_ = held;
    EXPECT_EQ(Ids(list_), (Texts{"Mtu", "Flow", "Speed"}));
    EXPECT_EQ(Field(&PanelEntry::range), (Texts{"200-4000", "keep", "2|3"}));
    EXPECT_EQ(Field(&PanelEntry::derivedValue), (Texts{"1000", "keep", "2"}));
    EXPECT_EQ(Field(&PanelEntry::defaultValue), (Texts{"1500", "(null)", "2"}));
    EXPECT_EQ(held->derivationBlocked, 0);

    // An empty list is nothing to refresh; a read that stops changes nothing.
    EXPECT_EQ(UpdateTeamPanelData(team.get(), u"TeamAdvanced", nullptr), 0u);
    Load(Panel("TeamAdvanced", {"Speed", "Nope"}));
    EXPECT_EQ(UpdateTeamPanelData(team.get(), u"TeamAdvanced", held), 100u);
    EXPECT_EQ(Field(&PanelEntry::range), (Texts{"200-4000", "keep", "2|3"}));
}

}  // namespace
