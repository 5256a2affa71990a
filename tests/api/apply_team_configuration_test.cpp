// ApplyTeamConfigurationChanges through the C interface: dissolving and
// creating teams, removing and adding members, deleting and creating VLANs,
// in that order, with the initial settings gathered from the records, the
// handles written back and the folding of 0, 7, 16, 0xFFFFFFFF and errors.
#include <gtest/gtest.h>

#include "api/apply_test_support.h"

using namespace apply_test;
using namespace testing_support;
using nicif_double::Nic;

namespace {

const char *kDefinitions = R"(
<nic type="BASE">
  <property id="BaseOnly" linkid="9"/>
</nic>
<nic type="ADP" derived="BASE">
  <property id="Mtu" linkid="5"/>
</nic>
<nic type="TEAM" derived="BASE">
  <property id="TeamMode" linkid="7" enum="1"/>
  <property id="TeamName" linkid="3"/>
  <property id="Mtu" linkid="5"/>
  <property id="VlanId" linkid="30"/>
  <property id="VlanName" linkid="31"/>
  <enumeration id="TeamMode">
    <enumitem enumid="4" enumvalue="Smart"/>
    <enumitem enumid="6" enumvalue="Fault Tolerance"/>
  </enumeration>
</nic>
)";

EntrySpec Changed(const char *id, const char *linkId, const char *newValue) {
    return {.id = id, .linkId = linkId, .newValue = newValue, .changed = 1};
}

class ApplyTeamConfigurationTest : public ApplyFixture {
protected:
    ApplyTeamConfigurationTest() : ApplyFixture(kDefinitions) {}

    uint32_t Apply() { return ApplyTeamConfigurationChanges(&records_.teams, &records_.adapters); }
};

TEST_F(ApplyTeamConfigurationTest, CarriesOutEveryStepInOrder) {
    AdapterEntry *a1 = records_.adapter(4101), *a2 = records_.adapter(4102),
                 *a3 = records_.adapter(4103), *a4 = records_.adapter(4104);
    records_.adapter(4105);
    Records::vlan(a1->vlans, 4181)->isDeleted = 1;
    VlanEntry *adapterVlan = Records::vlan(a1->vlans, 4182);
    adapterVlan->isNew = 1;
    adapterVlan->vlanParameter = 77;
    adapterVlan->identificationList = EntryList({Changed("VlanId", "30", "12")});

    TeamEntry *dissolved = records_.team(4201);
    dissolved->isDeleted = 1;
    Records::vlan(dissolved->vlans, 4281)->isDeleted = 1;  // goes with its team

    TeamEntry *existing = records_.team(4202);
    Records::member(existing, a1, 0, 1);  // removed
    Records::member(existing, a2, 1, 0);  // added
    Records::member(existing, a3, 1, 1);  // both: not removed, added again
    Records::vlan(existing->vlans, 4282)->isDeleted = 1;
    VlanEntry *teamVlan = Records::vlan(existing->vlans, 4283);
    teamVlan->isNew = 2;
    teamVlan->identificationList = EntryList({Changed("VlanName", "31", "tv")});

    TeamEntry *created = records_.team(0);
    created->isNew = 1;
    Records::member(created, a4, 1, 0);
    Records::member(created, a1, 1, 1);  // not passed
    Records::member(created, a2, 0, 0);  // not passed
    created->settingsList = EntryList({Changed("TeamName", "3", "new")});
    created->controlsList = EntryList({Changed("TeamMode", "7", "Smart")});
    created->advancedList = EntryList({{.id = "Mtu", .linkId = "5", .newValue = "9000", .range = "1500-9000",
                                        .lowest = "1500", .rangeType = "list", .changed = 1,
                                        .derivationBlocked = 1}});

    TeamEntry *both = records_.team(4204);  // new and deleted: left alone
    both->isNew = 1;
    both->isDeleted = 1;
    Records::member(both, a2, 1, 0);
    Records::vlan(both->vlans, 4284)->isNew = 1;

    Nic().createdHandle("NicIfCreateTeam", 4299);
    Nic().createdHandle("NicIfCreateVlan", 4290);
    EXPECT_EQ(Apply(), 0u);
    EXPECT_EQ(log(), (Calls{
                         "NicIfDissolveTeam(4201, 1)",
                         "NicIfRemoveTeamMember(4101, 0, 4202)",
                         "NicIfDeleteVlan(4181)",
                         "NicIfDeleteVlan(4282)",
                         "NicIfCreateTeam([7=\"4\"/4, 3=\"new\"/8, 5=\"1500\"/10], [4104])",
                         "NicIfAddTeamMember(4102, 4202)",
                         "NicIfAddTeamMember(4103, 4202)",
                         "NicIfCreateVlan([30=\"12\"/6], 4101, 77, 0)",
                         "NicIfCreateVlan([31=\"tv\"/6], 4202, 0, 1)",
                     }));
    EXPECT_EQ(created->handle, 4299u);
    EXPECT_EQ(created->teamInfo1, 0u);
    EXPECT_EQ(adapterVlan->handle, 4290u);
    EXPECT_EQ(teamVlan->handle, 4290u);
    // The marks stay as the front end set them.
    EXPECT_EQ(created->isNew, 1);
    EXPECT_EQ(dissolved->isDeleted, 1);
    // Adapters whose VLANs changed: the adapter, and a team's members that
    // are not marked removed.
    EXPECT_EQ(Registered(), RegisteredWith({4101, 4102}));
}

struct FoldCase {
    const char *name;
    void (*script)();
    uint32_t result;
    uint64_t teamHandle;
    uint32_t teamInfo1;
    uint64_t vlanHandle;
};

// One team to dissolve (4301), a VLAN to delete (4391), a team to create
// (now 4302) and a VLAN to create (now 4392) under adapter 4311.
TEST_F(ApplyTeamConfigurationTest, FoldsResultsAndWritesHandlesBack) {
    const std::vector<FoldCase> cases = {
        {"all succeed", [] {}, 0u, 4399u, 0u, 4398u},
        {"a 7 is a notice", [] { Nic().respond("NicIfCreateVlan", 7); }, 7u, 4399u, 0u, 4398u},
        {"16 from creating a team is the second notice and outranks 7",
         [] {
             Nic().respond("NicIfDissolveTeam", 7);
             Nic().respond("NicIfCreateTeam", 16);
         },
         16u, 4399u, 0u, 4398u},
        {"16 from dissolving is a notice: a later error is reported",
         [] {
             Nic().respond("NicIfDissolveTeam", 16);
             Nic().respond("NicIfCreateTeam", 9);
         },
         9u, 4302u, 5u, 4398u},
        {"16 from deleting a VLAN is an error and wins over later ones",
         [] {
             Nic().respond("NicIfDeleteVlan", 16);
             Nic().respond("NicIfCreateTeam", 9);
         },
         16u, 4302u, 5u, 4398u},
        {"16 from creating a VLAN is an error; its handle is kept",
         [] { Nic().respond("NicIfCreateVlan", 16); }, 16u, 4399u, 0u, 4392u},
        {"3 is passed on unchanged, the first error wins",
         [] {
             Nic().respond("NicIfDissolveTeam", 3);
             Nic().respond("NicIfCreateVlan", 8);
         },
         3u, 4399u, 0u, 4392u},
    };
    const Calls calls = {
        "NicIfDissolveTeam(4301, 1)",
        "NicIfDeleteVlan(4391)",
        "NicIfCreateTeam([3=\"T\"/4], [4311])",
        "NicIfCreateVlan([31=\"V\"/4], 4311, 0, 0)",
    };
    for (const FoldCase &c : cases) {
        SCOPED_TRACE(c.name);
        Records records;
        AdapterEntry *adapter = records.adapter(4311);
        Records::vlan(adapter->vlans, 4391)->isDeleted = 1;
        VlanEntry *vlan = Records::vlan(adapter->vlans, 4392);
        vlan->isNew = 1;
        vlan->identificationList = EntryList({Changed("VlanName", "31", "V")});
        records.team(4301)->isDeleted = 1;
        TeamEntry *team = records.team(4302);
        team->isNew = 1;
        team->settingsList = EntryList({Changed("TeamName", "3", "T")});
        Records::member(team, adapter, 1, 0);
        Nic().reset();
        Nic().createdHandle("NicIfCreateTeam", 4399);
        Nic().createdHandle("NicIfCreateVlan", 4398);
        c.script();
        EXPECT_EQ(ApplyTeamConfigurationChanges(&records.teams, &records.adapters), c.result);
        EXPECT_EQ(log(), calls);
        EXPECT_EQ(team->handle, c.teamHandle);
        EXPECT_EQ(team->teamInfo1, c.teamInfo1);
        EXPECT_EQ(vlan->handle, c.vlanHandle);
    }
}

TEST_F(ApplyTeamConfigurationTest, ATeamWithoutMembersToAddStopsTheCallAtOnce) {
    AdapterEntry *a = records_.adapter(4401);
    AdapterEntry *b = records_.adapter(4402);
    VlanEntry *vlan = Records::vlan(a->vlans, 4481);
    vlan->isNew = 1;
    vlan->identificationList = EntryList({Changed("VlanName", "31", "x")});
    TeamEntry *existing = records_.team(4411);
    Records::member(existing, b, 1, 0);
    records_.team(4412)->isDeleted = 1;
    TeamEntry *first = records_.team(4413);
    first->isNew = 1;
    first->settingsList = EntryList({Changed("TeamName", "3", "one")});
    Records::member(first, a, 1, 0);
    TeamEntry *empty = records_.team(4414);
    empty->isNew = 1;
    empty->settingsList = EntryList({Changed("TeamName", "3", "two")});
    Records::member(empty, a, 1, 1);
    Records::member(empty, b, 0, 0);
    TeamEntry *last = records_.team(4415);
    last->isNew = 1;
    last->settingsList = EntryList({Changed("TeamName", "3", "three")});
    Records::member(last, b, 1, 0);
    Nic().respond("NicIfDissolveTeam", 8);

    EXPECT_EQ(Apply(), 0xFFFFFFFFu);
    EXPECT_EQ(log(), (Calls{"NicIfDissolveTeam(4412, 1)", "NicIfCreateTeam([3=\"one\"/8], [4401])"}));
}

TEST_F(ApplyTeamConfigurationTest, GathersInitialSettingsInSlotOrder) {
    AdapterEntry *a = records_.adapter(4501);
    TeamEntry *team = records_.team(4502);
    team->isNew = 1;
    Records::member(team, a, 1, 0);
    auto one = [](const char *value) { return EntryList({Changed("TeamName", "3", value)}); };
    team->toeStatisticsList = one("toe");
    team->advancedList = EntryList({
        {.id = "TeamName", .linkId = "3", .newValue = "new", .range = "r", .lowest = "low",
         .rangeType = "binary", .changed = 1, .derivationBlocked = 1},               // lowest
        {.id = "TeamName", .linkId = "3", .newValue = "num", .range = "r", .lowest = "low",
         .rangeType = "numeric", .changed = 1, .derivationBlocked = 1},              // newValue
        {.id = "TeamMode", .linkId = "7", .newValue = "Fault Tolerance", .range = "r",
         .lowest = "Smart", .rangeType = "list", .changed = 1, .derivationBlocked = 1},  // raw of newValue
        {.id = "TeamName", .linkId = "3", .newValue = "skip", .range = "r"},         // not changed
    });
    team->statisticsList2 = one("stats2");
    team->statisticsList1 = one("stats1");
    team->informationList2 = one("info2");
    team->informationList1 = one("info1");
    team->settingsList = one("settings");
    team->discProtocolList = one("disc");
    team->redundancyList = one("redundancy");
    team->controlsList = one("controls");
    team->connectionInfoList = one("never");  // not a gathered slot
    // A VLAN's identificationList.
    VlanEntry *vlan = Records::vlan(a->vlans, 4581);
    vlan->isNew = 1;
    vlan->identificationList = EntryList({Changed("VlanId", "30", "5"), Changed("VlanName", "31", "v")});
    vlan->connectionInfoList = EntryList({Changed("VlanName", "31", "never")});

    EXPECT_EQ(Apply(), 0u);
    EXPECT_EQ(log(), (Calls{
                         "NicIfCreateTeam([3=\"controls\"/18, 3=\"redundancy\"/22, 3=\"disc\"/10, "
                         "3=\"settings\"/18, 3=\"info1\"/12, 3=\"info2\"/12, 3=\"stats1\"/14, "
                         "3=\"stats2\"/14, 3=\"low\"/8, 3=\"num\"/8, 7=\"6\"/4, 3=\"toe\"/8], [4501])",
                         "NicIfCreateVlan([30=\"5\"/4, 31=\"v\"/4], 4501, 0, 0)",
                     }));
}

struct GatherCase {
    const char *name;
    std::vector<EntrySpec> advanced;
    uint32_t result;
    Calls calls;
};

// A new team (4601) and a VLAN to create under adapter 4611, both given the
// same advancedList / identificationList.
TEST_F(ApplyTeamConfigurationTest, SettingsThatCannotBeGatheredStopTheCreation) {
    const std::vector<GatherCase> cases = {
        {"an advanced entry without range: the team silently not created, the VLAN 100",
         {{.id = "TeamName", .linkId = "3", .newValue = "x", .changed = 1}}, 100u, {}},
        {"no linkId", {{.id = "TeamName", .newValue = "x", .range = "r", .changed = 1}}, 100u, {}},
        {"a property only the base has", {{.id = "BaseOnly", .linkId = "9", .newValue = "x", .range = "r", .changed = 1}},
         100u, {}},
        {"an unmappable enumerated text",
         {{.id = "TeamMode", .linkId = "7", .newValue = "4", .range = "r", .changed = 1},
          {.id = "TeamName", .linkId = "3", .newValue = "x", .range = "r", .changed = 1}},
         100u, {}},
        {"a blocked entry to enforce without lowest",
         {{.id = "TeamName", .linkId = "3", .newValue = "x", .range = "r", .rangeType = "list", .changed = 1,
           .derivationBlocked = 1}},
         100u, {}},
        {"nothing changed: nothing created, nothing reported",
         {{.id = "TeamName", .linkId = "3", .newValue = "x", .range = "r"}}, 0u, {}},
        {"gathered", {{.id = "TeamName", .linkId = "3", .newValue = "x", .range = "r", .changed = 1}}, 0u,
         {"NicIfCreateTeam([3=\"x\"/4], [4611])", "NicIfCreateVlan([3=\"x\"/4], 4611, 0, 0)"}},
    };
    for (const GatherCase &c : cases) {
        SCOPED_TRACE(c.name);
        Records records;
        AdapterEntry *adapter = records.adapter(4611);
        VlanEntry *vlan = Records::vlan(adapter->vlans, 4681);
        vlan->isNew = 1;
        TeamEntry *team = records.team(4601);
        team->isNew = 1;
        Records::member(team, adapter, 1, 0);
        PanelEntry **teamTail = &team->advancedList, **vlanTail = &vlan->reserved10;
        for (const EntrySpec &e : c.advanced) {
            *teamTail = Entry(e);
            teamTail = &(*teamTail)->next;
            *vlanTail = Entry(e);
            vlanTail = &(*vlanTail)->next;
        }
        Nic().reset();
        Nic().createdHandle("NicIfCreateTeam", 4699);
        EXPECT_EQ(ApplyTeamConfigurationChanges(&records.teams, &records.adapters), c.result);
        EXPECT_EQ(log(), c.calls);
        EXPECT_EQ(team->teamInfo1, 0u);
        EXPECT_EQ(team->handle, c.calls.empty() ? 4601u : 4699u);
    }
    // The VLAN's adapter is registered whether or not a VLAN was created.
    EXPECT_EQ(Registered(), RegisteredWith({4611}));
}

TEST_F(ApplyTeamConfigurationTest, AFailedVlanCreationStillRegistersItsOwners) {
    AdapterEntry *a = records_.adapter(4701), *b = records_.adapter(4702), *c = records_.adapter(4703);
    VlanEntry *vlan = Records::vlan(a->vlans, 4781);
    vlan->isNew = 1;
    vlan->handle = 4781;
    vlan->identificationList = EntryList({Changed("VlanName", "31", "a")});
    TeamEntry *team = records_.team(4710);
    Records::member(team, b);
    Records::member(team, c, 0, 1);
    VlanEntry *teamVlan = Records::vlan(team->vlans, 4782);
    teamVlan->isNew = 1;
    teamVlan->identificationList = EntryList({Changed("VlanName", "31", "t")});
    Nic().respond("NicIfCreateVlan", 12);
    Nic().respond("NicIfRemoveTeamMember", 13);  // removing 4703
    EXPECT_EQ(Apply(), 13u);
    EXPECT_EQ(vlan->handle, 4781u);
    EXPECT_EQ(Registered(), RegisteredWith({4701, 4702}));
}

TEST_F(ApplyTeamConfigurationTest, MissingArguments) {
    TeamEntry *teams = nullptr;
    AdapterEntry *adapters = nullptr;
    EXPECT_EQ(ApplyTeamConfigurationChanges(&teams, &adapters), 0u);
    EXPECT_EQ(ApplyTeamConfigurationChanges(nullptr, &adapters), 100u);
    EXPECT_EQ(ApplyTeamConfigurationChanges(&teams, nullptr), 100u);
    EXPECT_TRUE(log().empty());
}

}  // namespace
