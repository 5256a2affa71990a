// lxnicctl save and lxnicctl load: the configuration as a script file.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>

#include "apply.h"
#include "commands.h"
#include "console.h"
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

std::vector<Edit> EditsOf(ScriptProperty *properties) {
    std::vector<Edit> edits;
    for (ScriptProperty *p = properties; p != nullptr; p = p->next) {
        edits.push_back({ToUtf8(p->id), ToUtf8(p->value)});
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
// the others are reported and left out. Team advanced settings of a team to
// be created are left to its members, from which the team takes them.
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
        } else if (newTeam && panelOf == "TeamAdvanced") {
            out << "  skipped: " << edit.property << " (a new team takes its advanced settings from its members)\n";
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
// script's name, missing ones are created.
int PlanVlans(Session &session, const Target &parent, ScriptVlan *vlans, bool parentIsNew,
              std::ostream &out) {
    int changes = 0;
    VlanEntry *&list = parent.kind == TargetKind::Team ? parent.team->vlans : parent.adapter->vlans;
    for (ScriptVlan *sv = vlans; sv != nullptr; sv = sv->next) {
        std::string id = ValueOf(sv->properties, "VlanId");
        if (id.empty()) {
            out << "  skipped: a VLAN of " << Printable(parent.label) << " without VlanId\n";
            console::Warning("the script has a VLAN of " + parent.label + " without VlanId; it is left out");
            continue;
        }
        VlanEntry *existing = nullptr;
        if (!parentIsNew) {
            for (VlanEntry *v = list; v != nullptr; v = v->next) {
                if (!v->isNew && SameVlanId(VlanId(session, v, parent.label), id)) existing = v;
            }
        }
        if (existing != nullptr) {
            Target target = VlanTarget(parent, existing, "VLAN " + id + " on " + parent.label);
            std::ostringstream lines;
            changes += StageEdits(session, target, Applicable(session, target, EditsOf(sv->properties), false, lines),
                                  lines, false, false);
            PrintSection(out, target.label + ":", lines);
            continue;
        }
        VlanEntry *vlan = NewVlanRecord();
        AppendRecord(list, vlan);
        Target target = VlanTarget(parent, vlan, "new VLAN " + id + " on " + parent.label);
        out << Printable(target.label) << ":\n";
        StageEdits(session, target, Applicable(session, target, EditsOf(sv->properties), false, out), out, true);
        ++changes;
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

void LoadCommand(const Options &options, const std::string &file, bool dryRun) {
    Session session(options);
    ScriptConfig *raw = nullptr;
    char *message = nullptr;
    uint32_t result = ReadXmlScriptFile(&raw, ToWide(file).c_str(), &message);
    std::unique_ptr<ScriptConfig, ScriptConfigDeleter> config(raw);
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

    console::Document()["file"] = file;
    console::Document()["changed"] = false;
    console::Text() << "plan for " << Printable(file) << ":\n";
    int changes = 0;
    bool structural = false;
    bool adapterProperties = false;

    AdapterEntry *adapter = session.adapters();
    for (ScriptNic *nic = config->nics; nic != nullptr; nic = nic->next, adapter = adapter->next) {
        Target target = AdapterTarget(adapter);
        std::ostringstream lines;
        int marked = StageEdits(session, target, Applicable(session, target, EditsOf(nic->properties), false, lines),
                                lines, false, false);
        PrintSection(console::Text(), "NIC " + std::to_string(adapter->number) + " (" + target.label + "):", lines);
        adapterProperties = adapterProperties || marked > 0;
        changes += marked;
        int vlanChanges = PlanVlans(session, target, nic->vlans, false, console::Text());
        structural = structural || vlanChanges > 0;
        changes += vlanChanges;
    }

    std::vector<AdapterEntry *> claimed;  // adapters that teams of the script take
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
            Target target = TeamTarget(team, "team \"" + name + "\"");
            std::ostringstream lines;
            for (AdapterEntry *a : members) {
                if (a->teamHandle == team->handle) continue;
                AppendRecord(team->members, NewMemberLink(a));
                lines << "  add member " << a->number << " (" << Printable(AdapterName(a)) << ")\n";
                structural = true;
                ++changes;
            }
            for (TeamMemberLink *m = team->members; m != nullptr; m = m->next) {
                if (m->adapter != nullptr && std::find(members.begin(), members.end(), m->adapter) == members.end()) {
                    lines << "  keeps member " << m->adapter->number << " (" << Printable(AdapterName(m->adapter))
                          << "), which the script does not list\n";
                }
            }
            changes += StageEdits(session, target, Applicable(session, target, EditsOf(st->properties), false, lines),
                                  lines, false, false);
            PrintSection(console::Text(), target.label + ":", lines);
            int vlanChanges = PlanVlans(session, target, st->vlans, false, console::Text());
            structural = structural || vlanChanges > 0;
            changes += vlanChanges;
            continue;
        }
        team = NewTeamRecord();
        AppendRecord(session.teams(), team);
        for (AdapterEntry *a : members) AppendRecord(team->members, NewMemberLink(a));
        Target target = TeamTarget(team, "new team \"" + name + "\"");
        console::Text() << Printable(target.label) << " with";
        for (AdapterEntry *a : members) console::Text() << " " << a->number << " (" << Printable(AdapterName(a)) << ")";
        console::Text() << ":\n";
        StageEdits(session, target, Applicable(session, target, EditsOf(st->properties), true, console::Text()),
                   console::Text(), true);
        PlanVlans(session, target, st->vlans, true, console::Text());
        structural = true;
        ++changes;
    }

    if (changes == 0) {
        console::Text() << "nothing to change\n";
        return;
    }
    if (dryRun) {
        console::Document()["dryRun"] = true;
        console::Text() << "dry run: nothing applied\n";
        return;
    }
    ApplyAndCommit(session, {.adapterProperties = adapterProperties, .teamConfiguration = structural},
                   console::Text());
    for (TeamEntry *t = session.teams(); t != nullptr; t = t->next) {
        if (t->isNew && t->handle == 0) {
            throw Failure("a team of the script was not created: its initial settings could not be gathered");
        }
    }
    console::Text() << "script applied\n";
}

}  // namespace lxnicctl
