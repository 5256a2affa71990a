#include "adapters/panel_entry.h"

#include "adapters/records.h"
#include "changes/single_writes.h"
#include "nicif/nicif.h"
#include "util/numbers.h"

namespace lxniccfg {

PanelEntry *FillPanelEntry(const PropertyDef &property) {
    PanelEntryHolder entry(NewRecord<PanelEntry>());
    entry->controlType = CopyText(property.controltype);
    entry->defaultValue = CopyText(property.defaultValue);
    entry->displayName = CopyText(property.displayname);
    entry->hint = CopyText(property.hint);
    entry->linkId = CopyText(property.linkid);
    entry->lowest = CopyText(property.lowest);
    entry->id = CopyText(property.id);
    entry->range = CopyText(property.range);
    entry->step = CopyText(property.step);
    entry->rangeType = CopyText(property.rangetype);
    entry->isTeamProperty = property.teamproperty.isNone() ? 0 : 1;
    entry->hide = property.hide ? 1 : 0;
    entry->compound = property.compound ? 1 : 0;
    entry->spLevel = property.splevel;
    entry->dependencyFlags = textToInt(property.dependency.narrow());
    entry->vbdRestart = property.vbdrestart ? 1 : 0;
    return entry.release();
}

uint32_t ReadPropertyValue(NicIfGetter getter, uint64_t handle, uint32_t propertyNumber,
                           DualString &value) {
    NicIfValue read;
    uint32_t code = getter(handle, propertyNumber, read.valueOut(), read.mustFreeOut());
    value = code == 0 ? DualString(read.get()) : DualString();
    return code;
}

std::optional<DualString> TranslateEnumValue(const NicDefinition &definition,
                                             const PropertyDef &property, const DualString &raw,
                                             const DefaultWriter &writeDefault) {
    if (const auto *shown = FindEnumValue(definition, property.id, raw)) return *shown;
    if (property.defaultValue.isNone()) return std::nullopt;
    if (writeDefault(property.defaultValue) != 0) return std::nullopt;
    return property.defaultValue;
}

std::optional<DualString> TranslateAdapterEnumValue(const NicDefinition &definition,
                                                    const PropertyDef &property, uint64_t adapter,
                                                    const DualString &raw) {
    return TranslateEnumValue(definition, property, raw, [&](const DualString &defaultText) {
        return WriteAdapterProperty(adapter, definition.type, property.id, defaultText, true);
    });
}

std::optional<DualString> TranslateTeamEnumValue(const NicDefinition &definition,
                                                 const PropertyDef &property, uint64_t team,
                                                 const DualString &raw) {
    return TranslateEnumValue(definition, property, raw, [&](const DualString &defaultText) {
        return WriteTeamProperty(team, property.id, defaultText);
    });
}

}  // namespace lxniccfg
