// The Linux NIC interface library on a kernel with bonding and 802.1Q: run
// in the test VM (scripts/kernel-tests.sh), on its emulated NICs eth0
// (e1000), eth1 (e1000 82545EM), eth2 (e1000e) and eth3 (virtio-net). On a
// machine without bonding every case skips itself. LXNIC_VM_SYNC names the
// folder shared with the host, through which a case asks the host to pull
// a cable and where a saved script waits for the next VM.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "linux_support.h"

using namespace lxnictest;

namespace {

// Only inside the test VM, which sets LXNIC_VM: these cases create and
// dissolve bonds and change adapters, which must never happen to the
// network of a machine that merely runs the test suite.
bool InTestVm() {
    const char *vm = std::getenv("LXNIC_VM");
    return vm && std::string(vm) == "1";
}

bool KernelHasBonding() {
    struct stat st{};
    return stat("/sys/module/bonding", &st) == 0 && stat("/sys/module/8021q", &st) == 0;
}

std::string Sync() {
    const char *dir = std::getenv("LXNIC_VM_SYNC");
    return dir ? dir : "";
}

bool Exists(const std::string &path) {
    struct stat st{};
    return stat(path.c_str(), &st) == 0;
}

// Runs a command, returns its exit code and output.
int Shell(const std::string &command, std::string *output = nullptr) {
    std::string line = command + " 2>&1";
    FILE *pipe = popen(line.c_str(), "r");
    if (!pipe) return -1;
    std::string text;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe)) text += buffer;
    int status = pclose(pipe);
    std::cout << "$ " << command << "\n" << text;
    if (output) *output = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The teams with their members and the VLANs with their parents, ids and
// names, one sorted line each.
std::string Summary() {
    Inventory inv = Enumerate();
    std::vector<std::string> lines;
    for (const Listed &t : inv.teams) {
        std::string line = "team " + t.name + ":";
        for (const Listed &a : inv.adapters) {
            if (a.team == t.handle) line += " " + a.name;
        }
        lines.push_back(line + " mode " + GetTeam(t.handle, 101) + " hash policy " + GetTeam(t.handle, 102));
    }
    for (const auto &[vlan, parent] : inv.vlans) {
        lines.push_back("vlan " + GetVlan(vlan, 200) + " on " + GetVlan(vlan, 210) + " named " + GetVlan(vlan, 201) +
                        " " + GetVlan(vlan, 202));
    }
    std::sort(lines.begin(), lines.end());
    std::string text;
    for (const std::string &l : lines) text += l + "\n";
    return text;
}

std::string Lxnicctl() { return std::string(LXNICCTL_PATH) + " --backend linux"; }

template <typename Predicate>
bool WaitFor(Predicate ready, int seconds) {
    for (int i = 0; i < seconds * 10; ++i) {
        if (ready()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return ready();
}

PropertyRecord Record(uint32_t number, std::u16string &storage) {
    PropertyRecord r{};
    r.propertyNumber = number;
    r.value = storage.data();
    r.size = static_cast<uint32_t>((storage.size() + 1) * 2);
    return r;
}

class KernelTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!InTestVm()) GTEST_SKIP() << "runs only in the test VM (scripts/kernel-tests.sh)";
        // In the VM a missing module is a failure, never a silent skip.
        ASSERT_TRUE(KernelHasBonding()) << "the test VM's kernel has no bonding or 802.1Q";
        active = true;
        setenv("LXNICIF_BACKEND", "linux", 1);
        inv = Enumerate();
        for (const char *name : {"eth0", "eth1", "eth2", "eth3"}) {
            ASSERT_NE(inv.adapter(name), 0u) << name;
        }
    }
    void TearDown() override {
        // Each case leaves the VM as it found it: no bonds, no VLANs.
        if (!active) return;
        NicIfClose(0);
        Inventory now = Enumerate();
        for (const Listed &t : now.teams) NicIfDissolveTeam(t.handle, 1);
        for (const auto &[vlan, parent] : now.vlans) NicIfDeleteVlan(vlan);
        NicIfApplyConfigChanges(0, 0);
    }
    uint64_t createTeam(const std::string &name, const std::string &mode, std::vector<uint64_t> members,
                        uint32_t expected = 0) {
        std::u16string n = Wide(name), m = Wide(mode);
        PropertyRecord records[] = {Record(100, n), Record(101, m)};
        uint64_t team = 0;
        EXPECT_EQ(NicIfCreateTeam(records, 2, members.data(), static_cast<uint32_t>(members.size()), &team), expected);
        return team;
    }
    uint64_t createVlan(uint64_t parent, bool parentIsTeam, const std::string &id, const std::string &protocol = "802.1Q",
                        uint32_t expected = 0) {
        std::u16string i = Wide(id), p = Wide(protocol);
        PropertyRecord records[] = {Record(200, i), Record(202, p)};
        uint64_t vlan = 0;
        EXPECT_EQ(NicIfCreateVlan(records, 2, parent, 0, parentIsTeam ? 1 : 0, &vlan), expected);
        return vlan;
    }
    Inventory inv;
    bool active = false;
};

TEST_F(KernelTest, ListsTheEmulatedNicsWithTheirDriversAndSettings) {
    std::map<std::string, std::string> types;
    for (const Listed &a : inv.adapters) types[a.name] = a.type;
    EXPECT_EQ(types["eth0"], "e1000");
    EXPECT_EQ(types["eth2"], "e1000e");
    EXPECT_EQ(types["eth3"], "virtio_net");
    uint64_t eth0 = inv.adapter("eth0");
    EXPECT_EQ(GetAdapter(eth0, 1), "auto");
    EXPECT_EQ(GetAdapter(eth0, 30), "256");
    EXPECT_EQ(GetAdapter(eth0, 54), "e1000");
    EXPECT_EQ(GetAdapter(eth0, 57).substr(0, 5), "0000:");
    EXPECT_EQ(GetAdapter(inv.adapter("eth3"), 10), "<code 1>") << "virtio has no flow control";
}

TEST_F(KernelTest, AdapterSettingsAreWrittenAndReadBackFromTheKernel) {
    uint64_t eth0 = inv.adapter("eth0"), eth1 = inv.adapter("eth1"), eth2 = inv.adapter("eth2");
    EXPECT_EQ(SetAdapter(eth2, 1, "100/half"), 0u);
    EXPECT_EQ(SetAdapter(eth0, 30, "512"), 0u);
    EXPECT_EQ(SetAdapter(eth0, 10, "0"), 0u);
    EXPECT_EQ(SetAdapter(eth1, 40, "100"), 0u);
    EXPECT_EQ(SetAdapter(eth0, 23, "0"), 0u);
    EXPECT_EQ(SetAdapter(eth2, 3, "9000"), 0u);
    EXPECT_EQ(SetAdapter(eth0, 2, "02:00:00:00:0e:01"), 0u);
    ASSERT_EQ(NicIfApplyConfigChanges(0, 0), 0u);
    EXPECT_EQ(GetAdapter(eth2, 1), "100/half");
    EXPECT_EQ(GetAdapter(eth0, 30), "512");
    EXPECT_EQ(GetAdapter(eth0, 10), "0");
    EXPECT_EQ(GetAdapter(eth1, 40), "100");
    EXPECT_EQ(GetAdapter(eth0, 23), "0");
    EXPECT_EQ(GetAdapter(eth2, 3), "9000");
    EXPECT_EQ(GetAdapter(eth0, 2), "02:00:00:00:0e:01");
    // Back to the defaults.
    SetAdapter(eth2, 1, "auto");
    SetAdapter(eth0, 30, "256");
    SetAdapter(eth0, 10, "3");
    SetAdapter(eth0, 23, "1");
    SetAdapter(eth2, 3, "1500");
    SetAdapter(eth0, 2, "");
    EXPECT_EQ(NicIfApplyConfigChanges(0, 0), 0u);
    EXPECT_EQ(GetAdapter(eth0, 2), "");
    EXPECT_EQ(GetAdapter(eth2, 1), "auto");
}

TEST_F(KernelTest, AValueTheDriverRefusesLeavesThePreviousConfiguration) {
    uint64_t eth2 = inv.adapter("eth2"), eth3 = inv.adapter("eth3");
    EXPECT_EQ(SetAdapter(eth2, 3, "1400"), 0u);
    EXPECT_EQ(SetAdapter(eth3, 30, "4096"), 0u);  // above what the virtio device offers
    EXPECT_EQ(NicIfApplyConfigChanges(0, 0), 3u);
    EXPECT_EQ(GetAdapter(eth2, 3), "1500");
    EXPECT_EQ(GetAdapter(eth3, 30), "256");
    EXPECT_EQ(SetAdapter(eth2, 3, "16000"), 0u);  // the e1000e takes 9000 at most
    EXPECT_EQ(NicIfApplyConfigChanges(0, 0), 3u);
    EXPECT_EQ(GetAdapter(eth2, 3), "1500");
}

TEST_F(KernelTest, BondsAreCreatedChangedAndDissolved) {
    uint64_t eth0 = inv.adapter("eth0"), eth1 = inv.adapter("eth1"), eth2 = inv.adapter("eth2");
    uint64_t team = createTeam("bond0", "1", {eth0, eth1});
    ASSERT_NE(team, 0u);
    EXPECT_EQ(SetTeam(team, 105, "eth1"), 0u);
    ASSERT_EQ(NicIfApplyConfigChanges(0, 0), 0u);
    Inventory now = Enumerate();
    uint64_t bond = now.team("bond0");
    ASSERT_NE(bond, 0u);
    EXPECT_EQ(GetTeam(bond, 101), "1");
    EXPECT_EQ(GetTeam(bond, 109), "100") << "a new bond watches its members' links";
    EXPECT_EQ(GetTeam(bond, 105), "eth1");
    EXPECT_EQ(team, bond) << "a new object's handle is the one every listing shows";
    EXPECT_EQ(GetTeam(team, 100), "bond0");
    EXPECT_EQ(GetTeam(bond, 30), "256") << "a team holds the ring size its members agree on";
    uint64_t teamOf = 0;
    EXPECT_EQ(NicIfGetNicTeam(eth0, &teamOf), 0u);
    EXPECT_EQ(teamOf, bond);
    EXPECT_TRUE(WaitFor([&] { return GetTeam(bond, 120) == "eth1"; }, 10)) << "the primary becomes active";

    // The kernel changes the mode only without members: refused, nothing staged.
    EXPECT_EQ(SetTeam(bond, 101, "4"), 3u);
    EXPECT_EQ(NicIfRemoveTeamMember(eth0, 0, bond), 0u);
    EXPECT_EQ(NicIfRemoveTeamMember(eth1, 0, bond), 0u);
    ASSERT_EQ(NicIfApplyConfigChanges(0, 0), 0u);
    EXPECT_NE(GetAdapter(eth0, 53), "down") << "a member that leaves comes up again";
    EXPECT_EQ(SetTeam(bond, 101, "4"), 7u) << "the bond goes down briefly";
    EXPECT_EQ(SetTeam(bond, 102, "1"), 0u);
    EXPECT_EQ(SetTeam(bond, 103, "1"), 7u);
    EXPECT_EQ(NicIfAddTeamMember(eth0, bond), 0u);
    EXPECT_EQ(NicIfAddTeamMember(eth1, bond), 0u);
    ASSERT_EQ(NicIfApplyConfigChanges(0, 0), 0u);
    EXPECT_EQ(GetTeam(bond, 101), "4");
    EXPECT_EQ(GetTeam(bond, 102), "1");
    EXPECT_EQ(GetTeam(bond, 103), "1");
    EXPECT_EQ(Enumerate().adapters.size(), 4u);
    EXPECT_EQ(NicIfGetNicTeam(eth1, &teamOf), 0u);
    EXPECT_EQ(teamOf, bond);

    // VLANs on the bond and on a plain NIC.
    uint64_t v10 = createVlan(bond, true, "10");
    uint64_t v20 = createVlan(eth2, false, "20", "802.1ad");
    createVlan(eth2, false, "20", "802.1Q", 5);  // the id is taken
    ASSERT_EQ(NicIfApplyConfigChanges(0, 0), 0u);
    EXPECT_EQ(GetVlan(v10, 200), "10");
    EXPECT_EQ(GetVlan(v10, 201), "bond0.10");
    EXPECT_EQ(GetVlan(v20, 202), "802.1ad");
    EXPECT_EQ(GetVlan(v20, 210), "eth2");
    std::map<uint64_t, uint64_t> vlans;
    for (const auto &[vlan, parent] : Enumerate().vlans) vlans[vlan] = parent;
    EXPECT_EQ(vlans.size(), 2u);
    EXPECT_EQ(vlans[v10], bond);
    EXPECT_EQ(vlans[v20], eth2);
    EXPECT_EQ(SetVlan(v20, 200, "21"), 3u) << "the kernel cannot change a VLAN's id";

    // Bad input changes nothing.
    EXPECT_EQ(createTeam("Team 1", "1", {eth2}, 3), 0u);
    EXPECT_EQ(createTeam("bond1", "1", {eth0}, 5), 0u) << "eth0 is in bond0";
    EXPECT_EQ(createTeam("eth3", "1", {eth2}, 5), 0u) << "the name is taken";
    EXPECT_EQ(SetTeam(bond, 100, "bad name"), 3u);

    ASSERT_EQ(NicIfDissolveTeam(bond, 1), 0u);
    ASSERT_EQ(NicIfApplyConfigChanges(0, 0), 0u);
    now = Enumerate();
    EXPECT_TRUE(now.teams.empty());
    EXPECT_EQ(now.vlans.size(), 1u) << "the bond's VLAN went with it";
    EXPECT_EQ(NicIfGetNicTeam(eth0, &teamOf), 0u);
    EXPECT_EQ(teamOf, 0u);
    EXPECT_EQ(GetTeam(bond, 101), "<code 2>");
}

TEST_F(KernelTest, AStepTheKernelRefusesPutsTheWholeCommitBack) {
    uint64_t eth2 = inv.adapter("eth2"), eth3 = inv.adapter("eth3");
    const std::string eth3State = GetAdapter(eth3, 53);
    EXPECT_EQ(SetAdapter(eth2, 3, "1400"), 0u);
    uint64_t team = createTeam("bond5", "1", {eth3});
    uint64_t vlan = createVlan(eth2, false, "30");
    ASSERT_NE(vlan, 0u);
    // The LACP rate exists only in 802.3ad: the kernel refuses it for an
    // active-backup bond, after the MTU was changed.
    EXPECT_EQ(SetTeam(team, 103, "1"), 0u);
    EXPECT_EQ(NicIfApplyConfigChanges(0, 0), 3u);
    Inventory now = Enumerate();
    EXPECT_TRUE(now.teams.empty());
    EXPECT_TRUE(now.vlans.empty());
    EXPECT_EQ(GetAdapter(eth2, 3), "1500");
    EXPECT_EQ(GetAdapter(eth3, 53), eth3State);
}

// A new object's handle is the interface index it is created with; another
// program that takes that index before the commit makes the commit refuse,
// not create an object whose handle names another interface.
TEST_F(KernelTest, ANewObjectsIndexTakenMeanwhileIsRefused) {
    uint64_t eth3 = inv.adapter("eth3");
    uint64_t team = createTeam("bond7", "1", {eth3});
    ASSERT_NE(team, 0u);
    ASSERT_EQ(Shell("ip link add lxtaken index " + std::to_string(team) + " type dummy"), 0);
    EXPECT_EQ(NicIfApplyConfigChanges(0, 0), 5u);
    EXPECT_TRUE(Enumerate().teams.empty());
    uint64_t teamOf = 1;
    EXPECT_EQ(NicIfGetNicTeam(eth3, &teamOf), 0u);
    EXPECT_EQ(teamOf, 0u);
    Shell("ip link del lxtaken");
}

TEST_F(KernelTest, WithoutPrivilegesNothingChanges) {
    uint64_t eth2 = inv.adapter("eth2");
    pid_t pid = fork();
    if (pid == 0) {
        DropCapabilities();
        uint64_t vlan = 0;
        std::u16string id = Wide("40");
        PropertyRecord record = Record(200, id);
        bool ok = NicIfCreateVlan(&record, 1, eth2, 0, 0, &vlan) == 0 && NicIfApplyConfigChanges(0, 0) == 6 &&
                  SetAdapter(eth2, 3, "1400") == 0 && NicIfApplyConfigChanges(0, 0) == 6;
        _exit(ok ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_TRUE(Enumerate().vlans.empty());
    EXPECT_EQ(GetAdapter(eth2, 3), "1500");
}

TEST_F(KernelTest, AnActiveBackupBondFailsOverWhenACableIsPulled) {
    if (Sync().empty()) GTEST_SKIP() << "no host to pull a cable (LXNIC_VM_SYNC)";
    uint64_t eth0 = inv.adapter("eth0"), eth1 = inv.adapter("eth1");
    uint64_t team = createTeam("bond0", "1", {eth0, eth1});
    EXPECT_EQ(SetTeam(team, 105, "eth0"), 0u);
    ASSERT_EQ(NicIfApplyConfigChanges(0, 0), 0u);
    uint64_t bond = Enumerate().team("bond0");
    ASSERT_TRUE(WaitFor([&] { return GetTeam(bond, 120) == "eth0"; }, 10));
    uint32_t status = 9;
    EXPECT_TRUE(WaitFor([&] { return NicIfGetTeamStatus(bond, &status) == 0 && status == 0; }, 10));

    std::ofstream(Sync() + "/pull-n1").close();  // eth0's cable
    ASSERT_TRUE(WaitFor([&] { return Exists(Sync() + "/pulled-n1"); }, 30)) << "the host did not pull the cable";
    EXPECT_TRUE(WaitFor([&] { return GetTeam(bond, 120) == "eth1"; }, 10)) << "no fail-over to eth1";
    EXPECT_TRUE(WaitFor([&] { return NicIfGetTeamStatus(bond, &status) == 0 && status == 2; }, 10)) << status;
    EXPECT_EQ(GetAdapter(eth0, 53), "no carrier");

    std::ofstream(Sync() + "/plug-n1").close();
    ASSERT_TRUE(WaitFor([&] { return Exists(Sync() + "/plugged-n1"); }, 30));
    EXPECT_TRUE(WaitFor([&] { return GetTeam(bond, 120) == "eth0"; }, 10)) << "the primary does not take over again";
}

// Through lxnicctl, as a user works; the configuration is saved as a script
// that the next VM loads (LoadedIntoAFreshServer).
TEST_F(KernelTest, LxnicctlConfiguresTeamsAndVlansAndSavesThem) {
    std::string out;
    ASSERT_EQ(Shell(Lxnicctl() + " list", &out), 0);
    EXPECT_NE(out.find("eth3"), std::string::npos);
    ASSERT_EQ(Shell(Lxnicctl() + " show eth2", &out), 0);
    EXPECT_NE(out.find("SpeedDuplex"), std::string::npos);
    EXPECT_EQ(Shell(Lxnicctl() + " set eth2 MTU=9000 TcpSegmentationOffload=Disabled"), 0);
    EXPECT_EQ(GetAdapter(inv.adapter("eth2"), 3), "9000");
    EXPECT_EQ(Shell(Lxnicctl() + " team create bond0 --members 1,2 'OpMode=Active Backup' MiiMon=200"), 0);
    // A team's offload goes to its members and to the bond.
    EXPECT_EQ(Shell(Lxnicctl() + " set bond0 GenericReceiveOffload=Disabled"), 0);
    EXPECT_EQ(GetAdapter(inv.adapter("eth0"), 25), "0");
    EXPECT_EQ(GetAdapter(inv.adapter("eth1"), 25), "0");
    EXPECT_EQ(GetTeam(Enumerate().team("bond0"), 25), "0");
    EXPECT_EQ(Shell(Lxnicctl() + " vlan add bond0 --id 10"), 0);
    EXPECT_EQ(Shell(Lxnicctl() + " vlan add eth3 --id 20 --name storage"), 0);
    EXPECT_EQ(Shell(Lxnicctl() + " vlan add eth3 --id 20", &out), 1) << "the id is taken";
    EXPECT_EQ(Shell(Lxnicctl() + " set bond0 'OpMode=Broadcast'", &out), 1);
    EXPECT_NE(out.find("no members"), std::string::npos) << out;
    EXPECT_EQ(Shell(Lxnicctl() + " show bond0", &out), 0);
    EXPECT_NE(out.find("Active Backup"), std::string::npos);
    EXPECT_NE(out.find("200"), std::string::npos);
    Inventory now = Enumerate();
    EXPECT_EQ(now.teams.size(), 1u);
    EXPECT_EQ(now.vlans.size(), 2u);
    if (!Sync().empty()) {
        ASSERT_EQ(Shell(Lxnicctl() + " save " + Sync() + "/config.xml"), 0);
        std::ofstream(Sync() + "/summary-saved.txt") << Summary();
        ASSERT_EQ(Shell(Lxnicctl() + " persist " + Sync() + "/networkd", &out), 0);
        std::ifstream netdev(Sync() + "/networkd/60-lxnic-bond0.netdev");
        std::stringstream text;
        text << netdev.rdbuf();
        EXPECT_NE(text.str().find("Mode=active-backup"), std::string::npos) << text.str();
        EXPECT_NE(text.str().find("MIIMonitorSec=200ms"), std::string::npos) << text.str();
    }
    EXPECT_EQ(Shell(Lxnicctl() + " team dissolve bond0"), 0);
    Shell(Lxnicctl() + " set eth2 MTU=1500 TcpSegmentationOffload=Enabled");
    SetAdapter(inv.adapter("eth0"), 25, "1");
    SetAdapter(inv.adapter("eth1"), 25, "1");
    EXPECT_EQ(NicIfApplyConfigChanges(0, 0), 0u);
}

// Runs in the second VM: the script the first one saved recreates its teams
// and VLANs on a server that has none.
TEST(KernelLoad, LoadedIntoAFreshServer) {
    if (!InTestVm()) GTEST_SKIP() << "runs only in the test VM (scripts/kernel-tests.sh)";
    ASSERT_TRUE(KernelHasBonding()) << "the test VM's kernel has no bonding or 802.1Q";
    std::string sync = Sync();
    if (sync.empty()) GTEST_SKIP() << "no folder shared with the first VM (LXNIC_VM_SYNC)";
    ASSERT_TRUE(Exists(sync + "/config.xml")) << "the first VM saved no script";
    setenv("LXNICIF_BACKEND", "linux", 1);
    ASSERT_TRUE(Enumerate().teams.empty());
    std::string out;
    ASSERT_EQ(Shell(Lxnicctl() + " load " + sync + "/config.xml", &out), 0);
    ASSERT_EQ(Shell(Lxnicctl() + " list", &out), 0);
    std::ifstream saved(sync + "/summary-saved.txt");
    std::stringstream text;
    text << saved.rdbuf();
    EXPECT_EQ(Summary(), text.str());
    EXPECT_NE(text.str().find("team bond0: eth0 eth1 mode 1"), std::string::npos) << text.str();
    Inventory now = Enumerate();
    EXPECT_EQ(now.teams.size(), 1u);
    EXPECT_EQ(now.vlans.size(), 2u);
    EXPECT_EQ(GetTeam(now.team("bond0"), 101), "1");
    EXPECT_EQ(Shell(Lxnicctl() + " diff " + sync + "/config.xml", &out), 0) << "the server differs from the script";
}

}  // namespace
