// Where lxnicctl keeps what outlives a command on a server: the server's
// lock, the checkpoints, the change waiting for confirmation and the log of
// the watchdog that rolls it back.
//
// The place is --state-dir, else LXNICCTL_STATE_DIR, else /var/lib/lxnicctl
// for this machine's own interfaces (--backend linux), else beside the
// simulated server's state file ("<state file>.lxnicctl"), so that every
// server (every state file) has its own.
#pragma once

#include <string>

#include "session.h"

namespace lxnicctl {

inline constexpr const char *kLinuxStateDir = "/var/lib/lxnicctl";

class StateDir {
public:
    // Throws a Failure when no place can be formed.
    explicit StateDir(const Options &options);

    const std::string &path() const { return path_; }
    std::string lockFile() const { return path_ + "/lock"; }
    std::string checkpoints() const { return path_ + "/checkpoints"; }
    // The change waiting for confirmation (the watchdog's record).
    std::string pendingFile() const { return path_ + "/pending.json"; }
    // What the last watchdog did.
    std::string watchdogResult() const { return path_ + "/watchdog-result.json"; }
    std::string watchdogLog() const { return path_ + "/watchdog.log"; }
    // A change being committed by a NIC interface library without
    // transactions, so that a killed command is rolled back by the next.
    std::string journal() const { return path_ + "/in-progress.json"; }

    // Creates the folder (and its checkpoints folder) when missing.
    void create() const;
    bool exists() const;

private:
    std::string path_;
};

}  // namespace lxnicctl
