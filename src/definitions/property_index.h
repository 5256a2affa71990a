// PropertyIndex: property id to position in a definition's property list.
// Hashed, but answering exactly as a front-to-back scan would: the first
// property indexed under an id wins. The ids are those of the list itself,
// which must not change while the index is used.
#pragma once

#include <string_view>

#include "definitions/property_def.h"
#include "util/chunked_list.h"
#include "util/compact_text.h"
#include "util/dual_string.h"
#include "util/ptr_list.h"
#include "util/text_index.h"

namespace lxniccfg {

class PropertyIndex {
public:
    // Indexes every property of the list that has both an id and a linkid.
    void build(const ChunkedList<PropertyDef> &properties) {
        properties_ = &properties;
        index_ = TextIndex();
        index_.reserve(static_cast<std::size_t>(properties.count()));
        for (int i = 0; i < properties.count(); ++i) {
            const PropertyDef &property = properties[i];
            if (!property.id.isNone() && !property.linkid.isNone())
                index_.add(property.id.narrowText(), static_cast<uint32_t>(i), idAt());
        }
    }
    // The position of the first entry for id; -1 when there is none.
    int find(const DualString &id) const { return id.isNone() ? -1 : find(std::string_view(id.narrowText())); }
    int find(const CompactText &id) const { return id.isNone() ? -1 : find(id.narrowText()); }
    int find(std::string_view id) const {
        return properties_ ? static_cast<int>(index_.find(id, idAt())) : -1;
    }
    bool empty() const { return index_.empty(); }

private:
    struct IdAt {
        const ChunkedList<PropertyDef> *list;
        std::string_view operator()(uint32_t position) const {
            return (*list)[static_cast<int>(position)].id.narrowText();
        }
    };
    IdAt idAt() const { return {properties_}; }

    const ChunkedList<PropertyDef> *properties_ = nullptr;
    TextIndex index_;
};

inline int FindPropertyIndex(const PropertyIndex &index, const DualString &id) { return index.find(id); }
inline int FindPropertyIndex(const PropertyIndex &index, const CompactText &id) { return index.find(id); }

}  // namespace lxniccfg
