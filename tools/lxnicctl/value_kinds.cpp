#include "value_kinds.h"

#include <unordered_map>
#include <unordered_set>

#include <array>
#include <cstdint>
#include <vector>

#include "library.h"
#include "records.h"
#include "text.h"

namespace lxnicctl {

namespace {

constexpr std::array<ValueKindRow, 8> kKinds{{
    {"TeamName", ValueKind::TeamName, false, "a team name"},
    {"VlanName", ValueKind::VlanName, true, "a VLAN name"},
    {"VlanId", ValueKind::VlanId, false, "a VLAN id"},
    {"NetworkAddress", ValueKind::MacAddress, true, "a MAC address"},
    {"TeamNetworkAddress", ValueKind::MacAddress, true, "a MAC address"},
    {"EchoNodeIPAddress", ValueKind::IpAddress, true, "an IP address"},
    {"RouterPathIPAddress", ValueKind::IpAddress, true, "an IP address"},
    {"PreferredPrimaryNIC", ValueKind::MemberReference, true, "a member adapter"},
}};

constexpr ValueKindRow kText{"", ValueKind::Text, true, "a text"};

// The forms a target can take; a name that starts with one would be read as
// that form.
constexpr std::array<const char *, 4> kTargetPrefixes{{"nic:", "team:", "vlan:", "handle:"}};

bool AllDigits(const std::string &text) {
    if (text.empty()) return false;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// "00:1B:21:AA:BB:CC" for 12 hex digits written plainly or in six pairs
// separated by ':' or by '-'; empty for anything else.
std::string CanonicalMac(const std::string &text) {
    std::string digits;
    if (text.size() == 12) {
        digits = text;
    } else if (text.size() == 17) {
        char separator = text[2];
        if (separator != ':' && separator != '-') return {};
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (i % 3 == 2) {
                if (text[i] != separator) return {};
            } else {
                digits += text[i];
            }
        }
    } else {
        return {};
    }
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (HexValue(digits[i]) < 0) return {};
        if (i > 0 && i % 2 == 0) out += ':';
        out += static_cast<char>(digits[i] >= 'a' && digits[i] <= 'f' ? digits[i] - 'a' + 'A' : digits[i]);
    }
    return out;
}

bool Ipv4(const std::string &text) {
    int parts = 0;
    std::size_t i = 0;
    while (true) {
        std::size_t start = i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
        std::size_t length = i - start;
        if (length == 0 || length > 3) return false;
        if (length > 1 && text[start] == '0') return false;  // 010 could be read as octal
        if (std::stoi(text.substr(start, length)) > 255) return false;
        ++parts;
        if (i == text.size()) break;
        if (text[i] != '.' || parts == 4) return false;
        ++i;
    }
    return parts == 4;
}

bool Ipv6(const std::string &text) {
    // Groups of 1-4 hex digits separated by ':', at most one "::", and an
    // IPv4 address in place of the last two groups.
    std::size_t doubleColon = text.find("::");
    if (doubleColon != std::string::npos && text.find("::", doubleColon + 1) != std::string::npos) return false;
    int groups = 0;
    std::size_t i = 0;
    if (text.compare(0, 2, "::") == 0) i = 2;
    while (i < text.size()) {
        std::size_t end = text.find(':', i);
        std::string group = text.substr(i, end == std::string::npos ? std::string::npos : end - i);
        if (end == std::string::npos && group.find('.') != std::string::npos) {
            if (!Ipv4(group)) return false;
            groups += 2;
            break;
        }
        if (group.empty() || group.size() > 4) return false;
        for (char c : group) {
            if (HexValue(c) < 0) return false;
        }
        ++groups;
        if (end == std::string::npos) break;
        i = end + 1;
        if (i < text.size() && text[i] == ':') {
            if (end != doubleColon) return false;
            ++i;
        } else if (i == text.size()) {
            return false;  // a single ':' at the end
        }
    }
    return doubleColon != std::string::npos ? groups < 8 : groups == 8;
}

// Names are counted in characters, as the interface library counts them.
std::size_t Characters(const std::string &text) {
    std::size_t count = 0;
    for (char c : text) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    return count;
}

// The value an object's property will have once what is marked is written:
// the new value of a changed entry, else the current one.
std::string Pending(PanelEntry *list, const std::string &id, const std::string &current) {
    PanelEntry *entry = FindEntry(list, id);
    if (entry != nullptr && entry->changed && entry->newValue != nullptr) return ToUtf8(entry->newValue);
    return current;
}

std::string PendingTeamName(TeamEntry *team) { return Pending(team->controlsList, "TeamName", TeamName(team)); }

std::string ParentLabel(const Target &target) {
    return target.team != nullptr ? "team \"" + TeamName(target.team) + "\"" : AdapterName(target.adapter);
}

std::string PendingVlanText(Session &session, const Target &target, VlanEntry *vlan, const std::string &id) {
    std::string current;
    if (!vlan->isNew) {
        current = id == "VlanId" ? VlanId(session, vlan, ParentLabel(target)) : VlanName(session, vlan, ParentLabel(target));
    } else if (PanelEntry *entry = FindEntry(vlan->identificationList, id)) {
        current = ShownValue(entry);
    }
    return Pending(vlan->identificationList, id, current);
}

// The VLAN ids and names a parent's VLANs will have, as look-up tables, so
// that checking a script of thousands of VLANs does not compare each with
// all the others. VLANs are only ever added at the end of a parent's list,
// and a command marks the values of the VLAN it has just checked: the tables
// take in the new VLANs and that one's values at each question.
struct SiblingIndex {
    std::unordered_map<std::string, std::unordered_set<VlanEntry *>> ids, names;
    std::unordered_map<VlanEntry *, std::pair<std::string, std::string>> keys;  // what each is filed under
    VlanEntry *last = nullptr;       // the last VLAN of the list taken in
    VlanEntry *lastAsked = nullptr;  // the VLAN the previous question was about

    void refile(Session &session, const Target &target, VlanEntry *v) {
        auto known = keys.find(v);
        if (known != keys.end()) {
            ids[known->second.first].erase(v);
            names[known->second.second].erase(v);
            keys.erase(known);
        }
        if (v->isDeleted) return;
        std::string id = VlanIdKey(PendingVlanText(session, target, v, "VlanId"));
        std::string name = PendingVlanText(session, target, v, "VlanName");
        ids[id].insert(v);
        names[name].insert(v);
        keys[v] = {id, name};
    }

    // Another VLAN of the parent filed under this key, or NULL.
    static VlanEntry *Other(const std::unordered_map<std::string, std::unordered_set<VlanEntry *>> &table,
                            const std::string &key, VlanEntry *self) {
        auto it = table.find(key);
        if (it == table.end()) return nullptr;
        for (VlanEntry *v : it->second) {
            if (v != self) return v;
        }
        return nullptr;
    }
};

SiblingIndex &Siblings(Session &session, const Target &target) {
    VlanEntry *&list = target.team != nullptr ? target.team->vlans : target.adapter->vlans;
    SiblingIndex &index = session.memo<SiblingIndex>(&list);
    for (VlanEntry *v = index.last != nullptr ? index.last->next : list; v != nullptr; v = v->next) {
        index.refile(session, target, v);
        index.last = v;
    }
    if (index.lastAsked != nullptr) index.refile(session, target, index.lastAsked);
    if (target.vlan != nullptr) index.refile(session, target, target.vlan);
    index.lastAsked = target.vlan;
    return index;
}

void CheckName(Session &session, const std::string &value, const std::string &where, const char *what) {
    if (Characters(value) > kMaxNameLength) {
        throw Failure("invalid value \"" + value + "\" for " + where + ": " + what + " has at most " +
                      std::to_string(kMaxNameLength) + " characters (this has " + std::to_string(Characters(value)) +
                      ")");
    }
    if (value.front() == ' ' || value.back() == ' ') {
        throw Failure("invalid value \"" + value + "\" for " + where + ": " + what +
                      " does not begin or end with a space");
    }
    if (AllDigits(value)) {
        throw Failure("invalid value \"" + value + "\" for " + where + ": " + what +
                      " cannot be a number, which would be read as an adapter number or a VLAN id");
    }
    for (const char *prefix : kTargetPrefixes) {
        if (value.rfind(prefix, 0) == 0) {
            throw Failure("invalid value \"" + value + "\" for " + where + ": " + what + " cannot begin with \"" +
                          prefix + "\", which names a target");
        }
    }
    (void)session;
}

}  // namespace

const ValueKindRow &KindOf(const std::string &propertyId) {
    for (const ValueKindRow &row : kKinds) {
        if (propertyId == row.id) return row;
    }
    return kText;
}

std::string TextProblem(const std::string &text) {
    std::size_t i = 0;
    while (i < text.size()) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c == 0x7F) return "it holds a control character";
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t length = (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
        char32_t cp = length == 2 ? (c & 0x1F) : length == 3 ? (c & 0x0F) : (c & 0x07);
        bool valid = length != 0 && i + length <= text.size();
        for (std::size_t k = 1; valid && k < length; ++k) {
            unsigned char d = static_cast<unsigned char>(text[i + k]);
            if ((d & 0xC0) != 0x80) valid = false;
            cp = (cp << 6) | (d & 0x3F);
        }
        static constexpr char32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
        if (!valid || cp < kMinimum[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000)) {
            return "it is not valid UTF-8";
        }
        if (cp < 0xA0) return "it holds a control character";
        i += length;
    }
    return {};
}

std::string CheckKind(Session &session, const Target &target, const PanelEntry *entry, const std::string &value,
                      const std::string &where) {
    const ValueKindRow &kind = KindOf(ToUtf8(entry->id));
    if (std::string problem = TextProblem(value); !problem.empty()) {
        throw Failure("invalid value \"" + value + "\" for " + where + ": " + problem);
    }
    if (value.empty()) {
        if (kind.emptyAllowed) return value;
        throw Failure("invalid value \"\" for " + where + ": " + kind.what + " cannot be empty");
    }

    switch (kind.kind) {
    case ValueKind::Text: return value;

    case ValueKind::TeamName: {
        CheckName(session, value, where, "a team name");
        for (AdapterEntry *a = session.adapters(); a != nullptr; a = a->next) {
            if (AdapterName(a) == value) {
                throw Failure("invalid value \"" + value + "\" for " + where +
                              ": it is the name of an adapter, and a team may not take it");
            }
        }
        for (TeamEntry *t = session.teams(); t != nullptr; t = t->next) {
            if (t == target.team || t->isDeleted) continue;
            if (PendingTeamName(t) == value) throw Failure("there is already a team \"" + value + "\"");
        }
        return value;
    }

    case ValueKind::VlanName: {
        CheckName(session, value, where, "a VLAN name");
        if (VlanEntry *v = SiblingIndex::Other(Siblings(session, target).names, value, target.vlan)) {
            throw Failure(ParentLabel(target) + " already has a VLAN named \"" + value + "\" (VLAN " +
                          PendingVlanText(session, target, v, "VlanId") + ")");
        }
        return value;
    }

    case ValueKind::VlanId: {
        if (!AllDigits(value)) {
            throw Failure("invalid value \"" + value + "\" for " + where + ": a VLAN id is a whole number 1-4094");
        }
        std::size_t first = value.find_first_not_of('0');
        std::string canonical = first == std::string::npos ? "0" : value.substr(first);
        if (canonical.size() > 4 || std::stoi(canonical) < 1 || std::stoi(canonical) > 4094) {
            throw Failure("invalid value \"" + value + "\" for " + where + ": outside the range 1-4094");
        }
        if (SiblingIndex::Other(Siblings(session, target).ids, VlanIdKey(canonical), target.vlan) != nullptr) {
            throw Failure(ParentLabel(target) + " already has VLAN " + canonical);
        }
        return canonical;
    }

    case ValueKind::MacAddress: {
        std::string mac = CanonicalMac(value);
        if (mac.empty()) {
            throw Failure("invalid value \"" + value + "\" for " + where +
                          ": a MAC address is 12 hex digits, as 001B21AABBCC, 00:1B:21:AA:BB:CC or "
                          "00-1B-21-AA-BB-CC (empty: the adapter's own)");
        }
        if (HexValue(mac[1]) & 1) {
            throw Failure("invalid value \"" + value + "\" for " + where +
                          ": a multicast address cannot be an adapter's address (the first byte must be even)");
        }
        if (mac == "00:00:00:00:00:00") {
            throw Failure("invalid value \"" + value + "\" for " + where + ": the all-zero address is not an address");
        }
        return mac;
    }

    case ValueKind::IpAddress: {
        if (Ipv4(value)) {
            if (value == "0.0.0.0" || value == "255.255.255.255") {
                throw Failure("invalid value \"" + value + "\" for " + where + ": not the address of a host");
            }
            return value;
        }
        if (Ipv6(value)) {
            std::string lower;
            for (char c : value) lower += static_cast<char>(c >= 'A' && c <= 'F' ? c - 'A' + 'a' : c);
            if (lower.find_first_not_of(":0") == std::string::npos) {
                throw Failure("invalid value \"" + value + "\" for " + where + ": not the address of a host");
            }
            return lower;
        }
        throw Failure("invalid value \"" + value + "\" for " + where +
                      ": an IP address is IPv4 (192.0.2.7) or IPv6 (2001:db8::7) (empty: none)");
    }

    case ValueKind::MemberReference: {
        std::string members;
        for (TeamMemberLink *m = target.team != nullptr ? target.team->members : nullptr; m != nullptr; m = m->next) {
            if (m->adapter == nullptr || m->isRemoved) continue;
            if (AdapterName(m->adapter) == value || std::to_string(m->adapter->number) == value) {
                return AdapterName(m->adapter);
            }
            members += (members.empty() ? "" : ", ") + std::to_string(m->adapter->number) + " " +
                       AdapterName(m->adapter);
        }
        throw Failure("invalid value \"" + value + "\" for " + where + ": it must name a member of the team (" +
                      (members.empty() ? "none" : members) + "), or be empty");
    }
    }
    return value;
}

}  // namespace lxnicctl
