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
    enumeration.items.shrinkToFit();
    enumerations_.push_back(std::move(enumeration));
}

void NicDefinition::finish() {
    properties.shrinkToFit();
    enumerations_.shrink_to_fit();
    index.build(properties);

    // Enumerations by id, the later ones of an id chained behind the first.
    sameIdNext_.assign(enumerations_.size(), -1);
    std::vector<int32_t> lastOfId(enumerations_.size(), -1);  // per first enumeration of an id
    auto enumerationId = [this](uint32_t e) { return std::string_view(enumerations_[e].id.narrowText()); };
    enumerationsById_.reserve(enumerations_.size());
    for (std::size_t e = 0; e < enumerations_.size(); ++e) {
        if (enumerations_[e].id.isNone()) continue;
        const std::string_view id = enumerations_[e].id.narrowText();
        if (enumerationsById_.add(id, static_cast<uint32_t>(e), enumerationId)) {
            lastOfId[e] = static_cast<int32_t>(e);
            continue;
        }
        const auto first = static_cast<std::size_t>(enumerationsById_.find(id, enumerationId));
        sameIdNext_[static_cast<std::size_t>(lastOfId[first])] = static_cast<int32_t>(e);
        lastOfId[first] = static_cast<int32_t>(e);
    }

    auto sourceName = [this](uint32_t s) { return std::string_view(sources[static_cast<int>(s)].name.narrowText()); };
    auto linkName = [this](uint32_t k) {
        const LinkRef ref = links_[k];
        return std::string_view(sources[static_cast<int>(ref.source)].links[static_cast<int>(ref.link)].name.narrowText());
    };
    for (int s = 0; s < sources.count(); ++s) {
        const SourceProperty &source = sources[s];
        if (!source.name.isNone()) sourceNames_.add(source.name.narrowText(), static_cast<uint32_t>(s), sourceName);
        for (int l = 0; l < source.links.count(); ++l) {
            const LinkProperty &link = source.links[l];
            if (link.name.isNone()) continue;
            links_.push_back({static_cast<uint32_t>(s), static_cast<uint32_t>(l)});
            const auto k = static_cast<uint32_t>(links_.size() - 1);
            if (!linkTargets_.add(link.name.narrowText(), k, linkName)) links_.pop_back();
        }
    }
    links_.shrink_to_fit();
}

int64_t NicDefinition::firstEnumeration(std::string_view propertyId) const {
    return enumerationsById_.find(propertyId, [this](uint32_t e) {
        return std::string_view(enumerations_[e].id.narrowText());
    });
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
    for (int64_t e = firstEnumeration(propertyId); e >= 0; e = sameIdNext_[static_cast<std::size_t>(e)])
        for (const EnumItem &item : enumerations_[static_cast<std::size_t>(e)].items)
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
    for (int64_t e = firstEnumeration(propertyId); e >= 0; e = sameIdNext_[static_cast<std::size_t>(e)])
        for (const EnumItem &item : enumerations_[static_cast<std::size_t>(e)].items)
            if (item.enumvalue.equals(shown)) return &item.enumid;
    return nullptr;
}

bool NicDefinition::isLinkTarget(const DualString &id) const {
    return !id.isNone() && isLinkTargetNamed(id.narrowText());
}

bool NicDefinition::isLinkTarget(const CompactText &id) const {
    return !id.isNone() && isLinkTargetNamed(id.narrowText());
}

bool NicDefinition::isSource(const DualString &id) const {
    return !id.isNone() && isSourceNamed(id.narrowText());
}

bool NicDefinition::isSource(const CompactText &id) const {
    return !id.isNone() && isSourceNamed(id.narrowText());
}

bool NicDefinition::isLinkTargetNamed(std::string_view id) const {
    return linkTargets_.find(id, [this](uint32_t k) {
        const LinkRef ref = links_[k];
        return std::string_view(sources[static_cast<int>(ref.source)].links[static_cast<int>(ref.link)].name.narrowText());
    }) >= 0;
}

bool NicDefinition::isSourceNamed(std::string_view id) const {
    return sourceNames_.find(id, [this](uint32_t s) {
        return std::string_view(sources[static_cast<int>(s)].name.narrowText());
    }) >= 0;
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
