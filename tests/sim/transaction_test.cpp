// Transactions: every commit held until the closing call, which saves all of
// it or nothing; a fault at any commit step leaves the old or the new state;
// processes sharing the state file never hand out one handle twice.
#include <cstdlib>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include "sim_support.h"

using namespace sim_test;

namespace {

constexpr uint32_t kBegin = 2, kCheckOnly = 1;

class TransactionTest : public SimTest {
protected:
    // The change of the fault tests: an adapter write and a new VLAN, in a
    // transaction closed as lxnicctl closes it, stopping at the first call
    // that fails. The answers, in order.
    static std::vector<uint32_t> RunChange() {
        Records records{{200, "30"}, {201, "Lab"}};
        uint64_t vlan = 0;
        const std::function<uint32_t()> calls[] = {
            [] { return NicIfApplyConfigChanges(0, kBegin); },
            [] { return Write(Kind::Adapter, kEth0, 8, "512"); },
            [&] { return NicIfCreateVlan(records.data(), records.count(), kEth3, 0, 0, &vlan); },
            [] { return NicIfApplyPass1(kEth0); },
            [] { return NicIfApplyPass2(kEth0); },
            [] { return NicIfApplyConfigChanges(0, 0); },
        };
        std::vector<uint32_t> answers;
        for (const auto &call : calls) {
            answers.push_back(call());
            if (answers.back() != 0) break;
        }
        return answers;
    }

    // Whether the file holds the state before or after RunChange.
    bool holdsBefore() const {
        nlohmann::json doc = stateJson();
        return doc["adapters"][0]["properties"]["8"] == "256" && doc["vlans"].size() == 2;
    }
    bool holdsAfter() const {
        nlohmann::json doc = stateJson();
        return doc["adapters"][0]["properties"]["8"] == "512" && doc["vlans"].size() == 3;
    }

    // A state file to start from (the default inventory, saved).
    std::string savedDefault() {
        EXPECT_EQ(Write(Kind::Adapter, kEth0, 8, "256"), 0u);
        EXPECT_EQ(NicIfApplyConfigChanges(0, 0), 0u);
        return readState();
    }
};

TEST_F(TransactionTest, CommitsWaitForTheClosingCallWhichSavesEverythingAtOnce) {
    ASSERT_EQ(NicIfApplyConfigChanges(0, kBegin), 0u);
    ASSERT_EQ(Write(Kind::Adapter, kEth0, 8, "512"), 0u);
    uint64_t eth3 = kEth3, team = 0, vlan = 0;
    ASSERT_EQ(NicIfCreateTeam(nullptr, 0, &eth3, 1, &team), 0u);
    Records records{{200, "40"}};
    ASSERT_EQ(NicIfCreateVlan(records.data(), records.count(), team, 0, 1, &vlan), 0u);
    for (uint64_t h : {kEth0, kEth3, vlan}) {
        EXPECT_EQ(NicIfApplyPass1(h), 0u);
        EXPECT_EQ(NicIfApplyPass2(h), 0u);
    }
    EXPECT_EQ(NicIfApplyConfigChanges(team, 0), 0u);
    EXPECT_EQ(NicIfApplyPass2(424242), 2u) << "an unknown handle is still unknown";
    EXPECT_EQ(NicIfApplyConfigChanges(0, kCheckOnly), 0u);
    EXPECT_FALSE(stateExists()) << "nothing is committed before the closing call";
    EXPECT_EQ(Read(Kind::Adapter, kEth0, 8).second, "256");

    ASSERT_EQ(NicIfApplyConfigChanges(0, 0), 0u);
    Inventory inv = Enumerate();
    EXPECT_EQ(Read(Kind::Adapter, kEth0, 8).second, "512");
    ASSERT_NE(inv.team(team), nullptr);
    ASSERT_NE(inv.vlan(vlan), nullptr);
    EXPECT_EQ(inv.vlan(vlan)->parent, team);

    // The transaction is over: a commit pass commits again at once.
    ASSERT_EQ(Write(Kind::Adapter, kEth0, 8, "1024"), 0u);
    ASSERT_EQ(NicIfApplyPass2(kEth0), 0u);
    EXPECT_EQ(stateJson()["adapters"][0]["properties"]["8"], "1024");
}

TEST_F(TransactionTest, CloseDropsAnOpenTransactionAndAllItHolds) {
    ASSERT_EQ(NicIfApplyConfigChanges(0, kBegin), 0u);
    ASSERT_EQ(Write(Kind::Adapter, kEth0, 8, "512"), 0u);
    ASSERT_EQ(NicIfApplyPass2(kEth0), 0u);
    NicIfClose(0);
    EXPECT_EQ(Read(Kind::Adapter, kEth0, 8).second, "256");
    EXPECT_FALSE(stateExists());
    ASSERT_EQ(Write(Kind::Adapter, kEth0, 8, "1024"), 0u);
    ASSERT_EQ(NicIfApplyPass2(kEth0), 0u);
    EXPECT_EQ(Read(Kind::Adapter, kEth0, 8).second, "1024");
}

TEST_F(TransactionTest, AChangeAnotherProcessMadeImpossibleFailsTheClosingCallAndCommitsNothing) {
    ASSERT_EQ(NicIfApplyConfigChanges(0, kBegin), 0u);
    ASSERT_EQ(Write(Kind::Adapter, kEth0, 8, "512"), 0u);
    uint64_t eth3 = kEth3, team = 0;
    ASSERT_EQ(NicIfCreateTeam(nullptr, 0, &eth3, 1, &team), 0u);
    ASSERT_EQ(InAnotherProcess([] {
        uint64_t member = kEth3, other = 0;
        EXPECT_EQ(NicIfCreateTeam(nullptr, 0, &member, 1, &other), 0u);
        EXPECT_EQ(NicIfApplyPass2(kEth3), 0u);
    }), 0);
    const std::string theirs = readState();
    EXPECT_EQ(NicIfApplyConfigChanges(0, 0), 5u);
    EXPECT_EQ(readState(), theirs) << "not even the adapter write of this process is committed";
}

TEST_F(TransactionTest, UnknownFlagsAndATransactionTheServerDoesNotOfferAnswerFour) {
    EXPECT_EQ(NicIfApplyConfigChanges(0, 4), 4u);
    EXPECT_EQ(NicIfApplyConfigChanges(0, kBegin | kCheckOnly), 4u);
    setenv("LXNICIF_TRANSACTIONS", "0", 1);
    EXPECT_EQ(NicIfApplyConfigChanges(0, kBegin), 4u);
    unsetenv("LXNICIF_TRANSACTIONS");
    EXPECT_EQ(NicIfApplyConfigChanges(0, kBegin), 0u);
}

TEST_F(TransactionTest, AFailureAtAnyCommitStepLeavesTheOldStateOrReportsTheCommitItMade) {
    const std::string before = savedDefault();
    bool completed = false;
    for (int step = 1; step <= 30 && !completed; ++step) {
        writeState(before);
        NicIfClose(0);
        setenv("LXNICIF_FAULT", ("fail:" + std::to_string(step)).c_str(), 1);
        std::vector<uint32_t> answers = RunChange();
        unsetenv("LXNICIF_FAULT");
        bool failed = false;
        for (uint32_t a : answers) failed = failed || a != 0;
        completed = !failed;
        if (failed) {
            // Only the last step, after the rename, fails with the commit made.
            EXPECT_TRUE(holdsBefore() || (holdsAfter() && answers.back() == 6u)) << "step " << step;
        } else {
            EXPECT_TRUE(holdsAfter()) << "step " << step;
        }
    }
    EXPECT_TRUE(completed) << "the change never got past the injected failure";
}

TEST_F(TransactionTest, AProcessKilledAtAnyCommitStepLeavesTheOldOrTheNewStateAndNoTemporary) {
    const std::string before = savedDefault();
    bool completed = false;
    int killed = 0;
    for (int step = 1; step <= 30 && !completed; ++step) {
        writeState(before);
        NicIfClose(0);
        int status = InAnotherProcess([step] {
            setenv("LXNICIF_FAULT", ("abort:" + std::to_string(step)).c_str(), 1);
            RunChange();
        });
        ASSERT_TRUE(status == -1 || status == 0) << "step " << step;
        killed += status == -1;
        completed = status == 0;
        EXPECT_TRUE(holdsBefore() || holdsAfter()) << "step " << step;
        if (completed) {
            EXPECT_TRUE(holdsAfter());
        }
    }
    EXPECT_TRUE(completed);
    EXPECT_GE(killed, 8) << "every step of the closing commit is a place to be killed";
    // The next commit clears what a killed save left beside the file.
    ASSERT_EQ(Write(Kind::Adapter, kEth1, 8, "1024"), 0u);
    ASSERT_EQ(NicIfApplyConfigChanges(0, 0), 0u);
    EXPECT_EQ(files(), (std::vector<std::string>{"state.json", "state.json.lock"}));
}

TEST_F(TransactionTest, ProcessesCreatingAtOnceNeverHandOutOneHandleTwice) {
    constexpr int kProcesses = 8;
    int go[2];
    ASSERT_EQ(pipe(go), 0);
    std::vector<pid_t> children;
    for (int i = 0; i < kProcesses; ++i) {
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(go[1]);
            NicIfClose(0);
            Records records{{200, std::to_string(100 + i)}};
            uint64_t vlan = 0;
            bool ok = NicIfCreateVlan(records.data(), records.count(), kEth3, 0, 0, &vlan) == 0;
            // Every process has staged its VLAN before any commits.
            char byte;
            while (read(go[0], &byte, 1) > 0) {
            }
            ok = ok && NicIfApplyPass2(kEth3) == 0;
            _exit(ok ? 0 : 1);
        }
        children.push_back(child);
    }
    close(go[0]);
    close(go[1]);
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    NicIfClose(0);
    std::set<uint64_t> handles;
    for (const auto &v : Enumerate().vlans)
        if (v.parent == kEth3) handles.insert(v.handle);
    EXPECT_EQ(handles.size(), static_cast<std::size_t>(kProcesses));
}

}  // namespace
