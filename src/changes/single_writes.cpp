#include "changes/single_writes.h"

#include "changes/changed_object_registry.h"
#include "changes/write_essentials.h"
#include "definitions/catalog.h"
#include "nicif/nicif.h"

namespace lxniccfg {

namespace {

constexpr uint32_t kFailed = 100;
constexpr uint32_t kRawSize = 0xFFFFFFFFu;

using NicIfSetter = uint32_t (*)(uint64_t, uint32_t, const void *, uint32_t);

// Writes the value; the library's result, or nullopt when there is nothing
// to write (no raw value).
std::optional<uint32_t> WriteValue(NicIfSetter setter, uint64_t handle,
                                   const NicDefinition &definition, const PropertyDef &property,
                                   const DualString &value) {
    std::optional<DualString> libraryValue = LibraryValue(definition, property, value);
    if (!libraryValue) return std::nullopt;
    ValueBuffer buffer(*libraryValue);
    return setter(handle, PropertyNumber(property), buffer.data(), buffer.sizeInBytes());
}

}  // namespace

uint32_t WriteAdapterProperty(uint64_t adapter, const DualString &definitionType,
                              const DualString &id, const DualString &value, bool registerChange) {
    const NicDefinition *definition = FindDefinition(definitionType);
    if (!definition || value.isNone()) return kFailed;
    const PropertyDef *property = FindProperty(*definition, id);
    if (!property) return kFailed;
    std::optional<uint32_t> code =
        WriteValue(NicIfSetAdapterProperty, adapter, *definition, *property, value);
    if (!code) return kFailed;
    uint32_t result = FoldSingleWrite(*code, PropertyNumber(*property));
    // An error of this property means nothing changed; any other answer,
    // errors included, may have touched the adapter.
    if (*code != kNicIfPropertyError && registerChange) RegisterChanged(adapter);
    return result;
}

uint32_t WriteTeamProperty(uint64_t team, const DualString &id, const DualString &value) {
    const NicDefinition *definition = FindTeamDefinition();
    if (!definition || value.isNone()) return kFailed;
    const PropertyDef *property = FindOwnProperty(*definition, id);
    if (!property) return kFailed;
    std::optional<uint32_t> code = WriteValue(NicIfSetTeamProperty, team, *definition, *property, value);
    if (!code) return kFailed;
    return FoldSingleWrite(*code, PropertyNumber(*property));
}

uint32_t WriteRawTeamProperty(uint64_t handle, const DualString &id, const void *raw, bool isVlan) {
    const NicDefinition *definition = FindTeamDefinition();
    if (!definition || !raw) return kFailed;
    const PropertyDef *property = FindOwnProperty(*definition, id);
    if (!property) return kFailed;
    uint32_t number = PropertyNumber(*property);
    uint32_t code = isVlan ? NicIfSetVlanProperty(handle, number, raw, kRawSize)
                           : NicIfSetTeamProperty(handle, number, raw, kRawSize);
    return FoldSingleWrite(code, number);
}

}  // namespace lxniccfg
