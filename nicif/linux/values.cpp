#include "values.h"

#include <cerrno>
#include <linux/ethtool.h>
#include <linux/ethtool_netlink.h>
#include <linux/if_link.h>

namespace lxniclinux {

namespace {

constexpr const char *kStatsNames[] = {"rx_packets", "tx_packets", "rx_bytes", "tx_bytes",
                                       "rx_errors",  "tx_errors",  "rx_dropped", "tx_dropped"};

uint32_t NoSetting(std::string &why, const std::string &text) {
    why = text;
    return 1;
}

std::string NameOf(Netlink &nl, int index) {
    if (index <= 0) return {};
    KernelError error;
    auto link = ReadLink(nl, index, error);
    return link ? link->name : std::string();
}

int IndexOfName(Netlink &nl, const std::string &name) {
    KernelError error;
    for (const Link &l : ReadLinks(nl, error)) {
        if (l.name == name) return l.index;
    }
    return 0;
}

bool SameValue(const PropertyRow &row, const KernelValue &a, const KernelValue &b) {
    return FormatRaw(row, a) == FormatRaw(row, b);
}

// The bond option of a row with a value.
BondValue BondOption(const PropertyRow &row, const KernelValue &v) {
    BondValue o;
    o.attribute = row.field;
    o.width = row.conversion == Conversion::IpList ? BondValue::IpList
              : row.width == 1                     ? BondValue::U8
              : row.width == 2                     ? BondValue::U16
                                                   : BondValue::U32;
    o.value = v.number;
    o.ips = v.list;
    return o;
}

std::vector<EthtoolValue> LinkModeValues(const KernelValue &v) {
    if (v.autoneg) return {{ETHTOOL_A_LINKMODES_AUTONEG, 1, AUTONEG_ENABLE}};
    return {{ETHTOOL_A_LINKMODES_AUTONEG, 1, AUTONEG_DISABLE},
            {ETHTOOL_A_LINKMODES_SPEED, 4, v.speed},
            {ETHTOOL_A_LINKMODES_DUPLEX, 1, v.duplex}};
}

std::vector<EthtoolValue> PauseValues(const KernelValue &v) {
    return {{ETHTOOL_A_PAUSE_RX, 1, v.number & 1u}, {ETHTOOL_A_PAUSE_TX, 1, (v.number >> 1) & 1u}};
}

EthtoolSet SetOf(Source s) {
    switch (s) {
    case Source::LinkModes: return EthtoolSet::LinkModes;
    case Source::Pause: return EthtoolSet::Pause;
    case Source::Rings: return EthtoolSet::Rings;
    default: return EthtoolSet::Coalesce;
    }
}

// The raw write of one value, no reading back, no undo.
KernelError Put(Netlink &nl, int index, const PropertyRow &row, const KernelValue &v, const Link &link) {
    switch (row.source) {
    case Source::Link: {
        LinkChange change;
        if (row.field == kMtu) change.mtu = v.number;
        if (row.field == kName) change.name = v.text;
        if (row.field == kAddress) {
            if (v.mac.empty()) {
                if (link.permanentAddress.empty()) return {};  // nothing to go back to
                change.address = link.permanentAddress;
            } else {
                change.address = v.mac;
            }
        }
        return ChangeLink(nl, index, change);
    }
    case Source::Bond: {
        KernelValue value = v;
        if (row.conversion == Conversion::Interface) {
            value.number = v.text.empty() ? 0 : static_cast<uint32_t>(IndexOfName(nl, v.text));
            if (!v.text.empty() && value.number == 0) return {-ENODEV, "no interface " + v.text};
        }
        return SetBondOptions(nl, index, {BondOption(row, value)});
    }
    case Source::LinkModes: return EthtoolSetValues(nl, EthtoolSet::LinkModes, index, LinkModeValues(v));
    case Source::Pause: return EthtoolSetValues(nl, EthtoolSet::Pause, index, PauseValues(v));
    case Source::Rings:
    case Source::Coalesce:
        return EthtoolSetValues(nl, SetOf(row.source), index, {{row.field, row.width, v.number}});
    case Source::Features: {
        Features f;
        if (KernelError e = GetFeatures(nl, index, f)) return e;
        std::map<std::string, bool> wanted;
        for (const char *name : row.features) {
            if (f.changeable.count(name)) wanted[name] = v.flag;
        }
        if (wanted.empty()) {
            // A setting the device cannot change is fine when it already
            // holds the value (a bond without receive checksums, told to
            // keep them off as its members do).
            bool holds = true;
            for (const char *name : row.features) holds = holds && (f.active.count(name) != 0) == v.flag;
            if (holds) return {};
            return {-EOPNOTSUPP, "the driver cannot change the " + std::string(row.name)};
        }
        if (KernelError e = SetFeatures(nl, index, wanted)) return e;
        Features after;
        if (KernelError e = GetFeatures(nl, index, after)) return e;
        for (const auto &[name, on] : wanted) {
            if ((after.active.count(name) != 0) != on) {
                return {-EINVAL, "the driver kept " + name + (on ? " off" : " on") +
                                     " (it depends on other offloads or on the hardware)"};
            }
        }
        return {};
    }
    default: return {-EOPNOTSUPP, std::string("the ") + row.name + " is read-only"};
    }
}

}  // namespace

KernelError SetUp(Netlink &nl, int index, bool up, std::vector<Undo> &undo) {
    LinkChange change;
    change.up = up;
    if (KernelError e = ChangeLink(nl, index, change)) return e;
    undo.push_back({std::string("bringing it ") + (up ? "down" : "up") + " again", [&nl, index, up] {
                        LinkChange back;
                        back.up = !up;
                        return ChangeLink(nl, index, back);
                    }});
    return {};
}

uint32_t ReadValue(Netlink &nl, const Link &link, const PropertyRow &row, KernelValue &v, std::string &why) {
    switch (row.source) {
    case Source::Link:
        switch (row.field) {
        case kMtu: v.number = link.mtu; return 0;
        case kAddress:
            if (link.address.empty()) return NoSetting(why, "no hardware address");
            v.mac = link.address;
            // An adapter at its permanent address reads as the empty text.
            if (row.conversion == Conversion::MacOrEmpty && link.address == link.permanentAddress) v.mac.clear();
            return 0;
        case kPermanentAddress:
            if (link.permanentAddress.empty()) return NoSetting(why, "no permanent address");
            v.mac = link.permanentAddress;
            return 0;
        case kName: v.text = link.name; return 0;
        case kState: v.text = !link.up() ? "down" : link.lowerUp() ? "up" : "no carrier"; return 0;
        case kIndex: v.number = static_cast<uint32_t>(link.index); return 0;
        case kMaster: v.text = NameOf(nl, link.master); return 0;
        case kParent: v.text = NameOf(nl, link.parent); return 0;
        default: return NoSetting(why, "unknown field");
        }
    case Source::Bond: {
        if (row.conversion == Conversion::IpList) {
            v.list = link.arpTargets;
            return 0;
        }
        auto it = link.bond.find(row.field);
        if (row.conversion == Conversion::Interface) {
            v.text = it == link.bond.end() ? std::string() : NameOf(nl, static_cast<int>(it->second));
            return 0;
        }
        if (it == link.bond.end()) return NoSetting(why, "the kernel reports no " + std::string(row.name));
        v.number = it->second;
        return 0;
    }
    case Source::Vlan:
        v.number = row.field == IFLA_VLAN_ID ? link.vlanId : link.vlanProtocol;
        return 0;
    case Source::LinkModes: {
        std::map<int, uint32_t> values;
        if (KernelError e = EthtoolGet(nl, EthtoolSet::LinkModes, link.index, values)) {
            return NoSetting(why, "the driver reports no link modes: " + e.describe());
        }
        uint32_t speed = values.count(ETHTOOL_A_LINKMODES_SPEED) ? values[ETHTOOL_A_LINKMODES_SPEED] : 0;
        uint32_t duplex = values.count(ETHTOOL_A_LINKMODES_DUPLEX) ? values[ETHTOOL_A_LINKMODES_DUPLEX] : DUPLEX_UNKNOWN;
        bool known = speed != 0 && speed != static_cast<uint32_t>(SPEED_UNKNOWN) && duplex != DUPLEX_UNKNOWN;
        if (row.field == 1) {  // the link speed as text
            v.text = known ? std::to_string(speed) + " Mb/s " + (duplex == DUPLEX_FULL ? "full" : "half") + " duplex"
                           : "unknown";
            return 0;
        }
        if (values.count(ETHTOOL_A_LINKMODES_AUTONEG) && values[ETHTOOL_A_LINKMODES_AUTONEG] == AUTONEG_ENABLE) {
            v.autoneg = true;
            return 0;
        }
        if (!known) return NoSetting(why, "no speed is set");
        v.speed = speed;
        v.duplex = duplex == DUPLEX_FULL ? 1 : 0;
        return 0;
    }
    case Source::Pause:
    case Source::Rings:
    case Source::Coalesce: {
        std::map<int, uint32_t> values;
        if (KernelError e = EthtoolGet(nl, SetOf(row.source), link.index, values)) {
            return NoSetting(why, "the driver has no " + std::string(row.name) + ": " + e.describe());
        }
        if (row.source == Source::Pause) {
            v.number = (values[ETHTOOL_A_PAUSE_RX] ? 1u : 0u) | (values[ETHTOOL_A_PAUSE_TX] ? 2u : 0u);
            return 0;
        }
        auto it = values.find(row.field);
        if (it == values.end()) return NoSetting(why, "the driver has no " + std::string(row.name));
        v.number = it->second;
        return 0;
    }
    case Source::Features: {
        Features f;
        if (KernelError e = GetFeatures(nl, link.index, f)) return NoSetting(why, e.describe());
        bool present = false;
        for (const char *name : row.features) {
            if (f.active.count(name) || f.changeable.count(name) || f.fixed.count(name)) present = true;
            if (f.active.count(name)) v.flag = true;
        }
        if (!present) return NoSetting(why, "the device has no " + std::string(row.name));
        return 0;
    }
    case Source::Driver: {
        DriverInfo info;
        if (!GetDriverInfo(link.name, info)) return NoSetting(why, "no driver information");
        const std::string *fields[] = {&info.driver, &info.version, &info.firmware, &info.bus};
        v.text = *fields[row.field];
        return 0;
    }
    case Source::Stats:
        if (!link.stats) return NoSetting(why, "no statistics");
        v.number = static_cast<uint32_t>(link.stats->at(kStatsNames[row.field]) & 0xFFFFFFFFu);
        v.text = std::to_string(link.stats->at(kStatsNames[row.field]));
        return 0;
    }
    return 1;
}

KernelError WriteValue(Netlink &nl, int index, const PropertyRow &row, const KernelValue &value,
                       std::vector<Undo> &undo) {
    KernelError error;
    auto link = ReadLink(nl, index, error);
    if (!link) return error;
    KernelValue old;
    std::string why;
    bool haveOld = ReadValue(nl, *link, row, old, why) == 0;
    if (haveOld && SameValue(row, old, value)) return {};
    // A device without an offload has it off: turning it off asks nothing
    // (a new bond told to keep receive checksums off, as its members do).
    if (!haveOld && row.source == Source::Features && !value.flag) return {};
    if (!haveOld && row.source != Source::Link && row.source != Source::Bond) {
        return {-EOPNOTSUPP, why};
    }
    bool bounce = (row.rules & kNeedsDown) && link->up();
    if (bounce) {
        if (KernelError e = SetUp(nl, index, false, undo)) return e;
    }
    if (KernelError e = Put(nl, index, row, value, *link)) return e;
    if (haveOld) {
        Link before = *link;
        undo.push_back({std::string("setting the ") + row.name + " back to " + FormatRaw(row, old),
                        [&nl, index, &row, old, before] { return Put(nl, index, row, old, before); }});
    }
    if (bounce) {
        if (KernelError e = SetUp(nl, index, true, undo)) return e;
    }
    return {};
}

}  // namespace lxniclinux
