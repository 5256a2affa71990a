// NicDefinition: everything the definitions file says about one kind of
// adapter (or about teams and VLANs, for the type "TEAM"), with its lookups.
// Definitions live in the catalog; readers get const access and copy what
// they keep.
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "definitions/enumeration.h"
#include "definitions/panel.h"
#include "definitions/panel_slots.h"
#include "definitions/property_def.h"
#include "definitions/property_index.h"
#include "definitions/source_property.h"
#include "util/chunked_list.h"
#include "util/compact_text.h"
#include "util/dual_string.h"
#include "util/ptr_list.h"
#include "util/text_index.h"

namespace lxniccfg {

class NicDefinition {
public:
    NicDefinition() = default;
    // The indexes refer to the definition's own lists: it stays where it was made.
    NicDefinition(const NicDefinition &) = delete;
    NicDefinition &operator=(const NicDefinition &) = delete;

    DualString type;
    ChunkedList<PropertyDef> properties;  // in file order; a property's position is its index
    PropertyIndex index;
    PtrList<SourceProperty> sources;
    const NicDefinition *base = nullptr;  // the definition named by "derived"

    // The panel in a slot, or nullptr when the slot is empty.
    const Panel *panel(PanelSlot slot) const { return panels_[static_cast<std::size_t>(slot)].get(); }
    const Panel *panel(int slot) const;
    void setPanel(int slot, Panel panel);

    const std::vector<Enumeration> &enumerations() const { return enumerations_; }
    void appendEnumeration(Enumeration enumeration);

    // Called once the definition is complete: builds the property index and
    // the name sets of the link rules.
    void finish();

    // Enumeration look-ups in this definition only: the first item, over the
    // enumerations whose id equals propertyId in file order, whose enumid
    // (FindEnumValue) or enumvalue (FindEnumId) equals the text.
    const CompactText *findEnumValue(const DualString &propertyId, const DualString &raw) const;
    const CompactText *findEnumId(const DualString &propertyId, const DualString &shown) const;
    const CompactText *findEnumValue(const CompactText &propertyId, const DualString &raw) const;
    const CompactText *findEnumId(const CompactText &propertyId, const DualString &shown) const;

    bool isLinkTarget(const DualString &id) const;
    bool isSource(const DualString &id) const;
    bool isLinkTarget(const CompactText &id) const;
    bool isSource(const CompactText &id) const;

private:
    const CompactText *findEnumValueOf(std::string_view propertyId, const DualString &raw) const;
    const CompactText *findEnumIdOf(std::string_view propertyId, const DualString &shown) const;

    // The first enumeration whose id is propertyId, or -1; the others of
    // that id follow through sameIdNext_.
    int64_t firstEnumeration(std::string_view propertyId) const;
    bool isLinkTargetNamed(std::string_view id) const;
    bool isSourceNamed(std::string_view id) const;

    // A link of the rules: source position, link position.
    struct LinkRef {
        uint32_t source;
        uint32_t link;
    };

    std::array<std::unique_ptr<Panel>, kPanelSlotCount> panels_;
    std::vector<Enumeration> enumerations_;
    TextIndex enumerationsById_;            // the first enumeration of each id
    std::vector<int32_t> sameIdNext_;       // per enumeration: the next of the same id, or -1
    TextIndex sourceNames_;                 // sources by name
    std::vector<LinkRef> links_;            // every link with a name
    TextIndex linkTargets_;                 // links_ by name
};

// The property named id in the definition or, failing that, along its base
// chain (nearest first); nullptr when id is none or nobody has it.
const PropertyDef *FindProperty(const NicDefinition &definition, const DualString &id);
const PropertyDef *FindProperty(const NicDefinition &definition, const CompactText &id);

inline const CompactText *FindEnumValue(const NicDefinition &definition,
                                       const DualString &propertyId, const DualString &raw) {
    return definition.findEnumValue(propertyId, raw);
}
inline const CompactText *FindEnumId(const NicDefinition &definition,
                                    const DualString &propertyId, const DualString &shown) {
    return definition.findEnumId(propertyId, shown);
}
inline const CompactText *FindEnumValue(const NicDefinition &definition,
                                       const CompactText &propertyId, const DualString &raw) {
    return definition.findEnumValue(propertyId, raw);
}
inline const CompactText *FindEnumId(const NicDefinition &definition,
                                    const CompactText &propertyId, const DualString &shown) {
    return definition.findEnumId(propertyId, shown);
}

// Whether some LinkProperty of the sources names id / some SourceProperty
// is named id (plain scans, for lists that belong to no definition).
bool IsLinkTarget(const PtrList<SourceProperty> &sources, const DualString &id);
bool IsSource(const PtrList<SourceProperty> &sources, const DualString &id);

}  // namespace lxniccfg
