#include "changes/team_advanced.h"

#include <optional>

#include "changes/changed_object_registry.h"
#include "changes/write_essentials.h"
#include "definitions/catalog.h"
#include "nicif/nicif.h"

namespace lxniccfg {

namespace {

constexpr uint32_t kFailed = 100;


uint32_t Write(uint32_t (*setter)(uint64_t, uint32_t, const void *, uint32_t), uint64_t handle,
               uint32_t number, const DualString &value) {
    ValueBuffer buffer(value);
    return setter(handle, number, buffer.data(), buffer.sizeInBytes());
}

// Folds the result of a propagation: 7 a notice, anything else an error.
void FoldPropagation(WriteResults &results, uint32_t code) {
    if (code == kNicIfNotice) results.addNotice();
    else if (code != kNicIfDone) results.addError(code);
}

PanelEntry *FindMemberEntry(PanelEntry *list, const DualString &id) {
    for (PanelEntry *e = list; e; e = e->next)
        if (e->id && DualString(e->id).equals(id)) return e;
    return nullptr;
}

}  // namespace

uint32_t ApplyTeamAdvanced(const TeamEntry &team, const NicDefinition &definition) {
    WriteResults results;
    for (PanelEntry *entry = team.advancedList; entry; entry = entry->next) {
        if (entry->noMemberValue == 1) continue;
        if (!entry->linkId || !entry->rangeType || !entry->lowest || !entry->id) return kFailed;
        const DualString id(entry->id), lowest(entry->lowest), value(entry->value);
        uint32_t number = PropertyNumber(DualString(entry->linkId));

        if (entry->derivationBlocked == 0 && entry->changed == 1 && entry->newValue) {
            const PropertyDef *property = FindOwnProperty(definition, id);
            if (!property) return kFailed;
            const DualString newValue(entry->newValue);
            std::optional<DualString> sent = LibraryValue(definition, *property, newValue);
            if (!sent) {
                results.replaceError(kFailed);
                continue;
            }
            uint32_t code = Write(NicIfSetTeamProperty, team.handle, number, *sent);
            if (code == kNicIfDone && team.flag3 == 1 && team.isNew == 0 && !results.sawNotice())
                RegisterChanged(team.handle);
            if (results.add(code, number)) continue;
            FoldPropagation(results, PropagateToMembers(team, *entry, newValue, lowest));
        } else if (entry->derivationBlocked == 0 && entry->changed == 0 && entry->value) {
            if (!FindOwnProperty(definition, id)) return kFailed;
            FoldPropagation(results, PropagateToMembers(team, *entry, value, lowest));
        } else if (entry->derivationBlocked == 1) {
            if (!IsEnforcedRangeType(DualString(entry->rangeType))) continue;
            bool writeTeam = !value.equals(lowest);
            const PropertyDef *property = FindOwnProperty(definition, id);
            if (!property) return kFailed;
            std::optional<DualString> sent = LibraryValue(definition, *property, lowest);
            if (!sent) {
                results.replaceError(kFailed);
                continue;
            }
            uint32_t code = writeTeam ? Write(NicIfSetTeamProperty, team.handle, number, *sent) : 0;
            if (results.add(code, number)) continue;
            FoldPropagation(results, PropagateToMembers(team, *entry, value, lowest));
        }
    }
    return results.result();
}

uint32_t PropagateToMembers(const TeamEntry &team, const PanelEntry &teamEntry,
                            const DualString &target, const DualString &lowest) {
    WriteResults results;
    const DualString id(teamEntry.id);
    const bool blocked = teamEntry.derivationBlocked == 1;
    for (const TeamMemberLink *member = team.members; member; member = member->next) {
        if (member->isRemoved != 0) continue;
        // A member without an adapter record has no panel list to match.
        const AdapterEntry *adapter = member->adapter;
        if (!adapter) continue;
        if (!adapter->definitionType) return kFailed;
        const NicDefinition *definition = FindDefinition(DualString(adapter->definitionType));
        if (!definition) return kFailed;
        const PanelEntry *entry = FindMemberEntry(adapter->advancedList, id);
        if (!entry) continue;
        const PropertyDef *property = FindProperty(*definition, id);
        if (!property) return kFailed;

        const DualString held(entry->changed == 1 ? entry->newValue : entry->value);
        const DualString &send = blocked ? lowest : target;
        bool write = blocked ? !held.equals(lowest)
                             : !(teamEntry.changed == 0 && held.equals(target));
        if (IsUnheldProperty(*property) || send.isNone()) write = false;

        uint32_t number = PropertyNumber(*property);
        std::optional<DualString> sent = LibraryValue(*definition, *property, send);
        if (!sent) {
            results.replaceError(kFailed);
            continue;
        }
        if (!write) continue;
        uint32_t code = Write(NicIfSetAdapterProperty, adapter->handle, number, *sent);
        if (!results.add(code, number)) RegisterChanged(adapter->handle);
    }
    return results.result();
}

}  // namespace lxniccfg
