// lxnicctl checkpoint create|list|show|rollback|delete, undo, confirm and
// verify.
#include <sstream>

#include "change.h"
#include "checkpoints.h"
#include "commands.h"
#include "console.h"
#include "exit_codes.h"
#include "image.h"
#include "library.h"
#include "output.h"
#include "restore.h"
#include "server_lock.h"
#include "state_dir.h"
#include "watchdog.h"

namespace lxnicctl {

namespace {

bool IsCheckpointId(const std::string &text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

// Restores a checkpoint as a changing command of its own (which takes a
// checkpoint first, so that "undo" can undo the rollback too).
void Rollback(const Options &options, const std::string &id, const std::string &heading) {
    Image image;
    CheckpointInfo info;
    {
        StateDir dir(options);
        image = Checkpoints(dir).load(id, info);
    }
    ChangeRun run(options);
    console::Document()["restores"] = info.toJson();
    std::ostringstream lines;
    ApplySteps steps = PlanRestore(run.session(), image, lines);
    std::ostream &out = console::Text();
    out << heading << " checkpoint " << id << " (taken " << info.time << " by \"" << Printable(info.command)
        << "\"):\n"
        << lines.str();
    if (!run.concludePlan(out)) return;
    run.apply(steps, out);
    if (!run.dryRun()) out << "checkpoint " << id << " restored\n";
}

void PrintProperties(std::ostream &out, const std::string &indent, const ImageProperties &properties) {
    std::vector<Row> rows;
    for (const auto &[id, p] : properties.items()) {
        if (p.writable) rows.push_back({indent + id, p.value});
    }
    if (!rows.empty()) PrintTable(out, {indent + "PROPERTY", "VALUE"}, rows);
}

}  // namespace

void CheckpointCreateCommand(const Options &options) {
    StateDir dir(options);
    ServerLock lock(dir, options.waitSeconds, CommandLine());
    Image image;
    {
        Session session(options);
        image = ReadImage(session, true);
    }
    CheckpointInfo info = Checkpoints(dir).save(image, CommandLine(), false);
    console::Document()["checkpoint"] = info.toJson();
    console::Text() << "checkpoint " << info.id << " saved (\"lxnicctl checkpoint rollback " << info.id
                    << "\" restores it)\n";
}

void CheckpointListCommand(const Options &options) {
    StateDir dir(options);
    std::vector<CheckpointInfo> list = Checkpoints(dir).list();
    nlohmann::json json = nlohmann::json::array();
    std::vector<Row> rows;
    for (const CheckpointInfo &c : list) {
        json.push_back(c.toJson());
        rows.push_back({c.id, c.time, c.automatic ? "before" : "taken", Printable(c.command)});
    }
    console::Document()["checkpoints"] = json;
    if (rows.empty()) {
        console::Listing() << "no checkpoints\n";
        return;
    }
    PrintTable(console::Listing(), {"ID", "TIME", "KIND", "COMMAND"}, rows);
}

void CheckpointShowCommand(const Options &options, const std::string &id) {
    StateDir dir(options);
    Checkpoints checkpoints(dir);
    nlohmann::json document = checkpoints.document(id);
    console::Document()["checkpoint"] = document;
    CheckpointInfo info;
    Image image = checkpoints.load(id, info);
    std::ostream &out = console::Listing();
    out << "checkpoint " << id << ", taken " << info.time << " " << (info.automatic ? "before" : "by") << " \""
        << Printable(info.command) << "\"\n";
    for (const ImageTeam &t : image.teams) {
        std::string members;
        for (int m : t.members) {
            const ImageAdapter *a = image.adapterNumbered(m);
            members += (members.empty() ? "" : ", ") + (a != nullptr ? a->name : std::to_string(m));
        }
        out << "\nteam \"" << Printable(t.name) << "\" (members " << Printable(members) << ")\n";
        PrintProperties(out, "  ", t.properties);
        for (const ImageVlan &v : t.vlans) {
            out << "  VLAN " << v.id() << "\n";
            PrintProperties(out, "    ", v.properties);
        }
    }
    for (const ImageAdapter &a : image.adapters) {
        out << "\n" << a.number << " " << Printable(a.name) << (a.team.empty() ? "" : " (team \"" + a.team + "\")")
            << "\n";
        PrintProperties(out, "  ", a.properties);
        for (const ImageVlan &v : a.vlans) {
            out << "  VLAN " << v.id() << "\n";
            PrintProperties(out, "    ", v.properties);
        }
    }
}

void CheckpointRollbackCommand(const Options &options, const std::string &id) {
    Rollback(options, id, "rolling back to");
}

void CheckpointDeleteCommand(const Options &options, const std::string &id) {
    StateDir dir(options);
    ServerLock lock(dir, options.waitSeconds, CommandLine());
    Checkpoints(dir).remove(id);
    console::Document()["deleted"] = id;
    console::Text() << "checkpoint " << id << " deleted\n";
}

void UndoCommand(const Options &options) {
    // A change that waits for confirmation is rolled back by its watchdog.
    if (!options.dryRun && RollBackPendingChange(options, console::Text())) return;
    StateDir dir(options);
    std::optional<CheckpointInfo> latest = Checkpoints(dir).latestAutomatic();
    if (!latest) throw Failure("nothing to undo: no changing command has taken a checkpoint of this server");
    console::Document()["undoes"] = latest->command;
    Rollback(options, latest->id, "undoing \"" + Printable(latest->command) + "\": restoring");
}

void VerifyCommand(const Options &options, const std::string &against) {
    console::SetFailureExitCode(lxtools::kExitTrouble);
    if (!IsCheckpointId(against)) {
        DiffCommand(options, against);
        return;
    }
    CheckpointInfo info;
    StateDir dir(options);
    Image image = Checkpoints(dir).load(against, info);
    Session session(options);
    std::vector<Difference> differences = Compare(image, ReadImage(session, false), true);
    nlohmann::json list = nlohmann::json::array();
    for (const Difference &d : differences) list.push_back(d.toJson());
    console::Document()["checkpoint"] = info.toJson();
    console::Document()["inSync"] = differences.empty();
    console::Document()["differences"] = list;
    std::ostream &out = console::Listing();
    if (differences.empty()) {
        out << "the server holds what checkpoint " << against << " holds\n";
        return;
    }
    out << "the server differs from checkpoint " << against << ":\n";
    for (const Difference &d : differences) out << "  " << Printable(d.text()) << "\n";
    console::SetExitCode(lxtools::kExitDiffers);
}

}  // namespace lxnicctl
