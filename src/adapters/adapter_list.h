// The adapter, team, member and VLAN records that GetNicList hands to the
// front end, built from the arrays of NicIfEnumerate.
#pragma once

#include <cstdint>

#include "lxniccfg.h"
#include "lxnicif.h"

namespace lxniccfg {

// Builds the records from the library's arrays (any of which may be NULL,
// whatever its count) and takes over everything the arrays hand out: the
// adapters' definitionType and name texts, kept teams' teamText; teamText
// of elements that are not adapter teams (kind other than 1) is released.
// Does not release the arrays themselves. On std::bad_alloc every record
// built and every text not yet taken over is released before it propagates.
void BuildNicList(const NicIfAdapterElement *nics, uint32_t nicCount,
                  const NicIfTeamElement *teams, uint32_t teamCount,
                  const NicIfVlanElement *vlans, uint32_t vlanCount, TeamEntry *&teamList,
                  AdapterEntry *&adapterList);

// GetNicList: enumerates through the NIC interface library and writes both
// list heads (NULL when empty or on failure). Returns the enumeration's
// code, or 100 when the records could not be built.
uint32_t GetNicList(uint64_t listOption, TeamEntry *&teams, AdapterEntry *&adapters);

// Release lists as BuildNicList makes them: every record with its texts,
// members and VLANs (no panel lists hang on them yet).
void FreeAdapterList(AdapterEntry *adapters);
void FreeTeamList(TeamEntry *teams);

}  // namespace lxniccfg
