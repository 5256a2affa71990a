// The NIC interface library over a simulated server.
//
// The server's state lives in a JSON file (LXNICIF_STATE, else
// $XDG_STATE_HOME/lxnicif/state.json, else ~/.local/state/lxnicif/state.json),
// read when a function first needs it; with no file the server starts from
// the default inventory compiled in from default_inventory.json. Writes,
// creations, member changes and deletions are staged: reads, NicIfEnumerate,
// the status calls and NicIfGetNicTeam show the committed state until the
// staged change is committed, which saves the file (temporary file, then
// rename). A file that is not valid, inconsistent or of a later format is
// refused with a message on standard error and never written; every call
// then answers 6 until NicIfClose.
//
// Codes: 0 done; 1 no value (reads); 2 unknown handle; 3 the object cannot
// take this value for this property; 4 a NULL pointer or malformed value or
// size; 5 the change would break a consistency rule; 6 state file refused or
// not saved; 7 done, with a notice (a write that takes effect when the object
// restarts at its commit); 8 out of memory or another internal failure.
//
// Consistency rules, checked at each staged change and again at commit: an
// adapter is in at most one team; a team has at least one member and only
// adapters as members; a VLAN's parent is an existing adapter or team; two
// VLANs of one parent never share a VLAN id (property 200); handles are
// unique and non-zero.
//
// Per function:
//  1 NicIfEnumerate: three malloc'ed arrays of the committed adapters,
//    teams and VLANs (NULL with count 0 when there are none); every
//    definitionType, name and teamText is malloc'ed and taken over by the
//    caller. Adapter status as stored, info1/info2 as stored, activeInTeam 1
//    for an active member of a team; team teamInfo1 = its status, teamInfo2 =
//    its member count, teamText = its name (property 100). The list option is
//    not used.
//  2, 8, 19 Get{Adapter,Team,Vlan}Property: 0 and a malloc'ed copy of the
//    committed value (must-free 1); 1 when the object does not have that
//    property; 2 for a handle that is not a committed object of that kind.
//  3, 9, 22 Set{Adapter,Team,Vlan}Property: the value is UTF-16 of the given
//    size in bytes, terminator included (even, at least 2), or NUL-terminated
//    when the size is 0xFFFFFFFF. 3 when the object does not have the
//    property, it is read-only, or its profile does not accept the value;
//    otherwise the write is staged on the object (the newest write wins)
//    and answers 0, or 7 for a property in its profile's restart list.
//    Staged objects (a team or VLAN created but not committed) can be written.
//  6, 18 Get{Adapter,Team}Status: 0 Active, 1 Not Active, 2 Degraded,
//    5 Disabled as stored for adapters; for a team Active when every member is
//    active, Not Active when none is, Degraded otherwise. 2 (and status 4)
//    for an unknown handle.
//  7 NicIfCreateTeam: stages a new adapter team with a fresh handle, the
//    team profile's properties overwritten by the records, and the members
//    given. 5 without members or with a member already in a team; 2 for a
//    member that is no adapter; 3 for a record the team cannot take. Fresh
//    handles are reserved in the lock file beside the state file, so that no
//    two processes sharing it ever hand out the same handle.
//  10 NicIfAddTeamMember / 11 NicIfRemoveTeamMember: staged on the team. 5
//    when the adapter is in another team, is not a member (remove) or is the
//    team's last member (remove). Adding a current member changes nothing.
//  12 NicIfDissolveTeam: staged on the team; its members become free. With
//    a non-zero second argument the team's VLANs are deleted with it;
//    otherwise a team with VLANs answers 5.
//  20 NicIfCreateVlan: stages a VLAN with a fresh handle on an adapter
//    (parent-is-team 0) or a team (1); 2 when the parent does not exist, 5
//    when the parent kind is wrong or the VLAN id is taken on that parent.
//    The VLAN parameter is stored with the VLAN.
//  21 NicIfDeleteVlan: staged on the VLAN.
//  26 NicIfSetObjectFlags: 0, nothing else.
//  16 NicIfApplyPass1(h): checks that the staged changes within h's commit
//    scope can be carried out on the committed state: 0, or 5.
//  15 NicIfApplyPass2(h): carries them out and saves the file: 0, 5, or 6
//    when saving fails (then nothing is committed and the changes stay
//    staged). The commit scope of an adapter is the adapter, the team it is
//    in or staged to join or leave, and the VLANs on both; of a team, the
//    team and its VLANs; of a VLAN, the VLAN. A team in a scope brings the
//    teams that the adapters it gains or loses are staged to leave or join
//    (so a move between teams commits as one change), without those
//    adapters' own property writes. Pass 1 and 2 answer 0 when nothing is
//    staged in the scope, and 2 for a handle the server never handed out.
//  4 NicIfClose: drops every uncommitted change and the loaded state; the
//    next call reads the state file again. Always 0.
//  13 NicIfGetNicTeam(adapter, team*): the committed team's handle, or 0.
//  17 NicIfTcpIpInstalled(installed*): 1.
//  25 NicIfApplyConfigChanges(h, flags): passes 1 and 2 over h's commit
//    scope (h = 0: everything staged); with bit 0 of flags set only pass 1.
//    Bit 1 opens a transaction (h is not looked at): from then on passes 1
//    and 2 and this call with h != 0 commit nothing (they answer 0 for a
//    known handle), and the next NicIfApplyConfigChanges(0, 0) commits every
//    staged change as one save of the state file, so that all of them or
//    none are committed; NicIfApplyConfigChanges(0, 1) checks them all.
//    NicIfClose ends the transaction and drops what it holds. Any other bit
//    answers 4 (LXNICIF_TRANSACTIONS=0 makes bit 1 answer 4 too, as for a
//    library without transactions).
//
// LXNICIF_FAULT=fail:N or abort:N makes the N-th commit step of the process
// fail (answer 6) or end the process as a kill would; faults.h lists the
// steps. Tests use it to show that a commit leaves the old or the new state.
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>
#include <string>
#include <vector>

#include "lxnicif.h"
#include "faults.h"
#include "server.h"
#include "text.h"

using namespace lxnicsim;

namespace {

// Runs body under the server lock with the state loaded; no exception
// leaves a function of the library.
template <typename Body>
uint32_t Serve(Body body) {
    try {
        std::lock_guard<std::mutex> hold(ServerLock());
        if (uint32_t code = TheServer().ensureLoaded()) return code;
        return body(TheServer());
    } catch (const std::bad_alloc &) {
        return kInternalError;
    } catch (const std::exception &) {
        return kInternalError;
    } catch (...) {
        return kInternalError;
    }
}

// The text of a value handed in: sizeInBytes counts the terminator; the
// size 0xFFFFFFFF means a NUL-terminated text of unstated size.
bool ReadValue(const void *value, uint32_t sizeInBytes, std::string &out) {
    if (!value) return false;
    const auto *units = static_cast<const char16_t *>(value);
    std::u16string text;
    if (sizeInBytes == 0xFFFFFFFFu) {
        for (std::size_t i = 0; units[i] != 0; ++i) text += units[i];
    } else {
        if (sizeInBytes < 2 || sizeInBytes % 2 != 0) return false;
        std::size_t count = sizeInBytes / 2;
        for (std::size_t i = 0; i < count && units[i] != 0; ++i) text += units[i];
    }
    out = ToUtf8(text);
    return true;
}

bool ReadRecords(const PropertyRecord *records, uint32_t count, Properties &out) {
    if (count > 0 && !records) return false;
    for (uint32_t i = 0; i < count; ++i) {
        std::string value;
        if (!ReadValue(records[i].value, records[i].size, value)) return false;
        out[records[i].propertyNumber] = value;
    }
    return true;
}

template <typename Find>
uint32_t GetProperty(uint64_t handle, uint32_t property, lx_wchar **value, uint8_t *mustFree,
                     Find find) {
    if (!value || !mustFree) return kBadArgument;
    *value = nullptr;
    *mustFree = 0;
    return Serve([&](Server &server) -> uint32_t {
        const Properties *properties = find(server.committed(), handle);
        if (!properties) return kUnknownHandle;
        auto it = properties->find(property);
        if (it == properties->end()) return kNoValue;
        lx_wchar *copy = MallocText(it->second);
        if (!copy) return kInternalError;
        *value = copy;
        *mustFree = 1;
        return kOk;
    });
}

uint32_t SetProperty(Change::Kind kind, uint64_t handle, uint32_t property, const void *value,
                     uint32_t sizeInBytes) {
    Change change(kind);
    change.owner = handle;
    change.property = property;
    if (!ReadValue(value, sizeInBytes, change.value)) return kBadArgument;
    return Serve([&](Server &server) { return server.stage(std::move(change)); });
}

}  // namespace

extern "C" {

uint32_t NicIfEnumerate(void **nics, uint32_t *nicCount, void **teams, uint32_t *teamCount,
                        void **vlans, uint32_t *vlanCount, uint64_t /*listOption*/) {
    if (!nics || !nicCount || !teams || !teamCount || !vlans || !vlanCount) return kBadArgument;
    *nics = *teams = *vlans = nullptr;
    *nicCount = *teamCount = *vlanCount = 0;
    return Serve([&](Server &server) -> uint32_t {
        const State &s = server.committed();
        NicIfAdapterElement *a = nullptr;
        NicIfTeamElement *t = nullptr;
        NicIfVlanElement *v = nullptr;
        bool ok = true;
        auto release = [&] {
            for (std::size_t i = 0; a && i < s.adapters().size(); ++i) {
                std::free(a[i].definitionType);
                std::free(a[i].name);
            }
            for (std::size_t i = 0; t && i < s.teams().size(); ++i) std::free(t[i].teamText);
            std::free(a);
            std::free(t);
            std::free(v);
        };
        if (!s.adapters().empty()) {
            a = static_cast<NicIfAdapterElement *>(std::calloc(s.adapters().size(), sizeof *a));
            ok = ok && a;
            for (std::size_t i = 0; ok && i < s.adapters().size(); ++i) {
                const Adapter &from = s.adapters()[i];
                const Team *team = s.teamOf(from.handle);
                a[i].handle = from.handle;
                a[i].definitionType = MallocText(from.definitionType);
                a[i].name = MallocText(from.name);
                a[i].status = from.status;
                a[i].info1 = from.info1;
                a[i].teamHandle = team ? team->handle : 0;
                a[i].info2 = from.info2;
                a[i].activeInTeam = team && from.status == kActive ? 1 : 0;
                CopyInline(from.label, a[i].label, sizeof a[i].label / sizeof a[i].label[0]);
                ok = a[i].definitionType && a[i].name;
            }
        }
        if (ok && !s.teams().empty()) {
            t = static_cast<NicIfTeamElement *>(std::calloc(s.teams().size(), sizeof *t));
            ok = t != nullptr;
            for (std::size_t i = 0; ok && i < s.teams().size(); ++i) {
                const Team &from = s.teams()[i];
                t[i].handle = from.handle;
                t[i].teamInfo1 = s.teamStatus(from);
                t[i].teamText = MallocText(s.teamText(from));
                t[i].teamInfo2 = static_cast<uint32_t>(from.members.size());
                t[i].kind = from.kind;
                ok = t[i].teamText != nullptr;
            }
        }
        if (ok && !s.vlans().empty()) {
            v = static_cast<NicIfVlanElement *>(std::calloc(s.vlans().size(), sizeof *v));
            ok = v != nullptr;
            std::size_t i = 0;
            for (auto it = s.vlans().begin(); ok && it != s.vlans().end(); ++it, ++i) {
                v[i].handle = it->second.handle;
                v[i].parentHandle = it->second.parent;
            }
        }
        if (!ok) {
            release();
            return kInternalError;
        }
        *nics = a;
        *nicCount = static_cast<uint32_t>(s.adapters().size());
        *teams = t;
        *teamCount = static_cast<uint32_t>(s.teams().size());
        *vlans = v;
        *vlanCount = static_cast<uint32_t>(s.vlans().size());
        return kOk;
    });
}

uint32_t NicIfGetAdapterProperty(uint64_t handle, uint32_t property, lx_wchar **value,
                                 uint8_t *mustFree) {
    return GetProperty(handle, property, value, mustFree, [](const State &s, Handle h) {
        const Adapter *a = s.adapter(h);
        return a ? &a->properties : nullptr;
    });
}

uint32_t NicIfGetTeamProperty(uint64_t handle, uint32_t property, lx_wchar **value,
                              uint8_t *mustFree) {
    return GetProperty(handle, property, value, mustFree, [](const State &s, Handle h) {
        const Team *t = s.team(h);
        return t ? &t->properties : nullptr;
    });
}

uint32_t NicIfGetVlanProperty(uint64_t handle, uint32_t property, lx_wchar **value,
                              uint8_t *mustFree) {
    return GetProperty(handle, property, value, mustFree, [](const State &s, Handle h) {
        const Vlan *v = s.vlan(h);
        return v ? &v->properties : nullptr;
    });
}

uint32_t NicIfSetAdapterProperty(uint64_t handle, uint32_t property, const void *value,
                                 uint32_t sizeInBytes) {
    return SetProperty(Change::SetAdapterProperty, handle, property, value, sizeInBytes);
}

uint32_t NicIfSetTeamProperty(uint64_t handle, uint32_t property, const void *value,
                              uint32_t sizeInBytes) {
    return SetProperty(Change::SetTeamProperty, handle, property, value, sizeInBytes);
}

uint32_t NicIfSetVlanProperty(uint64_t handle, uint32_t property, const void *value,
                              uint32_t sizeInBytes) {
    return SetProperty(Change::SetVlanProperty, handle, property, value, sizeInBytes);
}

uint32_t NicIfGetAdapterStatus(uint64_t id, uint32_t *status) {
    if (!status) return kBadArgument;
    *status = kStatusUnknown;
    return Serve([&](Server &server) -> uint32_t {
        const Adapter *a = server.committed().adapter(id);
        if (!a) return kUnknownHandle;
        *status = a->status;
        return kOk;
    });
}

uint32_t NicIfGetTeamStatus(uint64_t id, uint32_t *status) {
    if (!status) return kBadArgument;
    *status = kStatusUnknown;
    return Serve([&](Server &server) -> uint32_t {
        const Team *t = server.committed().team(id);
        if (!t) return kUnknownHandle;
        *status = server.committed().teamStatus(*t);
        return kOk;
    });
}

uint32_t NicIfCreateTeam(const PropertyRecord *records, uint32_t recordCount,
                         const uint64_t *members, uint32_t memberCount, uint64_t *team) {
    if (!team || (memberCount > 0 && !members)) return kBadArgument;
    Change change(Change::CreateTeam);
    if (!ReadRecords(records, recordCount, change.initial)) return kBadArgument;
    change.members.assign(members, members + memberCount);
    return Serve([&](Server &server) -> uint32_t {
        Handle created = 0;
        if (uint32_t code = server.stage(std::move(change), &created)) return code;
        *team = created;
        return kOk;
    });
}

uint32_t NicIfAddTeamMember(uint64_t nic, uint64_t team) {
    Change change(Change::AddTeamMember);
    change.owner = team;
    change.other = nic;
    return Serve([&](Server &server) { return server.stage(std::move(change)); });
}

uint32_t NicIfRemoveTeamMember(uint64_t nic, uint32_t /*zero*/, uint64_t team) {
    Change change(Change::RemoveTeamMember);
    change.owner = team;
    change.other = nic;
    return Serve([&](Server &server) { return server.stage(std::move(change)); });
}

uint32_t NicIfDissolveTeam(uint64_t team, uint8_t withVlans) {
    Change change(Change::DissolveTeam);
    change.owner = team;
    change.flag = withVlans != 0;
    return Serve([&](Server &server) { return server.stage(std::move(change)); });
}

uint32_t NicIfCreateVlan(const PropertyRecord *records, uint32_t recordCount, uint64_t parent,
                         uint32_t vlanParameter, uint8_t parentIsTeam, uint64_t *vlan) {
    if (!vlan) return kBadArgument;
    Change change(Change::CreateVlan);
    if (!ReadRecords(records, recordCount, change.initial)) return kBadArgument;
    change.other = parent;
    change.parameter = vlanParameter;
    change.flag = parentIsTeam != 0;
    return Serve([&](Server &server) -> uint32_t {
        Handle created = 0;
        if (uint32_t code = server.stage(std::move(change), &created)) return code;
        *vlan = created;
        return kOk;
    });
}

uint32_t NicIfDeleteVlan(uint64_t vlan) {
    Change change(Change::DeleteVlan);
    change.owner = vlan;
    return Serve([&](Server &server) { return server.stage(std::move(change)); });
}

uint32_t NicIfSetObjectFlags(uint64_t, uint32_t, uint32_t) { return kOk; }

uint32_t NicIfApplyPass1(uint64_t handle) {
    if (Faults::step("NicIfApplyPass1")) return kStateFileError;
    if (handle == 0) return kUnknownHandle;
    return Serve([&](Server &server) { return server.commitScope(handle, true); });
}

uint32_t NicIfApplyPass2(uint64_t handle) {
    if (Faults::step("NicIfApplyPass2")) return kStateFileError;
    if (handle == 0) return kUnknownHandle;
    return Serve([&](Server &server) { return server.commitScope(handle, false); });
}

uint32_t NicIfClose(uint8_t) {
    try {
        std::lock_guard<std::mutex> hold(ServerLock());
        TheServer().close();
    } catch (...) {
    }
    return kOk;
}

uint32_t NicIfGetNicTeam(uint64_t adapter, uint64_t *team) {
    if (!team) return kBadArgument;
    *team = 0;
    return Serve([&](Server &server) -> uint32_t {
        if (!server.committed().adapter(adapter)) return kUnknownHandle;
        const Team *t = server.committed().teamOf(adapter);
        *team = t ? t->handle : 0;
        return kOk;
    });
}

uint32_t NicIfTcpIpInstalled(uint32_t *installed) {
    if (!installed) return kBadArgument;
    *installed = 1;
    return kOk;
}

uint32_t NicIfApplyConfigChanges(uint64_t handle, uint32_t flags) {
    if (Faults::step("NicIfApplyConfigChanges")) return kStateFileError;
    return Serve([&](Server &server) { return server.applyConfigChanges(handle, flags); });
}

}  // extern "C"
