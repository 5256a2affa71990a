#include "sim_state.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

namespace lxnicsim {

namespace {

template <typename T>
T *FindByHandle(std::vector<T> &items, Handle h) {
    if (h == 0) return nullptr;
    for (T &item : items)
        if (item.handle == h) return &item;
    return nullptr;
}

template <typename T>
const T *FindByHandle(const std::vector<T> &items, Handle h) {
    if (h == 0) return nullptr;
    for (const T &item : items)
        if (item.handle == h) return &item;
    return nullptr;
}

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

// Writes the initial settings of a new team or VLAN over its profile's
// defaults: each must be a property of that kind the object can take.
uint32_t FillInitial(const Profile &profile, const Properties &initial, Properties &out) {
    out = profile.defaults;
    for (const auto &[number, value] : initial) {
        if (!out.count(number)) return kPropertyError;
        if (uint32_t code = profile.check(number, value)) return code;
        out[number] = value;
    }
    return kOk;
}

uint32_t SetProperty(Properties &properties, const Profile *profile, uint32_t number,
                     const std::string &value) {
    auto it = properties.find(number);
    if (it == properties.end()) return kPropertyError;
    if (profile)
        if (uint32_t code = profile->check(number, value)) return code;
    it->second = value;
    return profile && profile->restart.count(number) ? kNotice : kOk;
}

uint32_t Carry(State &s, const Change &c) {
    switch (c.kind) {
    case Change::SetAdapterProperty: {
        Adapter *a = s.adapter(c.owner);
        if (!a) return kUnknownHandle;
        return SetProperty(a->properties, s.profileOf(*a), c.property, c.value);
    }
    case Change::SetTeamProperty: {
        Team *t = s.team(c.owner);
        if (!t) return kUnknownHandle;
        return SetProperty(t->properties, &s.teamProfile, c.property, c.value);
    }
    case Change::SetVlanProperty: {
        Vlan *v = s.vlan(c.owner);
        if (!v) return kUnknownHandle;
        return SetProperty(v->properties, &s.vlanProfile, c.property, c.value);
    }
    case Change::CreateTeam: {
        if (c.owner == 0 || s.holds(c.owner)) return kImpossible;
        if (c.members.empty()) return kImpossible;
        for (Handle m : c.members)
            if (!s.adapter(m)) return kUnknownHandle;
        Team t;
        t.handle = c.owner;
        t.members = c.members;
        if (uint32_t code = FillInitial(s.teamProfile, c.initial, t.properties)) return code;
        auto name = t.properties.find(kTeamNameProperty);
        if (name != t.properties.end() && name->second.empty())
            name->second = "Team " + std::to_string(t.handle);
        s.teams.push_back(std::move(t));
        s.nextHandle = std::max(s.nextHandle, c.owner + 1);
        return kOk;
    }
    case Change::AddTeamMember: {
        Team *t = s.team(c.owner);
        if (!t || !s.adapter(c.other)) return kUnknownHandle;
        if (std::find(t->members.begin(), t->members.end(), c.other) == t->members.end())
            t->members.push_back(c.other);
        return kOk;
    }
    case Change::RemoveTeamMember: {
        Team *t = s.team(c.owner);
        if (!t || !s.adapter(c.other)) return kUnknownHandle;
        auto it = std::find(t->members.begin(), t->members.end(), c.other);
        if (it == t->members.end()) return kImpossible;
        t->members.erase(it);
        return kOk;
    }
    case Change::DissolveTeam: {
        if (!s.team(c.owner)) return kUnknownHandle;
        bool hasVlans = std::any_of(s.vlans.begin(), s.vlans.end(),
                                    [&](const Vlan &v) { return v.parent == c.owner; });
        if (hasVlans && !c.flag) return kImpossible;
        std::erase_if(s.vlans, [&](const Vlan &v) { return v.parent == c.owner; });
        std::erase_if(s.teams, [&](const Team &t) { return t.handle == c.owner; });
        return kOk;
    }
    case Change::CreateVlan: {
        if (c.owner == 0 || s.holds(c.owner)) return kImpossible;
        bool parentIsTeam = s.team(c.other) != nullptr;
        if (!parentIsTeam && !s.adapter(c.other)) return kUnknownHandle;
        if (parentIsTeam != c.flag) return kImpossible;
        Vlan v;
        v.handle = c.owner;
        v.parent = c.other;
        v.parameter = c.parameter;
        if (uint32_t code = FillInitial(s.vlanProfile, c.initial, v.properties)) return code;
        s.vlans.push_back(std::move(v));
        s.nextHandle = std::max(s.nextHandle, c.owner + 1);
        return kOk;
    }
    case Change::DeleteVlan: {
        if (!s.vlan(c.owner)) return kUnknownHandle;
        std::erase_if(s.vlans, [&](const Vlan &v) { return v.handle == c.owner; });
        return kOk;
    }
    }
    return kInternalError;
}

}  // namespace

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

Adapter *State::adapter(Handle h) { return FindByHandle(adapters, h); }
Team *State::team(Handle h) { return FindByHandle(teams, h); }
Vlan *State::vlan(Handle h) { return FindByHandle(vlans, h); }
const Adapter *State::adapter(Handle h) const { return FindByHandle(adapters, h); }
const Team *State::team(Handle h) const { return FindByHandle(teams, h); }
const Vlan *State::vlan(Handle h) const { return FindByHandle(vlans, h); }

const Team *State::teamOf(Handle a) const {
    for (const Team &t : teams)
        if (std::find(t.members.begin(), t.members.end(), a) != t.members.end()) return &t;
    return nullptr;
}

const Profile *State::profileOf(const Adapter &a) const {
    auto it = adapterTypes.find(a.definitionType);
    return it == adapterTypes.end() ? nullptr : &it->second;
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

std::string State::inconsistency() const {
    std::set<Handle> seen;
    auto claim = [&](Handle h, const char *what) -> std::string {
        if (h == 0) return std::string(what) + " with handle 0";
        if (h >= nextHandle)
            return std::string(what) + " " + std::to_string(h) + " is not below nextHandle";
        if (!seen.insert(h).second) return "handle " + std::to_string(h) + " is used twice";
        return {};
    };
    for (const Adapter &a : adapters)
        if (std::string e = claim(a.handle, "adapter"); !e.empty()) return e;
    for (const Team &t : teams)
        if (std::string e = claim(t.handle, "team"); !e.empty()) return e;
    for (const Vlan &v : vlans)
        if (std::string e = claim(v.handle, "VLAN"); !e.empty()) return e;

    std::set<Handle> teamed;
    for (const Team &t : teams) {
        if (t.members.empty()) return "team " + std::to_string(t.handle) + " has no member";
        for (Handle m : t.members) {
            if (!adapter(m))
                return "team " + std::to_string(t.handle) + " lists " + std::to_string(m) +
                       ", which is not an adapter";
            if (!teamed.insert(m).second)
                return "adapter " + std::to_string(m) + " is in more than one team";
        }
    }
    std::set<std::pair<Handle, std::string>> vlanIds;
    for (const Vlan &v : vlans) {
        if (!adapter(v.parent) && !team(v.parent))
            return "the parent " + std::to_string(v.parent) + " of VLAN " +
                   std::to_string(v.handle) + " does not exist";
        auto id = v.properties.find(kVlanIdProperty);
        if (id != v.properties.end() && !vlanIds.insert({v.parent, id->second}).second)
            return "two VLANs of " + std::to_string(v.parent) + " have the VLAN id " + id->second;
    }
    return {};
}

bool Change::touches(Handle h) const {
    if (other == h) return true;
    return std::find(members.begin(), members.end(), h) != members.end();
}

uint32_t ApplyChange(State &state, const Change &change) {
    uint32_t code = Carry(state, change);
    if (code != kOk && code != kNotice) return code;
    if (!state.inconsistency().empty()) {
        bool propertyWrite = change.kind == Change::SetAdapterProperty ||
                             change.kind == Change::SetTeamProperty ||
                             change.kind == Change::SetVlanProperty;
        return propertyWrite ? kPropertyError : kImpossible;
    }
    return code;
}

}  // namespace lxnicsim
