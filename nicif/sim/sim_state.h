// The simulated server's model: adapters, teams and VLANs with their property
// values, the per-kind rules that say which values a property takes, the
// consistency rules every state keeps, and the changes that can be staged.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
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

struct Change;

// A whole server. The adapters keep their order (it numbers them); teams are
// in the order they were made; VLANs are kept by handle, which is the order
// they were made in. Look-ups by handle, the team of an adapter, the VLANs of
// a parent and the VLAN ids in use are indexed, so that every change costs
// the same however large the server is.
class State {
public:
    Handle nextHandle = 1;  // every handle handed out so far is below it
    std::map<std::string, Profile> adapterTypes;
    Profile teamProfile, vlanProfile;

    const std::vector<Adapter> &adapters() const { return adapters_; }
    const std::vector<Team> &teams() const { return teams_; }
    const std::map<Handle, Vlan> &vlans() const { return vlans_; }

    // Building a state from a file: the objects as listed, then reindex().
    void addAdapter(Adapter a) { adapters_.push_back(std::move(a)); }
    void addTeam(Team t) { teams_.push_back(std::move(t)); }
    // False when a VLAN with this handle is listed already.
    bool addVlan(Vlan v) { return vlans_.emplace(v.handle, std::move(v)).second; }
    // Rebuilds the indexes; empty when every consistency rule holds,
    // otherwise what is broken.
    std::string reindex();

    const Adapter *adapter(Handle h) const;
    const Team *team(Handle h) const;
    const Vlan *vlan(Handle h) const;
    bool holds(Handle h) const { return adapter(h) || team(h) || vlan(h); }
    // The team an adapter belongs to, or nullptr.
    const Team *teamOf(Handle adapter) const;
    const Profile *profileOf(const Adapter &a) const;
    // The VLANs on an adapter or a team.
    std::vector<Handle> vlansOn(Handle parent) const;

    // Active when every member is active, Not Active when none is, Degraded
    // when some members are down.
    uint32_t teamStatus(const Team &t) const;
    // The text the server shows for a team: its name property, else "Team N".
    std::string teamText(const Team &t) const;

    // Whether the change can be carried out on this state and keeps every
    // consistency rule: kOk or kNotice (a write that takes a restart), or the
    // code of the first rule it breaks.
    // Values of properties the server knows the meaning of are brought into
    // the form it keeps them in (a VLAN id without leading zeros, say).
    uint32_t check(Change &change) const;
    // Carries out a change that check() accepted.
    void carry(const Change &change);

private:
    Adapter *adapterAt(Handle h);
    Team *teamAt(Handle h);
    Vlan *vlanAt(Handle h);
    void removeTeam(Handle h);
    void removeVlan(Handle h);
    std::string vlanIdOf(const Vlan &v) const;

    std::vector<Adapter> adapters_;
    std::vector<Team> teams_;
    std::map<Handle, Vlan> vlans_;
    std::unordered_map<Handle, std::size_t> adapterIndex_, teamIndex_;
    std::unordered_map<Handle, Handle> teamOfAdapter_;
    std::unordered_map<Handle, std::set<Handle>> vlansOf_;   // parent -> its VLANs
    std::set<std::pair<Handle, std::string>> vlanIds_;       // (parent, VLAN id)
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

    bool creates() const { return kind == CreateTeam || kind == CreateVlan; }
    // Whether this change concerns the object h besides its owner (the
    // adapter of a member change or team creation, the parent of a VLAN).
    bool touches(Handle h) const;
};

// check() and, when it passes, carry(): kOk or kNotice, or the code of the
// rule the change breaks (the state is then unchanged).
uint32_t ApplyChange(State &state, Change &change);

}  // namespace lxnicsim
