// liblxnicif.so.1: the NIC interface library that programs link. It holds
// no implementation of its own: at its first call it reads LXNICIF_BACKEND
// ("sim", the simulated server, when unset or empty; "linux", the kernel's
// own interfaces) and loads liblxnicif-<backend>.so.1 from its own folder,
// then forwards every call to it. The choice holds for the life of the
// process. A backend that cannot be loaded is reported once on standard
// error and every call answers 8.
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <atomic>
#include <mutex>
#include <string>

#include "lxnicif.h"

namespace {

constexpr uint32_t kUnavailable = 8;  // the codes' "internal failure"
constexpr uint32_t kNotSupported = 1;

// The backends that may be named, and the file each is loaded from.
struct Backend {
    const char *name;
    const char *file;
};
constexpr Backend kBackends[] = {
    {"sim", "liblxnicif-sim.so.1"},
    {"linux", "liblxnicif-linux.so.1"},
};

// One pointer per function of the contract, resolved by name.
struct Table {
#define LXNICIF_FUNCTIONS(X)                                                                          \
    X(NicIfEnumerate) X(NicIfGetAdapterProperty) X(NicIfGetTeamProperty) X(NicIfGetVlanProperty)       \
    X(NicIfSetAdapterProperty) X(NicIfSetTeamProperty) X(NicIfSetVlanProperty) X(NicIfGetAdapterStatus) \
    X(NicIfGetTeamStatus) X(NicIfCreateTeam) X(NicIfAddTeamMember) X(NicIfRemoveTeamMember)             \
    X(NicIfDissolveTeam) X(NicIfCreateVlan) X(NicIfDeleteVlan) X(NicIfSetObjectFlags)                   \
    X(NicIfApplyPass1) X(NicIfApplyPass2) X(NicIfClose) X(NicIfGetNicTeam) X(NicIfTcpIpInstalled)       \
    X(NicIfApplyConfigChanges)
#define LXNICIF_POINTER(fn) decltype(&::fn) fn = nullptr;
    LXNICIF_FUNCTIONS(LXNICIF_POINTER)
    decltype(&::NicIfPersist) NicIfPersist = nullptr;  // optional
};

Table g_table;
std::atomic<bool> g_loaded{false};
std::once_flag g_once;

std::string OwnFolder() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void *>(&OwnFolder), &info) == 0 || !info.dli_fname) return {};
    std::string path = info.dli_fname;
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

void Load() {
    const char *chosen = std::getenv("LXNICIF_BACKEND");
    std::string name = chosen && *chosen ? chosen : "sim";
    const Backend *backend = nullptr;
    for (const Backend &b : kBackends) {
        if (name == b.name) backend = &b;
    }
    if (!backend) {
        std::fprintf(stderr, "lxnicif: unknown backend \"%s\" in LXNICIF_BACKEND (choose sim or linux)\n", name.c_str());
        return;
    }
    std::string path = OwnFolder() + "/" + backend->file;
    void *library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        std::fprintf(stderr, "lxnicif: cannot load the %s backend: %s\n", backend->name, dlerror());
        return;
    }
    Table table;
    bool complete = true;
#define LXNICIF_RESOLVE(fn)                                                          \
    table.fn = reinterpret_cast<decltype(table.fn)>(dlsym(library, #fn));             \
    if (!table.fn) {                                                                  \
        std::fprintf(stderr, "lxnicif: the %s backend lacks " #fn "\n", backend->name); \
        complete = false;                                                             \
    }
    LXNICIF_FUNCTIONS(LXNICIF_RESOLVE)
    table.NicIfPersist = reinterpret_cast<decltype(table.NicIfPersist)>(dlsym(library, "NicIfPersist"));
    if (!complete) return;
    g_table = table;
    g_loaded = true;
}

const Table *Chosen() {
    std::call_once(g_once, Load);
    return g_loaded ? &g_table : nullptr;
}

}  // namespace

extern "C" {

#define FORWARD(fn, params, args)                          \
    uint32_t fn params {                                   \
        const Table *backend = Chosen();                   \
        return backend ? backend->fn args : kUnavailable;  \
    }

FORWARD(NicIfEnumerate, (void **a, uint32_t *b, void **c, uint32_t *d, void **e, uint32_t *f, uint64_t g),
        (a, b, c, d, e, f, g))
FORWARD(NicIfGetAdapterProperty, (uint64_t h, uint32_t p, lx_wchar **v, uint8_t *m), (h, p, v, m))
FORWARD(NicIfGetTeamProperty, (uint64_t h, uint32_t p, lx_wchar **v, uint8_t *m), (h, p, v, m))
FORWARD(NicIfGetVlanProperty, (uint64_t h, uint32_t p, lx_wchar **v, uint8_t *m), (h, p, v, m))
FORWARD(NicIfSetAdapterProperty, (uint64_t h, uint32_t p, const void *v, uint32_t n), (h, p, v, n))
FORWARD(NicIfSetTeamProperty, (uint64_t h, uint32_t p, const void *v, uint32_t n), (h, p, v, n))
FORWARD(NicIfSetVlanProperty, (uint64_t h, uint32_t p, const void *v, uint32_t n), (h, p, v, n))
FORWARD(NicIfGetAdapterStatus, (uint64_t id, uint32_t *s), (id, s))
FORWARD(NicIfGetTeamStatus, (uint64_t id, uint32_t *s), (id, s))
FORWARD(NicIfCreateTeam, (const PropertyRecord *r, uint32_t n, const uint64_t *m, uint32_t k, uint64_t *t), (r, n, m, k, t))
FORWARD(NicIfAddTeamMember, (uint64_t nic, uint64_t team), (nic, team))
FORWARD(NicIfRemoveTeamMember, (uint64_t nic, uint32_t zero, uint64_t team), (nic, zero, team))
FORWARD(NicIfDissolveTeam, (uint64_t team, uint8_t one), (team, one))
FORWARD(NicIfCreateVlan, (const PropertyRecord *r, uint32_t n, uint64_t p, uint32_t x, uint8_t k, uint64_t *v),
        (r, n, p, x, k, v))
FORWARD(NicIfDeleteVlan, (uint64_t vlan), (vlan))
FORWARD(NicIfSetObjectFlags, (uint64_t h, uint32_t a, uint32_t b), (h, a, b))
FORWARD(NicIfApplyPass1, (uint64_t h), (h))
FORWARD(NicIfApplyPass2, (uint64_t h), (h))
FORWARD(NicIfGetNicTeam, (uint64_t a, uint64_t *t), (a, t))
FORWARD(NicIfTcpIpInstalled, (uint32_t *i), (i))
FORWARD(NicIfApplyConfigChanges, (uint64_t h, uint32_t f), (h, f))

// Closing before any other call has nothing to close: no backend is loaded for it.
uint32_t NicIfClose(uint8_t flag) {
    return g_loaded ? g_table.NicIfClose(flag) : 0;
}

uint32_t NicIfPersist(const lx_wchar *folder) {
    const Table *t = Chosen();
    if (!t) return kUnavailable;
    if (!t->NicIfPersist) {
        std::fprintf(stderr, "lxnicif: this backend cannot write systemd-networkd files (use the linux backend)\n");
        return kNotSupported;
    }
    return t->NicIfPersist(folder);
}

}  // extern "C"
