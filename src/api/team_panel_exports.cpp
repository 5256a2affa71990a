// GetTeamPanelData and UpdateTeamPanelData: panels of adapter teams and VLANs.
#include "lxniccfg.h"

#include <cstring>

#include "adapters/team_panel_data.h"
#include "api/library_state.h"

using namespace lxniccfg;

namespace {

static_assert(sizeof(TeamEntry) == sizeof(VlanEntry));

// The words of a TeamEntry or a VlanEntry, read as a TeamEntry: the fields
// the readers use (handle, definitionType, isNew, members) sit at the same
// offsets, and a VlanEntry's definitionType stays NULL.
TeamEntry RecordWords(const void *teamOrVlan) {
    TeamEntry record;
    std::memcpy(&record, teamOrVlan, sizeof record);
    return record;
}

}  // namespace

extern "C" uint32_t GetTeamPanelData(void *teamOrVlan, const lx_wchar *panel, PanelEntry **list) {
    return Guarded(100, [&]() -> uint32_t {
        if (!teamOrVlan || !panel || !list) return 100;
        return lxniccfg::GetTeamPanelData(RecordWords(teamOrVlan), DualString(panel), *list);
    });
}

extern "C" uint32_t UpdateTeamPanelData(void *teamOrVlan, const lx_wchar *panel,
                                        PanelEntry *list) {
    return Guarded(100, [&]() -> uint32_t {
        if (!teamOrVlan || !panel) return 100;
        return lxniccfg::UpdateTeamPanelData(RecordWords(teamOrVlan), DualString(panel), list);
    });
}
