#include "sim_state.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "text.h"

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

// Checks a value of a property the server knows the meaning of and brings it
// into the form the server keeps (a VLAN id without leading zeros, a MAC
// address in capitals with ':'). `owner` is the object written (for a team
// or VLAN being created: its new handle), `members` the team's members.
uint32_t Understand(const State &s, Holder holder, Handle owner, uint32_t property, std::string &value,
                    const std::vector<Handle> &members, bool creating) {
    for (const MeaningRow &row : kMeanings) {
        if (row.holder != holder || row.property != property) continue;
        switch (row.meaning) {
        case Meaning::TeamName:
            if (value.empty()) return creating ? kOk : kPropertyError;  // a new team is named for its handle
            if (!ShowableName(value)) return kPropertyError;
            for (const Team &t : s.teams)
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

// Writes the initial settings of a new team or VLAN over its profile's
// defaults: each must be a property of that kind the object can take.
uint32_t FillInitial(const State &s, Holder holder, Handle owner, const std::vector<Handle> &members,
                     const Profile &profile, const Properties &initial, Properties &out) {
    out = profile.defaults;
    for (auto [number, value] : initial) {
        if (!out.count(number)) return kPropertyError;
        if (uint32_t code = profile.check(number, value)) return code;
        if (uint32_t code = Understand(s, holder, owner, number, value, members, true)) return code;
        out[number] = value;
    }
    return kOk;
}

uint32_t SetProperty(const State &s, Holder holder, Handle owner, const std::vector<Handle> &members,
                     Properties &properties, const Profile *profile, uint32_t number, std::string value) {
    auto it = properties.find(number);
    if (it == properties.end()) return kPropertyError;
    if (profile)
        if (uint32_t code = profile->check(number, value)) return code;
    if (uint32_t code = Understand(s, holder, owner, number, value, members, false)) {
        return code == kImpossible ? kPropertyError : code;
    }
    it->second = value;
    return profile && profile->restart.count(number) ? kNotice : kOk;
}

uint32_t Carry(State &s, const Change &c) {
    switch (c.kind) {
    case Change::SetAdapterProperty: {
        Adapter *a = s.adapter(c.owner);
        if (!a) return kUnknownHandle;
        return SetProperty(s, Holder::Adapter, c.owner, {}, a->properties, s.profileOf(*a), c.property, c.value);
    }
    case Change::SetTeamProperty: {
        Team *t = s.team(c.owner);
        if (!t) return kUnknownHandle;
        return SetProperty(s, Holder::Team, c.owner, t->members, t->properties, &s.teamProfile, c.property,
                           c.value);
    }
    case Change::SetVlanProperty: {
        Vlan *v = s.vlan(c.owner);
        if (!v) return kUnknownHandle;
        return SetProperty(s, Holder::Vlan, c.owner, {}, v->properties, &s.vlanProfile, c.property, c.value);
    }
    case Change::CreateTeam: {
        if (c.owner == 0 || s.holds(c.owner)) return kImpossible;
        if (c.members.empty()) return kImpossible;
        for (Handle m : c.members)
            if (!s.adapter(m)) return kUnknownHandle;
        Team t;
        t.handle = c.owner;
        t.members = c.members;
        if (uint32_t code = FillInitial(s, Holder::Team, t.handle, t.members, s.teamProfile, c.initial, t.properties))
            return code;
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
        // A preferred primary that leaves the team is no longer preferred.
        auto primary = t->properties.find(kPreferredPrimaryProperty);
        if (primary != t->properties.end() && primary->second == s.adapter(c.other)->name) primary->second.clear();
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
        if (uint32_t code = FillInitial(s, Holder::Vlan, v.handle, {}, s.vlanProfile, c.initial, v.properties))
            return code;
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
        if (id == v.properties.end()) continue;
        // Ids compare as numbers: "010" and "10" are one id.
        std::optional<long long> number = VlanIdNumber(id->second);
        std::string key = number ? std::to_string(*number) : id->second;
        if (!vlanIds.insert({v.parent, key}).second)
            return "two VLANs of " + std::to_string(v.parent) + " have the VLAN id " + key;
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
