// Panel data of an adapter team or a VLAN: one PanelEntry per item of a
// named panel of the "TEAM" definition, with the object's current values,
// and for "TeamAdvanced" the range, default and shown value derived from the
// team's member adapters.
#pragma once

#include <cstdint>
#include <optional>

#include "definitions/nic_definition.h"
#include "definitions/panel.h"
#include "definitions/panel_slots.h"
#include "lxniccfg.h"
#include "util/dual_string.h"

namespace lxniccfg {

// How a team or VLAN panel is read.
enum class TeamPanelReader {
    General,      // values through the team read (the VLAN read for VLAN panels)
    Information,  // values through the team read; an empty list is 104
    Derived,      // values through the team read, then derived from the members
};

struct TeamPanelKind {
    PanelSlot slot;
    TeamPanelReader reader;
    bool vlanRead;  // values come from NicIfGetVlanProperty
};

// What a team or VLAN panel request names; nullopt for a name that is not a
// team or VLAN panel (adapter panels are not).
std::optional<TeamPanelKind> TeamPanelOf(const DualString &requestName);

// The definition a team or VLAN record is read with: the one its
// definitionType names, or "TEAM" when it carries none; nullptr when that is
// not loaded.
const NicDefinition *TeamRecordDefinition(const TeamEntry &record);

// Runs the panel's reader for the record. Returns its result and leaves the
// entries it built in list (in panel order; possibly empty). Properties are
// looked up in definition's own properties only.
//
// General: 100 when an item's property is not defined (the other items are
// still delivered) or when no library read was made, except for a record
// still to be created (isNew 1), which reads every value from the defaults
// and gives 0; PropertyCode(linkid, code) for the last read the library
// refused. An entry whose read answered 1 is left out. Information: the
// same without the isNew rule, and 104 for an empty list. Derived: an
// undefined property ends the read with 100 and no list; an entry whose read
// answered 1 stays without value; every entry with a link id gets the
// member derivation; 104 for an empty list.
//
// Every reader ends with 100 and an empty list when an enumerated value can
// be neither translated nor reset to the default.
uint32_t ReadTeamPanel(const NicDefinition &definition, const Panel &panel,
                       const TeamPanelKind &kind, const TeamEntry &record, PanelEntry *&list);

// GetTeamPanelData: 100 when the record's definition or the panel is
// unknown (list untouched); otherwise the reader's result, and the list head
// is stored in list only when the list is not empty. A VlanEntry is passed
// as a TeamEntry-shaped copy of its words.
uint32_t GetTeamPanelData(const TeamEntry &record, const DualString &panelName, PanelEntry *&list);

// UpdateTeamPanelData: reads "TeamAdvanced" afresh and moves the fresh
// entries' defaultValue, derivedValue and range into the caller's entries,
// with derivationBlocked and noMemberValue; an entry is paired with the fresh
// one of the same id (the n-th of an id with the n-th). Other fields of the
// caller's entries are not touched. Returns the read's result; 100 and
// nothing changed for any other panel or an unknown definition.
uint32_t UpdateTeamPanelData(const TeamEntry &record, const DualString &panelName, PanelEntry *list);

}  // namespace lxniccfg
