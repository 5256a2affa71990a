#include "sim_state.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "text.h"

namespace lxnicsim {

namespace {

// A whole decimal number (optional sign), or nothing.
std::optional<long long> WholeNumber(const std::string &text) {
    if (text.empty()) return std::nullopt;
    errno = 0;
    char *end = nullptr;
    long long n = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || end == text.c_str() || *end != '\0') return std::nullopt;
    if (text[0] == ' ' || text[0] == '\t' || text[0] == '+') return std::nullopt;
    return n;
}

// Properties whose meaning the server knows, and what it accepts for them
// beyond its profiles: names it can show, VLAN ids, MAC addresses, and a
// preferred primary that is one of the team's members. One row each.
enum class Meaning { TeamName, VlanName, VlanId, MacAddress, MemberName };
enum class Holder { Adapter, Team, Vlan };
struct MeaningRow {
    Holder holder;
    uint32_t property;
    Meaning meaning;
};
constexpr MeaningRow kMeanings[] = {
    {Holder::Adapter, 12, Meaning::MacAddress},
    {Holder::Team, kTeamNameProperty, Meaning::TeamName},
    {Holder::Team, kPreferredPrimaryProperty, Meaning::MemberName},
    {Holder::Team, 104, Meaning::MacAddress},
    {Holder::Vlan, kVlanIdProperty, Meaning::VlanId},
    {Holder::Vlan, 201, Meaning::VlanName},
};

// A name the server shows: at most kMaxNameLength characters, none of them a
// control character.
bool ShowableName(const std::string &text) {
    std::u16string wide = ToUtf16(text);
    std::size_t characters = 0;
    for (char16_t c : wide) {
        if (c < 0x20 || (c >= 0x7F && c < 0xA0)) return false;
        if (c < 0xDC00 || c >= 0xE000) ++characters;  // a surrogate pair is one character
    }
    return characters <= kMaxNameLength;
}

int Hex(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// 12 hex digits, plain or as six pairs separated by ':' or '-', as
// "00:1B:21:AA:BB:CC"; a multicast or all-zero address is no adapter's.
std::optional<std::string> MacAddress(const std::string &text) {
    std::string digits;
    if (text.size() == 17 && (text[2] == ':' || text[2] == '-')) {
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (i % 3 == 2) {
                if (text[i] != text[2]) return std::nullopt;
            } else {
                digits += text[i];
            }
        }
    } else if (text.size() == 12) {
        digits = text;
    } else {
        return std::nullopt;
    }
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        int v = Hex(digits[i]);
        if (v < 0) return std::nullopt;
        if (i > 0 && i % 2 == 0) out += ':';
        out += "0123456789ABCDEF"[v];
    }
    if (Hex(out[1]) & 1 || out == "00:00:00:00:00:00") return std::nullopt;
    return out;
}

// The key a VLAN id is compared by: ids compare as numbers ("010" and "10"
// are one id).
std::string IdKey(const std::string &id) {
    std::optional<long long> number = VlanIdNumber(id);
    return number ? std::to_string(*number) : id;
}

std::string IdOf(const Properties &properties) {
    auto it = properties.find(kVlanIdProperty);
    return it == properties.end() ? std::string() : IdKey(it->second);
}

bool HasId(const Properties &properties) { return properties.count(kVlanIdProperty) != 0; }

// Checks a value of a property the server knows the meaning of and brings it
// into the form the server keeps (a VLAN id without leading zeros, a MAC
// address in capitals with ':'). `owner` is the object written (for a team
// or VLAN being created: its new handle), `members` the team's members.
// A team name another team has answers kImpossible.
uint32_t Understand(const State &s, Holder holder, Handle owner, uint32_t property, std::string &value, const std::vector<Handle> &members, bool creating) {
    for (const MeaningRow &row : kMeanings) {
        if (row.holder != holder || row.property != property) continue;
        switch (row.meaning) {
        case Meaning::TeamName:
            if (value.empty()) return creating ? kOk : kPropertyError;  // a new team is named for its handle
            if (!ShowableName(value)) return kPropertyError;
            for (const Team &t : s.teams())
                if (t.handle != owner && s.teamText(t) == value) return kImpossible;
            return kOk;
        case Meaning::VlanName:
            return value.empty() || ShowableName(value) ? kOk : kPropertyError;
        case Meaning::VlanId: {
            std::optional<long long> id = VlanIdNumber(value);
            if (!id || *id < 1 || *id > 4094) return kPropertyError;
            value = std::to_string(*id);
            return kOk;
        }
        case Meaning::MacAddress: {
            if (value.empty()) return kOk;  // the adapter's own address
            std::optional<std::string> mac = MacAddress(value);
            if (!mac) return kPropertyError;
            value = *mac;
            return kOk;
        }
        case Meaning::MemberName:
            if (value.empty()) return kOk;
            for (Handle m : members) {
                const Adapter *a = s.adapter(m);
                if (a && a->name == value) return kOk;
            }
            return kPropertyError;
        }
    }
    return kOk;
}

// The initial settings of a new team or VLAN written over its profile's
// defaults: each must be a property of that kind the object can take. The
// settings are brought into the form the server keeps.
uint32_t FillInitial(const State &s, Holder holder, Handle owner, const std::vector<Handle> &members,
                     const Profile &profile, Properties &initial, Properties &out) {
    out = profile.defaults;
    for (auto &[number, value] : initial) {
        if (!out.count(number)) return kPropertyError;
        if (uint32_t code = profile.check(number, value)) return code;
        if (uint32_t code = Understand(s, holder, owner, number, value, members, true)) return code;
        out[number] = value;
    }
    return kOk;
}

// A write of one property: kOk or kNotice when the object takes the value
// (brought into the server's form), else the code of the refusal.
uint32_t CheckProperty(const State &s, Holder holder, Handle owner, const std::vector<Handle> &members,
                       const Properties &properties, const Profile *profile, uint32_t number,
                       std::string &value) {
    if (!properties.count(number)) return kPropertyError;
    if (profile)
        if (uint32_t code = profile->check(number, value)) return code;
    if (uint32_t code = Understand(s, holder, owner, number, value, members, false))
        return code == kImpossible ? kPropertyError : code;
    return profile && profile->restart.count(number) ? kNotice : kOk;
}

}  // namespace

std::optional<long long> VlanIdNumber(const std::string &text) {
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    return std::stoll(text);
}

bool Allowed::accepts(const std::string &value) const {
    if (!choices.empty() && std::find(choices.begin(), choices.end(), value) == choices.end())
        return false;
    if (range) {
        std::optional<long long> n = WholeNumber(value);
        if (!n || *n < range->first || *n > range->second) return false;
    }
    return true;
}

uint32_t Profile::check(uint32_t property, const std::string &value) const {
    if (readOnly.count(property)) return kPropertyError;
    auto it = allowed.find(property);
    if (it != allowed.end() && !it->second.accepts(value)) return kPropertyError;
    return kOk;
}

const Adapter *State::adapter(Handle h) const {
    auto it = adapterIndex_.find(h);
    return it == adapterIndex_.end() ? nullptr : &adapters_[it->second];
}

const Team *State::team(Handle h) const {
    auto it = teamIndex_.find(h);
    return it == teamIndex_.end() ? nullptr : &teams_[it->second];
}

const Vlan *State::vlan(Handle h) const {
    auto it = vlans_.find(h);
    return it == vlans_.end() || h == 0 ? nullptr : &it->second;
}

Adapter *State::adapterAt(Handle h) { return const_cast<Adapter *>(adapter(h)); }
Team *State::teamAt(Handle h) { return const_cast<Team *>(team(h)); }
Vlan *State::vlanAt(Handle h) { return const_cast<Vlan *>(vlan(h)); }

const Team *State::teamOf(Handle a) const {
    auto it = teamOfAdapter_.find(a);
    return it == teamOfAdapter_.end() ? nullptr : team(it->second);
}

const Profile *State::profileOf(const Adapter &a) const {
    auto it = adapterTypes.find(a.definitionType);
    return it == adapterTypes.end() ? nullptr : &it->second;
}

std::vector<Handle> State::vlansOn(Handle parent) const {
    auto it = vlansOf_.find(parent);
    if (it == vlansOf_.end()) return {};
    return {it->second.begin(), it->second.end()};
}

uint32_t State::teamStatus(const Team &t) const {
    std::size_t up = 0;
    for (Handle m : t.members) {
        const Adapter *a = adapter(m);
        if (a && a->status == kActive) ++up;
    }
    if (t.members.empty()) return kStatusUnknown;
    if (up == t.members.size()) return kActive;
    return up == 0 ? kNotActive : kDegraded;
}

std::string State::teamText(const Team &t) const {
    auto it = t.properties.find(kTeamNameProperty);
    if (it != t.properties.end() && !it->second.empty()) return it->second;
    return "Team " + std::to_string(t.handle);
}

std::string State::vlanIdOf(const Vlan &v) const { return IdOf(v.properties); }

std::string State::reindex() {
    adapterIndex_.clear();
    teamIndex_.clear();
    teamOfAdapter_.clear();
    vlansOf_.clear();
    vlanIds_.clear();

    std::set<Handle> seen;
    auto claim = [&](Handle h, const char *what) -> std::string {
        if (h == 0) return std::string(what) + " with handle 0";
        if (h >= nextHandle)
            return std::string(what) + " " + std::to_string(h) + " is not below nextHandle";
        if (!seen.insert(h).second) return "handle " + std::to_string(h) + " is used twice";
        return {};
    };
    for (std::size_t i = 0; i < adapters_.size(); ++i) {
        if (std::string e = claim(adapters_[i].handle, "adapter"); !e.empty()) return e;
        adapterIndex_[adapters_[i].handle] = i;
    }
    for (std::size_t i = 0; i < teams_.size(); ++i) {
        if (std::string e = claim(teams_[i].handle, "team"); !e.empty()) return e;
        teamIndex_[teams_[i].handle] = i;
    }
    for (const auto &[handle, v] : vlans_)
        if (std::string e = claim(handle, "VLAN"); !e.empty()) return e;

    for (const Team &t : teams_) {
        if (t.members.empty()) return "team " + std::to_string(t.handle) + " has no member";
        for (Handle m : t.members) {
            if (!adapter(m))
                return "team " + std::to_string(t.handle) + " lists " + std::to_string(m) +
                       ", which is not an adapter";
            if (!teamOfAdapter_.emplace(m, t.handle).second)
                return "adapter " + std::to_string(m) + " is in more than one team";
        }
    }
    for (const auto &[handle, v] : vlans_) {
        if (!adapter(v.parent) && !team(v.parent))
            return "the parent " + std::to_string(v.parent) + " of VLAN " +
                   std::to_string(handle) + " does not exist";
        vlansOf_[v.parent].insert(handle);
        if (HasId(v.properties) && !vlanIds_.insert({v.parent, vlanIdOf(v)}).second)
            return "two VLANs of " + std::to_string(v.parent) + " have the VLAN id " + vlanIdOf(v);
    }
    return {};
}

uint32_t State::check(Change &c) const {
    switch (c.kind) {
    case Change::SetAdapterProperty: {
        const Adapter *a = adapter(c.owner);
        if (!a) return kUnknownHandle;
        return CheckProperty(*this, Holder::Adapter, c.owner, {}, a->properties, profileOf(*a), c.property,
                             c.value);
    }
    case Change::SetTeamProperty: {
        const Team *t = team(c.owner);
        if (!t) return kUnknownHandle;
        return CheckProperty(*this, Holder::Team, c.owner, t->members, t->properties, &teamProfile, c.property,
                             c.value);
    }
    case Change::SetVlanProperty: {
        const Vlan *v = vlan(c.owner);
        if (!v) return kUnknownHandle;
        uint32_t code =
            CheckProperty(*this, Holder::Vlan, c.owner, {}, v->properties, &vlanProfile, c.property, c.value);
        if (code != kOk && code != kNotice) return code;
        // A VLAN id another VLAN of the parent has is not taken.
        if (c.property == kVlanIdProperty && IdKey(c.value) != IdOf(v->properties) &&
            vlanIds_.count({v->parent, IdKey(c.value)}))
            return kPropertyError;
        return code;
    }
    case Change::CreateTeam: {
        if (c.owner == 0 || holds(c.owner)) return kImpossible;
        if (c.members.empty()) return kImpossible;
        for (Handle m : c.members)
            if (!adapter(m)) return kUnknownHandle;
        Properties properties;
        if (uint32_t code = FillInitial(*this, Holder::Team, c.owner, c.members, teamProfile, c.initial, properties))
            return code;
        std::set<Handle> distinct;
        for (Handle m : c.members)
            if (!distinct.insert(m).second || teamOf(m)) return kImpossible;
        return kOk;
    }
    case Change::AddTeamMember: {
        const Team *t = team(c.owner);
        if (!t || !adapter(c.other)) return kUnknownHandle;
        const Team *current = teamOf(c.other);
        if (current && current->handle != t->handle) return kImpossible;
        return kOk;
    }
    case Change::RemoveTeamMember: {
        const Team *t = team(c.owner);
        if (!t || !adapter(c.other)) return kUnknownHandle;
        if (std::find(t->members.begin(), t->members.end(), c.other) == t->members.end())
            return kImpossible;
        if (t->members.size() == 1) return kImpossible;  // a team keeps a member
        return kOk;
    }
    case Change::DissolveTeam: {
        if (!team(c.owner)) return kUnknownHandle;
        auto on = vlansOf_.find(c.owner);
        if (on != vlansOf_.end() && !on->second.empty() && !c.flag) return kImpossible;
        return kOk;
    }
    case Change::CreateVlan: {
        if (c.owner == 0 || holds(c.owner)) return kImpossible;
        bool parentIsTeam = team(c.other) != nullptr;
        if (!parentIsTeam && !adapter(c.other)) return kUnknownHandle;
        if (parentIsTeam != c.flag) return kImpossible;
        Properties properties;
        if (uint32_t code = FillInitial(*this, Holder::Vlan, c.owner, {}, vlanProfile, c.initial, properties))
            return code;
        if (HasId(properties) && vlanIds_.count({c.other, IdOf(properties)})) return kImpossible;
        return kOk;
    }
    case Change::DeleteVlan:
        return vlan(c.owner) ? kOk : kUnknownHandle;
    }
    return kInternalError;
}

void State::removeVlan(Handle h) {
    auto it = vlans_.find(h);
    if (it == vlans_.end()) return;
    const Vlan &v = it->second;
    if (HasId(v.properties)) {
        // Only this VLAN's own entry: ids are unique on a parent.
        vlanIds_.erase({v.parent, vlanIdOf(v)});
    }
    auto on = vlansOf_.find(v.parent);
    if (on != vlansOf_.end()) {
        on->second.erase(h);
        if (on->second.empty()) vlansOf_.erase(on);
    }
    vlans_.erase(it);
}

void State::removeTeam(Handle h) {
    auto it = std::find_if(teams_.begin(), teams_.end(), [&](const Team &t) { return t.handle == h; });
    if (it == teams_.end()) return;
    for (Handle m : it->members) teamOfAdapter_.erase(m);
    teams_.erase(it);
    teamIndex_.clear();
    for (std::size_t i = 0; i < teams_.size(); ++i) teamIndex_[teams_[i].handle] = i;
}

void State::carry(const Change &c) {
    switch (c.kind) {
    case Change::SetAdapterProperty:
        adapterAt(c.owner)->properties[c.property] = c.value;
        return;
    case Change::SetTeamProperty:
        teamAt(c.owner)->properties[c.property] = c.value;
        return;
    case Change::SetVlanProperty: {
        Vlan *v = vlanAt(c.owner);
        if (c.property == kVlanIdProperty) {
            vlanIds_.erase({v->parent, vlanIdOf(*v)});
            vlanIds_.insert({v->parent, IdKey(c.value)});
        }
        v->properties[c.property] = c.value;
        return;
    }
    case Change::CreateTeam: {
        Team t;
        t.handle = c.owner;
        t.members = c.members;
        Properties initial = c.initial;
        FillInitial(*this, Holder::Team, c.owner, c.members, teamProfile, initial, t.properties);
        auto name = t.properties.find(kTeamNameProperty);
        if (name != t.properties.end() && name->second.empty())
            name->second = "Team " + std::to_string(t.handle);
        for (Handle m : t.members) teamOfAdapter_[m] = t.handle;
        teamIndex_[t.handle] = teams_.size();
        teams_.push_back(std::move(t));
        nextHandle = std::max(nextHandle, c.owner + 1);
        return;
    }
    case Change::AddTeamMember: {
        Team *t = teamAt(c.owner);
        if (std::find(t->members.begin(), t->members.end(), c.other) == t->members.end()) {
            t->members.push_back(c.other);
            teamOfAdapter_[c.other] = t->handle;
        }
        return;
    }
    case Change::RemoveTeamMember: {
        Team *t = teamAt(c.owner);
        std::erase(t->members, c.other);
        teamOfAdapter_.erase(c.other);
        // A preferred primary that leaves the team is no longer preferred.
        auto primary = t->properties.find(kPreferredPrimaryProperty);
        if (primary != t->properties.end() && primary->second == adapter(c.other)->name) primary->second.clear();
        return;
    }
    case Change::DissolveTeam:
        for (Handle v : vlansOn(c.owner)) removeVlan(v);
        removeTeam(c.owner);
        return;
    case Change::CreateVlan: {
        Vlan v;
        v.handle = c.owner;
        v.parent = c.other;
        v.parameter = c.parameter;
        Properties initial = c.initial;
        FillInitial(*this, Holder::Vlan, c.owner, {}, vlanProfile, initial, v.properties);
        if (HasId(v.properties)) vlanIds_.insert({v.parent, vlanIdOf(v)});
        vlansOf_[v.parent].insert(v.handle);
        vlans_.emplace(v.handle, std::move(v));
        nextHandle = std::max(nextHandle, c.owner + 1);
        return;
    }
    case Change::DeleteVlan:
        removeVlan(c.owner);
        return;
    }
}

bool Change::touches(Handle h) const {
    if (other == h) return true;
    return std::find(members.begin(), members.end(), h) != members.end();
}

uint32_t ApplyChange(State &state, Change &change) {
    uint32_t code = state.check(change);
    if (code != kOk && code != kNotice) return code;
    state.carry(change);
    return code;
}

}  // namespace lxnicsim
