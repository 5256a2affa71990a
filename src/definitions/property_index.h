// PropertyIndex: property id to position in a definition's property list.
// Hashed, but answering exactly as a front-to-back scan would: the first
// property indexed under an id wins.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "util/compact_text.h"
#include "util/dual_string.h"

namespace lxniccfg {

class PropertyIndex {
public:
    void add(const DualString &id, int position) {
        if (!id.isNone()) positions_.emplace(id.narrowText(), position);
    }
    void add(const CompactText &id, int position) {
        if (!id.isNone()) positions_.emplace(std::string(id.narrowText()), position);
    }
    // The position of the first entry for id; -1 when there is none.
    int find(const DualString &id) const {
        if (id.isNone()) return -1;
        auto it = positions_.find(id.narrowText());
        return it == positions_.end() ? -1 : it->second;
    }
    int find(const CompactText &id) const {
        if (id.isNone()) return -1;
        return find(id.narrowText());
    }
    int find(std::string_view id) const {
        auto it = positions_.find(id);
        return it == positions_.end() ? -1 : it->second;
    }
    bool empty() const { return positions_.empty(); }

private:
    // Hashes std::string and std::string_view alike, so that a look-up
    // makes no string.
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>()(text); }
    };
    std::unordered_map<std::string, int, Hash, std::equal_to<>> positions_;
};

inline int FindPropertyIndex(const PropertyIndex &index, const DualString &id) {
    return index.find(id);
}
inline int FindPropertyIndex(const PropertyIndex &index, const CompactText &id) {
    return index.find(id);
}

}  // namespace lxniccfg
