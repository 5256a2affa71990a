// systemd-networkd files written from a recorded server: two adapters in an
// active-backup bond with a VLAN, a third adapter with a VLAN of its own.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "networkd.h"
#include "properties.h"

using namespace lxniclinux;

namespace {

PersistedLink Adapter(int index, const std::string &name, Mac permanent, int master = 0) {
    PersistedLink p;
    p.kind = kAdapter;
    p.link.index = index;
    p.link.name = name;
    p.link.permanentAddress = permanent;
    if (master) {
        p.link.master = master;
        p.link.slaveKind = "bond";
    }
    p.values = {{1, "auto"}, {2, ""}, {3, "1500"}, {10, "1"}, {23, "1"}, {26, "0"}, {30, "512"}, {40, "100"}};
    return p;
}

PersistedLink Bond(int index, const std::string &name, const std::string &mode) {
    PersistedLink p;
    p.kind = kTeam;
    p.link.index = index;
    p.link.name = name;
    p.link.kind = "bond";
    p.values = {{101, mode}, {102, "1"}, {103, "1"},  {104, "0"},  {105, "eth1"}, {106, "02:00:00:00:00:01"},
                {107, "0"},  {108, "0"}, {109, "100"}, {110, "0"}, {111, "0"},    {112, "0"},
                {113, ""},   {114, "0"}, {3, "9000"}};
    return p;
}

PersistedLink Vlan(int index, const std::string &name, int parent, const std::string &id, const std::string &protocol) {
    PersistedLink p;
    p.kind = kVlan;
    p.link.index = index;
    p.link.name = name;
    p.link.kind = "vlan";
    p.link.parent = parent;
    p.values = {{200, id}, {202, protocol}, {3, "1500"}};
    return p;
}

std::vector<PersistedLink> Server(const std::string &mode) {
    return {Adapter(2, "eth0", {0x52, 0x54, 0, 0, 0, 1}, 10), Adapter(3, "eth1", {0x52, 0x54, 0, 0, 0, 2}, 10),
            Adapter(4, "eth2", {0x52, 0x54, 0, 0, 0, 3}), Bond(10, "bond0", mode),
            Vlan(11, "bond0.10", 10, "10", "802.1Q"), Vlan(12, "eth2.20", 4, "20", "802.1ad")};
}

bool Has(const std::string &text, const std::string &line) {
    return ("\n" + text).find("\n" + line + "\n") != std::string::npos;
}

TEST(NetworkdFiles, DescribeBondsVlansAndAdapterSettings) {
    auto files = NetworkdFiles(Server("1"));
    std::set<std::string> names;
    for (const auto &[name, content] : files) names.insert(name);
    EXPECT_EQ(names, (std::set<std::string>{
                         "60-lxnic-eth0.link", "60-lxnic-eth0.network", "60-lxnic-eth1.link", "60-lxnic-eth1.network",
                         "60-lxnic-eth2.link", "60-lxnic-eth2.network", "60-lxnic-bond0.netdev",
                         "60-lxnic-bond0.network", "60-lxnic-bond0.10.netdev", "60-lxnic-bond0.10.network",
                         "60-lxnic-eth2.20.netdev", "60-lxnic-eth2.20.network"}));

    const std::string &bond = files["60-lxnic-bond0.netdev"];
    for (const char *line : {"[NetDev]", "Name=bond0", "Kind=bond", "MTUBytes=9000", "MACAddress=02:00:00:00:00:01",
                             "[Bond]", "Mode=active-backup", "MIIMonitorSec=100ms", "PrimaryReselectPolicy=always",
                             "FailOverMACPolicy=none", "UpDelaySec=0ms", "MinLinks=0"}) {
        EXPECT_TRUE(Has(bond, line)) << line << " in\n" << bond;
    }
    // Options the kernel refuses in active-backup would make it refuse the
    // whole bond at boot: they are left out.
    for (const char *key : {"TransmitHashPolicy=", "LACPTransmitRate=", "AdSelect=", "ARPIntervalSec=", "ARPIPTargets="}) {
        EXPECT_EQ(bond.find(key), std::string::npos) << key;
    }

    EXPECT_TRUE(Has(files["60-lxnic-eth0.network"], "Bond=bond0"));
    EXPECT_FALSE(Has(files["60-lxnic-eth0.network"], "PrimarySlave=yes"));
    EXPECT_TRUE(Has(files["60-lxnic-eth1.network"], "PrimarySlave=yes"));
    EXPECT_TRUE(Has(files["60-lxnic-bond0.network"], "VLAN=bond0.10"));
    EXPECT_TRUE(Has(files["60-lxnic-eth2.network"], "VLAN=eth2.20"));

    const std::string &vlan = files["60-lxnic-eth2.20.netdev"];
    for (const char *line : {"Name=eth2.20", "Kind=vlan", "[VLAN]", "Id=20", "Protocol=802.1ad", "MTUBytes=1500"}) {
        EXPECT_TRUE(Has(vlan, line)) << line << " in\n" << vlan;
    }
    EXPECT_TRUE(Has(files["60-lxnic-bond0.10.netdev"], "Protocol=802.1q"));

    const std::string &link = files["60-lxnic-eth2.link"];
    for (const char *line : {"[Match]", "PermanentMACAddress=52:54:00:00:00:03", "[Link]", "Name=eth2",
                             "AutoNegotiation=yes", "MTUBytes=1500", "RxFlowControl=yes", "TxFlowControl=no",
                             "TCPSegmentationOffload=yes", "LargeReceiveOffload=no", "RxBufferSize=512",
                             "RxCoalesceSec=100us"}) {
        EXPECT_TRUE(Has(link, line)) << line << " in\n" << link;
    }
    // The permanent address needs no MACAddress= line.
    EXPECT_EQ(link.find("\nMACAddress="), std::string::npos);
}

TEST(NetworkdFiles, KeepTheOptionsOfTheBondsMode) {
    auto files = NetworkdFiles(Server("4"));
    const std::string &bond = files["60-lxnic-bond0.netdev"];
    for (const char *line : {"Mode=802.3ad", "TransmitHashPolicy=layer3+4", "LACPTransmitRate=fast", "AdSelect=stable"}) {
        EXPECT_TRUE(Has(bond, line)) << line << " in\n" << bond;
    }
    EXPECT_EQ(bond.find("PrimaryReselectPolicy="), std::string::npos);
    EXPECT_FALSE(Has(files["60-lxnic-eth1.network"], "PrimarySlave=yes"));
}

TEST(NetworkdFiles, ForcedSpeedAndOwnAddress) {
    std::vector<PersistedLink> server{Adapter(2, "eth0", {0x52, 0x54, 0, 0, 0, 1})};
    server[0].values[1] = "100/half";
    server[0].values[2] = "02:12:34:56:78:9a";
    auto files = NetworkdFiles(server);
    const std::string &link = files["60-lxnic-eth0.link"];
    for (const char *line : {"AutoNegotiation=no", "BitsPerSecond=100M", "Duplex=half", "MACAddress=02:12:34:56:78:9a"}) {
        EXPECT_TRUE(Has(link, line)) << line << " in\n" << link;
    }
    // An adapter neither in a bond nor carrying VLANs gets no .network file:
    // its addresses stay with whatever configures them now.
    EXPECT_EQ(files.count("60-lxnic-eth0.network"), 0u);
}

TEST(NetworkdFiles, WritingReplacesTheFilesOfEarlierRunsAndLeavesOthers) {
    namespace fs = std::filesystem;
    fs::path folder = fs::temp_directory_path() / ("lxnic-networkd-" + std::to_string(::getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    std::ofstream(folder / "60-lxnic-bond7.netdev") << "old\n";
    std::ofstream(folder / "10-other.network") << "not ours\n";
    ASSERT_EQ(WriteNetworkdFiles(Server("1"), folder.string()), "");
    EXPECT_FALSE(fs::exists(folder / "60-lxnic-bond7.netdev"));
    EXPECT_TRUE(fs::exists(folder / "10-other.network"));
    std::ifstream in(folder / "60-lxnic-bond0.netdev");
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_TRUE(Has(text.str(), "Mode=active-backup"));
    fs::remove_all(folder);
}

}  // namespace
