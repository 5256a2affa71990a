// Staged changes: invisible until their object's commit, which saves the
// state file; dropped by NicIfClose.
#include <algorithm>
#include <filesystem>
#include <fstream>

#include "sim_support.h"

using namespace sim_test;

using StagingTest = SimTest;

TEST_F(StagingTest, AWriteIsInvisibleUntilCommittedAndThenSurvivesAReload) {
    // Jumbo frames take effect when the adapter restarts: the write answers 7.
    ASSERT_EQ(Write(Kind::Adapter, kEth0, 3, "9014"), 7u);
    EXPECT_EQ(Read(Kind::Adapter, kEth0, 3).second, "1514");
    EXPECT_EQ(NicIfApplyPass1(kEth0), 0u);
    EXPECT_EQ(Read(Kind::Adapter, kEth0, 3).second, "1514") << "pass 1 only validates";
    EXPECT_FALSE(stateExists());

    ASSERT_EQ(NicIfApplyPass2(kEth0), 0u);
    EXPECT_EQ(Read(Kind::Adapter, kEth0, 3).second, "9014");
    ASSERT_TRUE(stateExists());
    EXPECT_EQ(stateJson()["adapters"][0]["properties"]["3"], "9014");
    // Only the state file and its lock file are left in the directory: the
    // temporary is renamed.
    EXPECT_EQ(files(), (std::vector<std::string>{"state.json", "state.json.lock"}));

    NicIfClose(0);
    EXPECT_EQ(Read(Kind::Adapter, kEth0, 3).second, "9014");
}

TEST_F(StagingTest, ACommitKeepsWhatAnotherProcessCommittedMeanwhile) {
    ASSERT_EQ(Write(Kind::Adapter, kEth0, 3, "9014"), 7u);
    ASSERT_EQ(InAnotherProcess([] {
        EXPECT_EQ(Write(Kind::Adapter, kEth1, 3, "4088"), 7u);
        EXPECT_EQ(NicIfApplyPass2(kEth1), 0u);
    }), 0);
    ASSERT_EQ(NicIfApplyPass2(kEth0), 0u);
    nlohmann::json adapters = stateJson()["adapters"];
    EXPECT_EQ(adapters[0]["properties"]["3"], "9014");
    EXPECT_EQ(adapters[1]["properties"]["3"], "4088") << "the other process's commit is kept";
    EXPECT_EQ(Read(Kind::Adapter, kEth1, 3).second, "4088");
}

TEST_F(StagingTest, AChangeAnotherProcessMadeImpossibleFailsTheCommit) {
    // Both processes put eth3 into a new team; the second commit cannot.
    uint64_t member = kEth3, team = 0;
    ASSERT_EQ(NicIfCreateTeam(nullptr, 0, &member, 1, &team), 0u);
    ASSERT_EQ(InAnotherProcess([] {
        uint64_t otherMember = kEth3, otherTeam = 0;
        EXPECT_EQ(NicIfCreateTeam(nullptr, 0, &otherMember, 1, &otherTeam), 0u);
        EXPECT_EQ(NicIfApplyPass2(kEth3), 0u);
    }), 0);
    EXPECT_EQ(NicIfApplyPass2(kEth3), 5u);
    EXPECT_EQ(stateJson()["teams"].size(), 2u) << "the other process's team stays, no third is made";
}

TEST_F(StagingTest, CloseDropsUncommittedChanges) {
    ASSERT_EQ(Write(Kind::Adapter, kEth0, 3, "9014"), 7u);
    uint64_t member = kEth3, team = 0;
    ASSERT_EQ(NicIfCreateTeam(nullptr, 0, &member, 1, &team), 0u);
    NicIfClose(1);
    EXPECT_EQ(NicIfApplyPass2(kEth0), 0u);
    EXPECT_EQ(Read(Kind::Adapter, kEth0, 3).second, "1514");
    EXPECT_EQ(Enumerate().teams.size(), 1u);
    EXPECT_FALSE(stateExists());
}

TEST_F(StagingTest, TheNewestStagedWriteWinsAndRawSizedValuesAreAccepted) {
    ASSERT_EQ(Write(Kind::Adapter, kEth0, 8, "512"), 0u);
    std::u16string raw = W("1024");
    ASSERT_EQ(NicIfSetAdapterProperty(kEth0, 8, raw.c_str(), 0xFFFFFFFFu), 0u);
    ASSERT_EQ(NicIfApplyPass2(kEth0), 0u);
    EXPECT_EQ(Read(Kind::Adapter, kEth0, 8).second, "1024");
}

TEST_F(StagingTest, WritesTheObjectCannotTakeAnswerThree) {
    struct Case {
        const char *what;
        Kind kind;
        uint64_t handle;
        uint32_t property;
        const char *value;
    };
    const Case cases[] = {
        {"property the adapter does not have", Kind::Adapter, kEth0, 36, "10GBASE-SR"},
        {"read-only statistic", Kind::Adapter, kEth0, 20, "0"},
        {"value outside the choices", Kind::Adapter, kEth0, 1, "7"},
        {"number outside the range", Kind::Adapter, kEth0, 8, "4096"},
        {"not a number", Kind::Adapter, kEth0, 8, "lots"},
        {"team: read-only information", Kind::Team, kTeam1, 111, "10 Gbps"},
        {"VLAN id out of range", Kind::Vlan, kSalesVlan, 200, "4095"},
        {"VLAN id taken on the same parent", Kind::Vlan, kBackupVlan, 200, "20"},
    };
    // The ten-gigabit adapter takes what the gigabit one does not.
    ASSERT_EQ(Write(Kind::Adapter, kEth3, 1, "7"), 0u);
    ASSERT_EQ(Write(Kind::Adapter, kEth3, 8, "4096"), 0u);
    for (const Case &c : cases) {
        // The last case needs a second VLAN on the team with the id 20.
        if (std::string(c.what).find("taken") != std::string::npos) {
            ASSERT_EQ(Write(Kind::Vlan, kBackupVlan, 200, "30"), 0u);
            Records records{{200, "20"}};
            uint64_t vlan = 0;
            ASSERT_EQ(NicIfCreateVlan(records.data(), records.count(), kTeam1, 0, 1, &vlan), 0u);
            EXPECT_EQ(NicIfApplyPass2(vlan), 5u) << "alone it clashes with the committed VLAN 20";
            ASSERT_EQ(NicIfApplyPass2(kTeam1), 0u) << "the team's commit takes both VLANs";
        }
        EXPECT_EQ(Write(c.kind, c.handle, c.property, c.value), 3u) << c.what;
    }
}

TEST_F(StagingTest, MalformedValuesAnswerFour) {
    std::u16string text = W("9014");
    EXPECT_EQ(NicIfSetAdapterProperty(kEth0, 3, nullptr, 10), 4u);
    EXPECT_EQ(NicIfSetAdapterProperty(kEth0, 3, text.c_str(), 0), 4u);
    EXPECT_EQ(NicIfSetAdapterProperty(kEth0, 3, text.c_str(), 7), 4u);
    // A size that ends before the terminator takes the text it covers.
    EXPECT_EQ(NicIfSetAdapterProperty(kEth0, 11, text.c_str(), 4), 0u);
    ASSERT_EQ(NicIfApplyPass2(kEth0), 0u);
    EXPECT_EQ(Read(Kind::Adapter, kEth0, 11).second, "90");
}

TEST_F(StagingTest, AnAdaptersCommitLeavesOtherAdaptersStaged) {
    ASSERT_EQ(Write(Kind::Adapter, kEth0, 8, "512"), 0u);
    ASSERT_EQ(Write(Kind::Adapter, kEth3, 8, "1024"), 0u);
    ASSERT_EQ(NicIfApplyPass2(kEth3), 0u);
    EXPECT_EQ(Read(Kind::Adapter, kEth3, 8).second, "1024");
    EXPECT_EQ(Read(Kind::Adapter, kEth0, 8).second, "256");
    // The pending write is still there for its own commit.
    ASSERT_EQ(NicIfApplyPass2(kEth0), 0u);
    EXPECT_EQ(Read(Kind::Adapter, kEth0, 8).second, "512");
}

TEST_F(StagingTest, AnAdaptersCommitAppliesItsTeamAndTheVlansOnBoth) {
    // The configuration library registers the member adapters, not the team,
    // after a team change; their commit must carry the team's changes.
    ASSERT_EQ(Write(Kind::Team, kTeam1, 100, "Storage"), 0u);
    ASSERT_EQ(Write(Kind::Vlan, kBackupVlan, 201, "Nightly"), 0u);
    ASSERT_EQ(Write(Kind::Vlan, kSalesVlan, 201, "Marketing"), 0u);
    ASSERT_EQ(NicIfApplyPass2(kEth1), 0u);
    EXPECT_EQ(Read(Kind::Team, kTeam1, 100).second, "Storage");
    EXPECT_EQ(Enumerate().team(kTeam1)->text, "Storage");
    EXPECT_EQ(Read(Kind::Vlan, kBackupVlan, 201).second, "Nightly");
    EXPECT_EQ(Read(Kind::Vlan, kSalesVlan, 201).second, "Sales") << "eth2's VLAN is not eth1's";
    ASSERT_EQ(NicIfApplyPass2(kEth2), 0u);
    EXPECT_EQ(Read(Kind::Vlan, kSalesVlan, 201).second, "Marketing");
}

TEST_F(StagingTest, ATeamCreatedAndCommittedGetsAFreshStableHandle) {
    Records records{{100, "Web"}, {101, "3"}};
    uint64_t members[] = {kEth3, kEth4};
    uint64_t team = 0;
    ASSERT_EQ(NicIfCreateTeam(records.data(), records.count(), members, 2, &team), 0u);
    EXPECT_EQ(team, 4001u);
    // Not there until committed, but it can be written already.
    EXPECT_EQ(Enumerate().team(team), nullptr);
    EXPECT_EQ(Read(Kind::Team, team, 100).first, 2u);
    ASSERT_EQ(Write(Kind::Team, team, 3, "9014"), 7u);
    Records vlanRecords{{200, "5"}, {201, "Front"}};
    uint64_t vlan = 0;
    ASSERT_EQ(NicIfCreateVlan(vlanRecords.data(), vlanRecords.count(), team, 7, 1, &vlan), 0u);
    EXPECT_EQ(vlan, 4002u);

    ASSERT_EQ(NicIfApplyPass1(kEth3), 0u);
    ASSERT_EQ(NicIfApplyPass2(kEth3), 0u);
    NicIfClose(0);  // everything below comes from the file
    Inventory inv = Enumerate();
    ASSERT_NE(inv.team(team), nullptr);
    EXPECT_EQ(inv.team(team)->text, "Web");
    EXPECT_EQ(inv.adapter(kEth3)->team, team);
    EXPECT_EQ(inv.adapter(kEth4)->team, team);
    ASSERT_NE(inv.vlan(vlan), nullptr);
    EXPECT_EQ(inv.vlan(vlan)->parent, team);
    EXPECT_EQ(Read(Kind::Team, team, 101).second, "3");
    EXPECT_EQ(Read(Kind::Team, team, 3).second, "9014");
    EXPECT_EQ(Read(Kind::Team, team, 106).second, "5") << "unset settings start from the team profile";
    EXPECT_EQ(Read(Kind::Vlan, vlan, 201).second, "Front");
    EXPECT_EQ(stateJson()["vlans"][2]["parameter"], 7);

    uint64_t another = 0, member = kEth5;
    ASSERT_EQ(NicIfCreateTeam(nullptr, 0, &member, 1, &another), 0u);
    EXPECT_EQ(another, 4003u) << "handles are never handed out twice";
    EXPECT_EQ(Read(Kind::Team, team, 100).second, "Web");
}

TEST_F(StagingTest, DissolvingATeamFreesItsMembersAndTakesItsVlans) {
    EXPECT_EQ(NicIfDissolveTeam(kTeam1, 0), 5u) << "the team still has a VLAN";
    ASSERT_EQ(NicIfDissolveTeam(kTeam1, 1), 0u);
    EXPECT_EQ(Write(Kind::Vlan, kBackupVlan, 201, "x"), 2u) << "the VLAN goes with the team";
    EXPECT_NE(Enumerate().team(kTeam1), nullptr);
    ASSERT_EQ(NicIfApplyPass2(kEth0), 0u);
    Inventory inv = Enumerate();
    EXPECT_TRUE(inv.teams.empty());
    EXPECT_EQ(inv.vlans.size(), 1u);
    EXPECT_EQ(inv.adapter(kEth0)->team, 0u);
    EXPECT_EQ(inv.adapter(kEth1)->team, 0u);
    // The team's handle stays in a caller's list of changed objects: its
    // commit has nothing left to do.
    EXPECT_EQ(NicIfApplyPass1(kTeam1), 0u);
    EXPECT_EQ(NicIfApplyPass2(kTeam1), 0u);
}

TEST_F(StagingTest, ApplyConfigChangesCommitsEverythingOrOnlyValidates) {
    ASSERT_EQ(Write(Kind::Adapter, kEth0, 8, "512"), 0u);
    ASSERT_EQ(Write(Kind::Vlan, kSalesVlan, 201, "Marketing"), 0u);
    EXPECT_EQ(NicIfApplyConfigChanges(0, 1), 0u);
    EXPECT_EQ(Read(Kind::Adapter, kEth0, 8).second, "256");
    EXPECT_EQ(NicIfApplyConfigChanges(0, 0), 0u);
    EXPECT_EQ(Read(Kind::Adapter, kEth0, 8).second, "512");
    EXPECT_EQ(Read(Kind::Vlan, kSalesVlan, 201).second, "Marketing");
    EXPECT_EQ(NicIfApplyConfigChanges(424242, 0), 2u);
}

TEST_F(StagingTest, AFailedSaveCommitsNothingAndKeepsTheChangesStaged) {
    // The state file's directory is a regular file: nothing can be saved.
    std::string blocker = dir() + "/blocker";
    { std::ofstream touch(blocker); }
    setenv("LXNICIF_STATE", (blocker + "/state.json").c_str(), 1);
    NicIfClose(0);
    ASSERT_EQ(Write(Kind::Adapter, kEth0, 8, "512"), 0u);
    EXPECT_EQ(NicIfApplyPass2(kEth0), 6u);
    EXPECT_EQ(Read(Kind::Adapter, kEth0, 8).second, "256");
    // Once the directory can be made, the same staged change commits.
    std::filesystem::remove(blocker);
    EXPECT_EQ(NicIfApplyPass2(kEth0), 0u);
    EXPECT_EQ(Read(Kind::Adapter, kEth0, 8).second, "512");
    EXPECT_TRUE(std::filesystem::exists(blocker + "/state.json"));
}

TEST_F(StagingTest, ASaveThatCannotWriteItsTemporaryLeavesTheFileAsItWas) {
    ASSERT_EQ(Write(Kind::Adapter, kEth0, 8, "512"), 0u);
    ASSERT_EQ(NicIfApplyPass2(kEth0), 0u);
    std::string before = readState();
    // The temporary file's name is taken by a directory.
    std::filesystem::create_directory(statePath() + ".tmp-" + std::to_string(getpid()));
    ASSERT_EQ(Write(Kind::Adapter, kEth0, 8, "1024"), 0u);
    EXPECT_EQ(NicIfApplyPass2(kEth0), 6u);
    EXPECT_EQ(readState(), before);
    EXPECT_EQ(Read(Kind::Adapter, kEth0, 8).second, "512");
}
