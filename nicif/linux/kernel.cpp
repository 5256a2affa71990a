#include "kernel.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include <arpa/inet.h>
#include <linux/ethtool_netlink.h>
#include <linux/if.h>
#include <linux/if_arp.h>
#include <linux/if_link.h>
#include <linux/rtnetlink.h>
#include <netlink/attr.h>
#include <netlink/genl/genl.h>
#include <netlink/msg.h>

namespace lxniclinux {

bool Link::up() const { return (flags & IFF_UP) != 0; }
bool Link::lowerUp() const { return (flags & IFF_LOWER_UP) != 0; }

namespace {

uint32_t Scalar(const nlattr *attr) {
    switch (nla_len(attr)) {
    case 1: return nla_get_u8(const_cast<nlattr *>(attr));
    case 2: return nla_get_u16(const_cast<nlattr *>(attr));
    case 4: return nla_get_u32(const_cast<nlattr *>(attr));
    default: return 0;
    }
}

Mac Bytes(const nlattr *attr) {
    const auto *data = static_cast<const uint8_t *>(nla_data(attr));
    return Mac(data, data + nla_len(attr));
}

void ParseBond(Link &link, nlattr *data) {
    nlattr *tb[IFLA_BOND_MAX + 1] = {};
    if (nla_parse_nested(tb, IFLA_BOND_MAX, data, nullptr) != 0) return;
    for (int type = 1; type <= IFLA_BOND_MAX; ++type) {
        if (!tb[type]) continue;
        if (type == IFLA_BOND_ARP_IP_TARGET) {
            nlattr *target;
            int rem;
            nla_for_each_nested(target, tb[type], rem) {
                if (nla_len(target) == 4) link.arpTargets.push_back(nla_get_u32(target));
            }
        } else if (nla_len(tb[type]) <= 4) {
            link.bond[type] = Scalar(tb[type]);
        }
    }
}

void ParseLinkInfo(Link &link, nlattr *info) {
    nlattr *li[IFLA_INFO_MAX + 1] = {};
    if (nla_parse_nested(li, IFLA_INFO_MAX, info, nullptr) != 0) return;
    if (li[IFLA_INFO_KIND]) link.kind = nla_get_string(li[IFLA_INFO_KIND]);
    if (li[IFLA_INFO_SLAVE_KIND]) link.slaveKind = nla_get_string(li[IFLA_INFO_SLAVE_KIND]);
    if (li[IFLA_INFO_DATA] && link.kind == "bond") ParseBond(link, li[IFLA_INFO_DATA]);
    if (li[IFLA_INFO_DATA] && link.kind == "vlan") {
        nlattr *tb[IFLA_VLAN_MAX + 1] = {};
        if (nla_parse_nested(tb, IFLA_VLAN_MAX, li[IFLA_INFO_DATA], nullptr) == 0) {
            if (tb[IFLA_VLAN_ID]) link.vlanId = nla_get_u16(tb[IFLA_VLAN_ID]);
            if (tb[IFLA_VLAN_PROTOCOL]) link.vlanProtocol = ntohs(nla_get_u16(tb[IFLA_VLAN_PROTOCOL]));
        }
    }
    if (li[IFLA_INFO_SLAVE_DATA] && link.slaveKind == "bond") {
        nlattr *tb[IFLA_BOND_SLAVE_MAX + 1] = {};
        if (nla_parse_nested(tb, IFLA_BOND_SLAVE_MAX, li[IFLA_INFO_SLAVE_DATA], nullptr) == 0) {
            if (tb[IFLA_BOND_SLAVE_STATE]) link.slaveState = nla_get_u8(tb[IFLA_BOND_SLAVE_STATE]);
            if (tb[IFLA_BOND_SLAVE_MII_STATUS]) link.slaveMii = nla_get_u8(tb[IFLA_BOND_SLAVE_MII_STATUS]);
        }
    }
}

std::optional<Link> ParseLink(nlmsghdr *hdr) {
    if (hdr->nlmsg_type != RTM_NEWLINK) return std::nullopt;
    if (!nlmsg_valid_hdr(hdr, sizeof(ifinfomsg))) return std::nullopt;
    const auto *ifi = static_cast<const ifinfomsg *>(nlmsg_data(hdr));
    nlattr *tb[IFLA_MAX + 1] = {};
    if (nlmsg_parse(hdr, sizeof(ifinfomsg), tb, IFLA_MAX, nullptr) != 0) return std::nullopt;
    Link link;
    link.index = ifi->ifi_index;
    link.type = ifi->ifi_type;
    link.flags = ifi->ifi_flags;
    if (tb[IFLA_IFNAME]) link.name = nla_get_string(tb[IFLA_IFNAME]);
    if (tb[IFLA_MTU]) link.mtu = nla_get_u32(tb[IFLA_MTU]);
    if (tb[IFLA_MIN_MTU]) link.minMtu = nla_get_u32(tb[IFLA_MIN_MTU]);
    if (tb[IFLA_MAX_MTU]) link.maxMtu = nla_get_u32(tb[IFLA_MAX_MTU]);
    if (tb[IFLA_ADDRESS]) link.address = Bytes(tb[IFLA_ADDRESS]);
    if (tb[IFLA_PERM_ADDRESS]) link.permanentAddress = Bytes(tb[IFLA_PERM_ADDRESS]);
    if (tb[IFLA_MASTER]) link.master = static_cast<int>(nla_get_u32(tb[IFLA_MASTER]));
    if (tb[IFLA_LINK]) link.parent = static_cast<int>(nla_get_u32(tb[IFLA_LINK]));
    if (tb[IFLA_LINKINFO]) ParseLinkInfo(link, tb[IFLA_LINKINFO]);
    if (tb[IFLA_STATS64] && nla_len(tb[IFLA_STATS64]) >= static_cast<int>(sizeof(rtnl_link_stats64))) {
        rtnl_link_stats64 s;
        std::memcpy(&s, nla_data(tb[IFLA_STATS64]), sizeof s);
        link.stats = std::map<std::string, uint64_t>{
            {"rx_packets", s.rx_packets}, {"tx_packets", s.tx_packets}, {"rx_bytes", s.rx_bytes},
            {"tx_bytes", s.tx_bytes},     {"rx_errors", s.rx_errors},   {"tx_errors", s.tx_errors},
            {"rx_dropped", s.rx_dropped}, {"tx_dropped", s.tx_dropped}};
    }
    return link;
}

Message LinkMessage(Netlink &nl, int type, int flags, int index, unsigned change = 0, unsigned value = 0) {
    Message msg = nl.routeMessage(type, flags);
    if (!msg) return msg;
    ifinfomsg ifi{};
    ifi.ifi_family = AF_UNSPEC;
    ifi.ifi_index = index;
    ifi.ifi_change = change;
    ifi.ifi_flags = value;
    if (nlmsg_append(msg.get(), &ifi, sizeof ifi, NLMSG_ALIGNTO) < 0) return nullptr;
    return msg;
}

nlattr *Nest(nl_msg *msg, int type) { return nla_nest_start(msg, type | NLA_F_NESTED); }

bool PutBondOptions(nl_msg *msg, const std::vector<BondValue> &options) {
    nlattr *info = Nest(msg, IFLA_LINKINFO);
    if (!info || nla_put_string(msg, IFLA_INFO_KIND, "bond") < 0) return false;
    nlattr *data = Nest(msg, IFLA_INFO_DATA);
    if (!data) return false;
    for (const BondValue &o : options) {
        int err = 0;
        switch (o.width) {
        case BondValue::U8: err = nla_put_u8(msg, o.attribute, static_cast<uint8_t>(o.value)); break;
        case BondValue::U16: err = nla_put_u16(msg, o.attribute, static_cast<uint16_t>(o.value)); break;
        case BondValue::U32: err = nla_put_u32(msg, o.attribute, o.value); break;
        case BondValue::IpList: {
            nlattr *list = Nest(msg, o.attribute);
            if (!list) return false;
            for (std::size_t i = 0; i < o.ips.size(); ++i) {
                if (nla_put_u32(msg, static_cast<int>(i), o.ips[i]) < 0) return false;
            }
            nla_nest_end(msg, list);
            break;
        }
        }
        if (err < 0) return false;
    }
    nla_nest_end(msg, data);
    nla_nest_end(msg, info);
    return true;
}

const KernelError kNoMemory{-ENOMEM, "no memory for a netlink message"};

}  // namespace

std::vector<Link> ReadLinks(Netlink &nl, KernelError &error) {
    std::vector<Link> links;
    // A dump that an interface change interrupted is read again.
    for (int attempt = 0; attempt < 5; ++attempt) {
        links.clear();
        Message msg = LinkMessage(nl, RTM_GETLINK, 0, 0);
        error = nl.routeDump(std::move(msg), [&](nlmsghdr *hdr) {
            if (auto link = ParseLink(hdr)) links.push_back(std::move(*link));
        });
        if (error.error != -EAGAIN) break;
    }
    return links;
}

std::optional<Link> ReadLink(Netlink &nl, int index, KernelError &error) {
    std::optional<Link> found;
    if (index <= 0) {
        error = {-ENODEV, ""};
        return found;
    }
    Message msg = LinkMessage(nl, RTM_GETLINK, 0, index);
    error = nl.route(std::move(msg), [&](nlmsghdr *hdr) {
        if (auto link = ParseLink(hdr)) found = std::move(link);
    });
    if (!error && !found) error = {-ENODEV, ""};
    return found;
}

KernelError ChangeLink(Netlink &nl, int index, const LinkChange &change) {
    unsigned mask = change.up ? IFF_UP : 0;
    unsigned value = change.up && *change.up ? IFF_UP : 0;
    Message msg = LinkMessage(nl, RTM_NEWLINK, 0, index, mask, value);
    if (!msg) return kNoMemory;
    nl_msg *m = msg.get();
    if (change.name && nla_put_string(m, IFLA_IFNAME, change.name->c_str()) < 0) return kNoMemory;
    if (change.mtu && nla_put_u32(m, IFLA_MTU, *change.mtu) < 0) return kNoMemory;
    if (change.address && nla_put(m, IFLA_ADDRESS, static_cast<int>(change.address->size()), change.address->data()) < 0)
        return kNoMemory;
    if (change.master && nla_put_u32(m, IFLA_MASTER, static_cast<uint32_t>(*change.master)) < 0) return kNoMemory;
    return nl.route(std::move(msg));
}

KernelError CreateBond(Netlink &nl, const std::string &name, const std::vector<BondValue> &options, int index) {
    Message msg = LinkMessage(nl, RTM_NEWLINK, NLM_F_CREATE | NLM_F_EXCL, index);
    if (!msg || nla_put_string(msg.get(), IFLA_IFNAME, name.c_str()) < 0 || !PutBondOptions(msg.get(), options))
        return kNoMemory;
    return nl.route(std::move(msg));
}

KernelError SetBondOptions(Netlink &nl, int index, const std::vector<BondValue> &options) {
    Message msg = LinkMessage(nl, RTM_NEWLINK, 0, index);
    if (!msg || !PutBondOptions(msg.get(), options)) return kNoMemory;
    return nl.route(std::move(msg));
}

KernelError CreateVlan(Netlink &nl, const std::string &name, int parent, uint16_t id, uint16_t protocol,
                       std::optional<uint32_t> mtu, int index) {
    Message msg = LinkMessage(nl, RTM_NEWLINK, NLM_F_CREATE | NLM_F_EXCL, index);
    if (!msg) return kNoMemory;
    nl_msg *m = msg.get();
    if (nla_put_string(m, IFLA_IFNAME, name.c_str()) < 0 ||
        nla_put_u32(m, IFLA_LINK, static_cast<uint32_t>(parent)) < 0)
        return kNoMemory;
    if (mtu && nla_put_u32(m, IFLA_MTU, *mtu) < 0) return kNoMemory;
    nlattr *info = Nest(m, IFLA_LINKINFO);
    if (!info || nla_put_string(m, IFLA_INFO_KIND, "vlan") < 0) return kNoMemory;
    nlattr *data = Nest(m, IFLA_INFO_DATA);
    if (!data || nla_put_u16(m, IFLA_VLAN_ID, id) < 0 || nla_put_u16(m, IFLA_VLAN_PROTOCOL, htons(protocol)) < 0)
        return kNoMemory;
    nla_nest_end(m, data);
    nla_nest_end(m, info);
    return nl.route(std::move(msg));
}

KernelError DeleteLink(Netlink &nl, int index) {
    return nl.route(LinkMessage(nl, RTM_DELLINK, 0, index));
}

namespace {

struct EthtoolCommands {
    uint8_t get, set;
};

EthtoolCommands CommandsOf(EthtoolSet set) {
    switch (set) {
    case EthtoolSet::LinkModes: return {ETHTOOL_MSG_LINKMODES_GET, ETHTOOL_MSG_LINKMODES_SET};
    case EthtoolSet::Pause: return {ETHTOOL_MSG_PAUSE_GET, ETHTOOL_MSG_PAUSE_SET};
    case EthtoolSet::Rings: return {ETHTOOL_MSG_RINGS_GET, ETHTOOL_MSG_RINGS_SET};
    case EthtoolSet::Coalesce: return {ETHTOOL_MSG_COALESCE_GET, ETHTOOL_MSG_COALESCE_SET};
    }
    return {0, 0};
}

// Every ethtool message starts with the request header (attribute 1) naming
// the device.
Message EthtoolRequest(Netlink &nl, uint8_t cmd, int index, KernelError &error) {
    Message msg = nl.ethtoolMessage(cmd, 0, error);
    if (!msg) return msg;
    nlattr *header = Nest(msg.get(), 1);
    if (!header || nla_put_u32(msg.get(), ETHTOOL_A_HEADER_DEV_INDEX, static_cast<uint32_t>(index)) < 0) {
        error = kNoMemory;
        return nullptr;
    }
    nla_nest_end(msg.get(), header);
    return msg;
}

void ForEachAttribute(nlmsghdr *hdr, const std::function<void(nlattr *)> &visit) {
    if (!genlmsg_valid_hdr(hdr, 0)) return;
    auto *gh = static_cast<genlmsghdr *>(nlmsg_data(hdr));
    nlattr *attr;
    int rem;
    nla_for_each_attr(attr, genlmsg_attrdata(gh, 0), genlmsg_attrlen(gh, 0), rem) { visit(attr); }
}

std::set<std::string> BitNames(nlattr *bitset) {
    std::set<std::string> names;
    nlattr *tb[ETHTOOL_A_BITSET_MAX + 1] = {};
    if (nla_parse_nested(tb, ETHTOOL_A_BITSET_MAX, bitset, nullptr) != 0 || !tb[ETHTOOL_A_BITSET_BITS]) return names;
    // Without a mask the bits listed are the bits set; with one, a bit is
    // set when it carries the value flag.
    bool listedAreSet = tb[ETHTOOL_A_BITSET_NOMASK] != nullptr;
    nlattr *bit;
    int rem;
    nla_for_each_nested(bit, tb[ETHTOOL_A_BITSET_BITS], rem) {
        nlattr *bt[ETHTOOL_A_BITSET_BIT_MAX + 1] = {};
        if (nla_parse_nested(bt, ETHTOOL_A_BITSET_BIT_MAX, bit, nullptr) != 0) continue;
        if (bt[ETHTOOL_A_BITSET_BIT_NAME] && (listedAreSet || bt[ETHTOOL_A_BITSET_BIT_VALUE])) {
            names.insert(nla_get_string(bt[ETHTOOL_A_BITSET_BIT_NAME]));
        }
    }
    return names;
}

}  // namespace

KernelError EthtoolGet(Netlink &nl, EthtoolSet set, int index, std::map<int, uint32_t> &values) {
    KernelError error;
    Message msg = EthtoolRequest(nl, CommandsOf(set).get, index, error);
    if (!msg) return error;
    return nl.ethtool(std::move(msg), [&](nlmsghdr *hdr) {
        ForEachAttribute(hdr, [&](nlattr *attr) {
            int type = nla_type(attr);
            int len = nla_len(attr);
            if (type != 1 && (len == 1 || len == 2 || len == 4)) values[type] = Scalar(attr);
        });
    });
}

KernelError EthtoolSetValues(Netlink &nl, EthtoolSet set, int index, const std::vector<EthtoolValue> &values) {
    KernelError error;
    Message msg = EthtoolRequest(nl, CommandsOf(set).set, index, error);
    if (!msg) return error;
    for (const EthtoolValue &v : values) {
        int err = v.width == 1 ? nla_put_u8(msg.get(), v.attribute, static_cast<uint8_t>(v.value))
                               : nla_put_u32(msg.get(), v.attribute, v.value);
        if (err < 0) return kNoMemory;
    }
    return nl.ethtool(std::move(msg));
}

KernelError GetFeatures(Netlink &nl, int index, Features &features) {
    KernelError error;
    Message msg = EthtoolRequest(nl, ETHTOOL_MSG_FEATURES_GET, index, error);
    if (!msg) return error;
    return nl.ethtool(std::move(msg), [&](nlmsghdr *hdr) {
        ForEachAttribute(hdr, [&](nlattr *attr) {
            switch (nla_type(attr)) {
            case ETHTOOL_A_FEATURES_ACTIVE: features.active = BitNames(attr); break;
            case ETHTOOL_A_FEATURES_HW: features.changeable = BitNames(attr); break;
            case ETHTOOL_A_FEATURES_NOCHANGE: features.fixed = BitNames(attr); break;
            default: break;
            }
        });
    });
}

KernelError SetFeatures(Netlink &nl, int index, const std::map<std::string, bool> &wanted) {
    KernelError error;
    Message msg = EthtoolRequest(nl, ETHTOOL_MSG_FEATURES_SET, index, error);
    if (!msg) return error;
    nl_msg *m = msg.get();
    nlattr *bitset = Nest(m, ETHTOOL_A_FEATURES_WANTED);
    nlattr *bits = bitset ? Nest(m, ETHTOOL_A_BITSET_BITS) : nullptr;
    if (!bits) return kNoMemory;
    for (const auto &[name, on] : wanted) {
        nlattr *bit = Nest(m, ETHTOOL_A_BITSET_BITS_BIT);
        if (!bit || nla_put_string(m, ETHTOOL_A_BITSET_BIT_NAME, name.c_str()) < 0) return kNoMemory;
        if (on && nla_put_flag(m, ETHTOOL_A_BITSET_BIT_VALUE) < 0) return kNoMemory;
        nla_nest_end(m, bit);
    }
    nla_nest_end(m, bits);
    nla_nest_end(m, bitset);
    return nl.ethtool(std::move(msg));
}

std::string FormatMac(const Mac &mac) {
    std::string out;
    char part[4];
    for (std::size_t i = 0; i < mac.size(); ++i) {
        std::snprintf(part, sizeof part, i ? ":%02x" : "%02x", mac[i]);
        out += part;
    }
    return out;
}

std::optional<Mac> ParseMac(const std::string &text) {
    std::string hex;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (std::isxdigit(static_cast<unsigned char>(c))) {
            hex += c;
        } else if ((c == ':' || c == '-') && hex.size() % 2 == 0 && !hex.empty() && i + 1 < text.size()) {
            continue;
        } else {
            return std::nullopt;
        }
    }
    // With separators every byte has two digits: "a:b:..." is refused.
    bool separated = text.find_first_of(":-") != std::string::npos;
    if (hex.size() != 12 || (separated && text.size() != 17)) return std::nullopt;
    Mac mac;
    for (std::size_t i = 0; i < 12; i += 2) mac.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return mac;
}

std::string InterfaceNameProblem(const std::string &name) {
    if (name.empty()) return "an interface name cannot be empty";
    if (name.size() > 15) return "an interface name has at most 15 characters";
    if (name == "." || name == "..") return "an interface name cannot be \".\" or \"..\"";
    for (char c : name) {
        if (c == '/' || c == ':' || std::isspace(static_cast<unsigned char>(c))) {
            return "an interface name cannot hold '/', ':' or white space";
        }
    }
    return {};
}

}  // namespace lxniclinux
