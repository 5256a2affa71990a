// The NIC interface library over the Linux kernel.
//
// Adapters are the Ethernet interfaces of hardware (and veth and dummy
// devices); teams are bonding devices; VLANs are 802.1Q devices on an
// adapter or a bond. An object's handle is its interface index, so it stays
// the same across calls and processes while the interface exists. An
// object created by a change gets, at once, the interface index it will be
// created with (one not in use), so the handle a front end keeps is the one
// every listing shows after the commit.
//
// Codes: 0 done; 1 no value (this object or its driver has no such
// setting); 2 no such interface, or not of the kind the call expects; 3 the
// property cannot take the value (not a value of the property, or the kernel
// or the driver refused it); 4 a NULL pointer or a malformed value or size;
// 5 the change breaks a rule (a name or VLAN id in use, an adapter in
// another team); 6 not permitted (changing interfaces needs CAP_NET_ADMIN);
// 7 done, the object goes down briefly at the commit (a rename, a bonding
// option the kernel changes only while the bond is down); 8 the kernel
// failed in an unexpected way, or out of memory. Every refusal is explained
// on standard error, with the kernel's own reason when it gave one.
//
// Reads, NicIfEnumerate, the status calls and NicIfGetNicTeam show what the
// kernel holds. Writes, creations, member changes and deletions are checked
// against the kernel's state with every staged change carried out, and
// staged. A commit (NicIfApplyPass2, or NicIfApplyConfigChanges without bit
// 0 of its flags) carries out every staged change as one transaction, in the
// order the kernel's rules need; when the kernel refuses a step, what the
// commit had changed is put back and the staged changes are dropped.
// NicIfApplyPass1 and NicIfApplyConfigChanges with bit 0 only check.
// NicIfApplyConfigChanges with bit 1 opens a transaction: from then on the
// passes, and NicIfApplyConfigChanges with a handle, commit nothing (they
// answer 0 for a known handle), until NicIfApplyConfigChanges(0, 0) commits
// everything staged at once (or NicIfApplyConfigChanges(0, 1) checks it);
// any other bit answers 4. NicIfClose drops what is staged and ends a
// transaction. NicIfSetObjectFlags does nothing.
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>
#include <string>
#include <vector>

#include "lxnicif.h"
#include "server.h"
#include "text.h"

using namespace lxniclinux;

namespace {

template <typename Body>
uint32_t Serve(Body body) {
    try {
        std::lock_guard<std::mutex> hold(ServerLock());
        return body(TheServer());
    } catch (const std::bad_alloc &) {
        return kInternalError;
    } catch (const std::exception &e) {
        Report(std::string("internal failure: ") + e.what());
        return kInternalError;
    } catch (...) {
        return kInternalError;
    }
}

bool ReadValue(const void *value, uint32_t sizeInBytes, std::string &out) {
    if (!value) return false;
    const auto *units = static_cast<const char16_t *>(value);
    std::size_t count = 0;
    if (sizeInBytes == 0xFFFFFFFFu) {
        while (units[count] != 0) ++count;
    } else {
        if (sizeInBytes < 2 || sizeInBytes % 2 != 0) return false;
        while (count < sizeInBytes / 2 && units[count] != 0) ++count;
    }
    out = ToUtf8(units, count);
    return true;
}

bool ReadRecords(const PropertyRecord *records, uint32_t count, std::vector<std::pair<uint32_t, std::string>> &out) {
    if (count > 0 && !records) return false;
    for (uint32_t i = 0; i < count; ++i) {
        std::string value;
        if (!ReadValue(records[i].value, records[i].size, value)) return false;
        out.emplace_back(records[i].propertyNumber, value);
    }
    return true;
}

uint32_t Get(uint64_t handle, unsigned object, uint32_t property, lx_wchar **value, uint8_t *mustFree) {
    if (!value || !mustFree) return kBadArgument;
    *value = nullptr;
    *mustFree = 0;
    return Serve([&](Server &server) -> uint32_t {
        std::string raw;
        if (uint32_t code = server.read(handle, object, property, raw)) return code;
        lx_wchar *copy = MallocText(raw);
        if (!copy) return kInternalError;
        *value = copy;
        *mustFree = 1;
        return kOk;
    });
}

uint32_t Set(uint64_t handle, unsigned object, uint32_t property, const void *value, uint32_t size) {
    std::string raw;
    if (!ReadValue(value, size, raw)) return kBadArgument;
    return Serve([&](Server &server) { return server.write(handle, object, property, raw); });
}

}  // namespace

extern "C" {

uint32_t NicIfEnumerate(void **nics, uint32_t *nicCount, void **teams, uint32_t *teamCount, void **vlans,
                        uint32_t *vlanCount, uint64_t /*listOption*/) {
    if (!nics || !nicCount || !teams || !teamCount || !vlans || !vlanCount) return kBadArgument;
    *nics = *teams = *vlans = nullptr;
    *nicCount = *teamCount = *vlanCount = 0;
    return Serve([&](Server &s) { return s.enumerate(nics, nicCount, teams, teamCount, vlans, vlanCount); });
}

uint32_t NicIfGetAdapterProperty(uint64_t h, uint32_t p, lx_wchar **v, uint8_t *f) { return Get(h, kAdapter, p, v, f); }
uint32_t NicIfGetTeamProperty(uint64_t h, uint32_t p, lx_wchar **v, uint8_t *f) { return Get(h, kTeam, p, v, f); }
uint32_t NicIfGetVlanProperty(uint64_t h, uint32_t p, lx_wchar **v, uint8_t *f) { return Get(h, kVlan, p, v, f); }

uint32_t NicIfSetAdapterProperty(uint64_t h, uint32_t p, const void *v, uint32_t n) { return Set(h, kAdapter, p, v, n); }
uint32_t NicIfSetTeamProperty(uint64_t h, uint32_t p, const void *v, uint32_t n) { return Set(h, kTeam, p, v, n); }
uint32_t NicIfSetVlanProperty(uint64_t h, uint32_t p, const void *v, uint32_t n) { return Set(h, kVlan, p, v, n); }

uint32_t NicIfGetAdapterStatus(uint64_t id, uint32_t *status) {
    if (!status) return kBadArgument;
    *status = 4;
    return Serve([&](Server &s) { return s.adapterStatus(id, *status); });
}

uint32_t NicIfGetTeamStatus(uint64_t id, uint32_t *status) {
    if (!status) return kBadArgument;
    *status = 4;
    return Serve([&](Server &s) { return s.teamStatus(id, *status); });
}

uint32_t NicIfCreateTeam(const PropertyRecord *records, uint32_t recordCount, const uint64_t *members,
                         uint32_t memberCount, uint64_t *team) {
    if (!team || (memberCount > 0 && !members)) return kBadArgument;
    std::vector<std::pair<uint32_t, std::string>> settings;
    if (!ReadRecords(records, recordCount, settings)) return kBadArgument;
    std::vector<Handle> list(members, members + memberCount);
    return Serve([&](Server &s) { return s.createTeam(settings, list, *team); });
}

uint32_t NicIfAddTeamMember(uint64_t nic, uint64_t team) {
    return Serve([&](Server &s) { return s.addMember(nic, team); });
}

uint32_t NicIfRemoveTeamMember(uint64_t nic, uint32_t /*zero*/, uint64_t team) {
    return Serve([&](Server &s) { return s.removeMember(nic, team); });
}

// A bond's VLANs always go with it: the kernel deletes them with the bond.
uint32_t NicIfDissolveTeam(uint64_t team, uint8_t /*withVlans*/) {
    return Serve([&](Server &s) { return s.dissolve(team); });
}

uint32_t NicIfCreateVlan(const PropertyRecord *records, uint32_t recordCount, uint64_t parent,
                         uint32_t /*vlanParameter*/, uint8_t parentIsTeam, uint64_t *vlan) {
    if (!vlan) return kBadArgument;
    std::vector<std::pair<uint32_t, std::string>> settings;
    if (!ReadRecords(records, recordCount, settings)) return kBadArgument;
    return Serve([&](Server &s) { return s.createVlan(settings, parent, parentIsTeam != 0, *vlan); });
}

uint32_t NicIfDeleteVlan(uint64_t vlan) {
    return Serve([&](Server &s) { return s.deleteVlan(vlan); });
}

uint32_t NicIfSetObjectFlags(uint64_t, uint32_t, uint32_t) { return kOk; }

uint32_t NicIfApplyPass1(uint64_t handle) {
    if (handle == 0) return kUnknownHandle;
    return Serve([&](Server &s) { return s.commitPass(handle, true); });
}

uint32_t NicIfApplyPass2(uint64_t handle) {
    if (handle == 0) return kUnknownHandle;
    return Serve([&](Server &s) { return s.commitPass(handle, false); });
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
    return Serve([&](Server &s) { return s.teamOf(adapter, *team); });
}

uint32_t NicIfTcpIpInstalled(uint32_t *installed) {
    if (!installed) return kBadArgument;
    *installed = 1;
    return kOk;
}

uint32_t NicIfApplyConfigChanges(uint64_t handle, uint32_t flags) {
    return Serve([&](Server &s) { return s.applyConfigChanges(handle, flags); });
}

uint32_t NicIfPersist(const lx_wchar *folder) {
    if (!folder) return kBadArgument;
    std::size_t n = 0;
    while (folder[n] != 0) ++n;
    std::string path = ToUtf8(folder, n);
    if (path.empty()) return kBadArgument;
    return Serve([&](Server &s) { return s.persist(path); });
}

}  // extern "C"
