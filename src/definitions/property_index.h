// PropertyIndex: property id to position in a definition's property list.
// Hashed, but answering exactly as a front-to-back scan would: the first
// property indexed under an id wins.
#pragma once

#include <string>
#include <unordered_map>

#include "util/dual_string.h"

namespace lxniccfg {

class PropertyIndex {
public:
    void add(const DualString &id, int position) {
        if (!id.isNone()) positions_.emplace(id.narrowText(), position);
    }
    // The position of the first entry for id; -1 when there is none.
    int find(const DualString &id) const {
        if (id.isNone()) return -1;
        auto it = positions_.find(id.narrowText());
        return it == positions_.end() ? -1 : it->second;
    }
    int find(const std::string &id) const {
        auto it = positions_.find(id);
        return it == positions_.end() ? -1 : it->second;
    }
    bool empty() const { return positions_.empty(); }

private:
    std::unordered_map<std::string, int> positions_;
};

inline int FindPropertyIndex(const PropertyIndex &index, const DualString &id) {
    return index.find(id);
}

}  // namespace lxniccfg
