// Carrying marked changes out through the library's apply calls and
// committing them on the server.
#pragma once

#include <ostream>

#include "session.h"

namespace lxnicctl {

struct ApplySteps {
    bool adapterProperties = false;  // ApplyChanges
    bool teamConfiguration = false;  // ApplyTeamConfigurationChanges
};

// Runs the steps, then ApplyTeamPropertyChanges (team and VLAN properties and
// the commit pass over every adapter the library registered) and
// ApplyConfigChanges(0, 0), which commits what no registered adapter covers
// (dissolved teams, member moves, team settings). Prints each step as it
// goes; throws a Failure naming the step that failed.
void ApplyAndCommit(Session &session, const ApplySteps &steps, std::ostream &out);

}  // namespace lxnicctl
