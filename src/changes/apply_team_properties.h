// Applying the edited properties of teams and VLANs, and the commit pass
// that hands every changed adapter and team to the NIC interface library.
#pragma once

#include <cstdint>

#include "changes/write_essentials.h"
#include "definitions/nic_definition.h"
#include "lxniccfg.h"

namespace lxniccfg {

// Writes the changed entries of one team panel list through
// NicIfSetTeamProperty (own properties of the definition only). A changed
// entry without linkId or with an unknown id abandons the list with 100;
// an unmappable enumerated text makes it 100 and the list goes on; the
// library's first error is kept (3 as the property code); 7 is a notice.
WriteResults ApplyTeamList(const NicDefinition &definition, uint64_t team, PanelEntry *list);

// The owner of a VLAN list: exactly one of the two is set.
struct VlanOwner {
    const AdapterEntry *adapter = nullptr;
    const TeamEntry *team = nullptr;
};

// Writes the changed entries of a VLAN's identificationList through
// NicIfSetVlanProperty, folded as ApplyTeamList's. A successful write of
// "VlanId" registers the owning adapter, or every member adapter of the
// owning team not marked removed, whose registerOnVlanIdChange is 1.
WriteResults ApplyVlanEntries(const NicDefinition &definition, uint64_t vlan, PanelEntry *list,
                              const VlanOwner &owner);

// Applies every VLAN of the list not marked deleted, each with the
// definition its definitionType names ("TEAM" when NULL); a VLAN without a
// loaded definition makes the result 100, replacing an earlier error.
uint32_t ApplyVlanList(VlanEntry *vlans, const VlanOwner &owner);

// The commit sequence over every handle of the ChangedObjectRegistry:
// NicIfSetObjectFlags(h, 0, 0) for all; NicIfApplyPass1 for all, each
// followed by NicIfSetObjectFlags(h, 1, 0) when it fails; NicIfApplyPass2 for
// all, each followed by NicIfSetObjectFlags(h, 0, 1) when it succeeds. The
// first non-zero answer of a pass (7 included), or 0.
uint32_t CommitPass();

// Writes the changed properties of every team (except those marked deleted
// or whose creation failed, teamInfo1 5): controlsList, settingsList,
// redundancyList, discProtocolList, then the advanced settings; then the
// VLANs of every adapter and of every team not marked deleted; then runs the
// commit pass, also after failures. The first error, else 7 on a notice,
// else 0; a team or VLAN without a loaded definition gives 100, replacing an
// earlier error. Takes no lock.
uint32_t ApplyTeamPropertyChanges(TeamEntry *teams, AdapterEntry *adapters);

}  // namespace lxniccfg
