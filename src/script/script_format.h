// The fixed vocabulary of the teamingconfig script file: which property ids
// the short form keeps, the NIC status texts, how comment texts are written
// and compound values split.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace lxniccfg {

// Ids the short form keeps, in their fixed order.
std::span<const std::u16string_view> TeamPropertyNames();
std::span<const std::u16string_view> EchoNodePropertyNames();
std::span<const std::u16string_view> NicPropertyNames();
std::span<const std::u16string_view> VlanPropertyNames();

// Exact, case-sensitive membership of an id in a fixed list.
bool IsListed(std::span<const std::u16string_view> names, std::u16string_view id);

// The status line text of a NIC: the low 16 bits of its status code, with
// Active and Degraded taken as their "Not Active" forms for a team member
// that is not active in its team.
const char *StatusText(uint32_t status, bool inactiveTeamMember);

// A text as written inside a comment: "--" may not appear there, so a blank
// is put between every two adjacent hyphens.
std::u16string CommentText(std::u16string_view text);

// The key/value pieces of a compound value: pieces separated by ';', each
// split at its first '='; empty pieces and pieces without '=' are dropped.
std::vector<std::pair<std::u16string_view, std::u16string_view>> SplitCompound(
    std::u16string_view value);

}  // namespace lxniccfg
