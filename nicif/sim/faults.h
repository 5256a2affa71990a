// Fault injection for tests: with LXNICIF_FAULT set to "fail:N" the N-th
// commit step of the process fails; with "abort:N" the process ends at that
// step as if it were killed. Commit steps are counted from the start of the
// process (and again whenever the variable changes): every NicIfApplyPass1,
// NicIfApplyPass2 and NicIfApplyConfigChanges call, and within a commit
// that saves the state file taking the lock, reading the file, writing the
// temporary file, flushing it, renaming it over the file and giving the
// lock back. A failed step answers 6 (after the rename the commit is made
// all the same, and only the answer says it failed).
#pragma once

namespace lxnicsim {

class Faults {
public:
    // Counts one commit step; true when this step is to fail. Ends the
    // process when it is to abort.
    static bool step(const char *name);
};

}  // namespace lxnicsim
