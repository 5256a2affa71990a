// lxnicctl save and lxnicctl load: the configuration as a script file.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>
#include <unordered_map>

#include "change.h"
#include "consequences.h"
#include "plan.h"
#include "commands.h"
#include "console.h"
#include "exit_codes.h"
#include "edits.h"
#include "file_problems.h"
#include "library.h"
#include "records.h"
#include "targets.h"
#include "text.h"

namespace lxnicctl {

namespace {

// The script version this program writes and reads.
constexpr const char *kScriptVersion = "3.1";

Target AdapterTarget(AdapterEntry *adapter) {
    Target target;
    target.kind = TargetKind::Adapter;
    target.adapter = adapter;
    target.label = AdapterName(adapter);
    return target;
}

Target TeamTarget(TeamEntry *team, const std::string &label) {
    Target target;
    target.kind = TargetKind::Team;
    target.team = team;
    target.label = label;
    return target;
}

Target VlanTarget(const Target &parent, VlanEntry *vlan, const std::string &label) {
    Target target = parent;
    target.kind = TargetKind::Vlan;
    target.vlan = vlan;
    target.label = label;
    return target;
}

// The panels the script writer reads, hung on the slots it reads them from.
void ReadPanelsForScript(Session &session, bool full) {
    for (AdapterEntry *a = session.adapters(); a != nullptr; a = a->next) {
        Target target = AdapterTarget(a);
        for (const char *panel : {"Settings", "Advanced", "Information"}) target.panel(session, panel, true);
        if (full) target.panel(session, "Statistics", true);
        for (VlanEntry *v = a->vlans; v != nullptr; v = v->next) {
            VlanTarget(target, v, "a VLAN on " + target.label).panel(session, "Vlan", true);
        }
    }
    for (TeamEntry *t = session.teams(); t != nullptr; t = t->next) {
        Target target = TeamTarget(t, "team \"" + TeamName(t) + "\"");
        for (const char *panel : {"TeamingControls", "TeamSettings", "TeamAdvanced", "AdvancedRedundancy"}) {
            target.panel(session, panel, true);
        }
        if (full) target.panel(session, "TeamInfo", true);
        for (VlanEntry *v = t->vlans; v != nullptr; v = v->next) {
            VlanTarget(target, v, "a VLAN on " + target.label).panel(session, "Vlan", true);
        }
    }
}

// A heading and its lines, when there are any.
void PrintSection(std::ostream &out, const std::string &heading, const std::ostringstream &lines) {
    if (!lines.str().empty()) out << Printable(heading) << "\n" << lines.str();
}

struct ScriptConfigDeleter {
    void operator()(ScriptConfig *config) const { FreeScriptConfig(config); }
};

// The script's values. An empty value is a placeholder (the short form
// writes the address lines empty on purpose) and changes nothing.
std::vector<Edit> EditsOf(ScriptProperty *properties) {
    std::vector<Edit> edits;
    for (ScriptProperty *p = properties; p != nullptr; p = p->next) {
        std::string value = ToUtf8(p->value);
        if (value.empty()) continue;
        edits.push_back({ToUtf8(p->id), value});
    }
    return edits;
}

std::string ValueOf(ScriptProperty *properties, const std::string &id) {
    for (ScriptProperty *p = properties; p != nullptr; p = p->next) {
        if (ToUtf8(p->id) == id) return ToUtf8(p->value);
    }
    return {};
}

// The script's properties that the target has on a panel it can change;
// the others are reported and left out. A team to be created starts with the
// advanced settings its members hold, so the script's advanced values that
// equal those are left to that.
std::vector<Edit> Applicable(Session &session, const Target &target, const std::vector<Edit> &edits,
                             bool newTeam, std::ostream &out) {
    std::vector<Edit> applicable;
    for (const Edit &edit : edits) {
        PanelEntry *entry = nullptr;
        std::string panelOf;
        for (const std::string &panel : target.editablePanels()) {
            if (entry == nullptr) {
                entry = FindEntry(target.panel(session, panel, true), edit.property);
                panelOf = panel;
            }
        }
        if (entry == nullptr) {
            // Left out, and said so where --quiet does not hide it.
            out << "  skipped: " << Printable(edit.property) << " (" << Printable(target.label)
                << " has no such property)\n";
            console::Warning("the script sets " + edit.property + ", which " + target.label +
                          " does not have that can be set; it is left out");
        } else if (newTeam && panelOf == "TeamAdvanced" && edit.value == StartingTeamValue(session, target, entry)) {
            // The team starts with what its members hold; only a value that
            // differs is set, and rewrites the members (shown in the plan).
            continue;
        } else {
            applicable.push_back(edit);
        }
    }
    return applicable;
}

std::vector<AdapterEntry *> RelNics(Session &session, const std::string &relnics, int teamNumber) {
    std::vector<AdapterEntry *> adapters;
    std::istringstream words(relnics);
    std::string word;
    while (words >> word) {
        AdapterEntry *found = nullptr;
        for (AdapterEntry *a = session.adapters(); a != nullptr; a = a->next) {
            if (std::to_string(a->number) == word) found = a;
        }
        if (found == nullptr) {
            throw Failure("the script's team " + std::to_string(teamNumber) + " names NIC " + word +
                          ", but this server has no adapter with that number");
        }
        adapters.push_back(found);
    }
    return adapters;
}

// VLANs of the script under one parent: existing ones (same VLAN id) get the
// script's values, missing ones are created. The parent's VLANs the script
// does not have are noted in onlyOnServer.
int PlanVlans(Session &session, const Target &parent, ScriptVlan *vlans, bool parentIsNew, std::ostream &out,
              std::vector<std::string> &onlyOnServer) {
    int changes = 0;
    VlanEntry *&list = parent.kind == TargetKind::Team ? parent.team->vlans : parent.adapter->vlans;
    // The parent's VLANs by id, and the end of its list, looked up once.
    std::unordered_map<std::string, VlanEntry *> existingById;
    std::unordered_map<VlanEntry *, bool> named;
    VlanEntry **tail = &list;
    for (VlanEntry *v = list; v != nullptr; v = v->next) {
        if (!parentIsNew && !v->isNew) existingById.emplace(VlanIdKey(VlanId(session, v, parent.label)), v);
        tail = &v->next;
    }
    for (ScriptVlan *sv = vlans; sv != nullptr; sv = sv->next) {
        std::string id = ValueOf(sv->properties, "VlanId");
        if (id.empty()) {
            out << "  skipped: a VLAN of " << Printable(parent.label) << " without VlanId\n";
            console::Warning("the script has a VLAN of " + parent.label + " without VlanId; it is left out");
            continue;
        }
        auto found = existingById.find(VlanIdKey(id));
        if (found != existingById.end()) {
            named[found->second] = true;
            Target target = VlanTarget(parent, found->second, "VLAN " + id + " on " + parent.label);
            std::ostringstream lines;
            changes += StageEdits(session, target, Applicable(session, target, EditsOf(sv->properties), false, lines),
                                  lines, false, false);
            PrintSection(out, target.label + ":", lines);
            continue;
        }
        VlanEntry *vlan = NewVlanRecord();
        *tail = vlan;
        tail = &vlan->next;
        Target target = VlanTarget(parent, vlan, "new VLAN " + id + " on " + parent.label);
        out << Printable(target.label) << ":\n";
        StageEdits(session, target, Applicable(session, target, EditsOf(sv->properties), false, out), out, true);
        Plan::Current().structure({.action = "create VLAN", .object = "VLAN " + id + " on " + parent.label,
                                   .target = target});
        ++changes;
    }
    for (const auto &[key, v] : existingById) {
        if (!named.count(v)) onlyOnServer.push_back("VLAN " + VlanId(session, v, parent.label) + " on " + parent.label);
    }
    return changes;
}

}  // namespace

void SaveCommand(const Options &options, const std::string &file, bool full, bool addressComments) {
    // The server's own state file and the definitions file in use are not
    // scripts: writing one over them would lose the server or the definitions.
    auto same = [&](const std::string &other) {
        std::error_code error;
        return !other.empty() && std::filesystem::exists(file, error) &&
               std::filesystem::equivalent(file, other, error);
    };
    std::string state = StateFileInUse(options);
    if (same(state)) {
        throw Failure("refusing to save over " + file + ": it is the server's state file (" + state + ")");
    }
    std::string definitions = options.definitions.empty() ? DefaultDefinitionsPath() : options.definitions;
    if (same(definitions)) {
        throw Failure("refusing to save over " + file + ": it is the definitions file in use");
    }

    Session session(options);
    ReadPanelsForScript(session, full);
    uint32_t result = WriteXmlScriptFile(session.teams(), session.adapters(), ToWide(file).c_str(),
                                         full ? 1 : 0, addressComments ? 1 : 0);
    if (result != LXNICCFG_OK) {
        std::string why = lxtools::WhyCannotWrite(file);
        throw Failure("saving the configuration to " + file + " failed" + (why.empty() ? "" : ": " + why) +
                          " (WriteXmlScriptFile answered " + DescribeResult("WriteXmlScriptFile", result) + ")",
                      "WriteXmlScriptFile", result);
    }
    console::Document()["file"] = file;
    console::Document()["changed"] = false;
    console::Text() << "configuration saved to " << Printable(file)
                    << (full ? " (full report; load reads only the short form)" : "") << "\n";
}

namespace {

using ScriptPointer = std::unique_ptr<ScriptConfig, ScriptConfigDeleter>;

// Reads a short-form script; a Failure says why it cannot be used.
ScriptPointer ReadScript(const std::string &file) {
    ScriptConfig *raw = nullptr;
    char *message = nullptr;
    uint32_t result = ReadXmlScriptFile(&raw, ToWide(file).c_str(), &message);
    ScriptPointer config(raw);
    std::string messageText = message != nullptr ? message : "";
    std::free(message);
    if (result != LXNICCFG_OK) {
        std::string why = result == LXNICCFG_CANNOT_OPEN ? lxtools::WhyCannotRead(file) : "";
        throw Failure("reading the script " + file + " failed" + (why.empty() ? "" : ": " + why) +
                          ": ReadXmlScriptFile answered " + DescribeResult("ReadXmlScriptFile", result) +
                          (messageText.empty() ? "" : ": " + messageText),
                      "ReadXmlScriptFile", result);
    }
    // A script of a version this program does not know may mean something
    // else by what it holds; a script without a version element is read as
    // the current one.
    if (config->version != nullptr) {
        std::string version = ToUtf8(config->version->scriptVersion);
        if (version != kScriptVersion) {
            throw Failure("the script " + file + " is of script version \"" + version +
                          "\", which this program does not know (it reads version " + kScriptVersion +
                          "); nothing was changed");
        }
    }
    return config;
}

struct ScriptPlan {
    bool adapterProperties = false;
    bool structural = false;
    // Teams, members and VLANs the server has and the script does not (load
    // keeps them).
    std::vector<std::string> onlyOnServer;
};

// Marks the session's records with what the script asks for, printing the
// plan: properties that change, members to add, teams and VLANs to create.
ScriptPlan PlanScript(Session &session, ScriptConfig *config, std::ostream &out) {
    // Every NIC of the script must be one of this server's adapters, by number.
    int adapterCount = 0;
    for (AdapterEntry *a = session.adapters(); a != nullptr; a = a->next) ++adapterCount;
    int nicCount = 0;
    for (ScriptNic *n = config->nics; n != nullptr; n = n->next) ++nicCount;
    if (nicCount > adapterCount) {
        throw Failure("the script describes " + std::to_string(nicCount) + " NICs, but this server has " +
                      std::to_string(adapterCount) + " adapters: NIC " + std::to_string(adapterCount + 1) +
                      " is unknown");
    }

    ScriptPlan plan;
    AdapterEntry *adapter = session.adapters();
    for (ScriptNic *nic = config->nics; nic != nullptr; nic = nic->next, adapter = adapter->next) {
        Target target = AdapterTarget(adapter);
        std::ostringstream lines;
        int marked = StageEdits(session, target, Applicable(session, target, EditsOf(nic->properties), false, lines),
                                lines, false, false);
        PrintSection(out, "NIC " + std::to_string(adapter->number) + " (" + target.label + "):", lines);
        plan.adapterProperties = plan.adapterProperties || marked > 0;
        plan.structural = PlanVlans(session, target, nic->vlans, false, out, plan.onlyOnServer) > 0 || plan.structural;
    }

    std::vector<AdapterEntry *> claimed;  // adapters that teams of the script take
    std::vector<TeamEntry *> scripted;
    int teamNumber = 0;
    for (ScriptTeam *st = config->teams; st != nullptr; st = st->next) {
        ++teamNumber;
        std::vector<AdapterEntry *> members = RelNics(session, ToUtf8(st->relnics), teamNumber);
        std::string name = ValueOf(st->properties, "TeamName");
        TeamEntry *team = nullptr;
        int sameName = 0;
        for (TeamEntry *t = session.teams(); t != nullptr; t = t->next) {
            if (!t->isNew && !name.empty() && TeamName(t) == name) {
                team = t;
                ++sameName;
            }
        }
        if (sameName > 1) {
            throw Failure("the script's team " + std::to_string(teamNumber) + " is named \"" + name +
                          "\", which " + std::to_string(sameName) +
                          " teams of this server are called: it cannot say which to update; rename one first");
        }
        for (AdapterEntry *a : members) {
            for (AdapterEntry *c : claimed) {
                if (c == a) throw Failure("the script puts NIC " + std::to_string(a->number) + " in two teams");
            }
            claimed.push_back(a);
            if (a->teamHandle != 0 && (team == nullptr || a->teamHandle != team->handle)) {
                std::string current;
                for (TeamEntry *t = session.teams(); t != nullptr; t = t->next) {
                    if (t->handle == a->teamHandle) current = TeamName(t);
                }
                throw Failure("the script puts NIC " + std::to_string(a->number) + " (" + AdapterName(a) +
                              ") in team \"" + name + "\", but it is a member of team \"" + current +
                              "\"; dissolve that team or remove the adapter from it first");
            }
        }
        if (members.empty()) throw Failure("the script's team " + std::to_string(teamNumber) + " has no member NICs");

        if (team != nullptr) {
            scripted.push_back(team);
            Target target = TeamTarget(team, "team \"" + name + "\"");
            std::ostringstream lines;
            for (AdapterEntry *a : members) {
                if (a->teamHandle == team->handle) continue;
                AppendRecord(team->members, NewMemberLink(a));
                lines << "  add member " << a->number << " (" << Printable(AdapterName(a)) << ")\n";
                Plan::Current().structure({.action = "add member", .object = target.label, .member = AdapterName(a),
                                           .target = target, .adapter = a});
                plan.structural = true;
            }
            for (TeamMemberLink *m = team->members; m != nullptr; m = m->next) {
                if (m->adapter != nullptr && std::find(members.begin(), members.end(), m->adapter) == members.end()) {
                    lines << "  keeps member " << m->adapter->number << " (" << Printable(AdapterName(m->adapter))
                          << "), which the script does not list\n";
                    plan.onlyOnServer.push_back(target.label + ": member " + AdapterName(m->adapter));
                }
            }
            StageEdits(session, target, Applicable(session, target, EditsOf(st->properties), false, lines), lines,
                       false, false);
            PrintSection(out, target.label + ":", lines);
            plan.structural = PlanVlans(session, target, st->vlans, false, out, plan.onlyOnServer) > 0 || plan.structural;
            continue;
        }
        team = NewTeamRecord();
        AppendRecord(session.teams(), team);
        for (AdapterEntry *a : members) AppendRecord(team->members, NewMemberLink(a));
        Target target = TeamTarget(team, "new team \"" + name + "\"");
        out << Printable(target.label) << " with";
        for (AdapterEntry *a : members) out << " " << a->number << " (" << Printable(AdapterName(a)) << ")";
        out << ":\n";
        StageEdits(session, target, Applicable(session, target, EditsOf(st->properties), true, out), out, true);
        // The team's advanced values start as its members hold them.
        SeedNewTeamAdvanced(session, target, out);
        Plan::Current().structure({.action = "create team", .object = "team \"" + name + "\"", .target = target});
        PlanVlans(session, target, st->vlans, true, out, plan.onlyOnServer);
        plan.structural = true;
    }
    for (TeamEntry *t = session.teams(); t != nullptr; t = t->next) {
        if (!t->isNew && std::find(scripted.begin(), scripted.end(), t) == scripted.end())
            plan.onlyOnServer.push_back("team \"" + TeamName(t) + "\"");
    }
    return plan;
}

}  // namespace

void LoadCommand(const Options &options, const std::string &file, bool dryRun) {
    ScriptPointer config = ReadScript(file);
    Options run_options = options;
    run_options.dryRun = options.dryRun || dryRun;
    ChangeRun run(run_options);
    console::Document()["file"] = file;
    console::Document()["changed"] = false;
    std::ostringstream lines;
    ScriptPlan plan = PlanScript(run.session(), config.get(), lines);
    std::ostream &out = console::Text();
    out << "plan for " << Printable(file) << ":\n" << lines.str();
    if (!run.concludePlan(out)) return;
    run.apply({.adapterProperties = plan.adapterProperties, .teamConfiguration = plan.structural}, out);
    if (!run.dryRun()) out << "script applied\n";
}

void DiffCommand(const Options &options, const std::string &file) {
    console::SetFailureExitCode(lxtools::kExitTrouble);
    ScriptPointer config = ReadScript(file);
    Session session(options);
    std::ostringstream lines;
    ScriptPlan plan = PlanScript(session, config.get(), lines);
    bool inSync = Plan::Current().empty() && plan.onlyOnServer.empty();
    nlohmann::json &document = console::Document();
    document["file"] = file;
    document["inSync"] = inSync;
    if (!document.contains("changes")) document["changes"] = nlohmann::json::array();
    if (!document.contains("structure")) document["structure"] = nlohmann::json::array();
    document["onlyOnServer"] = plan.onlyOnServer;
    std::ostream &out = console::Listing();
    if (inSync) {
        out << "the server is in sync with " << Printable(file) << "\n";
        return;
    }
    out << "the server differs from " << Printable(file) << " (load would make these changes):\n" << lines.str();
    if (!plan.onlyOnServer.empty()) {
        out << "only on the server (load keeps them):\n";
        for (const std::string &item : plan.onlyOnServer) out << "  " << Printable(item) << "\n";
    }
    console::SetExitCode(lxtools::kExitDiffers);
}

}  // namespace lxnicctl
