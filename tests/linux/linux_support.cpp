#include "linux_support.h"

#include <gtest/gtest.h>

#include <linux/capability.h>
#include <netlink/route/link.h>
#include <netlink/route/link/veth.h>
#include <sched.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

namespace lxnictest {

std::u16string Wide(const std::string &text) { return std::u16string(text.begin(), text.end()); }

std::string Narrow(const lx_wchar *text) {
    std::string out;
    while (text && *text) out += static_cast<char>(*text++);
    return out;
}

namespace {

using Setter = uint32_t (*)(uint64_t, uint32_t, const void *, uint32_t);
using Getter = uint32_t (*)(uint64_t, uint32_t, lx_wchar **, uint8_t *);

uint32_t Set(Setter set, uint64_t handle, uint32_t property, const std::string &value) {
    std::u16string wide = Wide(value);
    return set(handle, property, wide.c_str(), static_cast<uint32_t>((wide.size() + 1) * 2));
}

std::string Get(Getter get, uint64_t handle, uint32_t property) {
    lx_wchar *value = nullptr;
    uint8_t mustFree = 0;
    uint32_t code = get(handle, property, &value, &mustFree);
    std::string text = code == 0 ? Narrow(value) : "<code " + std::to_string(code) + ">";
    if (mustFree) std::free(value);
    return text;
}

}  // namespace

uint32_t SetAdapter(uint64_t h, uint32_t p, const std::string &v) { return Set(NicIfSetAdapterProperty, h, p, v); }
uint32_t SetTeam(uint64_t h, uint32_t p, const std::string &v) { return Set(NicIfSetTeamProperty, h, p, v); }
uint32_t SetVlan(uint64_t h, uint32_t p, const std::string &v) { return Set(NicIfSetVlanProperty, h, p, v); }
std::string GetAdapter(uint64_t h, uint32_t p) { return Get(NicIfGetAdapterProperty, h, p); }
std::string GetTeam(uint64_t h, uint32_t p) { return Get(NicIfGetTeamProperty, h, p); }
std::string GetVlan(uint64_t h, uint32_t p) { return Get(NicIfGetVlanProperty, h, p); }

uint64_t Inventory::adapter(const std::string &name) const {
    for (const Listed &a : adapters) {
        if (a.name == name) return a.handle;
    }
    return 0;
}

uint64_t Inventory::team(const std::string &name) const {
    for (const Listed &t : teams) {
        if (t.name == name) return t.handle;
    }
    return 0;
}

Inventory Enumerate() {
    void *nics = nullptr, *teams = nullptr, *vlans = nullptr;
    uint32_t nicCount = 0, teamCount = 0, vlanCount = 0;
    Inventory inventory;
    uint32_t code = NicIfEnumerate(&nics, &nicCount, &teams, &teamCount, &vlans, &vlanCount, 0);
    EXPECT_EQ(code, 0u);
    auto *a = static_cast<NicIfAdapterElement *>(nics);
    for (uint32_t i = 0; a && i < nicCount; ++i) {
        inventory.adapters.push_back({a[i].handle, Narrow(a[i].name), Narrow(a[i].definitionType), a[i].status,
                                      a[i].teamHandle, a[i].activeInTeam != 0});
        std::free(a[i].name);
        std::free(a[i].definitionType);
    }
    auto *t = static_cast<NicIfTeamElement *>(teams);
    for (uint32_t i = 0; t && i < teamCount; ++i) {
        inventory.teams.push_back({t[i].handle, Narrow(t[i].teamText), "TEAM", t[i].teamInfo1, 0, false});
        std::free(t[i].teamText);
    }
    auto *v = static_cast<NicIfVlanElement *>(vlans);
    for (uint32_t i = 0; v && i < vlanCount; ++i) inventory.vlans.push_back({v[i].handle, v[i].parentHandle});
    std::free(nics);
    std::free(teams);
    std::free(vlans);
    return inventory;
}

bool InOwnNetworkNamespace(const std::function<void()> &body) {
    constexpr int kNoNamespace = 77;
    std::fflush(stdout);
    pid_t pid = fork();
    if (pid < 0) return false;
    if (pid == 0) {
        if (unshare(CLONE_NEWNET) != 0) _exit(kNoNamespace);
        body();
        std::fflush(stdout);
        _exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFEXITED(status) && WEXITSTATUS(status) == kNoNamespace) return false;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the test's child process failed (its report is above)";
    return true;
}

void AddVethPair(const std::string &a, const std::string &b) {
    nl_sock *sock = nl_socket_alloc();
    ASSERT_NE(sock, nullptr);
    ASSERT_EQ(nl_connect(sock, NETLINK_ROUTE), 0);
    ASSERT_EQ(rtnl_link_veth_add(sock, a.c_str(), b.c_str(), getpid()), 0);
    for (const std::string &name : {a, b}) {
        rtnl_link *link = nullptr;
        ASSERT_EQ(rtnl_link_get_kernel(sock, 0, name.c_str(), &link), 0);
        rtnl_link *change = rtnl_link_alloc();
        rtnl_link_set_flags(change, static_cast<unsigned>(rtnl_link_str2flags("up")));
        ASSERT_EQ(rtnl_link_change(sock, link, change, 0), 0);
        rtnl_link_put(change);
        rtnl_link_put(link);
    }
    nl_socket_free(sock);
}

void DeleteLinkByName(const std::string &name) {
    nl_sock *sock = nl_socket_alloc();
    ASSERT_EQ(nl_connect(sock, NETLINK_ROUTE), 0);
    rtnl_link *link = rtnl_link_alloc();
    rtnl_link_set_name(link, name.c_str());
    ASSERT_EQ(rtnl_link_delete(sock, link), 0);
    rtnl_link_put(link);
    nl_socket_free(sock);
}

void DropCapabilities() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2] = {};
    ASSERT_EQ(syscall(SYS_capset, &header, data), 0);
}

}  // namespace lxnictest
