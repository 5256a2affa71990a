// The property table: one row per property number of the Linux definitions
// file, saying which objects hold the property, where the kernel keeps it,
// how its raw value (the text the configuration library reads and writes)
// converts to and from the kernel's value, which of the kernel's rules a
// change must respect, and what systemd-networkd calls it. Adding a property
// is adding a row.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "kernel.h"

namespace lxniclinux {

// The kinds of object a property belongs to (bits).
enum ObjectBits : unsigned { kAdapter = 1, kTeam = 2, kVlan = 4 };

// Where the kernel keeps a value.
enum class Source {
    Link,       // rtnetlink: field is a LinkField
    Bond,       // rtnetlink IFLA_INFO_DATA of a bond: field is IFLA_BOND_*
    Vlan,       // rtnetlink IFLA_INFO_DATA of a VLAN: field is IFLA_VLAN_*
    LinkModes,  // ethtool LINKMODES: speed, duplex, autonegotiation together
    Pause,      // ethtool PAUSE: rx and tx together
    Rings,      // ethtool RINGS: field is ETHTOOL_A_RINGS_*
    Coalesce,   // ethtool COALESCE: field is ETHTOOL_A_COALESCE_*
    Features,   // ethtool FEATURES: the row's feature names
    Driver,     // the ethtool driver information: field is a DriverField
    Stats,      // rtnetlink IFLA_STATS64: the row's key
};

enum LinkField { kMtu, kAddress, kPermanentAddress, kName, kState, kIndex, kMaster, kParent };
enum DriverField { kDriverName, kDriverVersion, kFirmwareVersion, kBusLocation };

// How a raw value converts.
enum class Conversion {
    Number,       // decimal, min..max
    Enum,         // the row's value table
    Mac,          // aa:bb:cc:dd:ee:ff
    MacOrEmpty,   // a MAC, or empty for the permanent address
    Flag,         // "1" on, "0" off
    Text,         // read-only text
    SpeedDuplex,  // "auto" or "<Mb/s>/<half|full>"
    FlowControl,  // "0".."3": bit 0 receive, bit 1 transmit
    Interface,    // an interface name (a bond member); the kernel holds its index
    IpList,       // IPv4 addresses separated by commas
    Name,         // an interface name
};

// The kernel's rules a change respects (bits).
enum RuleBits : unsigned {
    kReadOnly = 1,      // nothing to write
    kNeedsDown = 2,     // the object is taken down for the change and brought up again
    kNoMembers = 4,     // a bond takes it only without members: refused otherwise
    kCreateOnly = 8,    // given when the object is created; the kernel cannot change it later
    kMembersOnly = 16,  // a team has no such setting itself: a team write goes to its members
    kAfterMembers = 32, // a team write applied after the commit's members are added
    // A bond's value follows its members' (its offloads are what every
    // member offers): a team write goes to each member and then to the
    // bond, after the commit's members are added. A bond without members
    // keeps such features off.
    kWithMembers = 64,
};

// Sections of the systemd-networkd files a setting goes to.
enum class Persist { None, Link, NetDev, Bond, Vlan, Special };

struct EnumValue {
    const char *raw;       // the raw value (enumid of the definitions)
    uint32_t kernel;       // the kernel's number
    const char *networkd;  // the systemd-networkd spelling
};

struct PropertyRow {
    uint32_t number;
    unsigned objects;  // ObjectBits
    const char *name;  // how messages name it
    Source source;
    int field;
    int width;  // bytes of the kernel's number (bond and ethtool values)
    Conversion conversion;
    std::span<const EnumValue> values;
    std::span<const char *const> features;
    uint32_t min, max;
    unsigned rules;  // RuleBits
    Persist persist;
    const char *key;  // the systemd-networkd key
};

// The whole table, in the order the commit applies a team's settings.
std::span<const PropertyRow> PropertyTable();
// The row of a property number for a kind of object, or nullptr.
const PropertyRow *FindRow(uint32_t number, unsigned object);

// The kernel's form of a value.
struct KernelValue {
    uint32_t number = 0;
    std::string text;
    Mac mac;
    std::vector<uint32_t> list;
    bool flag = false;
    // SpeedDuplex: autonegotiation, or a forced speed (Mb/s) and duplex (1 full).
    bool autoneg = false;
    uint32_t speed = 0;
    uint8_t duplex = 0;
};

// Raw text to the kernel's value; nullopt and the reason when the text is
// not a value of the property.
std::optional<KernelValue> ParseRaw(const PropertyRow &row, const std::string &raw, std::string &problem);
// The kernel's value to raw text.
std::string FormatRaw(const PropertyRow &row, const KernelValue &value);

// Whether a bond option applies in a bonding mode (the kernel's number): the
// kernel refuses the others ("mode dependency failed").
bool AppliesToBondMode(uint32_t property, uint32_t mode);

// The networkd spelling of an enumerated raw value, or empty.
std::string NetworkdValue(const PropertyRow &row, const std::string &raw);

// Drivers described by a definition of their own in the Linux definitions
// file; every other adapter is of the generic type.
inline constexpr const char *kGenericAdapterType = "Ethernet";
std::string DefinitionTypeOf(const std::string &driver);
std::span<const char *const> DriversWithDefinitions();

}  // namespace lxniclinux
