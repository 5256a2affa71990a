// lxnicctl team ... and lxnicctl vlan ...: creating and removing teams,
// members and VLANs.
#include <sstream>

#include "change.h"
#include "consequences.h"
#include "commands.h"
#include "console.h"
#include "edits.h"
#include "library.h"
#include "plan.h"
#include "records.h"
#include "targets.h"
#include "text.h"

namespace lxnicctl {

namespace {

TeamEntry *TeamOf(Session &session, const AdapterEntry *adapter) {
    if (adapter->teamHandle == 0) return nullptr;
    for (TeamEntry *t = session.teams(); t != nullptr; t = t->next) {
        if (t->handle == adapter->teamHandle) return t;
    }
    return nullptr;
}

VlanEntry *&VlansOf(const Target &parent) {
    return parent.kind == TargetKind::Team ? parent.team->vlans : parent.adapter->vlans;
}

}  // namespace

void TeamCreateCommand(const Options &options, const std::string &name,
                       const std::vector<std::string> &members,
                       const std::vector<std::string> &assignments) {
    std::vector<Edit> edits{{"TeamName", name}};
    for (const std::string &text : assignments) edits.push_back(ParseAssignment(text));

    ChangeRun run(options);
    Session &session = run.session();
    std::vector<AdapterEntry *> adapters;
    for (const std::string &text : members) {
        AdapterEntry *adapter = ResolveAdapter(session, text);
        if (TeamEntry *team = TeamOf(session, adapter)) {
            throw Failure(AdapterName(adapter) + " is already a member of team \"" + TeamName(team) + "\"");
        }
        for (AdapterEntry *a : adapters) {
            if (a == adapter) throw Failure(AdapterName(adapter) + " is named twice in --members");
        }
        adapters.push_back(adapter);
    }
    if (adapters.empty()) throw Failure("a team needs at least one member (--members)");

    TeamEntry *team = NewTeamRecord();
    AppendRecord(session.teams(), team);
    for (AdapterEntry *a : adapters) AppendRecord(team->members, NewMemberLink(a));
    Target target;
    target.kind = TargetKind::Team;
    target.team = team;
    target.label = "new team \"" + name + "\"";

    // The name and the settings are checked before anything is printed or
    // written, as any TeamName value is.
    std::ostringstream lines;
    StageEdits(session, target, edits, lines, true);
    // The team's advanced values start as its members hold them.
    SeedNewTeamAdvanced(session, target, lines);
    Plan::Current().structure({.action = "create team", .object = "team \"" + name + "\"", .target = target});
    std::ostream &out = console::Text();
    console::Document()["target"] = "team \"" + name + "\"";
    out << "creating team \"" << Printable(name) << "\" with";
    for (AdapterEntry *a : adapters) out << " " << a->number << " (" << Printable(AdapterName(a)) << ")";
    out << ":\n" << lines.str();
    if (!run.concludePlan(out)) return;
    run.apply({.teamConfiguration = true}, out);
    if (!run.dryRun()) out << "team \"" << Printable(name) << "\" created\n";
}

void TeamDissolveCommand(const Options &options, const std::string &name) {
    ChangeRun run(options);
    Session &session = run.session();
    TeamEntry *team = ResolveTeam(session, name);
    team->isDeleted = 1;
    std::ostream &out = console::Text();
    std::string label = "team \"" + TeamName(team) + "\"";
    console::Document()["target"] = label;
    out << "dissolving " << Printable(label) << (team->vlans != nullptr ? " and its VLANs" : "") << ":\n";
    Plan::Current().structure({.action = "dissolve team", .object = label, .target = TargetOf(team)});
    if (!run.concludePlan(out)) return;
    run.apply({.teamConfiguration = true}, out);
    if (!run.dryRun()) out << Printable(label) << " dissolved\n";
}

void TeamAddCommand(const Options &options, const std::string &name, const std::string &nic) {
    ChangeRun run(options);
    Session &session = run.session();
    TeamEntry *team = ResolveTeam(session, name);
    AdapterEntry *adapter = ResolveAdapter(session, nic);
    std::string label = "team \"" + TeamName(team) + "\"";
    if (TeamEntry *current = TeamOf(session, adapter)) {
        if (current == team) throw Failure(AdapterName(adapter) + " is already a member of " + label);
        throw Failure(AdapterName(adapter) + " is a member of team \"" + TeamName(current) +
                      "\"; remove it from there first");
    }
    AppendRecord(team->members, NewMemberLink(adapter));
    std::ostream &out = console::Text();
    console::Document()["target"] = label;
    out << "adding " << Printable(AdapterName(adapter)) << " to " << Printable(label) << ":\n";
    Plan::Current().structure({.action = "add member", .object = label, .member = AdapterName(adapter),
                               .target = TargetOf(team), .adapter = adapter});
    if (!run.concludePlan(out)) return;
    const std::string adapterName = AdapterName(adapter);  // the records go with the apply
    run.apply({.teamConfiguration = true}, out);
    if (!run.dryRun()) out << Printable(adapterName) << " added to " << Printable(label) << "\n";
}

void TeamRemoveCommand(const Options &options, const std::string &name, const std::string &nic) {
    ChangeRun run(options);
    Session &session = run.session();
    TeamEntry *team = ResolveTeam(session, name);
    AdapterEntry *adapter = ResolveAdapter(session, nic);
    std::string label = "team \"" + TeamName(team) + "\"";
    TeamMemberLink *link = nullptr;
    int members = 0;
    for (TeamMemberLink *m = team->members; m != nullptr; m = m->next) {
        ++members;
        if (m->adapter == adapter) link = m;
    }
    if (link == nullptr) throw Failure(AdapterName(adapter) + " is not a member of " + label);
    if (members == 1) {
        throw Failure(AdapterName(adapter) + " is the last member of " + label +
                      "; a team keeps at least one member (dissolve the team instead)");
    }
    link->isRemoved = 1;
    std::ostream &out = console::Text();
    console::Document()["target"] = label;
    out << "removing " << Printable(AdapterName(adapter)) << " from " << Printable(label) << ":\n";
    Plan::Current().structure({.action = "remove member", .object = label, .member = AdapterName(adapter),
                               .target = TargetOf(team), .adapter = adapter});

    // A preferred primary that leaves the team would name an adapter that is
    // no longer a member: the reference is cleared with the removal.
    Target target;
    target.kind = TargetKind::Team;
    target.team = team;
    target.label = label;
    PanelEntry *primary = FindEntry(target.panel(session, "TeamSettings", true), "PreferredPrimaryNIC");
    bool clearPrimary = primary != nullptr && ShownValue(primary) == AdapterName(adapter);
    if (clearPrimary) {
        MarkChanged(primary, "");
        Plan::Current().change(out, target,
                               {.object = label, .property = "PreferredPrimaryNIC", .from = AdapterName(adapter),
                                .to = "", .forcedBy = "", .forcedByValue = "", .isNew = false});
        out << "  (" << Printable(AdapterName(adapter)) << " was the preferred primary; the team has none now)\n";
    }
    if (!run.concludePlan(out)) return;
    const std::string adapterName = AdapterName(adapter);  // the records go with the apply
    run.apply({.teamConfiguration = true}, out);
    if (!run.dryRun()) out << Printable(adapterName) << " removed from " << Printable(label) << "\n";
}

void VlanAddCommand(const Options &options, const std::string &parentText, const std::string &idText,
                    const std::string &name) {
    ChangeRun run(options);
    Session &session = run.session();
    Target parent = ResolveParent(session, parentText);
    VlanEntry *vlan = NewVlanRecord();
    AppendRecord(VlansOf(parent), vlan);
    Target target = parent;
    target.kind = TargetKind::Vlan;
    target.vlan = vlan;
    target.label = "new VLAN " + idText + " on " + parent.label;

    // The id and the name are checked as any VlanId and VlanName value is:
    // a number 1-4094 not yet used on the parent, a name no sibling has.
    std::vector<Edit> edits{{"VlanId", idText}};
    if (!name.empty()) edits.push_back({"VlanName", name});
    std::ostringstream lines;
    StageEdits(session, target, edits, lines, true);
    std::string id = ToUtf8(FindEntry(vlan->identificationList, "VlanId")->newValue);
    target.label = "new VLAN " + id + " on " + parent.label;
    console::Document()["target"] = "VLAN " + id + " on " + parent.label;
    std::ostream &out = console::Text();
    out << "adding VLAN " << id << " to " << Printable(parent.label) << ":\n" << lines.str();
    Plan::Current().structure({.action = "create VLAN", .object = "VLAN " + id + " on " + parent.label,
                               .target = target});
    if (!run.concludePlan(out)) return;
    run.apply({.teamConfiguration = true}, out);
    if (!run.dryRun()) out << "VLAN " << id << " added to " << Printable(parent.label) << "\n";
}

void VlanRemoveCommand(const Options &options, const std::string &vlanText) {
    ChangeRun run(options);
    Session &session = run.session();
    Target target = ResolveTarget(session, vlanText);
    if (target.kind != TargetKind::Vlan) {
        throw Failure("\"" + vlanText + "\" is " + target.label + ", not a VLAN (name a VLAN as PARENT/ID)");
    }
    target.vlan->isDeleted = 1;
    std::ostream &out = console::Text();
    console::Document()["target"] = target.label;
    out << "removing " << Printable(target.label) << ":\n";
    Plan::Current().structure({.action = "remove VLAN", .object = target.label, .target = target});
    if (!run.concludePlan(out)) return;
    const std::string label = target.label;  // the records go with the apply
    run.apply({.teamConfiguration = true}, out);
    if (!run.dryRun()) out << Printable(label) << " removed\n";
}

}  // namespace lxnicctl
