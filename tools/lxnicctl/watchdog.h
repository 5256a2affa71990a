// --rollback-after SECONDS: a watchdog process takes the server's lock over
// from the command and restores the checkpoint taken before the change
// unless "lxnicctl confirm" runs within that time. It runs in a session of
// its own, so that closing the terminal (or losing the connection through
// the very change being made) does not end it; while it waits, other
// changing commands wait for the lock, and "lxnicctl undo" has it roll back
// at once. It writes what it did to watchdog.log in the state folder.
#pragma once

#include <ostream>
#include <string>

#include "server_lock.h"
#include "session.h"
#include "state_dir.h"

namespace lxnicctl {

// The hidden command line word that starts the watchdog.
inline constexpr const char *kWatchdogCommand = "__rollback-watchdog";

// Starts the watchdog for the change just committed and hands it the lock.
void StartRollbackWatchdog(const Options &options, const StateDir &dir, ServerLock &lock,
                           const std::string &checkpoint, int seconds, std::ostream &out);

// The watchdog's own main (argv as the program got it).
int RunWatchdog(int argc, char **argv);

// lxnicctl confirm: the change waiting for confirmation stays.
void ConfirmCommand(const Options &options);

// When a change waits for confirmation, has the watchdog restore its
// checkpoint now and reports what it did; false when none waits.
bool RollBackPendingChange(const Options &options, std::ostream &out);

// For a changing command that holds the server's lock: a change still
// waiting for confirmation whose watchdog has ended (killed, or the machine
// restarted) is rolled back first when its deadline has passed, as the
// watchdog would have done; before the deadline the command is refused, as
// it would be while the watchdog waits ("confirm" and "undo" settle it).
void SettleOrphanedChange(const Options &options, const StateDir &dir, std::ostream &out);

// Before the commit of a change with --rollback-after: the record of a
// change waiting for confirmation, so that a command killed between its
// commit and its watchdog leaves the change guarded (see above). The
// watchdog replaces it; a command whose change failed removes it.
void RecordChangeBeingGuarded(const StateDir &dir, const std::string &checkpoint, int seconds);
void ForgetChangeBeingGuarded(const StateDir &dir);

}  // namespace lxnicctl
