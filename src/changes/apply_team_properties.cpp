#include "changes/apply_team_properties.h"

#include <optional>
#include <vector>

#include "changes/changed_object_registry.h"
#include "changes/team_advanced.h"
#include "definitions/catalog.h"
#include "nicif/nicif.h"

namespace lxniccfg {

namespace {

constexpr uint32_t kFailed = 100;
constexpr uint32_t kCreationFailed = 5;

bool IsPending(const PanelEntry &entry) {
    return entry.changed == 1 && entry.id && entry.newValue;
}

// The definition of a team or VLAN: the one its type names, "TEAM" when it
// names none.
const NicDefinition *RecordDefinition(const lx_wchar *definitionType) {
    return definitionType ? FindDefinition(DualString(definitionType)) : FindTeamDefinition();
}

// Takes the result of one part of the operation: 7 a notice, another
// non-zero result an error kept when it is the first.
void Fold(WriteResults &results, uint32_t code) {
    if (code == kNicIfNotice) results.addNotice();
    else if (code != kNicIfDone) results.addError(code);
}

// Takes a list's results: its error when none is held yet, its notice.
void Fold(WriteResults &results, const WriteResults &list) {
    if (list.hasError()) results.addError(list.result());
    if (list.sawNotice()) results.addNotice();
}

using Setter = uint32_t (*)(uint64_t, uint32_t, const void *, uint32_t);

// Writes the pending entries of a team or VLAN list; onAccepted runs after
// every write the library accepted. An entry that cannot be written at all
// abandons the list with 100, which replaces an earlier error of a team
// list but not of a VLAN's.
template <class OnAccepted>
WriteResults ApplyEntries(Setter setter, const NicDefinition &definition, uint64_t handle,
                          PanelEntry *list, bool abandonReplaces, OnAccepted &&onAccepted) {
    WriteResults results;
    for (PanelEntry *entry = list; entry; entry = entry->next) {
        if (!IsPending(*entry)) continue;
        const PropertyDef *property =
            entry->linkId ? FindOwnProperty(definition, DualString(entry->id)) : nullptr;
        if (!property) {
            if (abandonReplaces) results.replaceError(kFailed);
            else results.addError(kFailed);
            break;
        }
        uint32_t number = PropertyNumber(DualString(entry->linkId));
        std::optional<DualString> value = LibraryValue(definition, *property, DualString(entry->newValue));
        if (!value) {
            results.replaceError(kFailed);
            continue;
        }
        ValueBuffer buffer(*value);
        if (!results.add(setter(handle, number, buffer.data(), buffer.sizeInBytes()), number))
            onAccepted(*entry);
    }
    return results;
}

}  // namespace

WriteResults ApplyTeamList(const NicDefinition &definition, uint64_t team, PanelEntry *list) {
    return ApplyEntries(NicIfSetTeamProperty, definition, team, list, true, [](const PanelEntry &) {});
}

WriteResults ApplyVlanEntries(const NicDefinition &definition, uint64_t vlan, PanelEntry *list,
                              const VlanOwner &owner) {
    return ApplyEntries(NicIfSetVlanProperty, definition, vlan, list, false, [&](const PanelEntry &entry) {
        if (!DualString(entry.id).equals("VlanId")) return;
        if (owner.adapter) {
            if (owner.adapter->registerOnVlanIdChange == 1) RegisterChanged(owner.adapter->handle);
        } else if (owner.team) {
            for (const TeamMemberLink *m = owner.team->members; m; m = m->next)
                if (m->isRemoved == 0 && m->adapter && m->adapter->registerOnVlanIdChange == 1)
                    RegisterChanged(m->adapter->handle);
        }
    });
}

uint32_t ApplyVlanList(VlanEntry *vlans, const VlanOwner &owner) {
    WriteResults results;
    for (VlanEntry *vlan = vlans; vlan; vlan = vlan->next) {
        if (vlan->isDeleted == 1) continue;
        const NicDefinition *definition = RecordDefinition(vlan->definitionType);
        if (!definition) {
            results.replaceError(kFailed);
            continue;
        }
        Fold(results, ApplyVlanEntries(*definition, vlan->handle, vlan->identificationList, owner));
    }
    return results.result();
}

uint32_t CommitPass() {
    // A copy: the passes must not see handles registered while they run.
    const std::span<const uint64_t> registered = ChangedObjects().handles();
    const std::vector<uint64_t> handles(registered.begin(), registered.end());
    std::optional<uint32_t> error;
    auto keep = [&](uint32_t code) {
        if (code != 0 && !error) error = code;
    };
    for (uint64_t h : handles) NicIfSetObjectFlags(h, 0, 0);
    // Every handle is marked after its first pass, whatever that pass
    // answered: the interface library sees the same sequence for each one.
    for (uint64_t h : handles) {
        keep(NicIfApplyPass1(h));
        NicIfSetObjectFlags(h, 1, 0);
    }
    for (uint64_t h : handles) {
        uint32_t code = NicIfApplyPass2(h);
        if (code == 0) NicIfSetObjectFlags(h, 0, 1);
        else keep(code);
    }
    return error.value_or(0);
}

uint32_t ApplyTeamPropertyChanges(TeamEntry *teams, AdapterEntry *adapters) {
    WriteResults results;
    for (TeamEntry *team = teams; team; team = team->next) {
        if (team->teamInfo1 == kCreationFailed || team->isDeleted == 1) continue;
        const NicDefinition *definition = RecordDefinition(team->definitionType);
        if (!definition) {
            results.replaceError(kFailed);
            continue;
        }
        for (PanelEntry *list : {team->controlsList, team->settingsList, team->redundancyList,
                                 team->discProtocolList})
            if (list) Fold(results, ApplyTeamList(*definition, team->handle, list));
        if (team->advancedList) Fold(results, ApplyTeamAdvanced(*team, *definition));
    }
    for (AdapterEntry *adapter = adapters; adapter; adapter = adapter->next)
        Fold(results, ApplyVlanList(adapter->vlans, VlanOwner{.adapter = adapter}));
    for (TeamEntry *team = teams; team; team = team->next)
        if (team->isDeleted == 0) Fold(results, ApplyVlanList(team->vlans, VlanOwner{.team = team}));

    uint32_t commit = CommitPass();
    if (commit != 0) results.addError(commit);
    return results.result();
}

}  // namespace lxniccfg
