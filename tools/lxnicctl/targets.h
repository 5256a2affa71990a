// Naming adapters, teams and VLANs on the command line.
//
//   adapter  its number (1, 2, ...) or its name (eth0); nic:1, nic:eth0
//   team     its name (Team 1); team:NAME
//   VLAN     PARENT/ID or PARENT/NAME (eth2/10, "Team 1/Backup"), or its
//            name alone when no adapter or team has it; vlan:PARENT/ID
//   any      handle:N, the handle list --json shows
//
// A text that could name more than one object is refused with every
// candidate and the form that names it without doubt; nothing picks the
// first match.
#pragma once

#include <string>
#include <vector>

#include "lxniccfg.h"
#include "session.h"

namespace lxnicctl {

enum class TargetKind { Adapter, Team, Vlan };

struct Target {
    TargetKind kind = TargetKind::Adapter;
    AdapterEntry *adapter = nullptr;  // the adapter, or the VLAN's parent adapter
    TeamEntry *team = nullptr;        // the team, or the VLAN's parent team
    VlanEntry *vlan = nullptr;
    std::string label;                // how messages name it: eth0, team "Team 1", VLAN 10 on eth2

    // The panel list slot of this object for a panel name (an extra slot of
    // the session for panels the records have no place for).
    PanelEntry *&slot(Session &session, const std::string &panel) const;
    // Reads the panel (once) into its slot.
    PanelEntry *panel(Session &session, const std::string &panel, bool optional = false) const;
    // Panels shown by "show" without a panel name, and the panels whose
    // properties "set" can change.
    std::vector<std::string> defaultPanels() const;
    std::vector<std::string> editablePanels() const;
    // The panel names the library accepts for this kind of object.
    std::vector<std::string> knownPanels() const;
    // A known panel name in its own spelling for a name in any case.
    std::string canonicalPanel(const std::string &name) const;
};

std::string AdapterName(const AdapterEntry *adapter);
std::string TeamName(const TeamEntry *team);
std::string StatusText(uint32_t status);
// VLAN ids compare as numbers: "010" and "10" are the same id.
bool SameVlanId(const std::string &a, const std::string &b);
// The text two ids that are the same compare equal by (for look-up tables).
std::string VlanIdKey(const std::string &id);

// The target of a record the session holds (a VLAN with its parent).
Target TargetOf(AdapterEntry *adapter);
Target TargetOf(TeamEntry *team);
Target VlanTargetOf(Session &session, const Target &parent, VlanEntry *vlan);

// An adapter by number or name; throws a Failure listing the adapters.
AdapterEntry *ResolveAdapter(Session &session, const std::string &text);
// A team by name; throws a Failure listing the teams.
TeamEntry *ResolveTeam(Session &session, const std::string &text);
// An adapter or a team (a VLAN's parent).
Target ResolveParent(Session &session, const std::string &text);
// Any target.
Target ResolveTarget(Session &session, const std::string &text);

// A VLAN's id and name, read from its "Vlan" panel.
std::string VlanId(Session &session, VlanEntry *vlan, const std::string &parentLabel);
std::string VlanName(Session &session, VlanEntry *vlan, const std::string &parentLabel);

}  // namespace lxnicctl
