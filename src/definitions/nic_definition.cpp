#include "definitions/nic_definition.h"

namespace lxniccfg {

const Panel *NicDefinition::panel(int slot) const {
    if (slot < 0 || slot >= kPanelSlotCount) return nullptr;
    return panels_[static_cast<std::size_t>(slot)].get();
}

void NicDefinition::setPanel(int slot, Panel panel) {
    if (slot < 0 || slot >= kPanelSlotCount) return;
    panel.items.shrinkToFit();
    panels_[static_cast<std::size_t>(slot)] = std::make_unique<Panel>(std::move(panel));
}

void NicDefinition::appendEnumeration(Enumeration enumeration) {
    if (!enumeration.id.isNone())
        enumerationsById_[enumeration.id.narrowText()].push_back(enumerations_.size());
    enumeration.items.shrinkToFit();
    enumerations_.push_back(std::move(enumeration));
}

void NicDefinition::finish() {
    properties.shrinkToFit();
    for (int i = 0; i < properties.count(); ++i) {
        const PropertyDef &property = properties[i];
        if (!property.id.isNone() && !property.linkid.isNone()) index.add(property.id, i);
    }
    for (const SourceProperty &source : sources) {
        if (!source.name.isNone()) sourceNames_.insert(source.name.narrowText());
        for (const LinkProperty &link : source.links)
            if (!link.name.isNone()) linkTargets_.insert(link.name.narrowText());
    }
}

const CompactText *NicDefinition::findEnumValue(const DualString &propertyId,
                                               const DualString &raw) const {
    if (propertyId.isNone()) return nullptr;
    return findEnumValueOf(propertyId.narrowText(), raw);
}

const CompactText *NicDefinition::findEnumValue(const CompactText &propertyId,
                                               const DualString &raw) const {
    if (propertyId.isNone()) return nullptr;
    return findEnumValueOf(propertyId.narrowText(), raw);
}

const CompactText *NicDefinition::findEnumValueOf(std::string_view propertyId,
                                                 const DualString &raw) const {
    auto it = enumerationsById_.find(propertyId);
    if (it == enumerationsById_.end()) return nullptr;
    for (std::size_t e : it->second)
        for (const EnumItem &item : enumerations_[e].items)
            if (item.enumid.equals(raw)) return &item.enumvalue;
    return nullptr;
}

const CompactText *NicDefinition::findEnumId(const DualString &propertyId,
                                            const DualString &shown) const {
    if (propertyId.isNone()) return nullptr;
    return findEnumIdOf(propertyId.narrowText(), shown);
}

const CompactText *NicDefinition::findEnumId(const CompactText &propertyId,
                                            const DualString &shown) const {
    if (propertyId.isNone()) return nullptr;
    return findEnumIdOf(propertyId.narrowText(), shown);
}

const CompactText *NicDefinition::findEnumIdOf(std::string_view propertyId,
                                              const DualString &shown) const {
    auto it = enumerationsById_.find(propertyId);
    if (it == enumerationsById_.end()) return nullptr;
    for (std::size_t e : it->second)
        for (const EnumItem &item : enumerations_[e].items)
            if (item.enumvalue.equals(shown)) return &item.enumid;
    return nullptr;
}

bool NicDefinition::isLinkTarget(const DualString &id) const {
    return !id.isNone() && linkTargets_.count(id.narrowText()) != 0;
}

bool NicDefinition::isSource(const DualString &id) const {
    return !id.isNone() && sourceNames_.count(id.narrowText()) != 0;
}

namespace {

const PropertyDef *FindPropertyNamed(const NicDefinition &definition, std::string_view id) {
    for (const NicDefinition *d = &definition; d; d = d->base) {
        int position = d->index.find(id);
        if (position >= 0 && position < d->properties.count()) return &d->properties[position];
    }
    return nullptr;
}

}  // namespace

const PropertyDef *FindProperty(const NicDefinition &definition, const DualString &id) {
    if (id.isNone()) return nullptr;
    return FindPropertyNamed(definition, id.narrowText());
}

const PropertyDef *FindProperty(const NicDefinition &definition, const CompactText &id) {
    if (id.isNone()) return nullptr;
    return FindPropertyNamed(definition, id.narrowText());
}

bool IsLinkTarget(const PtrList<SourceProperty> &sources, const DualString &id) {
    for (const SourceProperty &source : sources)
        for (const LinkProperty &link : source.links)
            if (link.name.equals(id)) return true;
    return false;
}

bool IsSource(const PtrList<SourceProperty> &sources, const DualString &id) {
    for (const SourceProperty &source : sources)
        if (source.name.equals(id)) return true;
    return false;
}

}  // namespace lxniccfg
