// Reading one property value of an adapter or a team by property id, with
// the rules of the panel reads and without building a panel.
#pragma once

#include <cstdint>

#include "lxniccfg.h"
#include "util/dual_string.h"

namespace lxniccfg {

// The current value of an adapter's property id, found in the definition of
// definitionType or along its base chain. Returns 0 with a fresh copy of the
// value in value (the enumerated text for an enumerated property; the
// default for an unheld "-1" property); 100 with value left as it was when
// the definition or the property is missing or an enumerated value can be
// neither translated nor reset to the default; 100 with value set to NULL
// when the property has no link id or is unheld without default;
// PropertyCode(linkid, 3) for the library's 3 and the library's code for any
// other refusal, with value set to NULL.
uint32_t ReadSingleProperty(uint64_t adapter, const DualString &definitionType,
                            const DualString &id, lx_wchar *&value);

// The same for a team, with the "TEAM" definition's own properties.
uint32_t ReadSingleTeamProperty(uint64_t team, const DualString &id, lx_wchar *&value);

}  // namespace lxniccfg
