// What the apply of a change runs (change.h): which of the library's apply
// calls, and the teams' own advanced values written without the members.
#pragma once

#include <string>
#include <vector>

#include "lxniccfg.h"

namespace lxnicctl {

// A team's own value of an advanced setting, written without the library
// writing it to the members too (SetSingleTeamProperty).
struct TeamOwnValue {
    TeamEntry *team = nullptr;
    std::string id, value;
};

// ApplyTeamPropertyChanges (team and VLAN properties and the commit pass over
// every adapter the library registered) and ApplyConfigChanges (the commit of
// what no registered adapter covers: dissolved teams, member moves, team
// settings) always run; these before them.
struct ApplySteps {
    bool adapterProperties = false;  // ApplyChanges
    bool teamConfiguration = false;  // ApplyTeamConfigurationChanges
    std::vector<TeamOwnValue> teamOwnValues;
};

}  // namespace lxnicctl
