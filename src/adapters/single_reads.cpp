#include "adapters/single_reads.h"

#include <optional>

#include "adapters/panel_entry.h"
#include "adapters/records.h"
#include "changes/write_essentials.h"
#include "definitions/catalog.h"
#include "nicif/nicif.h"

namespace lxniccfg {

namespace {

constexpr uint32_t kFailed = 100;

using Translator = std::optional<DualString> (*)(const NicDefinition &, const PropertyDef &,
                                                 uint64_t, const DualString &);

// What both reads share once the property is found.
uint32_t ReadValue(const NicDefinition &definition, const PropertyDef &property,
                   NicIfGetter getter, Translator translate, uint64_t handle, lx_wchar *&value) {
    if (property.linkid.isNone()) {
        value = nullptr;
        return kFailed;
    }
    if (IsUnheldProperty(property)) {
        value = CopyText(property.defaultValue);
        return value ? 0 : kFailed;
    }
    uint32_t number = PropertyNumber(property);
    DualString read;
    uint32_t code = ReadPropertyValue(getter, handle, number, read);
    if (code != kNicIfDone) {
        value = nullptr;
        return code == kNicIfPropertyError ? PropertyCode(number, code) : code;
    }
    if (IsEnumerated(property)) {
        std::optional<DualString> shown = translate(definition, property, handle, read);
        if (!shown) return kFailed;
        read = std::move(*shown);
    }
    value = CopyText(read);
    return 0;
}

}  // namespace

uint32_t ReadSingleProperty(uint64_t adapter, const DualString &definitionType,
                            const DualString &id, lx_wchar *&value) {
    const NicDefinition *definition = FindDefinition(definitionType);
    if (!definition) return kFailed;
    const PropertyDef *property = FindProperty(*definition, id);
    if (!property) return kFailed;
    return ReadValue(*definition, *property, NicIfGetAdapterProperty, TranslateAdapterEnumValue,
                     adapter, value);
}

uint32_t ReadSingleTeamProperty(uint64_t team, const DualString &id, lx_wchar *&value) {
    const NicDefinition *definition = FindTeamDefinition();
    if (!definition) return kFailed;
    const PropertyDef *property = FindOwnProperty(*definition, id);
    if (!property) return kFailed;
    return ReadValue(*definition, *property, NicIfGetTeamProperty, TranslateTeamEnumValue, team,
                     value);
}

}  // namespace lxniccfg
