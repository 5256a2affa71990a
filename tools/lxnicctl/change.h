// A changing command as one transaction on the server.
//
//   1. the server's lock (server_lock.h), so that changing commands take
//      turns and none races a rollback watchdog;
//   2. a complete picture of the server, read in a session of its own (so
//      that values the reading resets are dropped with it);
//   3. the command's plan, in the working session: the command marks the
//      records; what the plan makes the library write besides (a team's
//      advanced settings on its members, values reset on reading) is added
//      and everything is shown before anything is written;
//   4. with --dry-run: every step is run in a transaction that is checked and
//      dropped, so that a change the server would refuse is refused now;
//   5. otherwise the picture is saved as a checkpoint, the steps run in a
//      transaction that the server commits all at once or not at all (a NIC
//      interface library without transactions gets the checkpoint restored
//      when a step fails), with interruptions held back until the commit is
//      made;
//   6. every value written is read back in a fresh session, and any that did
//      not take is reported;
//   7. with --rollback-after, a watchdog takes the lock over and restores the
//      checkpoint unless "lxnicctl confirm" runs in time.
#pragma once

#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "apply.h"
#include "image.h"
#include "server_lock.h"
#include "session.h"
#include "state_dir.h"

namespace lxnicctl {

// The command line as the user gave it, for checkpoints and the lock.
void SetCommandLine(int argc, char **argv);
const std::string &CommandLine();

class ChangeRun {
public:
    explicit ChangeRun(const Options &options);
    ~ChangeRun();
    ChangeRun(const ChangeRun &) = delete;
    ChangeRun &operator=(const ChangeRun &) = delete;

    Session &session() { return *session_; }
    bool dryRun() const { return options_.dryRun; }

    // Shows what else the plan makes the library write, and says "no
    // changes" when the plan is empty (false then: nothing to apply).
    bool concludePlan(std::ostream &out);

    // Applies the marked records (see above) and reports. Throws a Failure
    // saying what was applied and what not when a step fails.
    void apply(const ApplySteps &steps, std::ostream &out);

    // The picture of the server taken before the command (not for a dry
    // run), and the checkpoint saved of it (once applied).
    const Image &before() const { return *before_; }
    const std::string &checkpoint() const { return checkpoint_; }

private:
    Options options_;
    std::optional<StateDir> dir_;
    std::unique_ptr<ServerLock> lock_;
    std::optional<Image> before_;
    std::unique_ptr<Session> session_;
    std::string checkpoint_;
};

// Restores a picture in a session of its own, as one transaction, and reads
// the server back against it: the rollback of a checkpoint, of a failed
// command, and the watchdog's. The caller holds the server's lock. Returns
// the differences that remain (empty: the server is the picture again).
std::vector<Difference> RestoreImage(const Options &options, const Image &image, std::ostream &out);

// After a step failed: compares the server with the picture taken before
// the command and restores it when anything took. Returns what to say about
// it ("nothing was applied: ...", "what was applied (...) was rolled back").
std::string FailedChangeOutcome(const Options &options, const Image &before, const std::string &checkpoint,
                                std::ostream &out);

// A changing command killed while a NIC interface library without
// transactions committed its change leaves a record in the state folder;
// the next changing command (holding the lock) restores that command's
// checkpoint first.
void RecoverInterruptedChange(const Options &options, const StateDir &dir, std::ostream &out);

}  // namespace lxnicctl
