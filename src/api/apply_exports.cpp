// UpdateProperty and the apply operations: ApplyChanges,
// ApplyTeamPropertyChanges, ApplyTeamConfigurationChanges.
#include "lxniccfg.h"

#include "api/library_state.h"
#include "changes/apply_changes.h"
#include "changes/apply_team_configuration.h"
#include "changes/apply_team_properties.h"
#include "changes/pending_edits.h"

extern "C" uint32_t UpdateProperty(AdapterEntry *adapter, PanelEntry *entry,
                                   DependencyChange **changes) {
    return lxniccfg::Guarded(100, [&]() -> uint32_t {
        if (!adapter || !entry || !changes) return 100;
        return lxniccfg::UpdateProperty(*adapter, *entry, changes);
    });
}

extern "C" uint32_t ApplyChanges(AdapterEntry **adapters) {
    return lxniccfg::Guarded(100, [&]() -> uint32_t {
        if (!adapters) return 100;
        return lxniccfg::ApplyChanges(*adapters);
    });
}

extern "C" uint32_t ApplyTeamPropertyChanges(TeamEntry **teams, AdapterEntry **adapters) {
    return lxniccfg::Guarded(100, [&]() -> uint32_t {
        if (!teams || !adapters) return 100;
        return lxniccfg::ApplyTeamPropertyChanges(*teams, *adapters);
    });
}

extern "C" uint32_t ApplyTeamConfigurationChanges(TeamEntry **teams, AdapterEntry **adapters) {
    return lxniccfg::Guarded(100, [&]() -> uint32_t {
        if (!teams || !adapters) return 100;
        return lxniccfg::ApplyTeamConfigurationChanges(*teams, *adapters);
    });
}
