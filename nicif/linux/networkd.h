// systemd-networkd files for what the kernel holds, so that the teams, VLANs
// and adapter settings come back at boot: a .link file per adapter (its
// settings), a .netdev file per bond and VLAN, and .network files that tie
// members to their bond and VLANs to their parent.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "kernel.h"

namespace lxniclinux {

// One adapter, bond or VLAN with the raw values of its settings by
// property number.
struct PersistedLink {
    Link link;
    unsigned kind = 0;  // ObjectBits
    std::map<uint32_t, std::string> values;
};

// File name to content. Every name starts with kNetworkdPrefix.
inline constexpr const char *kNetworkdPrefix = "60-lxnic-";
std::map<std::string, std::string> NetworkdFiles(const std::vector<PersistedLink> &links);

// Writes the files into folder (made when missing), each replaced whole,
// and removes files of an earlier run that name objects gone since. Empty
// on success, otherwise what failed.
std::string WriteNetworkdFiles(const std::vector<PersistedLink> &links, const std::string &folder);

}  // namespace lxniclinux
