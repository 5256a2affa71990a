#include "watchdog.h"

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <nlohmann/json.hpp>
#include <optional>

#include "change.h"
#include "checkpoints.h"
#include "console.h"
#include "library.h"
#include "plan.h"
#include "platform.h"

namespace lxnicctl {

namespace {

// The change waiting for confirmation, as its watchdog wrote it (or, while
// the change is committed and until the watchdog takes over, its command:
// `committing`).
struct Pending {
    int pid = 0;
    std::string checkpoint, command, deadlineText;
    std::time_t deadline = 0;
    bool committing = false;
};

// What the last watchdog did.
struct Outcome {
    int pid = 0;
    std::string outcome;  // "confirmed", "rolled back", "rollback failed"
    std::string time, checkpoint, command, detail;
};

std::optional<nlohmann::json> ReadJsonFile(const std::string &path) {
    std::ifstream in(path);
    if (!in) return std::nullopt;
    try {
        nlohmann::json document;
        in >> document;
        return document;
    } catch (const nlohmann::json::exception &) {
        return std::nullopt;
    }
}

std::optional<Pending> ReadPending(const StateDir &dir) {
    std::optional<nlohmann::json> document = ReadJsonFile(dir.pendingFile());
    if (!document) return std::nullopt;
    Pending p;
    p.pid = document->value("pid", 0);
    p.checkpoint = document->value("checkpoint", "");
    p.command = document->value("command", "");
    p.deadline = document->value("deadline", static_cast<std::time_t>(0));
    p.deadlineText = document->value("deadlineText", "");
    p.committing = document->value("committing", false);
    return p;
}

std::optional<Outcome> ReadOutcome(const StateDir &dir) {
    std::optional<nlohmann::json> document = ReadJsonFile(dir.watchdogResult());
    if (!document) return std::nullopt;
    Outcome o;
    o.pid = document->value("pid", 0);
    o.outcome = document->value("outcome", "");
    o.time = document->value("time", "");
    o.checkpoint = document->value("checkpoint", "");
    o.command = document->value("command", "");
    o.detail = document->value("detail", "");
    return o;
}

void WriteOutcome(const StateDir &dir, const Pending &p, const std::string &outcome, const std::string &detail) {
    nlohmann::json document = {{"pid", p.pid},
                               {"outcome", outcome},
                               {"time", platform::LocalTimeText(std::time(nullptr))},
                               {"checkpoint", p.checkpoint},
                               {"command", p.command},
                               {"detail", detail}};
    platform::ReplaceFile(dir.watchdogResult(), document.dump(1) + "\n");
}

std::string OutcomeText(const Outcome &o) {
    std::string text = "the change of \"" + o.command + "\" was ";
    if (o.outcome == "confirmed") return text + "confirmed at " + o.time;
    if (o.outcome == "rolled back") return text + "rolled back to checkpoint " + o.checkpoint + " at " + o.time;
    return text + "to be rolled back to checkpoint " + o.checkpoint + " at " + o.time + ", which failed: " + o.detail;
}

// Signals the waiting watchdog and waits for it to finish (it gives the lock
// up when it ends). Returns what it did.
Outcome SignalWatchdog(const Options &options, const StateDir &dir, const Pending &pending, bool confirm) {
    bool sent = confirm ? platform::SendConfirmation(pending.pid) : platform::SendRollBackNow(pending.pid);
    if (!sent) throw Failure("the watchdog (process " + std::to_string(pending.pid) + ") cannot be reached");
    {
        ServerLock waitForIt(dir, std::max(options.waitSeconds, 60), CommandLine());
    }
    std::optional<Outcome> outcome = ReadOutcome(dir);
    if (!outcome || outcome->pid != pending.pid) {
        throw Failure("the watchdog (process " + std::to_string(pending.pid) + ") ended without saying what it did; see " +
                      dir.watchdogLog());
    }
    return *outcome;
}

// The change waiting for confirmation whose watchdog still holds the lock.
std::optional<Pending> LivePending(const StateDir &dir) {
    std::optional<Pending> pending = ReadPending(dir);
    if (!pending || pending->committing) return std::nullopt;
    if (CurrentHolder(dir).pid != pending->pid) return std::nullopt;
    return pending;
}

// The record once no command is between its commit and its watchdog: waits
// (up to `seconds`) while the command that wrote it is still at work.
std::optional<Pending> SettledPending(const StateDir &dir, int seconds) {
    for (int waited = 0;; waited += 50) {
        std::optional<Pending> pending = ReadPending(dir);
        if (!pending || !pending->committing || !platform::ProcessAlive(pending->pid) || waited >= seconds * 1000)
            return pending;
        platform::SleepMilliseconds(50);
    }
}

// Restores the checkpoint of a change waiting for confirmation and records
// the outcome; the record of the pending change goes either way. Returns
// what went wrong (empty: rolled back).
std::string RestorePendingCheckpoint(const Options &options, const StateDir &dir, const Pending &pending,
                                     std::ostream &out) {
    std::string detail;
    try {
        Checkpoints checkpoints(dir);
        CheckpointInfo info;
        Image image = checkpoints.load(pending.checkpoint, info);
        Plan::Scope scope("rollback");
        std::vector<Difference> left = RestoreImage(options, image, out);
        for (const Difference &d : left) detail += (detail.empty() ? "" : "; ") + d.text();
    } catch (const Failure &e) {
        detail = e.what();
    }
    WriteOutcome(dir, pending, detail.empty() ? "rolled back" : "rollback failed", detail);
    std::error_code ignored;
    std::filesystem::remove(dir.pendingFile(), ignored);
    return detail;
}

// Under the server's lock a record of a pending change means its watchdog
// ended without settling it (it was killed, or the machine restarted): the
// watchdog holds the lock for as long as the record exists.
std::string OrphanText(const Pending &pending) {
    return "the change of \"" + pending.command + "\" was to be confirmed by " + pending.deadlineText +
           ", and its rollback watchdog (process " + std::to_string(pending.pid) + ") has ended";
}

}  // namespace

void StartRollbackWatchdog(const Options &options, const StateDir &dir, ServerLock &lock,
                           const std::string &checkpoint, int seconds, std::ostream &out) {
    std::time_t deadline = std::time(nullptr) + seconds;
    std::vector<std::string> arguments = {kWatchdogCommand,       "--lock-fd",   std::to_string(lock.descriptor()),
                                          "--state-dir",          dir.path(),    "--checkpoint",
                                          checkpoint,             "--deadline",  std::to_string(deadline),
                                          "--command",            CommandLine()};
    if (!options.definitions.empty()) arguments.insert(arguments.end(), {"--defs", options.definitions});
    if (!options.state.empty()) arguments.insert(arguments.end(), {"--state", options.state});
    // The record the command wrote before its commit stays until the
    // watchdog replaces it with its own.
    std::string problem;
    int pid = platform::StartWatchdog(arguments, lock.descriptor(), dir.watchdogLog(), problem);
    // It says it is ready by writing the record of the pending change.
    for (int waited = 0; pid > 0; waited += 10) {
        std::optional<Pending> pending = ReadPending(dir);
        if (pending && pending->pid == pid) break;
        if (waited > 30000 || !platform::ProcessAlive(pid)) {
            problem = "it did not start (see " + dir.watchdogLog() + ")";
            pid = -1;
        }
        if (pid > 0) platform::SleepMilliseconds(10);
    }
    if (pid < 0) {
        throw Failure("the change is committed, but the watchdog that would roll it back could not be started: " +
                      problem + " (\"lxnicctl undo\" restores checkpoint " + checkpoint + ")");
    }
    std::string when = platform::LocalTimeText(deadline);
    console::Document()["rollbackAfter"] = {
        {"seconds", seconds}, {"deadline", when}, {"watchdog", pid}, {"checkpoint", checkpoint}};
    out << "unless \"lxnicctl confirm\" runs within " << seconds << " s (by " << when
        << "), the watchdog (process " << pid << ") restores checkpoint " << checkpoint << "\n";
}

int RunWatchdog(int argc, char **argv) {
    platform::PrepareWatchdogSignals();
    Options options;
    Pending pending;
    int lockFd = -1;
    for (int i = 2; i + 1 < argc; i += 2) {
        std::string key = argv[i], value = argv[i + 1];
        if (key == "--lock-fd") lockFd = std::atoi(value.c_str());
        if (key == "--state-dir") options.stateDir = value;
        if (key == "--checkpoint") pending.checkpoint = value;
        if (key == "--deadline") pending.deadline = static_cast<std::time_t>(std::atoll(value.c_str()));
        if (key == "--command") pending.command = value;
        if (key == "--defs") options.definitions = value;
        if (key == "--state") options.state = value;
    }
    pending.pid = platform::ProcessId();
    pending.deadlineText = platform::LocalTimeText(pending.deadline);
    try {
        StateDir dir(options);
        ServerLock lock(lockFd, dir);
        lock.describe("the rollback watchdog of \"" + pending.command + "\"",
                      "the change waits for confirmation until " + pending.deadlineText +
                          " (\"lxnicctl confirm\" keeps it, \"lxnicctl undo\" rolls it back now)");
        nlohmann::json record = {{"pid", pending.pid},          {"checkpoint", pending.checkpoint},
                                 {"command", pending.command},  {"deadline", pending.deadline},
                                 {"deadlineText", pending.deadlineText}};
        std::string problem = platform::ReplaceFile(dir.pendingFile(), record.dump(1) + "\n");
        if (!problem.empty()) throw Failure(problem);
        std::cout << platform::LocalTimeText(std::time(nullptr)) << " process " << pending.pid << ": \""
                  << pending.command << "\" rolls back to checkpoint " << pending.checkpoint << " at "
                  << pending.deadlineText << " unless confirmed\n"
                  << std::flush;

        platform::WatchdogEvent event = platform::WaitForConfirmation(pending.deadline);
        if (event == platform::WatchdogEvent::Confirmed) {
            WriteOutcome(dir, pending, "confirmed", "");
            std::filesystem::remove(dir.pendingFile());
            std::cout << platform::LocalTimeText(std::time(nullptr)) << " confirmed\n" << std::flush;
            return 0;
        }
        std::cout << platform::LocalTimeText(std::time(nullptr)) << " "
                  << (event == platform::WatchdogEvent::Deadline ? "not confirmed in time" : "asked to roll back now")
                  << ": restoring checkpoint " << pending.checkpoint << "\n"
                  << std::flush;
        std::string detail = RestorePendingCheckpoint(options, dir, pending, std::cout);
        std::cout << platform::LocalTimeText(std::time(nullptr)) << " "
                  << (detail.empty() ? "rolled back" : "the rollback failed: " + detail) << "\n"
                  << std::flush;
        return detail.empty() ? 0 : 1;
    } catch (const std::exception &e) {
        std::cout << "the watchdog failed: " << e.what() << "\n" << std::flush;
        return 1;
    }
}

void ConfirmCommand(const Options &options) {
    StateDir dir(options);
    std::optional<Pending> pending = SettledPending(dir, options.waitSeconds);
    if (pending && !LivePending(dir)) {
        ServerLock lock(dir, options.waitSeconds, CommandLine());
        if (std::optional<Pending> orphan = ReadPending(dir)) {
            console::Document()["command"] = orphan->command;
            console::Document()["checkpoint"] = orphan->checkpoint;
            if (std::time(nullptr) < orphan->deadline) {
                // Confirmed in time: what the watchdog would have recorded.
                WriteOutcome(dir, *orphan, "confirmed", "");
                std::error_code ignored;
                std::filesystem::remove(dir.pendingFile(), ignored);
                console::Document()["confirmed"] = true;
                console::Text() << "confirmed: the change of \"" << Printable(orphan->command)
                                << "\" stays (its watchdog, process " << orphan->pid << ", had ended; "
                                << "\"lxnicctl undo\" still restores checkpoint " << orphan->checkpoint << ")\n";
                return;
            }
            // Too late: roll back as the watchdog would have at the deadline.
            console::Text() << OrphanText(*orphan) << "; the deadline has passed: restoring checkpoint "
                            << orphan->checkpoint << " now\n";
            std::string detail = RestorePendingCheckpoint(options, dir, *orphan, console::Text());
            throw Failure("too late: the change of \"" + orphan->command + "\" was to be confirmed by " +
                          orphan->deadlineText + "; " +
                          (detail.empty() ? "checkpoint " + orphan->checkpoint + " is restored"
                                          : "restoring checkpoint " + orphan->checkpoint + " failed: " + detail));
        }
        pending.reset();
    }
    if (!pending || !LivePending(dir)) {
        std::optional<Outcome> last = ReadOutcome(dir);
        std::string why = last ? " (" + OutcomeText(*last) + ")" : "";
        throw Failure("no change is waiting for confirmation" + why);
    }
    Outcome outcome = SignalWatchdog(options, dir, *pending, true);
    if (outcome.outcome != "confirmed") throw Failure("too late: " + OutcomeText(outcome));
    console::Document()["confirmed"] = true;
    console::Document()["command"] = outcome.command;
    console::Document()["checkpoint"] = outcome.checkpoint;
    console::Text() << "confirmed: the change of \"" << Printable(outcome.command) << "\" stays (\"lxnicctl undo\" "
                    << "still restores checkpoint " << outcome.checkpoint << ")\n";
}

bool RollBackPendingChange(const Options &options, std::ostream &out) {
    StateDir dir(options);
    std::optional<Pending> pending = SettledPending(dir, options.waitSeconds) ? LivePending(dir) : std::nullopt;
    if (!pending && ReadPending(dir)) {
        // Its watchdog has ended: restore here, under the lock.
        ServerLock lock(dir, options.waitSeconds, CommandLine());
        std::optional<Pending> orphan = ReadPending(dir);
        if (!orphan) return false;
        out << OrphanText(*orphan) << ": restoring checkpoint " << orphan->checkpoint << " now\n";
        std::string detail = RestorePendingCheckpoint(options, dir, *orphan, out);
        console::Document()["checkpoint"] = orphan->checkpoint;
        console::Document()["changed"] = true;
        if (!detail.empty()) throw Failure("restoring checkpoint " + orphan->checkpoint + " failed: " + detail);
        out << "rolled back to checkpoint " << orphan->checkpoint << "\n";
        return true;
    }
    if (!pending) return false;
    out << "the change of \"" << Printable(pending->command) << "\" waits for confirmation: its watchdog restores "
        << "checkpoint " << pending->checkpoint << " now\n";
    Outcome outcome = SignalWatchdog(options, dir, *pending, false);
    console::Document()["checkpoint"] = outcome.checkpoint;
    console::Document()["changed"] = true;
    if (outcome.outcome != "rolled back") throw Failure(OutcomeText(outcome));
    out << "rolled back to checkpoint " << outcome.checkpoint << "\n";
    return true;
}

void SettleOrphanedChange(const Options &options, const StateDir &dir, std::ostream &out) {
    std::optional<Pending> pending = ReadPending(dir);
    if (!pending) return;
    {
        // Ended before its commit took (or after the rollback): the server
        // holds the checkpoint, and there is nothing to guard.
        std::vector<Difference> changed;
        try {
            CheckpointInfo info;
            Image image = Checkpoints(dir).load(pending->checkpoint, info);
            Session session(options);
            changed = Compare(image, ReadImage(session, false), true);
        } catch (const Failure &) {
            changed.resize(1);  // cannot tell: treated as changed
        }
        if (changed.empty()) {
            std::error_code ignored;
            std::filesystem::remove(dir.pendingFile(), ignored);
            return;
        }
    }
    if (std::time(nullptr) < pending->deadline) {
        throw Failure(OrphanText(*pending) + ": \"lxnicctl confirm\" keeps the change, \"lxnicctl undo\" rolls it "
                      "back; nothing else was changed");
    }
    console::Note(OrphanText(*pending) + "; the change was not confirmed: restoring checkpoint " +
                  pending->checkpoint + " first, as the watchdog would have");
    std::string detail = RestorePendingCheckpoint(options, dir, *pending, out);
    if (!detail.empty()) {
        throw Failure("restoring checkpoint " + pending->checkpoint + " of an unconfirmed change failed: " + detail +
                      "; nothing else was changed");
    }
}

void RecordChangeBeingGuarded(const StateDir &dir, const std::string &checkpoint, int seconds) {
    std::time_t deadline = std::time(nullptr) + seconds;
    nlohmann::json record = {{"pid", platform::ProcessId()},  {"checkpoint", checkpoint},
                             {"command", CommandLine()},      {"deadline", deadline},
                             {"deadlineText", platform::LocalTimeText(deadline)}, {"committing", true}};
    std::string problem = platform::ReplaceFile(dir.pendingFile(), record.dump(1) + "\n");
    if (!problem.empty()) throw Failure("cannot record the change to be confirmed: " + problem);
}

void ForgetChangeBeingGuarded(const StateDir &dir) {
    std::error_code ignored;
    std::filesystem::remove(dir.pendingFile(), ignored);
}

}  // namespace lxnicctl
