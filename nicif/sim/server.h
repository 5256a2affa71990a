// The simulated server: the committed state (what the state file holds),
// the changes staged on top of it, and their commit.
#pragma once

#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "sim_state.h"

namespace lxnicsim {

class Server {
public:
    // Loads the state file when nothing is loaded yet; kOk or kStateFileError.
    uint32_t ensureLoaded();
    // The committed state (valid after ensureLoaded answered kOk).
    const State &committed() const { return committed_; }
    // The committed state with every staged change carried out.
    const State &projected() const { return projected_; }

    // Checks a change against the projected state and stages it: kOk, or the
    // code of the rule it breaks (nothing staged then).
    uint32_t stage(Change change);
    // A fresh handle for an object to be created.
    Handle newHandle() const { return projected_.nextHandle; }

    // Validates (dryRun) or commits the staged changes within the commit
    // scope of h; handle 0 commits everything staged.
    uint32_t commit(Handle h, bool dryRun);

    // Drops the staged changes and the loaded state; the next call reloads
    // the state file.
    void close();

private:
    std::set<Handle> scopeOf(Handle h) const;
    bool known(Handle h) const;
    void reproject();
    uint32_t refresh();

    enum class Loaded { No, Yes, Refused } loaded_ = Loaded::No;
    std::string path_;
    State committed_, projected_;
    std::vector<Change> staged_;
};

// The one server of the process and the lock every function takes.
Server &TheServer();
std::mutex &ServerLock();

}  // namespace lxnicsim
