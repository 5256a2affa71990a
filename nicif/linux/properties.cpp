#include "properties.h"

#include <arpa/inet.h>
#include <linux/ethtool_netlink.h>
#include <linux/if_link.h>

#include <array>
#include <cerrno>
#include <cstdlib>

namespace lxniclinux {

namespace {

// Value tables: raw value (the definitions' enumid), the kernel's number,
// systemd-networkd's spelling.
constexpr EnumValue kBondModes[] = {
    {"0", 0, "balance-rr"}, {"1", 1, "active-backup"}, {"2", 2, "balance-xor"}, {"3", 3, "broadcast"},
    {"4", 4, "802.3ad"},    {"5", 5, "balance-tlb"},   {"6", 6, "balance-alb"},
};
constexpr EnumValue kHashPolicies[] = {
    {"0", 0, "layer2"}, {"1", 1, "layer3+4"}, {"2", 2, "layer2+3"},
    {"3", 3, "encap2+3"}, {"4", 4, "encap3+4"}, {"5", 5, "vlan+srcmac"},
};
constexpr EnumValue kLacpRates[] = {{"0", 0, "slow"}, {"1", 1, "fast"}};
constexpr EnumValue kAdSelect[] = {{"0", 0, "stable"}, {"1", 1, "bandwidth"}, {"2", 2, "count"}};
constexpr EnumValue kPrimaryReselect[] = {{"0", 0, "always"}, {"1", 1, "better"}, {"2", 2, "failure"}};
constexpr EnumValue kFailOverMac[] = {{"0", 0, "none"}, {"1", 1, "active"}, {"2", 2, "follow"}};
constexpr EnumValue kVlanProtocols[] = {{"802.1Q", 0x8100, "802.1q"}, {"802.1ad", 0x88a8, "802.1ad"}};

// Offloads by the kernel's feature names; a setting covers every name of
// its group that the device has.
constexpr const char *kRxChecksum[] = {"rx-checksum"};
constexpr const char *kTxChecksum[] = {"tx-checksum-ipv4", "tx-checksum-ip-generic", "tx-checksum-ipv6",
                                       "tx-checksum-fcoe-crc", "tx-checksum-sctp"};
constexpr const char *kScatterGather[] = {"tx-scatter-gather", "tx-scatter-gather-fraglist"};
constexpr const char *kTso[] = {"tx-tcp-segmentation", "tx-tcp-ecn-segmentation", "tx-tcp-mangleid-segmentation",
                                "tx-tcp6-segmentation"};
constexpr const char *kGso[] = {"tx-generic-segmentation"};
constexpr const char *kGro[] = {"rx-gro"};
constexpr const char *kLro[] = {"rx-lro"};
constexpr const char *kRxVlan[] = {"rx-vlan-hw-parse"};
constexpr const char *kTxVlan[] = {"tx-vlan-hw-insert"};

constexpr uint32_t kMaxMs = 3600000;
constexpr unsigned kAll = kAdapter | kTeam | kVlan;

using C = Conversion;
using S = Source;
using P = Persist;

// clang-format off
const PropertyRow kRows[] = {
    // number, objects, name, source, field, width, conversion, values, features, min, max, rules, persist, key
    {100, kTeam, "team name", S::Link, kName, 0, C::Name, {}, {}, 0, 0, kNeedsDown, P::Special, ""},
    {101, kTeam, "bonding mode", S::Bond, IFLA_BOND_MODE, 1, C::Enum, kBondModes, {}, 0, 0, kNeedsDown | kNoMembers, P::Bond, "Mode"},
    {102, kTeam, "transmit hash policy", S::Bond, IFLA_BOND_XMIT_HASH_POLICY, 1, C::Enum, kHashPolicies, {}, 0, 0, 0, P::Bond, "TransmitHashPolicy"},
    {103, kTeam, "LACP rate", S::Bond, IFLA_BOND_AD_LACP_RATE, 1, C::Enum, kLacpRates, {}, 0, 0, kNeedsDown, P::Bond, "LACPTransmitRate"},
    {104, kTeam, "aggregator selection", S::Bond, IFLA_BOND_AD_SELECT, 1, C::Enum, kAdSelect, {}, 0, 0, kNeedsDown, P::Bond, "AdSelect"},
    {106, kTeam, "team MAC address", S::Link, kAddress, 0, C::Mac, {}, {}, 0, 0, 0, P::NetDev, "MACAddress"},
    {107, kTeam, "primary reselection", S::Bond, IFLA_BOND_PRIMARY_RESELECT, 1, C::Enum, kPrimaryReselect, {}, 0, 0, 0, P::Bond, "PrimaryReselectPolicy"},
    {108, kTeam, "fail-over MAC policy", S::Bond, IFLA_BOND_FAIL_OVER_MAC, 1, C::Enum, kFailOverMac, {}, 0, 0, kNoMembers, P::Bond, "FailOverMACPolicy"},
    {109, kTeam, "link monitoring interval (miimon)", S::Bond, IFLA_BOND_MIIMON, 4, C::Number, {}, {}, 0, kMaxMs, 0, P::Bond, "MIIMonitorSec"},
    {110, kTeam, "up delay", S::Bond, IFLA_BOND_UPDELAY, 4, C::Number, {}, {}, 0, kMaxMs, 0, P::Bond, "UpDelaySec"},
    {111, kTeam, "down delay", S::Bond, IFLA_BOND_DOWNDELAY, 4, C::Number, {}, {}, 0, kMaxMs, 0, P::Bond, "DownDelaySec"},
    {112, kTeam, "ARP monitoring interval", S::Bond, IFLA_BOND_ARP_INTERVAL, 4, C::Number, {}, {}, 0, kMaxMs, 0, P::Bond, "ARPIntervalSec"},
    {113, kTeam, "ARP targets", S::Bond, IFLA_BOND_ARP_IP_TARGET, 0, C::IpList, {}, {}, 0, 16, 0, P::Bond, "ARPIPTargets"},
    {114, kTeam, "minimum links", S::Bond, IFLA_BOND_MIN_LINKS, 4, C::Number, {}, {}, 0, 1024, 0, P::Bond, "MinLinks"},
    {105, kTeam, "primary member", S::Bond, IFLA_BOND_PRIMARY, 4, C::Interface, {}, {}, 0, 0, kAfterMembers, P::Special, "PrimarySlave"},
    {120, kTeam, "active member", S::Bond, IFLA_BOND_ACTIVE_SLAVE, 4, C::Interface, {}, {}, 0, 0, kReadOnly, P::None, ""},

    {200, kVlan, "VLAN id", S::Vlan, IFLA_VLAN_ID, 2, C::Number, {}, {}, 1, 4094, kCreateOnly, P::Vlan, "Id"},
    {201, kVlan, "VLAN name", S::Link, kName, 0, C::Name, {}, {}, 0, 0, kNeedsDown, P::Special, ""},
    {202, kVlan, "VLAN protocol", S::Vlan, IFLA_VLAN_PROTOCOL, 2, C::Enum, kVlanProtocols, {}, 0, 0, kCreateOnly, P::Vlan, "Protocol"},
    {210, kVlan, "parent interface", S::Link, kParent, 0, C::Text, {}, {}, 0, 0, kReadOnly, P::None, ""},

    {1, kAdapter, "speed and duplex", S::LinkModes, 0, 0, C::SpeedDuplex, {}, {}, 0, 0, 0, P::Special, ""},
    {2, kAdapter, "MAC address", S::Link, kAddress, 0, C::MacOrEmpty, {}, {}, 0, 0, 0, P::Link, "MACAddress"},
    {3, kAll, "MTU", S::Link, kMtu, 4, C::Number, {}, {}, 68, 65535, 0, P::Link, "MTUBytes"},
    {10, kAdapter | kTeam, "flow control", S::Pause, 0, 1, C::FlowControl, {}, {}, 0, 3, kMembersOnly, P::Special, ""},
    {20, kAdapter | kTeam, "receive checksum offload", S::Features, 0, 0, C::Flag, {}, kRxChecksum, 0, 1, kWithMembers, P::Link, "ReceiveChecksumOffload"},
    {21, kAdapter | kTeam, "transmit checksum offload", S::Features, 0, 0, C::Flag, {}, kTxChecksum, 0, 1, kWithMembers, P::Link, "TransmitChecksumOffload"},
    {22, kAdapter | kTeam, "scatter-gather", S::Features, 0, 0, C::Flag, {}, kScatterGather, 0, 1, kWithMembers, P::None, ""},
    {23, kAdapter | kTeam, "TCP segmentation offload", S::Features, 0, 0, C::Flag, {}, kTso, 0, 1, kWithMembers, P::Link, "TCPSegmentationOffload"},
    {24, kAdapter | kTeam, "generic segmentation offload", S::Features, 0, 0, C::Flag, {}, kGso, 0, 1, kWithMembers, P::Link, "GenericSegmentationOffload"},
    {25, kAdapter | kTeam, "generic receive offload", S::Features, 0, 0, C::Flag, {}, kGro, 0, 1, kWithMembers, P::Link, "GenericReceiveOffload"},
    {26, kAdapter | kTeam, "large receive offload", S::Features, 0, 0, C::Flag, {}, kLro, 0, 1, kWithMembers, P::Link, "LargeReceiveOffload"},
    {27, kAdapter, "VLAN receive offload", S::Features, 0, 0, C::Flag, {}, kRxVlan, 0, 1, 0, P::Link, "ReceiveVLANCTAGHardwareAcceleration"},
    {28, kAdapter, "VLAN transmit offload", S::Features, 0, 0, C::Flag, {}, kTxVlan, 0, 1, 0, P::Link, "TransmitVLANCTAGHardwareAcceleration"},
    {30, kAdapter | kTeam, "receive ring size", S::Rings, ETHTOOL_A_RINGS_RX, 4, C::Number, {}, {}, 1, 1u << 20, kMembersOnly, P::Link, "RxBufferSize"},
    {31, kAdapter | kTeam, "transmit ring size", S::Rings, ETHTOOL_A_RINGS_TX, 4, C::Number, {}, {}, 1, 1u << 20, kMembersOnly, P::Link, "TxBufferSize"},
    {40, kAdapter, "receive interrupt coalescing (us)", S::Coalesce, ETHTOOL_A_COALESCE_RX_USECS, 4, C::Number, {}, {}, 0, 1000000, 0, P::Link, "RxCoalesceSec"},
    {41, kAdapter, "transmit interrupt coalescing (us)", S::Coalesce, ETHTOOL_A_COALESCE_TX_USECS, 4, C::Number, {}, {}, 0, 1000000, 0, P::Link, "TxCoalesceSec"},

    {50, kAdapter, "permanent address", S::Link, kPermanentAddress, 0, C::Mac, {}, {}, 0, 0, kReadOnly, P::None, ""},
    {51, kAll, "current address", S::Link, kAddress, 0, C::Mac, {}, {}, 0, 0, kReadOnly, P::None, ""},
    {52, kAdapter, "link speed", S::LinkModes, 1, 0, C::Text, {}, {}, 0, 0, kReadOnly, P::None, ""},
    {53, kAll, "link state", S::Link, kState, 0, C::Text, {}, {}, 0, 0, kReadOnly, P::None, ""},
    {54, kAdapter, "driver", S::Driver, kDriverName, 0, C::Text, {}, {}, 0, 0, kReadOnly, P::None, ""},
    {55, kAdapter, "driver version", S::Driver, kDriverVersion, 0, C::Text, {}, {}, 0, 0, kReadOnly, P::None, ""},
    {56, kAdapter, "firmware version", S::Driver, kFirmwareVersion, 0, C::Text, {}, {}, 0, 0, kReadOnly, P::None, ""},
    {57, kAdapter, "bus location", S::Driver, kBusLocation, 0, C::Text, {}, {}, 0, 0, kReadOnly, P::None, ""},
    {58, kAll, "interface index", S::Link, kIndex, 0, C::Number, {}, {}, 0, 0, kReadOnly, P::None, ""},
    {59, kAdapter, "team", S::Link, kMaster, 0, C::Text, {}, {}, 0, 0, kReadOnly, P::None, ""},
    {60, kAll, "packets received", S::Stats, 0, 0, C::Number, {}, {}, 0, 0, kReadOnly, P::None, ""},
    {61, kAll, "packets transmitted", S::Stats, 1, 0, C::Number, {}, {}, 0, 0, kReadOnly, P::None, ""},
    {62, kAll, "bytes received", S::Stats, 2, 0, C::Number, {}, {}, 0, 0, kReadOnly, P::None, ""},
    {63, kAll, "bytes transmitted", S::Stats, 3, 0, C::Number, {}, {}, 0, 0, kReadOnly, P::None, ""},
    {64, kAll, "receive errors", S::Stats, 4, 0, C::Number, {}, {}, 0, 0, kReadOnly, P::None, ""},
    {65, kAll, "transmit errors", S::Stats, 5, 0, C::Number, {}, {}, 0, 0, kReadOnly, P::None, ""},
    {66, kAll, "receive drops", S::Stats, 6, 0, C::Number, {}, {}, 0, 0, kReadOnly, P::None, ""},
    {67, kAll, "transmit drops", S::Stats, 7, 0, C::Number, {}, {}, 0, 0, kReadOnly, P::None, ""},
};
// clang-format on

// The bonding modes a bond option applies to, as the kernel checks them;
// options not listed apply to every mode.
struct ModeRule {
    uint32_t property;
    std::array<uint32_t, 7> modes;
    std::size_t count;
};
constexpr ModeRule kModeRules[] = {
    {102, {2, 4, 5}, 3},     // transmit hash policy: balance-xor, 802.3ad, balance-tlb
    {103, {4}, 1},           // LACP rate: 802.3ad
    {104, {4}, 1},           // aggregator selection: 802.3ad
    {105, {1, 5, 6}, 3},     // primary member: active-backup, balance-tlb, balance-alb
    {107, {1, 5, 6}, 3},     // primary reselection
    {108, {1}, 1},           // fail-over MAC policy: active-backup
    {112, {0, 1, 2, 3}, 4},  // ARP monitoring: not with 802.3ad, tlb or alb
    {113, {0, 1, 2, 3}, 4},
};

constexpr const char *kDrivers[] = {"e1000", "e1000e", "virtio_net", "veth"};

bool ParseNumber(const std::string &text, uint32_t &out) {
    if (text.empty() || text.size() > 10) return false;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
    }
    unsigned long long v = std::strtoull(text.c_str(), nullptr, 10);
    if (v > 0xFFFFFFFFull) return false;
    out = static_cast<uint32_t>(v);
    return true;
}

std::string Choices(const PropertyRow &row) {
    std::string list;
    for (const EnumValue &v : row.values) list += (list.empty() ? "" : ", ") + std::string(v.raw);
    return list;
}

}  // namespace

std::span<const PropertyRow> PropertyTable() { return kRows; }

const PropertyRow *FindRow(uint32_t number, unsigned object) {
    for (const PropertyRow &row : kRows) {
        if (row.number == number && (row.objects & object)) return &row;
    }
    return nullptr;
}

std::optional<KernelValue> ParseRaw(const PropertyRow &row, const std::string &raw, std::string &problem) {
    KernelValue v;
    switch (row.conversion) {
    case C::Number:
        if (!ParseNumber(raw, v.number) || v.number < row.min || v.number > row.max) {
            problem = "\"" + raw + "\" is not a whole number from " + std::to_string(row.min) + " to " +
                      std::to_string(row.max);
            return std::nullopt;
        }
        return v;
    case C::Enum:
        for (const EnumValue &e : row.values) {
            if (raw == e.raw) {
                v.number = e.kernel;
                return v;
            }
        }
        problem = "\"" + raw + "\" is none of the values " + Choices(row);
        return std::nullopt;
    case C::MacOrEmpty:
        if (raw.empty()) return v;  // the permanent address
        [[fallthrough]];
    case C::Mac: {
        auto mac = ParseMac(raw);
        if (!mac) {
            problem = "\"" + raw + "\" is not a MAC address (six bytes in hexadecimal, aa:bb:cc:dd:ee:ff)";
            return std::nullopt;
        }
        if (((*mac)[0] & 1) != 0) {
            problem = raw + " is a multicast address; an interface needs a unicast one";
            return std::nullopt;
        }
        v.mac = *mac;
        return v;
    }
    case C::Flag:
        if (raw != "0" && raw != "1") {
            problem = "\"" + raw + "\" is neither 1 (on) nor 0 (off)";
            return std::nullopt;
        }
        v.flag = raw == "1";
        return v;
    case C::FlowControl:
        if (!ParseNumber(raw, v.number) || v.number > 3) {
            problem = "\"" + raw + "\" is not 0 (off), 1 (receive), 2 (transmit) or 3 (both)";
            return std::nullopt;
        }
        return v;
    case C::SpeedDuplex: {
        if (raw == "auto") {
            v.autoneg = true;
            return v;
        }
        std::size_t slash = raw.find('/');
        std::string duplex = slash == std::string::npos ? "" : raw.substr(slash + 1);
        if (slash == std::string::npos || !ParseNumber(raw.substr(0, slash), v.speed) || v.speed == 0 ||
            (duplex != "half" && duplex != "full")) {
            problem = "\"" + raw + "\" is neither \"auto\" nor a speed in Mb/s with a duplex (\"1000/full\")";
            return std::nullopt;
        }
        v.duplex = duplex == "full" ? 1 : 0;
        return v;
    }
    case C::Interface:
        if (!raw.empty()) {
            if (std::string why = InterfaceNameProblem(raw); !why.empty()) {
                problem = "\"" + raw + "\": " + why;
                return std::nullopt;
            }
        }
        v.text = raw;
        return v;
    case C::Name:
        if (std::string why = InterfaceNameProblem(raw); !why.empty()) {
            problem = "the kernel refuses the name \"" + raw + "\": " + why;
            return std::nullopt;
        }
        v.text = raw;
        return v;
    case C::IpList: {
        std::size_t start = 0;
        while (start <= raw.size() && !raw.empty()) {
            std::size_t comma = raw.find(',', start);
            std::string part = raw.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
            in_addr addr{};
            if (inet_pton(AF_INET, part.c_str(), &addr) != 1) {
                problem = "\"" + part + "\" is not an IPv4 address (write the addresses separated by commas)";
                return std::nullopt;
            }
            v.list.push_back(addr.s_addr);
            if (comma == std::string::npos) break;
            start = comma + 1;
        }
        if (v.list.size() > row.max) {
            problem = "at most " + std::to_string(row.max) + " addresses";
            return std::nullopt;
        }
        return v;
    }
    case C::Text:
        problem = "it is read-only";
        return std::nullopt;
    }
    return std::nullopt;
}

std::string FormatRaw(const PropertyRow &row, const KernelValue &v) {
    switch (row.conversion) {
    case C::Number:
    case C::FlowControl: return std::to_string(v.number);
    case C::Enum:
        for (const EnumValue &e : row.values) {
            if (e.kernel == v.number) return e.raw;
        }
        return std::to_string(v.number);
    case C::Mac:
    case C::MacOrEmpty: return FormatMac(v.mac);
    case C::Flag: return v.flag ? "1" : "0";
    case C::SpeedDuplex:
        if (v.autoneg) return "auto";
        return std::to_string(v.speed) + (v.duplex == 1 ? "/full" : "/half");
    case C::IpList: {
        std::string out;
        for (uint32_t ip : v.list) {
            char text[INET_ADDRSTRLEN] = {};
            in_addr addr{};
            addr.s_addr = ip;
            inet_ntop(AF_INET, &addr, text, sizeof text);
            out += (out.empty() ? "" : ",") + std::string(text);
        }
        return out;
    }
    case C::Interface:
    case C::Name:
    case C::Text: return v.text;
    }
    return {};
}

bool AppliesToBondMode(uint32_t property, uint32_t mode) {
    for (const ModeRule &r : kModeRules) {
        if (r.property != property) continue;
        for (std::size_t i = 0; i < r.count; ++i) {
            if (r.modes[i] == mode) return true;
        }
        return false;
    }
    return true;
}

std::string NetworkdValue(const PropertyRow &row, const std::string &raw) {
    for (const EnumValue &e : row.values) {
        if (raw == e.raw) return e.networkd;
    }
    return {};
}

std::string DefinitionTypeOf(const std::string &driver) {
    for (const char *d : kDrivers) {
        if (driver == d) return driver;
    }
    return kGenericAdapterType;
}

std::span<const char *const> DriversWithDefinitions() { return kDrivers; }

}  // namespace lxniclinux
