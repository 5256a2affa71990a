// The simulated server: the committed state (what the state file holds),
// the changes staged on top of it, and their commit.
#pragma once

#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "lxnicif.h"
#include "sim_state.h"

namespace lxnicsim {

// Flags of NicIfApplyConfigChanges (lxnicif.h).
inline constexpr uint32_t kApplyCheckOnly = NICIF_APPLY_CHECK_ONLY;
inline constexpr uint32_t kApplyBeginTransaction = NICIF_APPLY_BEGIN_TRANSACTION;

class Server {
public:
    // Loads the state file when nothing is loaded yet; kOk or kStateFileError.
    uint32_t ensureLoaded();
    // The committed state (valid after ensureLoaded answered kOk).
    const State &committed() const { return committed_; }
    // The committed state with every staged change carried out.
    const State &projected() const { return projected_; }

    // Checks a change against the projected state and stages it: kOk, or the
    // code of the rule it breaks (nothing staged then). A creation gets a
    // fresh handle (its owner) that no process sharing the state file hands
    // out again.
    uint32_t stage(Change change, Handle *created = nullptr);

    // NicIfApplyPass1 (dryRun) and NicIfApplyPass2: validates or commits the
    // staged changes within the commit scope of h. Inside a transaction both
    // only check that h is known: the transaction's closing call commits.
    uint32_t commitScope(Handle h, bool dryRun);
    // NicIfApplyConfigChanges.
    uint32_t applyConfigChanges(Handle h, uint32_t flags);

    // Drops the staged changes, an open transaction and the loaded state; the
    // next call reloads the state file.
    void close();

private:
    uint32_t commit(Handle h, bool dryRun);
    std::set<Handle> scopeOf(Handle h) const;
    bool known(Handle h) const;
    void reproject();
    uint32_t refresh();
    Handle reserveHandle();

    enum class Loaded { No, Yes, Refused } loaded_ = Loaded::No;
    std::string path_;
    std::string committedText_;  // the state file's bytes as last read or saved
    State committed_, projected_;
    std::vector<Change> staged_;
    bool transaction_ = false;
    Handle reservedNext_ = 0, reservedEnd_ = 0;  // handles this process may hand out
    Handle reservationSize_ = 1;
};

// The one server of the process and the lock every function takes.
Server &TheServer();
std::mutex &ServerLock();

}  // namespace lxnicsim
