#include "server.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <set>

#include <linux/if_arp.h>
#include <linux/if_link.h>

#include "lxnicif.h"
#include "networkd.h"
#include "text.h"
#include "values.h"

namespace lxniclinux {

void Report(const std::string &text) { std::fprintf(stderr, "lxnicif: %s\n", text.c_str()); }

namespace {

// Kinds of link that count as adapters: hardware (no kind) and the virtual
// Ethernet devices that stand in for it in containers and tests.
bool IsAdapter(const Link &l) {
    return l.type == ARPHRD_ETHER && (l.kind.empty() || l.kind == "veth" || l.kind == "dummy");
}

unsigned KindOf(const Link &l) {
    if (l.kind == "bond") return kTeam;
    if (l.kind == "vlan") return kVlan;
    return IsAdapter(l) ? static_cast<unsigned>(kAdapter) : 0u;
}

const char *KindName(unsigned kind) {
    switch (kind) {
    case kAdapter: return "adapter";
    case kTeam: return "team";
    case kVlan: return "VLAN";
    default: return "interface";
    }
}

// The code for a kernel refusal: missing privileges, a vanished interface,
// a rule broken, or the step's own code.
uint32_t CodeFor(const KernelError &e, uint32_t stepCode) {
    if ((e.error == -EPERM || e.error == -EACCES) && e.text.empty()) return kNotPermitted;
    if (e.error == -ENODEV && e.text.empty()) return kUnknownHandle;
    if (e.error == -EEXIST) return kConflict;
    if (e.error == -ENOMEM || e.error == -EIO || e.error == -ETIMEDOUT || e.error == -EAGAIN) return kInternalError;
    return stepCode;
}

std::string Explain(const KernelError &e) {
    if ((e.error == -EPERM || e.error == -EACCES) && e.text.empty()) {
        return "not permitted: changing network interfaces needs the CAP_NET_ADMIN capability (run as root)";
    }
    return "the kernel refused: " + e.describe();
}

// One object of the server as a commit will leave it, step by step.
struct Object {
    Handle handle = 0;
    unsigned kind = 0;
    std::string name;
    Handle master = 0;
    Handle parent = 0;
    uint16_t vlanId = 0;
    bool alive = true;
};

struct Model {
    std::map<Handle, Object> objects;  // every link, and the objects staged to be created
    Object *find(Handle h, unsigned kind) {
        auto it = objects.find(h);
        if (it == objects.end() || !it->second.alive || (kind && it->second.kind != kind)) return nullptr;
        return &it->second;
    }
    bool nameTaken(const std::string &name, Handle except = 0) const {
        for (const auto &[h, o] : objects) {
            if (o.alive && o.name == name && h != except) return true;
        }
        return false;
    }
    std::vector<Object *> membersOf(Handle team) {
        std::vector<Object *> members;
        for (auto &[h, o] : objects) {
            if (o.alive && o.master == team && o.kind == kAdapter) members.push_back(&o);
        }
        return members;
    }
};

// What a step needs at run time: the kernel and the interface index of
// every object, including those created earlier in the same commit.
struct Exec {
    Netlink &nl;
    std::map<Handle, int> &created;
    int index(Handle h) const {
        auto it = created.find(h);
        if (it != created.end()) return it->second;
        return h < kFirstProvisional ? static_cast<int>(h) : 0;
    }
};

// The interface index a new object is created with: its handle, unless the
// handle is a provisional one.
int ReservedIndex(Handle h) { return h < kFirstProvisional ? static_cast<int>(h) : 0; }

struct Step {
    std::string what;
    uint32_t code = kConflict;  // the answer when the kernel refuses it
    std::function<KernelError(Exec &, std::vector<Undo> &)> run;
};

uint32_t Refuse(uint32_t code, const std::string &text) {
    Report(text);
    return code;
}

const Setting *Find(const std::vector<Setting> &settings, uint32_t number) {
    const Setting *found = nullptr;
    for (const Setting &s : settings) {
        if (s.row->number == number) found = &s;  // the last one given counts
    }
    return found;
}

// A link as it was, to re-create it if a commit must put back its deletion.
struct Saved {
    Link link;
    std::vector<Link> members;  // a bond's
    std::vector<Link> vlans;    // VLANs on it
};

KernelError Recreate(Netlink &nl, const Link &l, std::map<std::string, int> &indexByName) {
    KernelError e;
    if (l.kind == "vlan") {
        int parent = indexByName.count("#" + std::to_string(l.parent)) ? indexByName["#" + std::to_string(l.parent)]
                                                                         : l.parent;
        e = CreateVlan(nl, l.name, parent, l.vlanId, l.vlanProtocol ? l.vlanProtocol : 0x8100, l.mtu);
    } else {
        std::vector<BondValue> options;
        uint32_t mode = l.bond.count(IFLA_BOND_MODE) ? l.bond.at(IFLA_BOND_MODE) : 0;
        for (const PropertyRow &row : PropertyTable()) {
            if (row.source != Source::Bond || (row.rules & (kReadOnly | kAfterMembers))) continue;
            if (!AppliesToBondMode(row.number, mode)) continue;
            KernelValue v;
            std::string why;
            if (ReadValue(nl, l, row, v, why) != 0) continue;
            BondValue o;
            o.attribute = row.field;
            o.width = row.conversion == Conversion::IpList ? BondValue::IpList
                      : row.width == 1                     ? BondValue::U8
                                                           : BondValue::U32;
            o.value = v.number;
            o.ips = v.list;
            options.push_back(o);
        }
        e = CreateBond(nl, l.name, options);
    }
    if (e) return e;
    auto fresh = [&] {
        KernelError ignored;
        for (const Link &now : ReadLinks(nl, ignored)) {
            if (now.name == l.name) return now.index;
        }
        return 0;
    }();
    indexByName["#" + std::to_string(l.index)] = fresh;
    LinkChange change;
    change.mtu = l.mtu;
    if (!l.address.empty() && l.kind == "bond") change.address = l.address;
    return ChangeLink(nl, fresh, change);
}

KernelError RestoreSaved(Netlink &nl, const Saved &saved) {
    std::map<std::string, int> indexByName;
    if (KernelError e = Recreate(nl, saved.link, indexByName)) return e;
    int bond = indexByName["#" + std::to_string(saved.link.index)];
    for (const Link &m : saved.members) {
        LinkChange down;
        down.up = false;
        ChangeLink(nl, m.index, down);
        LinkChange enslave;
        enslave.master = bond;
        if (KernelError e = ChangeLink(nl, m.index, enslave)) return e;
    }
    std::vector<Undo> ignored;
    if (saved.link.up()) SetUp(nl, bond, true, ignored);
    for (const Link &v : saved.vlans) {
        if (KernelError e = Recreate(nl, v, indexByName)) return e;
        if (v.up()) SetUp(nl, indexByName["#" + std::to_string(v.index)], true, ignored);
    }
    return {};
}

std::optional<Saved> Save(Netlink &nl, int index, KernelError &error) {
    std::vector<Link> links = ReadLinks(nl, error);
    if (error) return std::nullopt;
    Saved saved;
    bool found = false;
    for (const Link &l : links) {
        if (l.index == index) {
            saved.link = l;
            found = true;
        }
    }
    if (!found) {
        error = {-ENODEV, ""};
        return std::nullopt;
    }
    for (const Link &l : links) {
        if (l.master == index) saved.members.push_back(l);
        if (l.kind == "vlan" && l.parent == index) saved.vlans.push_back(l);
    }
    return saved;
}

}  // namespace

class Plan {
public:
    std::vector<Step> steps;
    bool notice = false;
};

Server::Server() = default;
Server::~Server() = default;

Netlink &Server::nl() {
    if (!nl_) nl_ = std::make_unique<Netlink>();
    return *nl_;
}

int Server::indexOf(Handle h) const {
    if (h == 0) return 0;
    auto it = created_.find(h);
    if (it != created_.end()) return it->second;
    return h < kFirstProvisional ? static_cast<int>(h) : 0;
}

bool Server::staged(Handle h) const {
    for (const Change &c : staged_) {
        if ((c.kind == Change::CreateTeam || c.kind == Change::CreateVlan) && c.owner == h) return true;
    }
    return false;
}

// A new object's handle is the interface index it is created with: one above
// every index in use and every one handed out before, so that the handle a
// front end keeps is the one every later listing shows, in any process.
// Should another interface take that index before the commit, the kernel
// chooses one and this process maps the handle to it.
Handle Server::reserveHandle() {
    KernelError error;
    std::vector<Link> links = ReadLinks(nl(), error);
    if (error) return nextProvisional_++;
    Handle highest = lastReserved_;
    for (const Link &l : links) highest = std::max(highest, static_cast<Handle>(l.index));
    if (highest + 1 >= static_cast<Handle>(INT32_MAX)) return nextProvisional_++;
    lastReserved_ = highest + 1;
    return lastReserved_;
}

uint32_t Server::enumerate(void **nics, uint32_t *nicCount, void **teams, uint32_t *teamCount, void **vlans,
                           uint32_t *vlanCount) {
    KernelError error;
    std::vector<Link> links = ReadLinks(nl(), error);
    if (error) return Refuse(CodeFor(error, kInternalError), "listing the interfaces failed: " + Explain(error));
    std::map<int, const Link *> byIndex;
    for (const Link &l : links) byIndex[l.index] = &l;
    std::vector<const Link *> adapters, bonds, vlanLinks;
    for (const Link &l : links) {
        switch (KindOf(l)) {
        case kAdapter: adapters.push_back(&l); break;
        case kTeam: bonds.push_back(&l); break;
        case kVlan:
            if (byIndex.count(l.parent) && (KindOf(*byIndex[l.parent]) & (kAdapter | kTeam))) vlanLinks.push_back(&l);
            break;
        default: break;
        }
    }
    auto *a = static_cast<NicIfAdapterElement *>(std::calloc(adapters.size() + 1, sizeof(NicIfAdapterElement)));
    auto *t = static_cast<NicIfTeamElement *>(std::calloc(bonds.size() + 1, sizeof(NicIfTeamElement)));
    auto *v = static_cast<NicIfVlanElement *>(std::calloc(vlanLinks.size() + 1, sizeof(NicIfVlanElement)));
    bool ok = a && t && v;
    for (std::size_t i = 0; ok && i < adapters.size(); ++i) {
        const Link &l = *adapters[i];
        DriverInfo info;
        bool driver = GetDriverInfo(l.name, info);
        std::string type = DefinitionTypeOf(driver ? info.driver : l.kind);
        a[i].handle = static_cast<uint64_t>(l.index);
        a[i].definitionType = MallocText(type);
        a[i].name = MallocText(l.name);
        a[i].status = !l.up() ? 5u : l.lowerUp() ? 0u : 1u;
        std::map<int, uint32_t> modes;
        KernelValue speed;
        std::string why;
        const PropertyRow *speedRow = FindRow(1, kAdapter);
        a[i].info1 = ReadValue(nl(), l, *speedRow, speed, why) == 0 && !speed.autoneg ? speed.speed : 0;
        a[i].info2 = static_cast<uint32_t>(l.index);
        bool inBond = l.master && byIndex.count(l.master) && KindOf(*byIndex[l.master]) == kTeam;
        a[i].teamHandle = inBond ? static_cast<uint64_t>(l.master) : 0;
        a[i].activeInTeam = inBond && l.slaveState && *l.slaveState == 0 && l.lowerUp() ? 1 : 0;
        std::string label = driver ? info.driver + (info.bus.empty() ? "" : " at " + info.bus) : l.kind + " (virtual)";
        CopyInline(label, a[i].label, sizeof a[i].label / sizeof a[i].label[0]);
        ok = a[i].definitionType && a[i].name;
    }
    for (std::size_t i = 0; ok && i < bonds.size(); ++i) {
        const Link &l = *bonds[i];
        uint32_t status = 1;
        teamStatus(static_cast<Handle>(l.index), status);
        uint32_t members = 0;
        for (const Link &m : links) members += m.master == l.index ? 1 : 0;
        t[i].handle = static_cast<uint64_t>(l.index);
        t[i].teamInfo1 = status;
        t[i].teamText = MallocText(l.name);
        t[i].teamInfo2 = members;
        t[i].kind = 1;
        ok = t[i].teamText != nullptr;
    }
    for (std::size_t i = 0; ok && i < vlanLinks.size(); ++i) {
        v[i].handle = static_cast<uint64_t>(vlanLinks[i]->index);
        v[i].parentHandle = static_cast<uint64_t>(vlanLinks[i]->parent);
    }
    if (!ok) {
        for (std::size_t i = 0; a && i < adapters.size(); ++i) {
            std::free(a[i].definitionType);
            std::free(a[i].name);
        }
        for (std::size_t i = 0; t && i < bonds.size(); ++i) std::free(t[i].teamText);
        std::free(a);
        std::free(t);
        std::free(v);
        return kInternalError;
    }
    auto hand = [](auto *array, std::size_t count, void **out, uint32_t *n) {
        if (count == 0) {
            std::free(array);
            array = nullptr;
        }
        *out = array;
        *n = static_cast<uint32_t>(count);
    };
    hand(a, adapters.size(), nics, nicCount);
    hand(t, bonds.size(), teams, teamCount);
    hand(v, vlanLinks.size(), vlans, vlanCount);
    return kOk;
}

uint32_t Server::read(Handle h, unsigned object, uint32_t property, std::string &raw) {
    const PropertyRow *row = FindRow(property, object);
    if (!row) return kNoValue;
    int index = indexOf(h);
    if (index == 0) return kUnknownHandle;  // not created yet, or never handed out
    KernelError error;
    auto link = ReadLink(nl(), index, error);
    if (!link) {
        if (error.error == -ENODEV) return Refuse(kUnknownHandle, "no " + std::string(KindName(object)) +
                                                                      " with the handle " + std::to_string(h) +
                                                                      ": the interface no longer exists");
        return Refuse(CodeFor(error, kInternalError), "reading the interface failed: " + Explain(error));
    }
    if (KindOf(*link) != object) return kUnknownHandle;
    KernelValue value;
    std::string why;
    // A setting the members hold is the team's when they all agree; a bond
    // that lacks one of its members' features answers theirs likewise.
    if (object == kTeam && (row->rules & kMembersOnly)) return readMembers(index, *row, raw);
    uint32_t code = ReadValue(nl(), *link, *row, value, why);
    if (code == kNoValue && object == kTeam && (row->rules & kWithMembers)) return readMembers(index, *row, raw);
    if (code != 0) return code;
    raw = row->source == Source::Stats ? value.text : FormatRaw(*row, value);
    return kOk;
}

uint32_t Server::readMembers(int team, const PropertyRow &row, std::string &raw) {
    KernelError error;
    std::optional<std::string> common;
    for (const Link &l : ReadLinks(nl(), error)) {
        if (l.master != team || KindOf(l) != kAdapter) continue;
        KernelValue value;
        std::string why;
        if (ReadValue(nl(), l, row, value, why) != 0) return kNoValue;
        std::string text = FormatRaw(row, value);
        if (common && *common != text) return kNoValue;  // the members differ
        common = text;
    }
    if (error) return Refuse(CodeFor(error, kInternalError), "listing the interfaces failed: " + Explain(error));
    if (!common) return kNoValue;  // no members
    raw = *common;
    return kOk;
}

uint32_t Server::adapterStatus(Handle h, uint32_t &status) {
    status = 4;
    KernelError error;
    auto link = ReadLink(nl(), indexOf(h), error);
    if (!link || KindOf(*link) != kAdapter) return kUnknownHandle;
    status = !link->up() ? 5u : link->lowerUp() ? 0u : 1u;
    return kOk;
}

uint32_t Server::teamStatus(Handle h, uint32_t &status) {
    status = 4;
    KernelError error;
    int index = indexOf(h);
    std::vector<Link> links = ReadLinks(nl(), error);
    const Link *bond = nullptr;
    for (const Link &l : links) {
        if (l.index == index && index != 0) bond = &l;
    }
    if (!bond || KindOf(*bond) != kTeam) return kUnknownHandle;
    if (!bond->up()) {
        status = 5;
        return kOk;
    }
    int members = 0, active = 0;
    for (const Link &l : links) {
        if (l.master != index) continue;
        ++members;
        active += l.up() && l.lowerUp() ? 1 : 0;
    }
    status = members == 0 || active == 0 ? 1u : active == members ? 0u : 2u;
    return kOk;
}

uint32_t Server::teamOf(Handle adapter, uint64_t &team) {
    team = 0;
    KernelError error;
    auto link = ReadLink(nl(), indexOf(adapter), error);
    if (!link || KindOf(*link) != kAdapter) return kUnknownHandle;
    if (link->master != 0 && link->slaveKind == "bond") team = static_cast<uint64_t>(link->master);
    return kOk;
}

uint32_t Server::stage(Change change) {
    staged_.push_back(std::move(change));
    Plan plan;
    uint32_t code = buildPlan(staged_, plan);
    if (code != kOk) {
        staged_.pop_back();
        return code;
    }
    return kOk;
}

uint32_t Server::write(Handle h, unsigned object, uint32_t property, const std::string &raw) {
    const PropertyRow *row = FindRow(property, object);
    if (!row) return Refuse(kPropertyError, std::string(object == kAdapter ? "an " : "a ") + KindName(object) +
                                                " has no property number " + std::to_string(property));
    if (row->rules & kReadOnly) return Refuse(kPropertyError, std::string("the ") + row->name + " is read-only");
    std::string problem;
    auto value = ParseRaw(*row, raw, problem);
    if (!value) return Refuse(kPropertyError, std::string("the ") + row->name + " cannot be set to \"" + raw + "\": " + problem);
    int index = indexOf(h);
    bool provisional = staged(h);
    std::optional<Link> link;
    if (!provisional) {
        KernelError error;
        link = ReadLink(nl(), index, error);
        if (!link || KindOf(*link) != object) {
            return Refuse(kUnknownHandle, "no " + std::string(KindName(object)) + " with the handle " +
                                              std::to_string(h) + (link ? "" : " (the interface no longer exists)"));
        }
        if (row->rules & kCreateOnly) {
            KernelValue now;
            std::string why;
            if (ReadValue(nl(), *link, *row, now, why) == 0 && FormatRaw(*row, now) == FormatRaw(*row, *value)) {
                return kOk;  // the value it has already
            }
            return Refuse(kPropertyError, link->name + ": the kernel cannot change the " + row->name +
                                              " of an existing VLAN; remove the VLAN and add one with the new value");
        }
    }
    Change change;
    change.kind = Change::SetProperty;
    change.owner = provisional ? h : static_cast<Handle>(index);
    change.object = object;
    change.settings.push_back({row, raw, *value});
    if (uint32_t code = stage(std::move(change))) return code;
    if (!provisional && (row->rules & kNeedsDown) && link->up()) return kNotice;
    return kOk;
}

namespace {

uint32_t ReadSettings(const std::vector<std::pair<uint32_t, std::string>> &records, unsigned object,
                      std::vector<Setting> &settings) {
    for (const auto &[number, raw] : records) {
        const PropertyRow *row = FindRow(number, object);
        if (!row) return Refuse(kPropertyError, std::string("a new ") + KindName(object) +
                                                    " has no property number " + std::to_string(number));
        if (row->rules & kReadOnly) continue;  // a shown value given back: nothing to set
        std::string problem;
        auto value = ParseRaw(*row, raw, problem);
        if (!value) return Refuse(kPropertyError, std::string("the ") + row->name + " of a new " + KindName(object) +
                                                      " cannot be \"" + raw + "\": " + problem);
        settings.push_back({row, raw, *value});
    }
    return kOk;
}

}  // namespace

uint32_t Server::createTeam(const std::vector<std::pair<uint32_t, std::string>> &records,
                            const std::vector<Handle> &members, Handle &team) {
    Change change;
    change.kind = Change::CreateTeam;
    if (uint32_t code = ReadSettings(records, kTeam, change.settings)) return code;
    for (Handle m : members) change.members.push_back(indexOf(m) ? static_cast<Handle>(indexOf(m)) : m);
    change.owner = reserveHandle();
    Handle owner = change.owner;
    if (uint32_t code = stage(std::move(change))) return code;
    team = owner;
    return kOk;
}

uint32_t Server::addMember(Handle nic, Handle team) {
    Change change;
    change.kind = Change::AddMember;
    change.owner = indexOf(team) ? static_cast<Handle>(indexOf(team)) : team;
    change.other = indexOf(nic) ? static_cast<Handle>(indexOf(nic)) : nic;
    return stage(std::move(change));
}

uint32_t Server::removeMember(Handle nic, Handle team) {
    Change change;
    change.kind = Change::RemoveMember;
    change.owner = indexOf(team) ? static_cast<Handle>(indexOf(team)) : team;
    change.other = indexOf(nic) ? static_cast<Handle>(indexOf(nic)) : nic;
    return stage(std::move(change));
}

uint32_t Server::dissolve(Handle team) {
    Change change;
    change.kind = Change::Dissolve;
    change.owner = indexOf(team) ? static_cast<Handle>(indexOf(team)) : team;
    return stage(std::move(change));
}

uint32_t Server::createVlan(const std::vector<std::pair<uint32_t, std::string>> &records, Handle parent,
                            bool parentIsTeam, Handle &vlan) {
    Change change;
    change.kind = Change::CreateVlan;
    if (uint32_t code = ReadSettings(records, kVlan, change.settings)) return code;
    change.other = indexOf(parent) ? static_cast<Handle>(indexOf(parent)) : parent;
    change.object = parentIsTeam ? kTeam : kAdapter;
    change.owner = reserveHandle();
    Handle owner = change.owner;
    if (uint32_t code = stage(std::move(change))) return code;
    vlan = owner;
    return kOk;
}

uint32_t Server::deleteVlan(Handle vlan) {
    Change change;
    change.kind = Change::DeleteVlan;
    change.owner = indexOf(vlan) ? static_cast<Handle>(indexOf(vlan)) : vlan;
    return stage(std::move(change));
}

// Orders the staged changes into the steps the kernel's rules need, checking
// each against the server as the earlier steps leave it:
//   1 VLANs deleted, 2 teams dissolved, 3 members removed,
//   4 adapter settings, 5 teams created, 6 team settings (a bond's mode
//   while it has no members), 7 members added and new bonds brought up,
//   8 settings that need the members (primary member, members' settings
//   written through the team), 9 VLANs created, 10 VLAN settings.
uint32_t Server::buildPlan(const std::vector<Change> &changes, Plan &plan) {
    KernelError error;
    std::vector<Link> links = ReadLinks(nl(), error);
    if (error) return Refuse(CodeFor(error, kInternalError), "listing the interfaces failed: " + Explain(error));
    Model m;
    for (const Link &l : links) {
        Object o;
        o.handle = static_cast<Handle>(l.index);
        o.kind = KindOf(l);
        o.name = l.name;
        o.master = l.slaveKind == "bond" ? static_cast<Handle>(l.master) : 0;
        o.parent = static_cast<Handle>(l.parent);
        o.vlanId = l.vlanId;
        m.objects[o.handle] = o;
    }
    auto nameOf = [&](Handle h) { return m.objects.count(h) ? m.objects[h].name : "handle " + std::to_string(h); };
    auto missing = [&](Handle h, unsigned kind) {
        return Refuse(kUnknownHandle, "no " + std::string(KindName(kind)) + " with the handle " + std::to_string(h) +
                                          (h < kFirstProvisional ? " (no such interface now)" : ""));
    };

    // The settings of each object created by this commit: its creation's
    // records, then later writes to its handle (the last value counts).
    std::map<Handle, std::vector<Setting>> initial;
    for (const Change &c : changes) {
        if (c.kind == Change::CreateTeam || c.kind == Change::CreateVlan) initial[c.owner] = c.settings;
    }
    std::vector<const Change *> writes;
    for (const Change &c : changes) {
        if (c.kind != Change::SetProperty) continue;
        if (initial.count(c.owner) &&
            (c.object == kVlan || c.settings[0].row->source == Source::Bond || c.settings[0].row->source == Source::Link)) {
            initial[c.owner].push_back(c.settings[0]);
        } else {
            writes.push_back(&c);
        }
    }

    auto propertyStep = [&](Handle h, const Setting &s, const std::string &objName) {
        Step step;
        step.what = objName + ": setting the " + s.row->name + " to " + s.raw;
        step.code = kPropertyError;
        const PropertyRow *row = s.row;
        KernelValue value = s.value;
        step.run = [h, row, value](Exec &ex, std::vector<Undo> &undo) {
            return WriteValue(ex.nl, ex.index(h), *row, value, undo);
        };
        plan.steps.push_back(std::move(step));
    };
    // The interface index kept for a new object (its handle) must still be
    // free: another program may have created an interface since.
    auto reservedFree = [&](Handle h, const std::string &name) -> uint32_t {
        auto it = m.objects.find(h);
        if (it == m.objects.end()) return kOk;
        return Refuse(kConflict, "the handle " + std::to_string(h) + " given to the new " + name + " is the index of " +
                                     it->second.name + " now, which was created meanwhile; create " + name + " again");
    };
    auto checkName = [&](const std::string &name, Handle self) -> uint32_t {
        if (std::string why = InterfaceNameProblem(name); !why.empty())
            return Refuse(kPropertyError, "the kernel refuses the name \"" + name + "\": " + why);
        if (m.nameTaken(name, self)) return Refuse(kConflict, "an interface named \"" + name + "\" exists already");
        return kOk;
    };

    // 1 VLANs deleted.
    for (const Change &c : changes) {
        if (c.kind != Change::DeleteVlan) continue;
        Object *v = m.find(c.owner, kVlan);
        if (!v) return missing(c.owner, kVlan);
        v->alive = false;
        Handle h = c.owner;
        std::string name = v->name;
        plan.steps.push_back({name + ": deleting the VLAN", kConflict, [h, name](Exec &ex, std::vector<Undo> &undo) {
                                  KernelError e;
                                  auto saved = Save(ex.nl, ex.index(h), e);
                                  if (!saved) return e;
                                  if ((e = DeleteLink(ex.nl, ex.index(h)))) return e;
                                  Netlink &nl = ex.nl;
                                  undo.push_back({"re-creating VLAN " + name, [&nl, s = *saved] {
                                                      std::map<std::string, int> idx;
                                                      KernelError r = Recreate(nl, s.link, idx);
                                                      std::vector<Undo> ignored;
                                                      if (!r && s.link.up()) r = SetUp(nl, idx["#" + std::to_string(s.link.index)], true, ignored);
                                                      return r;
                                                  }});
                                  return KernelError{};
                              }});
    }
    // 2 teams dissolved: members are released and brought up again, and the
    // bond's VLANs go with it.
    for (const Change &c : changes) {
        if (c.kind != Change::Dissolve) continue;
        Object *t = m.find(c.owner, kTeam);
        if (!t) return missing(c.owner, kTeam);
        t->alive = false;
        std::vector<Handle> members;
        for (Object *o : m.membersOf(c.owner)) {
            o->master = 0;
            members.push_back(o->handle);
        }
        for (auto &[h, o] : m.objects) {
            if (o.kind == kVlan && o.parent == c.owner) o.alive = false;
        }
        Handle h = c.owner;
        std::string name = t->name;
        plan.steps.push_back({name + ": dissolving the team", kConflict,
                              [h, name, members](Exec &ex, std::vector<Undo> &undo) {
                                  KernelError e;
                                  auto saved = Save(ex.nl, ex.index(h), e);
                                  if (!saved) return e;
                                  if ((e = DeleteLink(ex.nl, ex.index(h)))) return e;
                                  Netlink &nl = ex.nl;
                                  undo.push_back({"re-creating team " + name, [&nl, s = *saved] { return RestoreSaved(nl, s); }});
                                  for (const Link &member : saved->members) {
                                      if (member.up()) SetUp(ex.nl, member.index, true, undo);
                                  }
                                  return KernelError{};
                              }});
    }
    // 3 members removed.
    for (const Change &c : changes) {
        if (c.kind != Change::RemoveMember) continue;
        Object *t = m.find(c.owner, kTeam);
        if (!t) return missing(c.owner, kTeam);
        Object *a = m.find(c.other, kAdapter);
        if (!a) return missing(c.other, kAdapter);
        if (a->master != c.owner) return Refuse(kConflict, a->name + " is not a member of team " + t->name);
        a->master = 0;
        Handle nic = c.other, team = c.owner;
        plan.steps.push_back({a->name + ": leaving team " + t->name, kConflict,
                              [nic, team](Exec &ex, std::vector<Undo> &undo) {
                                  int index = ex.index(nic);
                                  LinkChange release;
                                  release.master = 0;
                                  if (KernelError e = ChangeLink(ex.nl, index, release)) return e;
                                  Netlink &nl = ex.nl;
                                  int bond = ex.index(team);
                                  undo.push_back({"putting the member back", [&nl, index, bond] {
                                                      LinkChange down;
                                                      down.up = false;
                                                      ChangeLink(nl, index, down);
                                                      LinkChange back;
                                                      back.master = bond;
                                                      return ChangeLink(nl, index, back);
                                                  }});
                                  // The bond takes its members down when it lets them go.
                                  return SetUp(ex.nl, index, true, undo);
                              }});
    }
    // 4 adapter settings.
    for (const Change *c : writes) {
        if (c->object != kAdapter) continue;
        Object *a = m.find(c->owner, kAdapter);
        if (!a) return missing(c->owner, kAdapter);
        propertyStep(c->owner, c->settings[0], a->name);
    }
    // 5 teams created, with their bond options (a new bond has no members).
    std::vector<std::pair<Handle, std::vector<Handle>>> newMembers;
    for (const Change &c : changes) {
        if (c.kind != Change::CreateTeam) continue;
        std::vector<Setting> &settings = initial[c.owner];
        std::string name;
        if (const Setting *s = Find(settings, 100)) {
            name = s->value.text;
        } else {
            for (int n = 0; name.empty(); ++n) {
                if (!m.nameTaken("bond" + std::to_string(n))) name = "bond" + std::to_string(n);
            }
        }
        if (uint32_t code = checkName(name, 0)) return code;
        if (uint32_t code = reservedFree(c.owner, name)) return code;
        Object t;
        t.handle = c.owner;
        t.kind = kTeam;
        t.name = name;
        m.objects[c.owner] = t;
        std::vector<BondValue> options;
        bool monitored = false, moded = false;
        const Setting *modeSetting = Find(settings, 101);
        uint32_t mode = modeSetting ? modeSetting->value.number : 1;
        for (const PropertyRow &row : PropertyTable()) {
            const Setting *s = Find(settings, row.number);
            if (!s || row.source != Source::Bond || (row.rules & kAfterMembers) || !(row.objects & kTeam)) continue;
            // An option of another mode at the kernel's default (a whole
            // script's settings, say) is left out: the kernel would refuse
            // the bond for it. Any other value goes, and the kernel says why
            // it does not fit.
            if (!AppliesToBondMode(row.number, mode) && s->value.number == 0 && s->value.list.empty()) continue;
            BondValue o;
            o.attribute = row.field;
            o.width = row.conversion == Conversion::IpList ? BondValue::IpList
                      : row.width == 1                     ? BondValue::U8
                                                           : BondValue::U32;
            o.value = s->value.number;
            o.ips = s->value.list;
            options.push_back(o);
            monitored = monitored || ((row.field == IFLA_BOND_MIIMON || row.field == IFLA_BOND_ARP_INTERVAL));
            moded = moded || row.field == IFLA_BOND_MODE;
        }
        // A new bond is an active-backup one unless told otherwise (the
        // definitions' default), not the kernel's round robin.
        if (!moded) options.insert(options.begin(), BondValue{IFLA_BOND_MODE, BondValue::U8, 1, {}});
        // Without link monitoring a bond never notices a member's link going
        // down; a new bond checks its members' links every 100 ms unless told
        // otherwise.
        if (!monitored) options.push_back({IFLA_BOND_MIIMON, BondValue::U32, 100, {}});
        Handle h = c.owner;
        plan.steps.push_back({name + ": creating the team", kPropertyError,
                              [h, name, options](Exec &ex, std::vector<Undo> &undo) {
                                  KernelError e = CreateBond(ex.nl, name, options, ReservedIndex(h));
                                  if (e.error == -EBUSY) e = CreateBond(ex.nl, name, options);
                                  if (e) return e;
                                  for (const Link &l : ReadLinks(ex.nl, e)) {
                                      if (l.name == name) ex.created[h] = l.index;
                                  }
                                  int index = ex.index(h);
                                  if (index == 0) return KernelError{-ENODEV, "the new bond " + name + " did not appear"};
                                  Netlink &nl = ex.nl;
                                  undo.push_back({"deleting team " + name, [&nl, index] { return DeleteLink(nl, index); }});
                                  return KernelError{};
                              }});
        // Its other settings follow as writes (steps 6 and 8).
        newMembers.push_back({c.owner, c.members});
    }
    // 6 team settings, for existing teams and the other settings of new ones.
    std::vector<std::pair<Handle, Setting>> teamWrites;
    for (const auto &[h, settings] : initial) {
        if (!m.find(h, kTeam)) continue;
        for (const Setting &s : settings) {
            if (s.row->number == 100 || (s.row->source == Source::Bond && !(s.row->rules & kAfterMembers))) continue;
            teamWrites.push_back({h, s});
        }
    }
    for (const Change *c : writes) {
        if (c->object == kTeam) teamWrites.push_back({c->owner, c->settings[0]});
    }
    for (const auto &[h, s] : teamWrites) {
        Object *t = m.find(h, kTeam);
        if (!t) return missing(h, kTeam);
        if (s.row->rules & (kAfterMembers | kMembersOnly | kWithMembers)) continue;
        if ((s.row->rules & kNoMembers) && !m.membersOf(h).empty()) {
            return Refuse(kPropertyError, t->name + ": the kernel changes a bond's " + s.row->name +
                                              " only while the bond has no members; remove its members first, "
                                              "or dissolve the team and create it again with the new value");
        }
        if (s.row->conversion == Conversion::Name) {
            if (uint32_t code = checkName(s.value.text, h)) return code;
            t->name = s.value.text;
        }
        propertyStep(h, s, t->name);
    }
    // 7 members added; a new bond comes up once its members are in.
    std::vector<std::pair<Handle, Handle>> additions;
    for (const auto &[team, members] : newMembers) {
        for (Handle a : members) additions.push_back({team, a});
    }
    for (const Change &c : changes) {
        if (c.kind == Change::AddMember) additions.push_back({c.owner, c.other});
    }
    for (const auto &[team, nic] : additions) {
        Object *t = m.find(team, kTeam);
        if (!t) return missing(team, kTeam);
        Object *a = m.find(nic, kAdapter);
        if (!a) return missing(nic, kAdapter);
        if (a->master == team) continue;
        if (a->master != 0) {
            return Refuse(kConflict, a->name + " is already a member of team " + nameOf(a->master) +
                                         "; remove it from there first");
        }
        a->master = team;
        std::string what = a->name + ": joining team " + t->name;
        plan.steps.push_back({what, kConflict, [team, nic](Exec &ex, std::vector<Undo> &undo) {
                                  int index = ex.index(nic), bond = ex.index(team);
                                  KernelError e;
                                  auto link = ReadLink(ex.nl, index, e);
                                  if (!link) return e;
                                  // The bonding driver takes only members that are down.
                                  if (link->up()) {
                                      if ((e = SetUp(ex.nl, index, false, undo))) return e;
                                  }
                                  LinkChange join;
                                  join.master = bond;
                                  if ((e = ChangeLink(ex.nl, index, join))) return e;
                                  Netlink &nl = ex.nl;
                                  undo.push_back({"taking the member out again", [&nl, index] {
                                                      LinkChange release;
                                                      release.master = 0;
                                                      return ChangeLink(nl, index, release);
                                                  }});
                                  return KernelError{};
                              }});
    }
    for (const auto &[team, members] : newMembers) {
        plan.steps.push_back({m.objects[team].name + ": bringing the team up", kConflict,
                              [team](Exec &ex, std::vector<Undo> &undo) { return SetUp(ex.nl, ex.index(team), true, undo); }});
    }
    // 8 settings that need the members.
    for (const auto &[h, s] : teamWrites) {
        if (!(s.row->rules & (kAfterMembers | kMembersOnly | kWithMembers))) continue;
        Object *t = m.find(h, kTeam);
        if (s.row->rules & (kMembersOnly | kWithMembers)) {
            for (Object *a : m.membersOf(h)) propertyStep(a->handle, s, a->name);
            if (s.row->rules & kWithMembers) propertyStep(h, s, t->name);
            continue;
        }
        if (s.row->conversion == Conversion::Interface && !s.value.text.empty()) {
            bool member = false;
            for (Object *a : m.membersOf(h)) member = member || a->name == s.value.text;
            if (!member) return Refuse(kPropertyError, t->name + ": the " + s.row->name + " must be one of its members, and " +
                                                           s.value.text + " is not");
        }
        propertyStep(h, s, t->name);
    }
    // 9 VLANs created, up at once.
    for (const Change &c : changes) {
        if (c.kind != Change::CreateVlan) continue;
        Object *p = m.find(c.other, c.object);
        if (!p) return missing(c.other, c.object);
        std::vector<Setting> &settings = initial[c.owner];
        const Setting *id = Find(settings, 200);
        if (!id) return Refuse(kConflict, "a new VLAN on " + p->name + " needs its VLAN id");
        uint16_t vid = static_cast<uint16_t>(id->value.number);
        for (auto &[h, o] : m.objects) {
            if (o.alive && o.kind == kVlan && o.parent == c.other && o.vlanId == vid) {
                return Refuse(kConflict, "VLAN id " + std::to_string(vid) + " is already used on " + p->name + " (by " +
                                             o.name + ")");
            }
        }
        std::string name;
        if (const Setting *s = Find(settings, 201)) name = s->value.text;
        if (name.empty()) {
            name = p->name + "." + std::to_string(vid);
            if (name.size() > 15) name = "vlan" + std::to_string(vid);
        }
        if (uint32_t code = checkName(name, 0)) return code;
        if (uint32_t code = reservedFree(c.owner, name)) return code;
        uint16_t protocol = 0x8100;
        if (const Setting *s = Find(settings, 202)) protocol = static_cast<uint16_t>(s->value.number);
        std::optional<uint32_t> mtu;
        if (const Setting *s = Find(settings, 3)) mtu = s->value.number;
        Object v;
        v.handle = c.owner;
        v.kind = kVlan;
        v.name = name;
        v.parent = c.other;
        v.vlanId = vid;
        m.objects[c.owner] = v;
        Handle h = c.owner, parent = c.other;
        plan.steps.push_back({name + ": creating VLAN " + std::to_string(vid) + " on " + p->name, kPropertyError,
                              [h, parent, name, vid, protocol, mtu](Exec &ex, std::vector<Undo> &undo) {
                                  KernelError e =
                                      CreateVlan(ex.nl, name, ex.index(parent), vid, protocol, mtu, ReservedIndex(h));
                                  if (e.error == -EBUSY) e = CreateVlan(ex.nl, name, ex.index(parent), vid, protocol, mtu);
                                  if (e) return e;
                                  for (const Link &l : ReadLinks(ex.nl, e)) {
                                      if (l.name == name) ex.created[h] = l.index;
                                  }
                                  int index = ex.index(h);
                                  if (index == 0) return KernelError{-ENODEV, "the new VLAN " + name + " did not appear"};
                                  Netlink &nl = ex.nl;
                                  undo.push_back({"deleting VLAN " + name, [&nl, index] { return DeleteLink(nl, index); }});
                                  // A VLAN comes up only over a parent that is up (the kernel
                                  // refuses otherwise); on a parent that is down it waits, and
                                  // the kernel brings it up with the parent.
                                  auto over = ReadLink(ex.nl, ex.index(parent), e);
                                  if (e) return e;
                                  if (!over || !over->up()) return KernelError{};
                                  return SetUp(ex.nl, index, true, undo);
                              }});
    }
    // 10 VLAN settings.
    for (const Change *c : writes) {
        if (c->object != kVlan) continue;
        Object *v = m.find(c->owner, kVlan);
        if (!v) return missing(c->owner, kVlan);
        const Setting &s = c->settings[0];
        if (s.row->conversion == Conversion::Name) {
            if (uint32_t code = checkName(s.value.text, c->owner)) return code;
            v->name = s.value.text;
        }
        propertyStep(c->owner, s, v->name);
    }
    return kOk;
}

uint32_t Server::commit(bool dryRun) {
    if (staged_.empty()) return kOk;
    Plan plan;
    if (uint32_t code = buildPlan(staged_, plan)) return code;
    if (dryRun) return kOk;
    std::map<Handle, int> created = created_;
    Exec ex{nl(), created};
    std::vector<Undo> journal;
    // LXNICIF_TRACE=1 says each step before it runs.
    const char *trace = std::getenv("LXNICIF_TRACE");
    const bool tracing = trace != nullptr && std::string(trace) == "1";
    for (const Step &step : plan.steps) {
        if (tracing) Report("commit step: " + step.what);
        KernelError e = step.run(ex, journal);
        if (!e) continue;
        Report(step.what + " failed: " + Explain(e));
        std::string notBack;
        for (auto it = journal.rbegin(); it != journal.rend(); ++it) {
            if (KernelError u = it->run()) notBack += "; " + it->what + " failed: " + u.describe();
        }
        if (notBack.empty()) {
            Report(journal.empty() ? "nothing was changed" : "what this commit had changed was put back");
        } else {
            Report("putting back what this commit had changed did not succeed everywhere" + notBack);
        }
        staged_.clear();
        return CodeFor(e, step.code);
    }
    created_ = std::move(created);
    staged_.clear();
    return kOk;
}

uint32_t Server::commitPass(Handle h, bool dryRun) {
    if (transaction_) return known(h) ? kOk : kUnknownHandle;
    return commit(dryRun);
}

uint32_t Server::applyConfigChanges(Handle h, uint32_t flags) {
    if (flags & ~(NICIF_APPLY_CHECK_ONLY | NICIF_APPLY_BEGIN_TRANSACTION)) return kBadArgument;
    if (flags & NICIF_APPLY_BEGIN_TRANSACTION) {
        if (flags & NICIF_APPLY_CHECK_ONLY) return kBadArgument;
        transaction_ = true;
        return kOk;
    }
    if (transaction_ && h != 0) return known(h) ? kOk : kUnknownHandle;
    if (flags & NICIF_APPLY_CHECK_ONLY) return commit(true);
    // A commit carries out everything staged or, when the kernel refuses a
    // step, puts it all back and drops it: either way nothing is left for
    // the transaction.
    transaction_ = false;
    return commit(false);
}

bool Server::known(Handle h) {
    if (h == 0) return false;
    if (staged(h) || created_.count(h)) return true;
    int index = indexOf(h);
    if (index == 0) return false;
    KernelError error;
    auto link = ReadLink(nl(), index, error);
    return link && KindOf(*link) != 0;
}

void Server::close() {
    staged_.clear();
    created_.clear();
    transaction_ = false;
    nl_.reset();
}

uint32_t Server::persist(const std::string &folder) {
    KernelError error;
    std::vector<Link> links = ReadLinks(nl(), error);
    if (error) return Refuse(CodeFor(error, kInternalError), "listing the interfaces failed: " + Explain(error));
    std::vector<PersistedLink> view;
    for (const Link &l : links) {
        unsigned kind = KindOf(l);
        if (!kind) continue;
        PersistedLink p;
        p.link = l;
        p.kind = kind;
        for (const PropertyRow &row : PropertyTable()) {
            if (!(row.objects & kind) || row.persist == Persist::None || (row.rules & kReadOnly)) continue;
            if (kind == kTeam && (row.rules & kMembersOnly)) continue;
            KernelValue v;
            std::string why;
            if (ReadValue(nl(), l, row, v, why) == 0) p.values[row.number] = FormatRaw(row, v);
        }
        view.push_back(std::move(p));
    }
    std::string problem = WriteNetworkdFiles(view, folder);
    if (!problem.empty()) return Refuse(kInternalError, problem);
    return kOk;
}

Server &TheServer() {
    static Server server;
    return server;
}

std::mutex &ServerLock() {
    static std::mutex lock;
    return lock;
}

}  // namespace lxniclinux
