// What a plan makes the library write besides the values the command marked,
// added to the plan so that the plan shows every write:
//
//   - a team's advanced settings, when they are handed to the library, are
//     written to every member adapter (an unchanged setting to the members
//     whose own value differs; a changed one to all of them; one that not
//     every member has, as its lowest value);
//   - reading a panel whose stored value lies outside the property's
//     enumeration makes the library write the default (the write is made
//     when the panel is read, and committed with the change).
//
// It also gives a new team the advanced values its members hold, so that the
// team's first change does not rewrite the members with values nobody saw.
#pragma once

#include <ostream>

#include "session.h"
#include "targets.h"

namespace lxnicctl {

// Adds the writes above to the plan, each under its object's heading.
void AddConsequences(Session &session, std::ostream &out);

// For a team to be created: its advanced values as its members hold them
// become initial settings of the creation alone (the library writes no
// member for them). Values the command sets itself are left to it.
void SeedNewTeamAdvanced(Session &session, const Target &team, std::ostream &out);

// The advanced value a team to be created starts with: what every member
// holds or, when they differ, the team's summary of them (empty when
// nothing says).
std::string StartingTeamValue(Session &session, const Target &team, PanelEntry *teamEntry);

// The team of a member adapter that sets this property on all its members
// (the property is one of the team's advanced settings), or NULL.
TeamEntry *TeamSetting(Session &session, AdapterEntry *adapter, const std::string &propertyId);

}  // namespace lxnicctl
