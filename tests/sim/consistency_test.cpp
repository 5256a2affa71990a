// The server's consistency rules hold at every staged change and at commit.
#include "sim_support.h"

using namespace sim_test;

using ConsistencyTest = SimTest;

TEST_F(ConsistencyTest, AnAdapterIsInAtMostOneTeam) {
    uint64_t team = 0;
    uint64_t members[] = {kEth0, kEth3};
    EXPECT_EQ(NicIfCreateTeam(nullptr, 0, members, 2, &team), 5u);
    EXPECT_EQ(team, 0u);
    uint64_t twice[] = {kEth3, kEth3};
    EXPECT_EQ(NicIfCreateTeam(nullptr, 0, twice, 2, &team), 5u);

    uint64_t eth3 = kEth3;
    ASSERT_EQ(NicIfCreateTeam(nullptr, 0, &eth3, 1, &team), 0u);
    EXPECT_EQ(NicIfAddTeamMember(kEth0, team), 5u) << "eth0 is in Team 1";
    EXPECT_EQ(NicIfAddTeamMember(kEth3, kTeam1), 5u) << "eth3 is staged into the new team";
    // Moving an adapter: out of its team first, then into the other.
    ASSERT_EQ(NicIfRemoveTeamMember(kEth0, 0, kTeam1), 0u);
    ASSERT_EQ(NicIfAddTeamMember(kEth0, team), 0u);
    EXPECT_EQ(NicIfAddTeamMember(kEth0, team), 0u) << "already a member: nothing changes";
    ASSERT_EQ(NicIfApplyPass2(kEth0), 0u);
    Inventory inv = Enumerate();
    EXPECT_EQ(inv.adapter(kEth0)->team, team);
    EXPECT_EQ(inv.team(kTeam1)->members, 1u);
    EXPECT_EQ(inv.team(team)->members, 2u);
}

TEST_F(ConsistencyTest, ATeamNeedsAMember) {
    uint64_t team = 0;
    EXPECT_EQ(NicIfCreateTeam(nullptr, 0, nullptr, 0, &team), 5u);
    uint64_t unknown = 424242;
    EXPECT_EQ(NicIfCreateTeam(nullptr, 0, &unknown, 1, &team), 2u);
    uint64_t vlanAsMember = kSalesVlan;
    EXPECT_EQ(NicIfCreateTeam(nullptr, 0, &vlanAsMember, 1, &team), 2u);
    ASSERT_EQ(NicIfRemoveTeamMember(kEth1, 0, kTeam1), 0u);
    EXPECT_EQ(NicIfRemoveTeamMember(kEth0, 0, kTeam1), 5u) << "the last member stays";
    EXPECT_EQ(NicIfRemoveTeamMember(kEth3, 0, kTeam1), 5u) << "not a member";
    Records unknownProperty{{999, "x"}};
    uint64_t eth3 = kEth3;
    EXPECT_EQ(NicIfCreateTeam(unknownProperty.data(), 1, &eth3, 1, &team), 3u);
    Records badChoice{{101, "9"}};
    EXPECT_EQ(NicIfCreateTeam(badChoice.data(), 1, &eth3, 1, &team), 3u);
    EXPECT_EQ(NicIfCreateTeam(nullptr, 0, &eth3, 1, nullptr), 4u);
    EXPECT_EQ(NicIfCreateTeam(nullptr, 1, &eth3, 1, &team), 4u);
}

TEST_F(ConsistencyTest, AVlansParentExists) {
    Records records{{200, "30"}, {201, "Lab"}};
    uint64_t vlan = 0;
    EXPECT_EQ(NicIfCreateVlan(records.data(), records.count(), 424242, 0, 0, &vlan), 2u);
    EXPECT_EQ(NicIfCreateVlan(records.data(), records.count(), kEth3, 0, 1, &vlan), 5u)
        << "eth3 is not a team";
    EXPECT_EQ(NicIfCreateVlan(records.data(), records.count(), kTeam1, 0, 0, &vlan), 5u)
        << "Team 1 is not an adapter";
    Records taken{{200, "10"}};
    EXPECT_EQ(NicIfCreateVlan(taken.data(), 1, kEth2, 0, 0, &vlan), 5u) << "VLAN 10 exists on eth2";
    EXPECT_EQ(NicIfCreateVlan(taken.data(), 1, kEth3, 0, 0, &vlan), 0u) << "not on eth3";
    EXPECT_EQ(NicIfCreateVlan(records.data(), records.count(), kEth3, 0, 0, nullptr), 4u);

    // A VLAN on a team whose dissolution is staged has no parent.
    ASSERT_EQ(NicIfDissolveTeam(kTeam1, 1), 0u);
    EXPECT_EQ(NicIfCreateVlan(records.data(), records.count(), kTeam1, 0, 1, &vlan), 2u);
}

TEST_F(ConsistencyTest, MovingAnAdapterBetweenTeamsCommitsAsOneChange) {
    uint64_t eth3 = kEth3, first = 0, second = 0;
    ASSERT_EQ(NicIfCreateTeam(nullptr, 0, &eth3, 1, &first), 0u);
    ASSERT_EQ(NicIfAddTeamMember(kEth4, first), 0u);
    ASSERT_EQ(NicIfApplyPass2(first), 0u);
    // eth3 leaves the first team (staged on it) and founds the second.
    ASSERT_EQ(NicIfRemoveTeamMember(kEth3, 0, first), 0u);
    uint64_t eth3Again = kEth3;
    ASSERT_EQ(NicIfCreateTeam(nullptr, 0, &eth3Again, 1, &second), 0u);
    ASSERT_EQ(Write(Kind::Adapter, kEth4, 8, "1024"), 0u);
    // The second team's commit takes the first team's change with it.
    EXPECT_EQ(NicIfApplyPass1(second), 0u);
    EXPECT_EQ(NicIfApplyPass2(second), 0u);
    Inventory inv = Enumerate();
    EXPECT_EQ(inv.adapter(kEth3)->team, second);
    EXPECT_EQ(inv.team(first)->members, 1u);
    EXPECT_EQ(Read(Kind::Adapter, kEth4, 8).second, "512") << "eth4's own write waits for eth4";
}

TEST_F(ConsistencyTest, ACommitThatWouldBreakARuleIsRefused) {
    // A VLAN on a team that is only staged cannot be committed without it.
    uint64_t eth3 = kEth3, team = 0, vlan = 0;
    ASSERT_EQ(NicIfCreateTeam(nullptr, 0, &eth3, 1, &team), 0u);
    Records records{{200, "40"}};
    ASSERT_EQ(NicIfCreateVlan(records.data(), records.count(), team, 0, 1, &vlan), 0u);
    EXPECT_EQ(NicIfApplyPass1(vlan), 5u);
    EXPECT_EQ(NicIfApplyPass2(vlan), 5u);
    EXPECT_FALSE(stateExists());
    EXPECT_EQ(NicIfApplyPass2(team), 0u);
    Inventory inv = Enumerate();
    ASSERT_NE(inv.vlan(vlan), nullptr);
    EXPECT_EQ(inv.vlan(vlan)->parent, team);
}
