// What the library reads from and writes to the kernel: links (adapters,
// bonds, VLANs) over rtnetlink, adapter settings over ethtool netlink, and
// the driver's identity over the ethtool ioctl.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "netlink.h"

namespace lxniclinux {

using Mac = std::vector<uint8_t>;

// One network interface as RTM_GETLINK describes it.
struct Link {
    int index = 0;
    std::string name;
    std::string kind;       // IFLA_INFO_KIND: "bond", "vlan", "veth", "" for hardware
    std::string slaveKind;  // IFLA_INFO_SLAVE_KIND: "bond" for a bond member
    uint16_t type = 0;      // ARPHRD_*
    unsigned flags = 0;     // IFF_*
    uint32_t mtu = 0, minMtu = 0, maxMtu = 0;
    Mac address, permanentAddress;
    int master = 0;  // IFLA_MASTER
    int parent = 0;  // IFLA_LINK (a VLAN's parent)
    // A bond's options: IFLA_BOND_* attribute to its value (u8/u16/u32).
    std::map<int, uint32_t> bond;
    std::vector<uint32_t> arpTargets;  // IPv4, network byte order
    // A bond member's state: IFLA_BOND_SLAVE_STATE (0 active, 1 backup) and
    // IFLA_BOND_SLAVE_MII_STATUS (0 up).
    std::optional<uint8_t> slaveState, slaveMii;
    uint16_t vlanId = 0;
    uint16_t vlanProtocol = 0;  // host byte order: 0x8100 or 0x88a8
    std::optional<std::map<std::string, uint64_t>> stats;  // rx_packets, tx_bytes, ...

    bool up() const;
    bool lowerUp() const;
};

std::vector<Link> ReadLinks(Netlink &nl, KernelError &error);
// The link with this index; nullopt with error -ENODEV when there is none.
std::optional<Link> ReadLink(Netlink &nl, int index, KernelError &error);

// Changes of one link's own attributes, each only when set.
struct LinkChange {
    std::optional<uint32_t> mtu;
    std::optional<Mac> address;
    std::optional<std::string> name;
    std::optional<bool> up;
    std::optional<int> master;  // 0 releases
};
KernelError ChangeLink(Netlink &nl, int index, const LinkChange &change);

// A bond option as rtnetlink carries it.
struct BondValue {
    int attribute = 0;  // IFLA_BOND_*
    enum Width { U8, U16, U32, IpList } width = U32;
    uint32_t value = 0;
    std::vector<uint32_t> ips;  // IpList, network byte order
};
// The creations take the interface index the new link is to have (0: the
// kernel chooses); the kernel answers EBUSY when another link has it.
KernelError CreateBond(Netlink &nl, const std::string &name, const std::vector<BondValue> &options, int index = 0);
KernelError SetBondOptions(Netlink &nl, int index, const std::vector<BondValue> &options);
KernelError CreateVlan(Netlink &nl, const std::string &name, int parent, uint16_t id, uint16_t protocol,
                       std::optional<uint32_t> mtu, int index = 0);
KernelError DeleteLink(Netlink &nl, int index);

// The ethtool netlink messages whose attributes are plain numbers.
enum class EthtoolSet { LinkModes, Pause, Rings, Coalesce };
// Attribute to value of the GET reply; -EOPNOTSUPP when the driver has none.
KernelError EthtoolGet(Netlink &nl, EthtoolSet set, int index, std::map<int, uint32_t> &values);
// Sets the given attributes (attribute, width in bytes, value).
struct EthtoolValue {
    int attribute = 0;
    int width = 4;  // 1 or 4
    uint32_t value = 0;
};
KernelError EthtoolSetValues(Netlink &nl, EthtoolSet set, int index, const std::vector<EthtoolValue> &values);

// Offload features by the kernel's names.
struct Features {
    std::set<std::string> active, changeable, fixed;
};
KernelError GetFeatures(Netlink &nl, int index, Features &features);
// Changes only the named features.
KernelError SetFeatures(Netlink &nl, int index, const std::map<std::string, bool> &wanted);

struct DriverInfo {
    std::string driver, version, firmware, bus;
};
// The driver's identity (ETHTOOL_GDRVINFO); false when the device has none.
bool GetDriverInfo(const std::string &name, DriverInfo &info);

std::string FormatMac(const Mac &mac);
// "aa:bb:cc:dd:ee:ff", with '-' or nothing between the bytes, any case.
std::optional<Mac> ParseMac(const std::string &text);

// The kernel's rule for interface names (dev_valid_name): 1 to 15 bytes, not
// "." or "..", no '/', ':' or white space. Empty when valid, else why not.
std::string InterfaceNameProblem(const std::string &name);

}  // namespace lxniclinux
