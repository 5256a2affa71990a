#include "change.h"

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>

#include "checkpoints.h"
#include "console.h"
#include "consequences.h"
#include "library.h"
#include "lxnicif.h"
#include "plan.h"
#include "platform.h"
#include "recorder.h"
#include "records.h"
#include "restore.h"
#include "targets.h"
#include "text.h"
#include "watchdog.h"

namespace lxnicctl {

namespace {

std::string g_commandLine = "lxnicctl";

// A team's advanced settings are handed to the library only when one of them
// changes: the library writes a team's advanced list to every member, also
// the values the command did not touch, so a list handed over unchanged
// would rewrite member values nobody asked for.
void DetachUnchangedTeamAdvanced(Session &session) {
    for (TeamEntry *t = session.teams(); t != nullptr; t = t->next) {
        bool changed = false;
        for (PanelEntry *e = t->advancedList; e != nullptr; e = e->next) changed = changed || e->changed;
        if (!changed) {
            FreePanelList(t->advancedList);
            t->advancedList = nullptr;
        }
    }
}

struct Step {
    std::string call, what;
    std::function<uint32_t()> run;
};

// Whether an adapter's panel entry is marked to be written: also a value
// that a member's dependency rules force when its team writes to it.
bool AdapterEntriesMarked(Session &session) {
    for (AdapterEntry *a = session.adapters(); a != nullptr; a = a->next) {
        for (PanelEntry *list : {a->settingsList, a->advancedList}) {
            for (PanelEntry *e = list; e != nullptr; e = e->next) {
                if (e->changed == 1) return true;
            }
        }
    }
    return false;
}

std::vector<Step> StepsOf(Session &session, const ApplySteps &steps, bool checkOnly, bool transaction) {
    std::vector<Step> plan;
    if (steps.adapterProperties || AdapterEntriesMarked(session)) {
        plan.push_back({"ApplyChanges", "writing adapter properties",
                        [&session] { return ApplyChanges(&session.adapters()); }});
    }
    if (steps.teamConfiguration) {
        plan.push_back({"ApplyTeamConfigurationChanges", "creating and removing teams, members and VLANs",
                        [&session] { return ApplyTeamConfigurationChanges(&session.teams(), &session.adapters()); }});
    }
    if (!steps.teamOwnValues.empty()) {
        plan.push_back({"SetSingleTeamProperty", "writing the teams' own advanced settings", [&steps] {
                            for (const TeamOwnValue &v : steps.teamOwnValues) {
                                uint32_t result = SetSingleTeamProperty(v.team->handle, ToWide(v.id).c_str(),
                                                                        ToWide(v.value).c_str());
                                if (result != LXNICCFG_OK && result != LXNICCFG_NOTICE) return result;
                            }
                            return static_cast<uint32_t>(LXNICCFG_OK);
                        }});
    }
    plan.push_back({"ApplyTeamPropertyChanges", "writing team and VLAN properties, committing adapters",
                    [&session] { return ApplyTeamPropertyChanges(&session.teams(), &session.adapters()); }});
    if (checkOnly) {
        plan.push_back({"ApplyConfigChanges", "checking that the server takes every change",
                        [] { return ApplyConfigChanges(0, NICIF_APPLY_CHECK_ONLY); }});
    } else {
        plan.push_back({"ApplyConfigChanges",
                        transaction ? "committing everything at once" : "committing everything else that is staged",
                        [] { return ApplyConfigChanges(0, 0); }});
    }
    return plan;
}

// Runs the steps, printing each; a failing step ends it with a Failure.
bool RunSteps(Session &session, const ApplySteps &steps, std::ostream &out, bool checkOnly, bool transaction) {
    std::vector<Step> plan = StepsOf(session, steps, checkOnly, transaction);
    bool notice = false;
    nlohmann::json &done = console::Document()["steps"];
    if (done.is_null()) done = nlohmann::json::array();
    for (std::size_t i = 0; i < plan.size(); ++i) {
        const Step &step = plan[i];
        // Each step's line is written whole before the step runs, so that
        // what the step itself prints (or the error that ends the command)
        // starts on a line of its own.
        out << "[" << (i + 1) << "/" << plan.size() << "] " << step.what << " (" << step.call << ")\n"
            << std::flush;
        uint32_t result = step.run();
        done.push_back({{"call", step.call}, {"result", result}, {"meaning", ResultMeaning(step.call, result)}});
        Check(step.what, step.call, result);
        if (result != LXNICCFG_OK) out << "      " << ResultMeaning(step.call, result) << "\n";
        notice = notice || result == LXNICCFG_NOTICE;
    }
    return notice;
}

// Opens a transaction: true when the NIC interface library has them.
bool BeginTransaction() {
    uint32_t result = ApplyConfigChanges(0, NICIF_APPLY_BEGIN_TRANSACTION);
    if (result == 4) return false;  // a library without transactions
    Check("opening a transaction", "ApplyConfigChanges", result);
    return true;
}

// What a fresh read finds of the planned values and structure that is not as
// planned.
std::vector<Difference> ReadBackPlan(const Options &options) {
    Session session(options);
    Image now = ReadImage(session, false);
    std::map<uint64_t, const ImageProperties *> objects;
    std::map<uint64_t, const ImageTeam *> teams;
    std::map<uint64_t, int> adapterNumbers;
    for (const ImageAdapter &a : now.adapters) {
        objects[a.handle] = &a.properties;
        adapterNumbers[a.handle] = a.number;
        for (const ImageVlan &v : a.vlans) objects[v.handle] = &v.properties;
    }
    for (const ImageTeam &t : now.teams) {
        objects[t.handle] = &t.properties;
        teams[t.handle] = &t;
        for (const ImageVlan &v : t.vlans) objects[v.handle] = &v.properties;
    }
    // The last value planned for each property counts.
    std::map<std::pair<uint64_t, std::string>, const PlannedValue *> last;
    std::vector<std::pair<uint64_t, std::string>> order;
    for (const PlannedValue &v : Plan::Current().values()) {
        auto key = std::make_pair(v.handle, v.change.property);
        if (last.count(key) == 0) order.push_back(key);
        last[key] = &v;
    }
    std::vector<Difference> out;
    std::map<uint64_t, bool> removed;
    for (const PlannedStructure &s : Plan::Current().structures()) {
        if (s.action == "dissolve team" || s.action == "remove VLAN") removed[s.handle] = true;
    }
    for (const auto &key : order) {
        const PlannedValue &v = *last[key];
        if (removed.count(v.handle)) continue;
        auto object = objects.find(v.handle);
        if (object == objects.end()) {
            out.push_back({v.change.object, "missing", "", "", ""});
            continue;
        }
        const ImageProperty *p = object->second->find(v.change.property);
        std::string actual = p != nullptr ? p->value : "(none)";
        bool same = p != nullptr && (v.change.property == "VlanId" ? SameVlanId(p->value, v.change.to)
                                                                   : p->value == v.change.to);
        if (!same) out.push_back({v.change.object, "value", v.change.property, v.change.to, actual});
    }
    for (const PlannedStructure &s : Plan::Current().structures()) {
        bool present = objects.count(s.handle) != 0;
        if ((s.action == "create team" || s.action == "create VLAN") && !present) {
            out.push_back({s.object, "missing", "", "", ""});
        } else if ((s.action == "dissolve team" || s.action == "remove VLAN") && present) {
            out.push_back({s.object, "extra", "", "", ""});
        } else if (s.action == "add member" || s.action == "remove member") {
            auto team = teams.find(s.handle);
            int number = s.adapterNumber;
            bool member = team != teams.end() &&
                          std::find(team->second->members.begin(), team->second->members.end(), number) !=
                              team->second->members.end();
            if (s.action == "add member" && !member) out.push_back({s.object, "member missing", s.member, "", ""});
            if (s.action == "remove member" && member) out.push_back({s.object, "member extra", s.member, "", ""});
        }
    }
    return out;
}

std::string DifferencesText(const std::vector<Difference> &differences) {
    std::string text;
    for (const Difference &d : differences) text += (text.empty() ? "" : "; ") + d.text();
    return text;
}

nlohmann::json DifferencesJson(const std::vector<Difference> &differences) {
    nlohmann::json list = nlohmann::json::array();
    for (const Difference &d : differences) list.push_back(d.toJson());
    return list;
}

// A record of a change being committed by a NIC interface library without
// transactions; the next changing command restores its checkpoint when the
// command was killed before it finished.
void WriteJournal(const StateDir &dir, const std::string &checkpoint) {
    nlohmann::json journal = {{"pid", platform::ProcessId()}, {"checkpoint", checkpoint}, {"command", CommandLine()}};
    std::string problem = platform::ReplaceFile(dir.journal(), journal.dump() + "\n");
    if (!problem.empty()) throw Failure("cannot record the change being made: " + problem);
}

void RemoveJournal(const StateDir &dir) {
    std::error_code ignored;
    std::filesystem::remove(dir.journal(), ignored);
}

}  // namespace

void SetCommandLine(int argc, char **argv) {
    std::string line = "lxnicctl";
    for (int i = 1; i < argc; ++i) {
        std::string word = argv[i];
        bool plain = !word.empty() && word.find_first_of(" \t\"'\\$`") == std::string::npos;
        if (plain) {
            line += " " + word;
            continue;
        }
        // Quoted as a shell would take it back.
        std::string quoted = "'";
        for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
        line += " " + quoted + "'";
    }
    g_commandLine = line;
}

const std::string &CommandLine() { return g_commandLine; }

ChangeRun::ChangeRun(const Options &options) : options_(options) {
    if (!options_.dryRun) {
        dir_.emplace(options_);
        lock_ = std::make_unique<ServerLock>(*dir_, options_.waitSeconds, CommandLine());
        RecoverInterruptedChange(options_, *dir_, console::Text());
        SettleOrphanedChange(options_, *dir_, console::Text());
        // The picture is read in a session of its own: a value the reading
        // resets (one outside its enumeration) is dropped with it.
        Session reading(options_);
        before_ = ReadImage(reading, true);
    }
    // What the working session's reading writes (values reset because they
    // lay outside their enumeration) is part of the plan.
    recorder::StartReading();
    session_ = std::make_unique<Session>(options_);
}

ChangeRun::~ChangeRun() = default;

bool ChangeRun::concludePlan(std::ostream &out) {
    AddConsequences(*session_, out);
    if (Plan::Current().empty()) {
        console::Document()["changed"] = false;
        out << "no changes\n";
        return false;
    }
    return true;
}

void ChangeRun::apply(const ApplySteps &steps, std::ostream &out) {
    recorder::StopReading();
    DetachUnchangedTeamAdvanced(*session_);
    if (options_.dryRun) {
        console::Document()["dryRun"] = true;
        console::Document()["changed"] = false;
        if (BeginTransaction()) {
            RunSteps(*session_, steps, out, true, true);
            out << "dry run: nothing applied; the server takes every change\n";
        } else {
            out << "dry run: nothing applied; lxnicctl checked every value, and the NIC interface library "
                   "cannot check changes without making them\n";
        }
        return;
    }

    // With --rollback-after nothing may end the command between the commit
    // and the watchdog taking over: a hang-up there (the connection lost
    // through the very change being made) would leave the change committed
    // and unguarded. Interruptions wait until the watchdog has the lock.
    std::optional<platform::DeferredInterruptions> untilGuarded;
    if (options_.rollbackAfter > 0) untilGuarded.emplace();

    Checkpoints checkpoints(*dir_);
    CheckpointInfo checkpoint = checkpoints.save(*before_, CommandLine(), true);
    checkpoint_ = checkpoint.id;
    console::Document()["checkpoint"] = checkpoint.id;
    out << "checkpoint " << checkpoint.id << " saved (\"lxnicctl undo\" restores it)\n";

    bool notice = false;
    {
        // An interruption waits until the commit is made (or dropped).
        platform::DeferredInterruptions hold;
        bool transaction = false;
        try {
            if (options_.rollbackAfter > 0) RecordChangeBeingGuarded(*dir_, checkpoint_, options_.rollbackAfter);
            transaction = BeginTransaction();
            if (!transaction) WriteJournal(*dir_, checkpoint_);
            notice = RunSteps(*session_, steps, out, false, transaction);
        } catch (const Failure &e) {
            session_.reset();  // drops what the failed transaction holds
            std::string outcome = FailedChangeOutcome(options_, *before_, checkpoint_, out);
            RemoveJournal(*dir_);
            if (options_.rollbackAfter > 0) ForgetChangeBeingGuarded(*dir_);
            // A command that left the server as it was has nothing to undo:
            // its checkpoint goes, so that "undo" reaches the last command
            // that changed something and the kept ones are not pushed out.
            nlohmann::json &document = console::Document();
            if (document.value("applied", nlohmann::json(true)) == false || document.value("rolledBack", false)) {
                try {
                    checkpoints.remove(checkpoint_);
                    document.erase("checkpoint");
                    outcome += "; checkpoint " + checkpoint_ + " is dropped (\"lxnicctl undo\" undoes the change before)";
                } catch (const Failure &) {
                    // Kept: undo then restores what the server holds now.
                }
            }
            if (e.hasResult()) throw Failure(std::string(e.what()) + "; " + outcome, e.call(), e.result());
            throw Failure(std::string(e.what()) + "; " + outcome);
        }
        RemoveJournal(*dir_);
    }
    console::Document()["changed"] = true;
    if (notice) out << "note: some changes take effect when the object restarts\n";

    Plan::Current().resolveHandles();
    session_.reset();
    std::vector<Difference> left = ReadBackPlan(options_);
    console::Document()["verified"] = left.empty();
    console::Document()["notTaken"] = DifferencesJson(left);
    checkpoints.prune();
    if (left.empty()) {
        out << "read back: every value took\n";
    } else {
        out << "read back: " << left.size() << " value(s) did not take:\n";
        for (const Difference &d : left) out << "  " << Printable(d.text()) << "\n";
    }
    // What was committed is guarded whether or not every value took.
    if (options_.rollbackAfter > 0) {
        StartRollbackWatchdog(options_, *dir_, *lock_, checkpoint_, options_.rollbackAfter, out);
    }
    if (!left.empty()) {
        throw Failure("the change was committed, but " + std::to_string(left.size()) +
                      " value(s) did not take: " + DifferencesText(left) + " (\"lxnicctl undo\" restores checkpoint " +
                      checkpoint_ + ")");
    }
}

std::vector<Difference> RestoreImage(const Options &options, const Image &image, std::ostream &out) {
    {
        Session session(options);
        ApplySteps steps = PlanRestore(session, image, out);
        if (!Plan::Current().empty()) {
            DetachUnchangedTeamAdvanced(session);
            platform::DeferredInterruptions hold;
            bool transaction = BeginTransaction();
            RunSteps(session, steps, out, false, transaction);
        }
    }
    Session session(options);
    return Compare(image, ReadImage(session, false), true);
}

std::string FailedChangeOutcome(const Options &options, const Image &before, const std::string &checkpoint,
                                std::ostream &out) {
    // Whatever the step's answer said, the server itself says what took.
    std::vector<Difference> taken;
    {
        Session session(options);
        taken = Compare(before, ReadImage(session, false), true);
    }
    if (taken.empty()) {
        console::Document()["applied"] = false;
        return "nothing was applied: the server is as it was before the command";
    }
    out << "the server took part of the change (" << DifferencesText(taken) << "); restoring checkpoint "
        << checkpoint << ":\n";
    console::Document()["applied"] = "partly";
    console::Document()["partlyApplied"] = DifferencesJson(taken);
    Plan::Scope scope("rollback");
    std::vector<Difference> left;
    try {
        left = RestoreImage(options, before, out);
    } catch (const Failure &e) {
        return "part of it was applied (" + DifferencesText(taken) + ") and restoring checkpoint " + checkpoint +
               " failed too: " + e.what() + "; restore it with \"lxnicctl checkpoint rollback " + checkpoint + "\"";
    }
    if (!left.empty()) {
        return "part of it was applied (" + DifferencesText(taken) + ") and after restoring checkpoint " +
               checkpoint + " the server still differs: " + DifferencesText(left);
    }
    console::Document()["rolledBack"] = true;
    return "what was applied (" + DifferencesText(taken) + ") was rolled back: the server is as it was before the "
           "command (checkpoint " + checkpoint + ")";
}

void RecoverInterruptedChange(const Options &options, const StateDir &dir, std::ostream &out) {
    std::ifstream in(dir.journal());
    if (!in) return;
    nlohmann::json journal;
    try {
        in >> journal;
    } catch (const nlohmann::json::exception &) {
        RemoveJournal(dir);
        return;
    }
    // The lock is ours, so the command that wrote this is gone.
    std::string id = journal.value("checkpoint", "");
    std::string command = journal.value("command", "");
    console::Note("the command \"" + command + "\" was ended while it committed its change; restoring checkpoint " +
                  id + " first");
    Checkpoints checkpoints(dir);
    CheckpointInfo info;
    Image image = checkpoints.load(id, info);
    Plan::Scope scope("recovery");
    std::vector<Difference> left = RestoreImage(options, image, out);
    if (!left.empty()) {
        throw Failure("restoring checkpoint " + id + " after an interrupted command left differences: " +
                      DifferencesText(left) + "; nothing else was changed");
    }
    RemoveJournal(dir);
}

}  // namespace lxnicctl
