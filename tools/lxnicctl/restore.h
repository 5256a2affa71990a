// Restoring a checkpoint through the library's own calls, so that it works
// with any NIC interface library: the teams, members and VLANs the picture
// does not have are removed, the missing ones created, and every writable
// value that differs is written back. Nothing runs the dependency rules or
// hands a team's advanced settings to its members: the picture is a state
// the server held, written back value by value.
#pragma once

#include <ostream>

#include "apply.h"
#include "image.h"
#include "session.h"

namespace lxnicctl {

// Marks the session's records so that applying them makes the server what
// the image shows, and records every write in the plan (its lines go to
// out). Returns the steps the apply needs. Throws a Failure when the image
// is of another server (its adapters are not this server's).
ApplySteps PlanRestore(Session &session, const Image &image, std::ostream &out);

}  // namespace lxnicctl
