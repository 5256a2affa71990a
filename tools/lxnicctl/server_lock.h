// The server's lock: the changing commands on one server take turns, so that
// the checkpoint a command takes is the state it changes and no command races
// the watchdog that may roll a change back. A command that finds the lock
// held says so after a second ("waiting for the server's lock held by
// process N") and gives up after --wait seconds. The lock goes with the
// process that holds it, so a killed command never leaves it behind.
#pragma once

#include <string>

#include "platform.h"
#include "state_dir.h"

namespace lxnicctl {

// Who holds the lock, as the holder wrote it into the lock file.
struct LockHolder {
    int pid = 0;
    std::string command;  // the command line
    std::string since;    // when it took the lock
    std::string note;     // what it is doing, when that is worth saying
    std::string text() const;
};

class ServerLock {
public:
    // Waits for the lock (creating the state folder when needed).
    ServerLock(const StateDir &dir, int waitSeconds, const std::string &command);
    // Takes over a lock handed to this process by its descriptor.
    ServerLock(int descriptor, const StateDir &dir);

    int descriptor() const { return lock_.descriptor(); }
    // Rewrites what the lock file says about its holder.
    void describe(const std::string &command, const std::string &note);

private:
    platform::FileLock lock_;
};

// The holder of the lock, or a pid of 0 when it is free.
LockHolder CurrentHolder(const StateDir &dir);

}  // namespace lxnicctl
