// The Linux NIC interface library against this machine's own kernel, in a
// network namespace each test makes (and that vanishes with it), on a veth
// pair: what veth offers (MTU, MAC address, offloads) is read, written,
// committed and read back; a step the kernel refuses puts back what the
// commit had already changed.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "linux_support.h"

using namespace lxnictest;

namespace {

class NetnsTest : public ::testing::Test {
protected:
    void SetUp() override { setenv("LXNICIF_BACKEND", "linux", 1); }
    // Runs body with veth0/veth1 in a namespace of its own.
    void WithVeth(const std::function<void(const Inventory &)> &body) {
        bool made = InOwnNetworkNamespace([&] {
            AddVethPair("veth0", "veth1");
            if (::testing::Test::HasFailure()) return;
            body(Enumerate());
            NicIfClose(0);
        });
        if (!made) GTEST_SKIP() << "no network namespace can be made here (needs root)";
    }
};

TEST_F(NetnsTest, ListsVethAdaptersWithTheirSettings) {
    WithVeth([](const Inventory &inv) {
        ASSERT_EQ(inv.adapters.size(), 2u);
        EXPECT_TRUE(inv.teams.empty());
        uint64_t h = inv.adapter("veth0");
        ASSERT_NE(h, 0u);
        EXPECT_EQ(inv.adapters[0].type, "veth");
        EXPECT_EQ(GetAdapter(h, 58), std::to_string(h));  // the handle is the interface index
        EXPECT_EQ(GetAdapter(h, 3), "1500");
        EXPECT_EQ(GetAdapter(h, 53), "up");
        EXPECT_EQ(GetAdapter(h, 54), "veth");
        EXPECT_EQ(GetAdapter(h, 20), "1");  // veth checksums in software
        EXPECT_EQ(GetAdapter(h, 30), "<code 1>");  // no rings
        EXPECT_EQ(GetAdapter(h, 999), "<code 1>");
        uint32_t status = 9;
        EXPECT_EQ(NicIfGetAdapterStatus(h, &status), 0u);
        EXPECT_EQ(status, 0u);
        uint64_t team = 7;
        EXPECT_EQ(NicIfGetNicTeam(h, &team), 0u);
        EXPECT_EQ(team, 0u);
    });
}

TEST_F(NetnsTest, WritesTakeEffectAtTheCommitAndReadBack) {
    WithVeth([](const Inventory &inv) {
        uint64_t h = inv.adapter("veth0");
        EXPECT_EQ(SetAdapter(h, 3, "1400"), 0u);
        EXPECT_EQ(SetAdapter(h, 2, "02:12:34:56:78:9A"), 0u);
        EXPECT_EQ(SetAdapter(h, 25, "1"), 0u);
        EXPECT_EQ(GetAdapter(h, 3), "1500") << "a staged write shows only after the commit";
        EXPECT_EQ(NicIfApplyConfigChanges(0, 1), 0u);  // check only
        EXPECT_EQ(GetAdapter(h, 3), "1500");
        EXPECT_EQ(NicIfApplyPass1(h), 0u);
        EXPECT_EQ(NicIfApplyPass2(h), 0u);
        EXPECT_EQ(GetAdapter(h, 3), "1400");
        EXPECT_EQ(GetAdapter(h, 2), "02:12:34:56:78:9a");
        EXPECT_EQ(GetAdapter(h, 25), "1");
        EXPECT_EQ(NicIfApplyPass2(h), 0u) << "nothing left to commit";
    });
}

TEST_F(NetnsTest, ARefusedStepPutsBackWhatTheCommitChanged) {
    WithVeth([](const Inventory &inv) {
        uint64_t a = inv.adapter("veth0"), b = inv.adapter("veth1");
        EXPECT_EQ(SetAdapter(a, 3, "1400"), 0u);
        EXPECT_EQ(SetAdapter(b, 23, "0"), 0u);
        // veth has a fixed speed: the kernel refuses to set one.
        EXPECT_EQ(SetAdapter(b, 1, "1000/full"), 0u);
        EXPECT_EQ(NicIfApplyConfigChanges(0, 0), 3u);
        EXPECT_EQ(GetAdapter(a, 3), "1500");
        EXPECT_EQ(GetAdapter(b, 23), "1");
        EXPECT_EQ(NicIfApplyConfigChanges(0, 0), 0u) << "the refused changes are dropped";
        EXPECT_EQ(GetAdapter(a, 3), "1500");
    });
}

// Inside a transaction the passes commit nothing; the closing
// NicIfApplyConfigChanges(0, 0) commits everything, or nothing when the
// kernel refuses a step.
TEST_F(NetnsTest, ATransactionCommitsEverythingAtItsEndOrNothing) {
    WithVeth([](const Inventory &inv) {
        uint64_t a = inv.adapter("veth0"), b = inv.adapter("veth1");
        ASSERT_EQ(NicIfApplyConfigChanges(0, NICIF_APPLY_BEGIN_TRANSACTION), 0u);
        EXPECT_EQ(SetAdapter(a, 3, "1400"), 0u);
        EXPECT_EQ(SetAdapter(b, 3, "1300"), 0u);
        EXPECT_EQ(NicIfApplyPass1(a), 0u);
        EXPECT_EQ(NicIfApplyPass2(a), 0u);
        EXPECT_EQ(NicIfApplyConfigChanges(b, 0), 0u);
        EXPECT_EQ(NicIfApplyPass2(987654), 2u) << "an unknown handle";
        EXPECT_EQ(GetAdapter(a, 3), "1500") << "nothing is committed before the transaction's end";
        EXPECT_EQ(NicIfApplyConfigChanges(0, NICIF_APPLY_CHECK_ONLY), 0u);
        EXPECT_EQ(GetAdapter(b, 3), "1500");
        ASSERT_EQ(NicIfApplyConfigChanges(0, 0), 0u);
        EXPECT_EQ(GetAdapter(a, 3), "1400");
        EXPECT_EQ(GetAdapter(b, 3), "1300");

        // The transaction has ended: a pass commits again.
        EXPECT_EQ(SetAdapter(a, 3, "1500"), 0u);
        EXPECT_EQ(NicIfApplyPass2(a), 0u);
        EXPECT_EQ(GetAdapter(a, 3), "1500");

        // A step the kernel refuses (veth has a fixed speed) puts back the
        // steps before it.
        ASSERT_EQ(NicIfApplyConfigChanges(0, NICIF_APPLY_BEGIN_TRANSACTION), 0u);
        EXPECT_EQ(SetAdapter(a, 3, "1400"), 0u);
        EXPECT_EQ(SetAdapter(b, 1, "1000/full"), 0u);
        EXPECT_EQ(NicIfApplyPass2(a), 0u);
        EXPECT_EQ(NicIfApplyConfigChanges(0, 0), 3u);
        EXPECT_EQ(GetAdapter(a, 3), "1500");

        // Closing drops an open transaction with what it holds.
        ASSERT_EQ(NicIfApplyConfigChanges(0, NICIF_APPLY_BEGIN_TRANSACTION), 0u);
        EXPECT_EQ(SetAdapter(a, 3, "1400"), 0u);
        NicIfClose(0);
        EXPECT_EQ(NicIfApplyPass2(a), 0u);
        EXPECT_EQ(GetAdapter(a, 3), "1500");

        EXPECT_EQ(NicIfApplyConfigChanges(0, 4), 4u) << "an unknown flag";
        EXPECT_EQ(NicIfApplyConfigChanges(0, NICIF_APPLY_CHECK_ONLY | NICIF_APPLY_BEGIN_TRANSACTION), 4u);
    });
}

TEST_F(NetnsTest, BadInputIsRefusedAndChangesNothing) {
    WithVeth([](const Inventory &inv) {
        uint64_t h = inv.adapter("veth0");
        const struct {
            uint32_t property;
            std::string value;
            uint32_t code;
        } cases[] = {
            {3, "67", 3},                  // below the smallest MTU
            {3, "1e3", 3},
            {2, "01:00:5e:00:00:01", 3},   // multicast
            {2, "02:00:00:00:00", 3},
            {25, "yes", 3},
            {50, "02:00:00:00:00:01", 3},  // read-only
            {777, "1", 3},                 // no such property
        };
        for (const auto &c : cases) {
            EXPECT_EQ(SetAdapter(h, c.property, c.value), c.code) << c.property << " " << c.value;
        }
        EXPECT_EQ(SetTeam(h, 101, "1"), 2u) << "an adapter is no team";
        EXPECT_EQ(SetAdapter(987654, 3, "1400"), 2u) << "no such interface";
        EXPECT_EQ(NicIfSetAdapterProperty(h, 3, nullptr, 4), 4u);
        std::u16string odd = Wide("1400");
        EXPECT_EQ(NicIfSetAdapterProperty(h, 3, odd.c_str(), 3), 4u);
        uint32_t status = 0;
        EXPECT_EQ(NicIfGetAdapterStatus(h, nullptr), 4u);
        EXPECT_EQ(NicIfGetTeamStatus(h, &status), 2u);
        EXPECT_EQ(NicIfApplyPass2(0), 2u);
        EXPECT_EQ(NicIfApplyConfigChanges(0, 0), 0u);
        EXPECT_EQ(GetAdapter(h, 3), "1500");
        EXPECT_EQ(GetAdapter(h, 2).size(), 17u);
    });
}

TEST_F(NetnsTest, AVanishedInterfaceAnswersUnknownHandle) {
    WithVeth([](const Inventory &inv) {
        uint64_t h = inv.adapter("veth0");
        EXPECT_EQ(SetAdapter(h, 3, "1400"), 0u);
        DeleteLinkByName("veth0");  // its peer goes with it
        EXPECT_EQ(GetAdapter(h, 3), "<code 2>");
        EXPECT_EQ(SetAdapter(h, 3, "1300"), 2u);
        EXPECT_EQ(NicIfApplyConfigChanges(0, 0), 2u) << "the staged write names a vanished interface";
        EXPECT_TRUE(Enumerate().adapters.empty());
    });
}

TEST_F(NetnsTest, WithoutPrivilegesACommitIsRefusedAsNotPermitted) {
    WithVeth([](const Inventory &inv) {
        uint64_t h = inv.adapter("veth0");
        DropCapabilities();
        EXPECT_EQ(GetAdapter(h, 3), "1500") << "reading needs no privileges";
        EXPECT_EQ(SetAdapter(h, 3, "1400"), 0u);
        EXPECT_EQ(NicIfApplyConfigChanges(0, 0), 6u);
        EXPECT_EQ(GetAdapter(h, 3), "1500");
    });
}

// Runs a command, returns its exit code; output gets what it printed.
int Shell(const std::string &command, std::string &output) {
    output.clear();
    FILE *pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return -1;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe)) output += buffer;
    int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// lxnicctl --backend linux as a user runs it, inside the namespace: a change
// is committed in one transaction and read back; a change the kernel refuses
// at the commit leaves the adapter as it was.
TEST_F(NetnsTest, LxnicctlChangesAdaptersThroughTheLinuxBackend) {
    std::string stateDir = ::testing::TempDir() + "lxnicctl-netns-" + std::to_string(getpid());
    std::filesystem::remove_all(stateDir);
    const std::string lxnicctl = std::string(LXNICCTL_PATH) + " --backend linux --state-dir " + stateDir;
    WithVeth([&](const Inventory &inv) {
        uint64_t h = inv.adapter("veth0");
        std::string out;
        ASSERT_EQ(Shell(lxnicctl + " list", out), 0) << out;
        EXPECT_NE(out.find("veth1"), std::string::npos) << out;
        EXPECT_EQ(Shell(lxnicctl + " --dry-run set veth0 MTU=1400", out), 0) << out;
        EXPECT_EQ(GetAdapter(h, 3), "1500");
        EXPECT_EQ(Shell(lxnicctl + " set veth0 MTU=1400 GenericReceiveOffload=Enabled", out), 0) << out;
        EXPECT_NE(out.find("committing everything at once"), std::string::npos) << "a transaction: " << out;
        EXPECT_EQ(GetAdapter(h, 3), "1400");
        EXPECT_EQ(GetAdapter(h, 25), "1");

        // veth has no link modes to force: the kernel refuses the speed after
        // the MTU step, and the MTU goes back.
        EXPECT_NE(Shell(lxnicctl + " set veth0 MTU=1300 'SpeedDuplex=1000 Mbps Full Duplex'", out), 0) << out;
        EXPECT_EQ(GetAdapter(h, 3), "1400") << out;
        EXPECT_EQ(Shell(lxnicctl + " checkpoint list", out), 0) << out;
    });
    std::filesystem::remove_all(stateDir);
}

}  // namespace
