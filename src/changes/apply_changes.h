// Applying the edited adapter properties of the front end's panel lists.
#pragma once

#include <cstdint>

#include "definitions/nic_definition.h"
#include "lxniccfg.h"

namespace lxniccfg {

// Writes every entry of the list marked changed (with an id and a newValue)
// to the adapter through NicIfSetAdapterProperty, the property found along
// the definition's base chain and an enumerated text mapped to its raw
// value. With registerChange the adapter is registered as changed after
// every write the library accepted (0 or 7).
// Result: 100 at once for a changed entry without linkId or with an unknown
// id (later entries are not written); otherwise the first error (3 as the
// property code, an unmappable enumerated text as 100, which replaces an
// earlier error), else 7 when some write answered 7, else 0.
uint32_t ApplyPanelList(const NicDefinition &definition, uint64_t adapter, PanelEntry *list,
                        bool registerChange);

// Applies the changed entries of every adapter of the list, panel list by
// panel list: advancedList, iscsiAddressList, iscsiSettingsList2,
// iscsiSettingsList, settingsList, teamSettingsList. An adapter without a
// loaded definition makes the result 100 (replacing an earlier error) and
// is skipped; otherwise the first error of a list is kept. A 7 of
// teamSettingsList counts as plain success. Takes no lock.
uint32_t ApplyChanges(AdapterEntry *adapters);

}  // namespace lxniccfg
