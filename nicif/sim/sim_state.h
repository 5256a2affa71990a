// The simulated server's model: adapters, teams and VLANs with their property
// values, the per-kind rules that say which values a property takes, the
// consistency rules every state keeps, and the changes that can be staged.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace lxnicsim {

using Handle = uint64_t;
// Property values by property number, as UTF-8 text.
using Properties = std::map<uint32_t, std::string>;

// The codes every function of the library answers.
enum Code : uint32_t {
    kOk = 0,
    kNoValue = 1,         // reads: the object does not have this property
    kUnknownHandle = 2,   // no object of the expected kind has this handle
    kPropertyError = 3,   // the object cannot take this value for this property
    kBadArgument = 4,     // a NULL pointer or a malformed value or size
    kImpossible = 5,      // the change would break the server's consistency rules
    kStateFileError = 6,  // the state file was refused, or saving it failed
    kNotice = 7,          // writes: done; the object restarts when it is committed
    kInternalError = 8,   // out of memory or another unexpected failure
};

// Status codes of adapters and teams.
enum Status : uint32_t {
    kActive = 0,
    kNotActive = 1,
    kDegraded = 2,
    kDegradedNotActive = 3,
    kStatusUnknown = 4,
    kDisabled = 5,
};

// Property numbers with a meaning to the server itself.
inline constexpr uint32_t kTeamNameProperty = 100;
inline constexpr uint32_t kPreferredPrimaryProperty = 103;
inline constexpr uint32_t kVlanIdProperty = 200;

// The longest team or VLAN name the server takes, in characters.
inline constexpr std::size_t kMaxNameLength = 64;

// A VLAN id as a number: decimal digits only ("010" is 10), else nothing.
std::optional<long long> VlanIdNumber(const std::string &text);

// What values one property accepts: a list of texts, or a closed range of
// decimal numbers. Neither set: any text.
struct Allowed {
    std::vector<std::string> choices;
    std::optional<std::pair<long long, long long>> range;
    bool accepts(const std::string &value) const;
};

// The rules of one kind of object (an adapter definition type, teams, VLANs):
// the properties a new object starts with, the ones that cannot be written
// and the values the others accept.
struct Profile {
    Properties defaults;
    std::set<uint32_t> readOnly;
    std::map<uint32_t, Allowed> allowed;
    std::set<uint32_t> restart;  // writes answer kNotice: the object restarts to apply them
    // kOk, or kPropertyError when an object of this kind that holds the
    // property cannot take the value.
    uint32_t check(uint32_t property, const std::string &value) const;
};

struct Adapter {
    Handle handle = 0;
    std::string definitionType, name, label;
    uint32_t status = kActive;
    uint32_t info1 = 0, info2 = 0;
    Properties properties;
};

struct Team {
    Handle handle = 0;
    uint8_t kind = 1;  // 1: an adapter team
    std::vector<Handle> members;
    Properties properties;
};

struct Vlan {
    Handle handle = 0;
    Handle parent = 0;  // an adapter or a team
    uint32_t parameter = 0;
    Properties properties;
};

struct State {
    Handle nextHandle = 1;  // every handle handed out so far is below it
    std::map<std::string, Profile> adapterTypes;
    Profile teamProfile, vlanProfile;
    std::vector<Adapter> adapters;
    std::vector<Team> teams;
    std::vector<Vlan> vlans;

    Adapter *adapter(Handle h);
    Team *team(Handle h);
    Vlan *vlan(Handle h);
    const Adapter *adapter(Handle h) const;
    const Team *team(Handle h) const;
    const Vlan *vlan(Handle h) const;
    bool holds(Handle h) const { return adapter(h) || team(h) || vlan(h); }
    // The team an adapter belongs to, or nullptr.
    const Team *teamOf(Handle adapter) const;
    const Profile *profileOf(const Adapter &a) const;

    // Active when every member is active, Not Active when none is, Degraded
    // when some members are down.
    uint32_t teamStatus(const Team &t) const;
    // The text the server shows for a team: its name property, else "Team N".
    std::string teamText(const Team &t) const;

    // Empty when every consistency rule holds, otherwise what is broken.
    std::string inconsistency() const;
};

// One staged change. The owner is the object the change is staged on: the
// object written, the team whose members change, the team or VLAN created
// or deleted.
struct Change {
    enum Kind {
        SetAdapterProperty,
        SetTeamProperty,
        SetVlanProperty,
        CreateTeam,
        AddTeamMember,
        RemoveTeamMember,
        DissolveTeam,
        CreateVlan,
        DeleteVlan,
    };
    explicit Change(Kind k) : kind(k) {}

    Kind kind;
    Handle owner = 0;
    Handle other = 0;  // the adapter of a member change, the parent of a VLAN
    uint32_t property = 0;
    std::string value;
    Properties initial;            // creations: the initial settings
    std::vector<Handle> members;   // team creation
    uint32_t parameter = 0;        // VLAN creation
    bool flag = false;             // VLAN creation: parent is a team; dissolve: VLANs go too

    // Whether this change concerns the object h besides its owner (the
    // adapter of a member change or team creation, the parent of a VLAN).
    bool touches(Handle h) const;
};

// Carries a change out on a state and checks the consistency rules
// afterwards. kOk or kNotice (a write that takes a restart), or the code of
// the first rule it breaks; the state is then left half-changed and must be
// discarded.
uint32_t ApplyChange(State &state, const Change &change);

}  // namespace lxnicsim
