// Helpers of the tests of the Linux NIC interface library: UTF-16 values,
// property reads, and a network namespace of the test's own.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "lxnicif.h"

namespace lxnictest {

std::u16string Wide(const std::string &text);
std::string Narrow(const lx_wchar *text);

// NicIfSet*Property with a UTF-16 copy of value.
uint32_t SetAdapter(uint64_t handle, uint32_t property, const std::string &value);
uint32_t SetTeam(uint64_t handle, uint32_t property, const std::string &value);
uint32_t SetVlan(uint64_t handle, uint32_t property, const std::string &value);
// The value, or "<code N>" when the read answers N.
std::string GetAdapter(uint64_t handle, uint32_t property);
std::string GetTeam(uint64_t handle, uint32_t property);
std::string GetVlan(uint64_t handle, uint32_t property);

struct Listed {
    uint64_t handle = 0;
    std::string name, type;
    uint32_t status = 0;
    uint64_t team = 0;
    bool active = false;
};
struct Inventory {
    std::vector<Listed> adapters, teams;
    std::vector<std::pair<uint64_t, uint64_t>> vlans;  // handle, parent
    uint64_t adapter(const std::string &name) const;
    uint64_t team(const std::string &name) const;
};
// NicIfEnumerate, with every array and text released.
Inventory Enumerate();

// Runs body in a child process inside a network namespace of its own, which
// goes away with it, so nothing the test does reaches this machine's
// network. Returns false when the namespace cannot be made (not root): the
// caller skips. Failures inside the child fail the calling test.
bool InOwnNetworkNamespace(const std::function<void()> &body);

// A veth pair in the current namespace (through libnl, not through the
// library under test); both ends up.
void AddVethPair(const std::string &a, const std::string &b);
void DeleteLinkByName(const std::string &name);
// Drops every capability of the process (CAP_NET_ADMIN included).
void DropCapabilities();

}  // namespace lxnictest
