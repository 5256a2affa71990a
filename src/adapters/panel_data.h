// Panel data of one adapter: one PanelEntry per item of a named panel of the
// adapter's definition, with the adapter's current values.
#pragma once

#include <cstdint>
#include <optional>

#include "definitions/nic_definition.h"
#include "definitions/panel.h"
#include "definitions/panel_slots.h"
#include "lxniccfg.h"
#include "util/dual_string.h"

namespace lxniccfg {

// The definitions panel an adapter panel request names; nullopt for a name
// that is not an adapter panel (team and VLAN panels are not).
std::optional<PanelSlot> AdapterPanelSlot(const DualString &requestName);

// The reads behind GetPanelData. Each returns its result and leaves the
// entries it built in list (in panel order; possibly empty).
//
// Values: 0 when at least one library read was made and nothing failed;
// 100 when an item's property is not defined, a "-1" property has no
// default (unless a library error is held), or no library read was made;
// PropertyCode(linkid, code) for the last read the library refused. An
// entry whose read answered 1 is left out. An enumerated value that can be
// neither translated nor reset to the default ends the read with 100 and an
// empty list.
uint32_t ReadAdapterPanelValues(const NicDefinition &definition, const Panel &panel,
                                const AdapterEntry &adapter, PanelEntry *&list);
// Diagnostics: the entries without values; 104 when there are none.
uint32_t ReadDiagnosticsPanel(const NicDefinition &definition, const Panel &panel,
                              PanelEntry *&list);

// GetPanelData: 100 when the adapter's definition or the panel is unknown
// (list untouched); otherwise the reader's result, and the list head is
// stored in list only when the list is not empty.
uint32_t GetAdapterPanelData(const AdapterEntry &adapter, const DualString &panelName,
                             PanelEntry *&list);

}  // namespace lxniccfg
