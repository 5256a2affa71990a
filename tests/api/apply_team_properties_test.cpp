// ApplyTeamPropertyChanges through the C interface: team lists, the team's
// advanced settings with their propagation to member adapters, VLAN lists,
// the registrations they make and the commit pass that ends the call.
#include <gtest/gtest.h>

#include <optional>

#include "api/apply_test_support.h"

using namespace apply_test;
using namespace testing_support;
using nicif_double::Nic;

namespace {

// Speed is enumerated with other raw values for teams than for adapters;
// Local is held by teams but not by adapters (linkid -1).
const char *kDefinitions = R"(
<nic type="BASE">
  <property id="BaseOnly" linkid="9"/>
</nic>
<nic type="ADP" derived="BASE">
  <property id="Speed" linkid="2" enum="1"/>
  <property id="Mtu" linkid="5"/>
  <property id="Local" linkid="-1"/>
  <enumeration id="Speed">
    <enumitem enumid="0" enumvalue="Auto"/>
    <enumitem enumid="1" enumvalue="10 Mbps"/>
  </enumeration>
</nic>
<nic type="TEAM" derived="BASE">
  <property id="TeamMode" linkid="7" enum="1"/>
  <property id="TeamName" linkid="3"/>
  <property id="VlanId" linkid="30"/>
  <property id="VlanName" linkid="31"/>
  <property id="Speed" linkid="2" enum="1"/>
  <property id="Mtu" linkid="5"/>
  <property id="Local" linkid="8"/>
  <enumeration id="TeamMode">
    <enumitem enumid="4" enumvalue="Smart"/>
    <enumitem enumid="6" enumvalue="Fault Tolerance"/>
  </enumeration>
  <enumeration id="Speed">
    <enumitem enumid="A0" enumvalue="Auto"/>
    <enumitem enumid="A1" enumvalue="10 Mbps"/>
  </enumeration>
</nic>
<nic type="TEAM2">
  <property id="TeamName" linkid="33"/>
</nic>
)";

EntrySpec Changed(const char *id, const char *linkId, const char *newValue) {
    return {.id = id, .linkId = linkId, .newValue = newValue, .changed = 1};
}

class ApplyTeamPropertiesTest : public ApplyFixture {
protected:
    ApplyTeamPropertiesTest() : ApplyFixture(kDefinitions) {}

    uint32_t Apply() { return ApplyTeamPropertyChanges(&records_.teams, &records_.adapters); }

    // The property writes of the log, without the commit pass.
    Calls Writes() const {
        Calls out;
        for (const std::string &c : log())
            if (c.rfind("NicIfSet", 0) == 0 && c.rfind("NicIfSetObjectFlags", 0) != 0) out.push_back(c);
        return out;
    }
    // The log after the property writes: the commit pass.
    Calls CommitPart() const {
        Calls out;
        for (const std::string &c : log())
            if (c.rfind("NicIfSetObjectFlags", 0) == 0 || c.rfind("NicIfApplyPass", 0) == 0)
                out.push_back(c);
        return out;
    }
};

TEST_F(ApplyTeamPropertiesTest, WritesTeamListsInOrderThenVlansThenCommits) {
    AdapterEntry *nic = records_.adapter(3111);
    nic->advancedList = EntryList({{.id = "Mtu", .linkId = "5", .value = "1500"}});
    Records::vlan(nic->vlans, 3181)->identificationList = EntryList({Changed("VlanName", "31", "av")});

    TeamEntry *team = records_.team(3101);
    Records::member(team, nic);
    team->controlsList = EntryList({Changed("TeamMode", "7", "Fault Tolerance")});
    team->settingsList = EntryList({Changed("TeamName", "3", "S"), {.id = "TeamName", .linkId = "3", .newValue = "no"}});
    team->redundancyList = EntryList({Changed("TeamName", "3", "R")});
    team->discProtocolList = EntryList({Changed("TeamName", "3", "D")});
    team->advancedList = EntryList({{.id = "Mtu", .linkId = "5", .newValue = "9000", .lowest = "0",
                                     .rangeType = "numeric", .changed = 1}});
    team->informationList1 = EntryList({Changed("TeamName", "3", "never")});
    Records::vlan(team->vlans, 3191)->identificationList = EntryList({Changed("VlanName", "31", "tv")});
    records_.team(3102, "TEAM2")->settingsList = EntryList({Changed("TeamName", "33", "own")});

    EXPECT_EQ(Apply(), 0u);
    const Calls writes = {
        "NicIfSetTeamProperty(3101, 7, \"6\", 4)",
        "NicIfSetTeamProperty(3101, 3, \"S\", 4)",
        "NicIfSetTeamProperty(3101, 3, \"R\", 4)",
        "NicIfSetTeamProperty(3101, 3, \"D\", 4)",
        "NicIfSetTeamProperty(3101, 5, \"9000\", 10)",
        "NicIfSetAdapterProperty(3111, 5, \"9000\", 10)",
        "NicIfSetTeamProperty(3102, 33, \"own\", 8)",
        "NicIfSetVlanProperty(3181, 31, \"av\", 6)",
        "NicIfSetVlanProperty(3191, 31, \"tv\", 6)",
    };
    EXPECT_EQ(log(), Concat(writes, CommitCalls(RegisteredWith({3111}))));
}

TEST_F(ApplyTeamPropertiesTest, SkipsDeletedTeamsAndFailedCreationsButNotTheirVlansAlike) {
    TeamEntry *failed = records_.team(3121);
    failed->teamInfo1 = 5;
    failed->settingsList = EntryList({Changed("TeamName", "3", "x")});
    Records::vlan(failed->vlans, 3122)->identificationList = EntryList({Changed("VlanName", "31", "kept")});
    TeamEntry *deleted = records_.team(3123);
    deleted->isDeleted = 1;
    deleted->settingsList = EntryList({Changed("TeamName", "3", "x")});
    Records::vlan(deleted->vlans, 3124)->identificationList = EntryList({Changed("VlanName", "31", "x")});
    // A deleted VLAN is not written either.
    TeamEntry *live = records_.team(3125);
    VlanEntry *gone = Records::vlan(live->vlans, 3126);
    gone->isDeleted = 1;
    gone->identificationList = EntryList({Changed("VlanName", "31", "x")});

    EXPECT_EQ(Apply(), 0u);
    EXPECT_EQ(Writes(), (Calls{"NicIfSetVlanProperty(3122, 31, \"kept\", 10)"}));
}

TEST_F(ApplyTeamPropertiesTest, AChangedVlanIdRegistersTheOwnersThatAskForIt) {
    auto vlanIdChange = [](AdapterEntry *owner, uint64_t vlan, const char *id = "VlanId") {
        Records::vlan(owner->vlans, vlan)->identificationList = EntryList({Changed(id, id[4] == 'I' ? "30" : "31", "12")});
    };
    AdapterEntry *asks = records_.adapter(3131);
    asks->registerOnVlanIdChange = 1;
    vlanIdChange(asks, 3161);
    AdapterEntry *never = records_.adapter(3132);
    vlanIdChange(never, 3162);
    AdapterEntry *otherProperty = records_.adapter(3133);
    otherProperty->registerOnVlanIdChange = 1;
    vlanIdChange(otherProperty, 3163, "VlanName");
    AdapterEntry *failing = records_.adapter(3134);
    failing->registerOnVlanIdChange = 1;
    vlanIdChange(failing, 3164);
    Nic().respond("NicIfSetVlanProperty", 3164, 9);

    // Members of a team: only those not removed whose flag is 1.
    AdapterEntry *m1 = records_.adapter(3135), *m2 = records_.adapter(3136),
                 *m3 = records_.adapter(3137), *m4 = records_.adapter(3138);
    m1->registerOnVlanIdChange = 1;
    m2->registerOnVlanIdChange = 2;
    m3->registerOnVlanIdChange = 1;
    m4->registerOnVlanIdChange = 1;
    TeamEntry *team = records_.team(3139);
    Records::member(team, m1);
    Records::member(team, m2);
    Records::member(team, m3, 0, 1);
    Records::member(team, m4);
    Records::vlan(team->vlans, 3165)->identificationList = EntryList({Changed("VlanId", "30", "7")});
    Nic().respond("NicIfSetVlanProperty", 3165, 7);

    EXPECT_EQ(Apply(), 9u);
    EXPECT_EQ(CommitPart(), CommitCalls(RegisteredWith({3131, 3135, 3138})));
}

struct ListCase {
    const char *name;
    std::vector<EntrySpec> entries;
    void (*script)();
    uint32_t result;
    Calls writes;
};

// The rules of a team list, and the same entries as a VLAN's list.
TEST_F(ApplyTeamPropertiesTest, ListRulesAndFolding) {
    const std::vector<ListCase> teamCases = {
        {"enumerated text mapped with the team definition",
         {Changed("Speed", "2", "10 Mbps")}, [] {}, 0u, {"NicIfSetTeamProperty(3141, 2, \"A1\", 6)"}},
        {"no linkId abandons the list with 100, replacing an earlier error",
         {Changed("TeamName", "3", "a"), {.id = "TeamName", .newValue = "b", .changed = 1}, Changed("TeamName", "3", "c")},
         [] { Nic().respond("NicIfSetTeamProperty", 3); }, 100u, {"NicIfSetTeamProperty(3141, 3, \"a\", 4)"}},
        {"a property only the base definition has is unknown to teams",
         {Changed("BaseOnly", "9", "a"), Changed("TeamName", "3", "c")}, [] {}, 100u, {}},
        {"an unmappable text is 100 and the list goes on",
         {Changed("TeamMode", "7", "6"), Changed("TeamName", "3", "c")}, [] {}, 100u,
         {"NicIfSetTeamProperty(3141, 3, \"c\", 4)"}},
        {"3 carries the property number, the first error wins, 7 is a notice",
         {Changed("TeamName", "3", "a"), Changed("Mtu", "5", "b"), Changed("TeamMode", "7", "Smart")},
         [] { Nic().respondInTurn("NicIfSetTeamProperty", {3, 8, 7}); }, 3u * 65536 + 3,
         {"NicIfSetTeamProperty(3141, 3, \"a\", 4)", "NicIfSetTeamProperty(3141, 5, \"b\", 4)",
          "NicIfSetTeamProperty(3141, 7, \"4\", 4)"}},
        {"a notice alone gives 7",
         {Changed("TeamName", "3", "a")}, [] { Nic().respond("NicIfSetTeamProperty", 7); }, 7u,
         {"NicIfSetTeamProperty(3141, 3, \"a\", 4)"}},
    };
    for (const ListCase &c : teamCases) {
        SCOPED_TRACE(c.name);
        Records records;
        TeamEntry *team = records.team(3141);
        team->settingsList = nullptr;
        for (auto it = c.entries.rbegin(); it != c.entries.rend(); ++it) {
            PanelEntry *e = Entry(*it);
            e->next = team->settingsList;
            team->settingsList = e;
        }
        Nic().reset();
        c.script();
        EXPECT_EQ(ApplyTeamPropertyChanges(&records.teams, &records.adapters), c.result);
        EXPECT_EQ(Writes(), c.writes);
    }

    // A VLAN's list abandoned after an error keeps that error.
    Nic().reset();
    VlanEntry *vlan = Records::vlan(records_.team(3142)->vlans, 3143);
    vlan->identificationList = EntryList({Changed("VlanName", "31", "a"),
                                          {.id = "VlanName", .newValue = "b", .changed = 1}});
    Nic().respond("NicIfSetVlanProperty", 3);
    EXPECT_EQ(Apply(), 31u * 65536 + 3);
    // ... but an unmappable text replaces it.
    vlan->identificationList->next->linkId = Text("2");
    std::free(vlan->identificationList->next->id);
    vlan->identificationList->next->id = Text("Speed");
    EXPECT_EQ(Apply(), 100u);
}

TEST_F(ApplyTeamPropertiesTest, MissingDefinitionsGive100AndTheCommitPassStillRuns) {
    TeamEntry *first = records_.team(3151);
    first->settingsList = EntryList({Changed("TeamName", "3", "a")});
    records_.team(3152, "NOPE")->settingsList = EntryList({Changed("TeamName", "3", "x")});
    TeamEntry *third = records_.team(3153);
    VlanEntry *vlan = Records::vlan(third->vlans, 3154);
    vlan->definitionType = Text("NOPE");
    vlan->identificationList = EntryList({Changed("VlanName", "31", "x")});
    Nic().respond("NicIfSetTeamProperty", 3151, 8);
    EXPECT_EQ(Apply(), 100u);
    EXPECT_EQ(log(), Concat({"NicIfSetTeamProperty(3151, 3, \"a\", 4)"}, CommitCalls(before_)));

    // Without a "TEAM" definition teams and VLANs of the default type fail.
    std::string path = dir_.write("adp.xml", WildcardDefinitions(R"(<nic type="ADP"/></definitions>)"));
    CloseXml(0);
    ASSERT_EQ(InitXml(W(path).c_str()), 0u);
    Records records;
    records.team(3155)->settingsList = EntryList({Changed("TeamName", "3", "a")});
    Nic().clearCalls();
    EXPECT_EQ(ApplyTeamPropertyChanges(&records.teams, &records.adapters), 100u);
    Records vlanOnly;
    Records::vlan(vlanOnly.adapter(3156)->vlans, 3157)->identificationList =
        EntryList({Changed("VlanName", "31", "x")});
    EXPECT_EQ(ApplyTeamPropertyChanges(&vlanOnly.teams, &vlanOnly.adapters), 100u);
    EXPECT_TRUE(Writes().empty());
}

TEST_F(ApplyTeamPropertiesTest, CommitPassOrderAndFailures) {
    // Register two handles of this test through single writes.
    ASSERT_EQ(SetSingleProperty(3171, W("ADP").c_str(), W("Mtu").c_str(), W("1").c_str(), 1), 0u);
    ASSERT_EQ(SetSingleProperty(3172, W("ADP").c_str(), W("Mtu").c_str(), W("1").c_str(), 1), 0u);
    const Handles handles = RegisteredWith({3171, 3172});
    Nic().clearCalls();
    Nic().respond("NicIfApplyPass1", 3171, 5);
    Nic().respond("NicIfApplyPass2", 3172, 6);
    Nic().respond("NicIfApplyPass2", 3171, 4);

    EXPECT_EQ(Apply(), 5u);
    Calls expected;
    for (uint64_t h : handles) expected.push_back("NicIfSetObjectFlags(" + std::to_string(h) + ", 0, 0)");
    for (uint64_t h : handles) {
        expected.push_back("NicIfApplyPass1(" + std::to_string(h) + ")");
        expected.push_back("NicIfSetObjectFlags(" + std::to_string(h) + ", 1, 0)");
    }
    for (uint64_t h : handles) {
        expected.push_back("NicIfApplyPass2(" + std::to_string(h) + ")");
        if (h != 3171 && h != 3172) expected.push_back("NicIfSetObjectFlags(" + std::to_string(h) + ", 0, 1)");
    }
    EXPECT_EQ(log(), expected);

    // 7 counts as an error in the commit pass; a failure of the second pass
    // is reported when the first pass succeeded.
    Nic().reset();
    Nic().respond("NicIfApplyPass1", 3172, 7);
    EXPECT_EQ(Apply(), 7u);
    EXPECT_EQ(Nic().calls("NicIfSetObjectFlags").size(), 3 * handles.size());
    Nic().reset();
    Nic().respond("NicIfApplyPass2", 3172, 6);
    EXPECT_EQ(Apply(), 6u);
    // A property error outranks the commit pass's.
    records_.team(3173)->settingsList = EntryList({Changed("TeamName", "3", "a")});
    Nic().respond("NicIfSetTeamProperty", 11);
    EXPECT_EQ(Apply(), 11u);
}

// The team's advanced settings: team 3201 with members 3211 and 3212, and
// 3213 marked removed. A member's entry is given as its advancedList (an
// entry of another id when the member lacks the property).
struct AdvancedCase {
    const char *name;
    std::vector<EntrySpec> team;
    std::vector<std::optional<EntrySpec>> members;  // for 3211, 3212, 3213
    void (*script)();
    uint32_t result;
    Calls writes;
};

TEST_F(ApplyTeamPropertiesTest, AdvancedSettingsArePushedDownToTheMembers) {
    auto unchanged = [](const char *value) {
        return EntrySpec{.id = "Mtu", .linkId = "5", .value = value, .lowest = "0", .rangeType = "numeric"};
    };
    auto member = [](const char *value) { return EntrySpec{.id = "Mtu", .linkId = "5", .value = value}; };
    auto blocked = [](const char *rangeType, const char *value) {
        return EntrySpec{.id = "Mtu", .linkId = "5", .value = value, .lowest = "0",
                         .rangeType = rangeType, .derivationBlocked = 1};
    };
    EntrySpec changed{.id = "Mtu", .linkId = "5", .newValue = "9000", .lowest = "0",
                      .rangeType = "numeric", .changed = 1};
    const std::vector<AdvancedCase> cases = {
        {"unchanged and every member holds the value: nothing is written",
         {unchanged("1500")}, {member("1500"), member("1500"), member("1")}, [] {}, 0u, {}},
        {"unchanged: a member whose own entry changed is written the team's value",
         {unchanged("1500")},
         {EntrySpec{.id = "Mtu", .linkId = "5", .value = "1500", .newValue = "9000", .changed = 1},
          member("1500"), member("1")},
         [] {}, 0u, {"NicIfSetAdapterProperty(3211, 5, \"1500\", 10)"}},
        {"changed: the team, then every member not removed that has the property",
         {changed}, {member("9000"), EntrySpec{.id = "Other", .linkId = "5", .value = "1"}, member("1")},
         [] {}, 0u,
         {"NicIfSetTeamProperty(3201, 5, \"9000\", 10)", "NicIfSetAdapterProperty(3211, 5, \"9000\", 10)"}},
        {"changed, enumerated: each side maps with its own definition",
         {{.id = "Speed", .linkId = "2", .newValue = "10 Mbps", .lowest = "Auto", .rangeType = "list", .changed = 1}},
         {EntrySpec{.id = "Speed", .linkId = "2", .value = "Auto"}, std::nullopt, std::nullopt}, [] {}, 0u,
         {"NicIfSetTeamProperty(3201, 2, \"A1\", 6)", "NicIfSetAdapterProperty(3211, 2, \"1\", 4)"}},
        {"blocked binary with the value at lowest: only differing members are written",
         {blocked("binary", "0")}, {member("1"), member("0"), member("1")}, [] {}, 0u,
         {"NicIfSetAdapterProperty(3211, 5, \"0\", 4)"}},
        {"blocked list with another value: the team and the members get lowest",
         {blocked("list", "1")}, {member("1"), std::nullopt, std::nullopt}, [] {}, 0u,
         {"NicIfSetTeamProperty(3201, 5, \"0\", 4)", "NicIfSetAdapterProperty(3211, 5, \"0\", 4)"}},
        {"blocked of another range type: nothing", {blocked("numeric", "1")},
         {member("1"), member("1"), std::nullopt}, [] {}, 0u, {}},
        {"no member value: skipped, even without its texts",
         {{.id = "Mtu", .newValue = "1", .changed = 1, .noMemberValue = 1}}, {member("1")}, [] {}, 0u, {}},
        {"a property adapters do not hold (linkid -1) is written to the team only",
         {{.id = "Local", .linkId = "8", .newValue = "on", .lowest = "0", .rangeType = "numeric", .changed = 1}},
         {EntrySpec{.id = "Local", .linkId = "-1", .value = "off"}, std::nullopt, std::nullopt}, [] {}, 0u,
         {"NicIfSetTeamProperty(3201, 8, \"on\", 6)"}},
        {"a failed team write is not pushed down",
         {changed, unchanged("7")}, {member("1"), std::nullopt, std::nullopt},
         [] { Nic().respond("NicIfSetTeamProperty", 3); }, 5u * 65536 + 3,
         {"NicIfSetTeamProperty(3201, 5, \"9000\", 10)", "NicIfSetAdapterProperty(3211, 5, \"7\", 4)"}},
        {"a member's error is kept, the other members are still written",
         {changed}, {member("1"), member("1"), std::nullopt},
         [] { Nic().respond("NicIfSetAdapterProperty", 3211, 3); }, 5u * 65536 + 3,
         {"NicIfSetTeamProperty(3201, 5, \"9000\", 10)", "NicIfSetAdapterProperty(3211, 5, \"9000\", 10)",
          "NicIfSetAdapterProperty(3212, 5, \"9000\", 10)"}},
        {"notices of the team and of members give 7",
         {changed}, {member("1"), std::nullopt, std::nullopt},
         [] { Nic().respond("NicIfSetAdapterProperty", 7); }, 7u,
         {"NicIfSetTeamProperty(3201, 5, \"9000\", 10)", "NicIfSetAdapterProperty(3211, 5, \"9000\", 10)"}},
        {"an unmappable text is 100 and the list goes on",
         {{.id = "Speed", .linkId = "2", .newValue = "fast", .lowest = "Auto", .rangeType = "list", .changed = 1},
          changed},
         {member("1"), std::nullopt, std::nullopt}, [] {}, 100u,
         {"NicIfSetTeamProperty(3201, 5, \"9000\", 10)", "NicIfSetAdapterProperty(3211, 5, \"9000\", 10)"}},
        {"an entry without lowest ends the list with 100",
         {{.id = "Mtu", .linkId = "5", .newValue = "1", .rangeType = "numeric", .changed = 1}, changed},
         {member("1")}, [] {}, 100u, {}},
        {"a property the team definition lacks ends the list with 100",
         {{.id = "BaseOnly", .linkId = "9", .value = "1", .lowest = "0", .rangeType = "numeric"}, changed},
         {member("1")}, [] {}, 100u, {}},
    };
    const uint64_t memberHandles[] = {3211, 3212, 3213};
    for (const AdvancedCase &c : cases) {
        SCOPED_TRACE(c.name);
        Records records;
        TeamEntry *team = records.team(3201);
        for (std::size_t i = 0; i < c.members.size(); ++i) {
            AdapterEntry *adapter = records.adapter(memberHandles[i]);
            if (c.members[i]) adapter->advancedList = Entry(*c.members[i]);
            Records::member(team, adapter, 0, i == 2 ? 1 : 0);
        }
        PanelEntry **tail = &team->advancedList;
        for (const EntrySpec &e : c.team) {
            *tail = Entry(e);
            tail = &(*tail)->next;
        }
        Nic().reset();
        c.script();
        EXPECT_EQ(ApplyTeamPropertyChanges(&records.teams, &records.adapters), c.result);
        EXPECT_EQ(Writes(), c.writes);
    }
}

TEST_F(ApplyTeamPropertiesTest, AdvancedSettingsRegisterWrittenMembersAndFlaggedTeams) {
    AdapterEntry *written = records_.adapter(3221);
    written->advancedList = EntryList({{.id = "Mtu", .linkId = "5", .value = "1"}});
    AdapterEntry *failing = records_.adapter(3222);
    failing->advancedList = EntryList({{.id = "Mtu", .linkId = "5", .value = "1"}});
    AdapterEntry *holding = records_.adapter(3223);
    holding->advancedList = EntryList({{.id = "Mtu", .linkId = "5", .value = "9"}});
    Nic().respond("NicIfSetAdapterProperty", 3222, 12);

    // flag3 1 on an existing team: the first accepted team write registers
    // it. An unchanged entry writes no team value and registers no team.
    TeamEntry *flagged = records_.team(3231);
    flagged->flag3 = 1;
    flagged->advancedList = EntryList({{.id = "Mtu", .linkId = "5", .value = "9", .lowest = "0", .rangeType = "numeric"},
                                       {.id = "Mtu", .linkId = "5", .newValue = "9", .lowest = "0", .rangeType = "numeric", .changed = 1}});
    Records::member(flagged, written);
    Records::member(flagged, failing);
    Records::member(flagged, holding);
    // Not when the team is new, nor once a 7 was seen in its advanced list.
    TeamEntry *fresh = records_.team(3232);
    fresh->flag3 = 1;
    fresh->isNew = 1;
    fresh->advancedList = EntryList({{.id = "Mtu", .linkId = "5", .newValue = "9", .lowest = "0", .rangeType = "numeric", .changed = 1}});
    TeamEntry *noticed = records_.team(3233);
    noticed->flag3 = 1;
    noticed->advancedList = EntryList({{.id = "TeamName", .linkId = "3", .newValue = "a", .lowest = "0", .rangeType = "text", .changed = 1},
                                       {.id = "Mtu", .linkId = "5", .newValue = "9", .lowest = "0", .rangeType = "numeric", .changed = 1}});
    Nic().respond("NicIfSetTeamProperty", 3233, 3, 7);

    EXPECT_EQ(Apply(), 12u);
    EXPECT_EQ(CommitPart(), CommitCalls(RegisteredWith({3221, 3231, 3223})));
}

TEST_F(ApplyTeamPropertiesTest, AMemberWithoutDefinitionsEndsThePropagation) {
    TeamEntry *team = records_.team(3241);
    team->advancedList = EntryList({{.id = "Mtu", .linkId = "5", .newValue = "9", .lowest = "0", .rangeType = "numeric", .changed = 1}});
    AdapterEntry *unknown = records_.adapter(3242, "OTHER");
    unknown->advancedList = EntryList({{.id = "Mtu", .linkId = "5", .value = "1"}});
    AdapterEntry *later = records_.adapter(3243);
    later->advancedList = EntryList({{.id = "Mtu", .linkId = "5", .value = "1"}});
    Records::member(team, unknown);
    Records::member(team, later);
    EXPECT_EQ(Apply(), 100u);
    EXPECT_EQ(Writes(), (Calls{"NicIfSetTeamProperty(3241, 5, \"9\", 4)"}));

    // A member entry whose property the member's definitions lack: the same.
    std::free(unknown->definitionType);
    unknown->definitionType = Text("ADP");
    std::free(unknown->advancedList->id);
    unknown->advancedList->id = Text("TeamName");
    std::free(team->advancedList->id);
    team->advancedList->id = Text("TeamName");
    Nic().reset();
    EXPECT_EQ(Apply(), 100u);
    EXPECT_EQ(Writes(), (Calls{"NicIfSetTeamProperty(3241, 5, \"9\", 4)"}));
}

TEST_F(ApplyTeamPropertiesTest, MissingArguments) {
    TeamEntry *teams = nullptr;
    AdapterEntry *adapters = nullptr;
    EXPECT_EQ(ApplyTeamPropertyChanges(nullptr, &adapters), 100u);
    EXPECT_EQ(ApplyTeamPropertyChanges(&teams, nullptr), 100u);
    EXPECT_TRUE(log().empty());
}

}  // namespace
