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

// A fixed list of ids, in its order, that also tells which of them have a
// given length: a lookup compares an id only with names of its own length.
class PropertyNames {
public:
    // Made while compiling: a list of more than 32 names, or a name of 32
    // units or more, does not compile.
    consteval explicit PropertyNames(std::span<const std::u16string_view> names) : names_(names) {
        if (names.size() > 32) throw "at most 32 names";
        for (std::size_t i = 0; i < names.size(); ++i) {
            if (names[i].size() >= kLengths) throw "names shorter than 32 units";
            byLength_[names[i].size()] |= std::uint32_t{1} << i;
        }
    }
    auto begin() const { return names_.begin(); }
    auto end() const { return names_.end(); }
    // Exact, case-sensitive membership of an id.
    bool contains(std::u16string_view id) const;

private:
    static constexpr std::size_t kLengths = 32;
    std::span<const std::u16string_view> names_;
    std::uint32_t byLength_[kLengths] = {};  // bit i: names_[i] has this length
};

// Ids the short form keeps, in their fixed order.
const PropertyNames &TeamPropertyNames();
const PropertyNames &EchoNodePropertyNames();
const PropertyNames &NicPropertyNames();
const PropertyNames &VlanPropertyNames();

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
