// Writing one property value at once, without panel data: to an adapter, to
// an adapter team, and a raw value to a team or a VLAN. The exports call
// these under the export lock; readers that write a default back call them
// directly.
#pragma once

#include <cstdint>

#include "definitions/nic_definition.h"
#include "util/dual_string.h"

namespace lxniccfg {

// Writes value to the adapter's property id (found along the base chain of
// the definition of definitionType): the enumerated text mapped to its raw
// value, through NicIfSetAdapterProperty. Returns 0 (also for the library's
// 7), 100 when the definition, the property or the raw value is missing,
// PropertyCode(number, 3) for the library's 3, else the library's code.
// With registerChange the adapter is registered as changed unless the
// library answered 3 or nothing was written.
uint32_t WriteAdapterProperty(uint64_t adapter, const DualString &definitionType,
                              const DualString &id, const DualString &value, bool registerChange);

// The same for a team through NicIfSetTeamProperty, with the "TEAM"
// definition's own properties; nothing is registered.
uint32_t WriteTeamProperty(uint64_t team, const DualString &id, const DualString &value);

// Passes the caller's raw value unchanged (size 0xFFFFFFFF) to
// NicIfSetVlanProperty when isVlan, else NicIfSetTeamProperty; the
// property comes from the "TEAM" definition's own properties.
uint32_t WriteRawTeamProperty(uint64_t handle, const DualString &id, const void *raw, bool isVlan);

}  // namespace lxniccfg
