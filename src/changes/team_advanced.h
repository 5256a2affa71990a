// A team's advanced settings: written to the team and pushed down to the
// same property of every member adapter.
#pragma once

#include <cstdint>

#include "definitions/nic_definition.h"
#include "lxniccfg.h"
#include "util/dual_string.h"

namespace lxniccfg {

// Applies the team's advancedList with the team's definition (own
// properties only):
//  - entries marked noMemberValue are left alone;
//  - a changed entry (newValue) is written to the team and, when the team
//    accepted it, to the members;
//  - an unchanged entry's value is written only to the members that differ;
//  - a blocked entry of range type "binary" or "list" enforces its lowest
//    text on the team (when its value differs) and on the members.
// A successful team write registers the team when its flag3 is 1, it is not
// new and no 7 has been seen yet in the call. An entry missing linkId,
// rangeType, lowest or id, or whose property the definition lacks, ends the
// call with 100. Otherwise the first error (3 as the property code; an
// unmappable enumerated text 100, replacing an earlier error), else 7 on a
// notice, else 0. Takes no lock.
uint32_t ApplyTeamAdvanced(const TeamEntry &team, const NicDefinition &definition);

// Writes the team entry's value to the matching advancedList entry (same id)
// of every member adapter not marked removed, with the member's definition:
// target when the team entry is not blocked (members already holding it are
// skipped unless the team entry itself changed), its lowest text when it is
// (members holding lowest are skipped). Properties with linkid "-1" are never
// written; a written member is registered as changed when the library
// accepted the value. A member without a loaded definition, or whose entry
// names a property its definition chain lacks, ends the call with 100.
// Result folded as ApplyTeamAdvanced's.
uint32_t PropagateToMembers(const TeamEntry &team, const PanelEntry &teamEntry,
                            const DualString &target, const DualString &lowest);

}  // namespace lxniccfg
