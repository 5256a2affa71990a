#include "changes/apply_changes.h"

#include <iterator>

#include "changes/changed_object_registry.h"
#include "changes/write_essentials.h"
#include "definitions/catalog.h"
#include "nicif/nicif.h"

namespace lxniccfg {

namespace {

constexpr uint32_t kFailed = 100;

bool IsPending(const PanelEntry &entry) {
    return entry.changed == 1 && entry.id && entry.newValue;
}

}  // namespace

uint32_t ApplyPanelList(const NicDefinition &definition, uint64_t adapter, PanelEntry *list,
                        bool registerChange) {
    WriteResults results;
    for (PanelEntry *entry = list; entry; entry = entry->next) {
        if (!IsPending(*entry)) continue;
        if (!entry->linkId) return kFailed;
        uint32_t number = PropertyNumber(DualString(entry->linkId));
        const PropertyDef *property = FindProperty(definition, DualString(entry->id));
        if (!property) return kFailed;

        std::optional<DualString> value = LibraryValue(definition, *property, DualString(entry->newValue));
        if (!value) {
            results.replaceError(kFailed);
            continue;
        }
        ValueBuffer buffer(*value);
        uint32_t code = NicIfSetAdapterProperty(adapter, number, buffer.data(), buffer.sizeInBytes());
        if (!results.add(code, number) && registerChange) RegisterChanged(adapter);
    }
    return results.result();
}

uint32_t ApplyChanges(AdapterEntry *adapters) {
    WriteResults results;
    for (AdapterEntry *adapter = adapters; adapter; adapter = adapter->next) {
        const NicDefinition *definition =
            adapter->definitionType ? FindDefinition(DualString(adapter->definitionType)) : nullptr;
        if (!definition) {
            results.replaceError(kFailed);
            continue;
        }
        PanelEntry *const lists[] = {adapter->advancedList,      adapter->iscsiAddressList,
                                     adapter->iscsiSettingsList2, adapter->iscsiSettingsList,
                                     adapter->settingsList,       adapter->teamSettingsList};
        constexpr std::size_t kTeamSettings = 5;
        for (std::size_t i = 0; i < std::size(lists); ++i) {
            if (!lists[i]) continue;
            uint32_t code = ApplyPanelList(*definition, adapter->handle, lists[i], true);
            // The notice of the team settings is not passed on.
            if (code == kNicIfNotice && i == kTeamSettings) continue;
            if (code == kNicIfNotice) results.addNotice();
            else if (code != kNicIfDone) results.addError(code);
        }
    }
    return results.result();
}

}  // namespace lxniccfg
