// The default inventory as NicIfEnumerate and the reads present it.
#include <thread>

#include "sim_support.h"

using namespace sim_test;

using InventoryTest = SimTest;

TEST_F(InventoryTest, EnumeratesTheDefaultServerWithoutAStateFile) {
    Inventory inv = Enumerate();
    ASSERT_EQ(inv.code, 0u);
    ASSERT_EQ(inv.adapters.size(), 6u);
    ASSERT_EQ(inv.teams.size(), 1u);
    ASSERT_EQ(inv.vlans.size(), 2u);

    const auto *eth0 = inv.adapter(kEth0);
    ASSERT_NE(eth0, nullptr);
    EXPECT_EQ(eth0->type, "VeltraneGE");
    EXPECT_EQ(eth0->name, "eth0");
    EXPECT_EQ(eth0->label, "Veltrane GE Dual Port Server Adapter");
    EXPECT_EQ(eth0->team, kTeam1);
    EXPECT_EQ(eth0->status, 0u);
    EXPECT_EQ(eth0->activeInTeam, 1);
    EXPECT_EQ(eth0->info1, 1000u);
    // eth1 is in the team with its link down.
    EXPECT_EQ(inv.adapter(kEth1)->team, kTeam1);
    EXPECT_EQ(inv.adapter(kEth1)->status, 1u);
    EXPECT_EQ(inv.adapter(kEth1)->activeInTeam, 0);
    EXPECT_EQ(inv.adapter(kEth3)->type, "VeltraneXGE");
    EXPECT_EQ(inv.adapter(kEth3)->team, 0u);
    EXPECT_EQ(inv.adapter(kEth5)->status, 5u);

    const auto *team = inv.team(kTeam1);
    ASSERT_NE(team, nullptr);
    EXPECT_EQ(team->kind, 1);
    EXPECT_EQ(team->text, "Team 1");
    EXPECT_EQ(team->members, 2u);
    EXPECT_EQ(team->status, 2u) << "a team with a member down is Degraded";

    EXPECT_EQ(inv.vlan(kSalesVlan)->parent, kEth2);
    EXPECT_EQ(inv.vlan(kBackupVlan)->parent, kTeam1);
    EXPECT_FALSE(stateExists()) << "reading never creates the state file";
}

TEST_F(InventoryTest, ReadsAnswerTheStoredValueOrNoValue) {
    EXPECT_EQ(Read(Kind::Adapter, kEth0, 3), std::make_pair(0u, std::string("1514")));
    EXPECT_EQ(Read(Kind::Adapter, kEth3, 36), std::make_pair(0u, std::string("10GBASE-SR")));
    EXPECT_EQ(Read(Kind::Adapter, kEth0, 36).first, 1u) << "a gigabit adapter has no SFP module";
    EXPECT_EQ(Read(Kind::Team, kTeam1, 100), std::make_pair(0u, std::string("Team 1")));
    EXPECT_EQ(Read(Kind::Vlan, kSalesVlan, 200), std::make_pair(0u, std::string("10")));
    EXPECT_EQ(Read(Kind::Vlan, kSalesVlan, 999).first, 1u);
}

TEST_F(InventoryTest, UnknownHandlesAndNullPointersAreRefused) {
    // A handle of another kind is as unknown as one never handed out.
    EXPECT_EQ(Read(Kind::Adapter, kTeam1, 3).first, 2u);
    EXPECT_EQ(Read(Kind::Team, kEth0, 100).first, 2u);
    EXPECT_EQ(Read(Kind::Vlan, 0, 200).first, 2u);
    EXPECT_EQ(Write(Kind::Adapter, 424242, 3, "9014"), 2u);
    EXPECT_EQ(Write(Kind::Team, kEth0, 100, "x"), 2u);
    EXPECT_EQ(NicIfAddTeamMember(424242, kTeam1), 2u);
    EXPECT_EQ(NicIfDeleteVlan(kTeam1), 2u);
    EXPECT_EQ(NicIfApplyPass1(424242), 2u);
    EXPECT_EQ(NicIfApplyPass2(0), 2u);

    uint32_t status = 0;
    EXPECT_EQ(NicIfGetAdapterStatus(424242, &status), 2u);
    EXPECT_EQ(status, 4u);
    EXPECT_EQ(NicIfGetTeamStatus(kEth0, &status), 2u);
    uint64_t team = 77;
    EXPECT_EQ(NicIfGetNicTeam(424242, &team), 2u);
    EXPECT_EQ(team, 0u);

    uint8_t mustFree = 0;
    lx_wchar *value = nullptr;
    EXPECT_EQ(NicIfGetAdapterProperty(kEth0, 3, nullptr, &mustFree), 4u);
    EXPECT_EQ(NicIfGetAdapterProperty(kEth0, 3, &value, nullptr), 4u);
    EXPECT_EQ(NicIfGetAdapterStatus(kEth0, nullptr), 4u);
    EXPECT_EQ(NicIfGetNicTeam(kEth0, nullptr), 4u);
    EXPECT_EQ(NicIfTcpIpInstalled(nullptr), 4u);
    void *arrays[3];
    uint32_t counts[3];
    EXPECT_EQ(NicIfEnumerate(&arrays[0], &counts[0], &arrays[1], nullptr, &arrays[2], &counts[2], 0), 4u);
}

TEST_F(InventoryTest, StatusTeamAndTcpIpQueries) {
    uint32_t status = 9;
    EXPECT_EQ(NicIfGetAdapterStatus(kEth0, &status), 0u);
    EXPECT_EQ(status, 0u);
    EXPECT_EQ(NicIfGetAdapterStatus(kEth5, &status), 0u);
    EXPECT_EQ(status, 5u);
    EXPECT_EQ(NicIfGetTeamStatus(kTeam1, &status), 0u);
    EXPECT_EQ(status, 2u);
    uint64_t team = 0;
    EXPECT_EQ(NicIfGetNicTeam(kEth1, &team), 0u);
    EXPECT_EQ(team, kTeam1);
    EXPECT_EQ(NicIfGetNicTeam(kEth3, &team), 0u);
    EXPECT_EQ(team, 0u);
    uint32_t installed = 0;
    EXPECT_EQ(NicIfTcpIpInstalled(&installed), 0u);
    EXPECT_EQ(installed, 1u);
    EXPECT_EQ(NicIfSetObjectFlags(kEth0, 1, 0), 0u);
}

TEST_F(InventoryTest, TeamStatusFollowsTheMembersLinks) {
    // Replace the team's down member by an active adapter: the team is Active.
    ASSERT_EQ(NicIfAddTeamMember(kEth2, kTeam1), 0u);
    ASSERT_EQ(NicIfRemoveTeamMember(kEth1, 0, kTeam1), 0u);
    ASSERT_EQ(NicIfApplyPass2(kEth1), 0u);
    uint32_t status = 9;
    EXPECT_EQ(NicIfGetTeamStatus(kTeam1, &status), 0u);
    EXPECT_EQ(status, 0u);
    // A team of the down adapter alone is Not Active.
    uint64_t lonely = 0;
    uint64_t member = kEth1;
    ASSERT_EQ(NicIfCreateTeam(nullptr, 0, &member, 1, &lonely), 0u);
    ASSERT_EQ(NicIfApplyPass2(lonely), 0u);
    EXPECT_EQ(NicIfGetTeamStatus(lonely, &status), 0u);
    EXPECT_EQ(status, 1u);
}

TEST_F(InventoryTest, CallsFromSeveralThreadsAreSerialised) {
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < 50; ++i) {
                uint64_t adapter = kEth0 + static_cast<uint64_t>(t);
                EXPECT_EQ(Write(Kind::Adapter, adapter, 11, std::to_string(i)), 0u);
                EXPECT_EQ(Read(Kind::Adapter, adapter, 3).first, 0u);
                Inventory inv = Enumerate();
                EXPECT_EQ(inv.adapters.size(), 6u);
            }
            EXPECT_EQ(NicIfApplyPass2(kEth0 + static_cast<uint64_t>(t)), 0u);
        });
    for (auto &thread : threads) thread.join();
    for (uint64_t adapter = kEth0; adapter < kEth0 + 4; ++adapter)
        EXPECT_EQ(Read(Kind::Adapter, adapter, 11).second, "49");
}
