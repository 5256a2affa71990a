// lxnicctl team ... and lxnicctl vlan ...: creating and removing teams,
// members and VLANs.

#include "apply.h"
#include "commands.h"
#include "console.h"
#include "edits.h"
#include "library.h"
#include "records.h"
#include "targets.h"

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
    if (name.empty()) throw Failure("a team needs a name");
    std::vector<Edit> edits{{"TeamName", name}};
    for (const std::string &text : assignments) edits.push_back(ParseAssignment(text));

    Session session(options);
    for (TeamEntry *t = session.teams(); t != nullptr; t = t->next) {
        if (TeamName(t) == name) throw Failure("there is already a team \"" + name + "\"");
    }
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

    console::Text() << "creating team \"" << name << "\" with";
    for (AdapterEntry *a : adapters) console::Text() << " " << a->number << " (" << AdapterName(a) << ")";
    console::Text() << ":\n";
    StageEdits(session, target, edits, console::Text(), true);
    ApplyAndCommit(session, {.teamConfiguration = true}, console::Text());
    if (team->handle == 0) {
        throw Failure("team \"" + name + "\" was not created: its initial settings could not be gathered");
    }
    console::Text() << "team \"" << name << "\" created\n";
}

void TeamDissolveCommand(const Options &options, const std::string &name) {
    Session session(options);
    TeamEntry *team = ResolveTeam(session, name);
    team->isDeleted = 1;
    console::Text() << "dissolving team \"" << name << "\"" << (team->vlans != nullptr ? " and its VLANs" : "")
              << ":\n";
    ApplyAndCommit(session, {.teamConfiguration = true}, console::Text());
    console::Text() << "team \"" << name << "\" dissolved\n";
}

void TeamAddCommand(const Options &options, const std::string &name, const std::string &nic) {
    Session session(options);
    TeamEntry *team = ResolveTeam(session, name);
    AdapterEntry *adapter = ResolveAdapter(session, nic);
    if (TeamEntry *current = TeamOf(session, adapter)) {
        if (current == team) throw Failure(AdapterName(adapter) + " is already a member of team \"" + name + "\"");
        throw Failure(AdapterName(adapter) + " is a member of team \"" + TeamName(current) +
                      "\"; remove it from there first");
    }
    AppendRecord(team->members, NewMemberLink(adapter));
    console::Text() << "adding " << AdapterName(adapter) << " to team \"" << name << "\":\n";
    ApplyAndCommit(session, {.teamConfiguration = true}, console::Text());
    console::Text() << AdapterName(adapter) << " added to team \"" << name << "\"\n";
}

void TeamRemoveCommand(const Options &options, const std::string &name, const std::string &nic) {
    Session session(options);
    TeamEntry *team = ResolveTeam(session, name);
    AdapterEntry *adapter = ResolveAdapter(session, nic);
    TeamMemberLink *link = nullptr;
    int members = 0;
    for (TeamMemberLink *m = team->members; m != nullptr; m = m->next) {
        ++members;
        if (m->adapter == adapter) link = m;
    }
    if (link == nullptr) throw Failure(AdapterName(adapter) + " is not a member of team \"" + name + "\"");
    if (members == 1) {
        throw Failure(AdapterName(adapter) + " is the last member of team \"" + name +
                      "\"; a team keeps at least one member (dissolve the team instead)");
    }
    link->isRemoved = 1;
    console::Text() << "removing " << AdapterName(adapter) << " from team \"" << name << "\":\n";
    ApplyAndCommit(session, {.teamConfiguration = true}, console::Text());
    console::Text() << AdapterName(adapter) << " removed from team \"" << name << "\"\n";
}

void VlanAddCommand(const Options &options, const std::string &parentText, const std::string &id,
                    const std::string &name) {
    Session session(options);
    Target parent = ResolveParent(session, parentText);
    for (VlanEntry *v = VlansOf(parent); v != nullptr; v = v->next) {
        if (VlanId(session, v, parent.label) == id) {
            throw Failure(parent.label + " already has VLAN " + id);
        }
    }
    VlanEntry *vlan = NewVlanRecord();
    AppendRecord(VlansOf(parent), vlan);
    Target target = parent;
    target.kind = TargetKind::Vlan;
    target.vlan = vlan;
    target.label = "new VLAN " + id + " on " + parent.label;

    std::vector<Edit> edits{{"VlanId", id}};
    if (!name.empty()) edits.push_back({"VlanName", name});
    console::Text() << "adding VLAN " << id << " to " << parent.label << ":\n";
    StageEdits(session, target, edits, console::Text(), true);
    ApplyAndCommit(session, {.teamConfiguration = true}, console::Text());
    if (vlan->handle == 0) throw Failure("VLAN " + id + " on " + parent.label + " was not created");
    console::Text() << "VLAN " << id << " added to " << parent.label << "\n";
}

void VlanRemoveCommand(const Options &options, const std::string &vlanText) {
    Session session(options);
    Target target = ResolveTarget(session, vlanText);
    if (target.kind != TargetKind::Vlan) {
        throw Failure("\"" + vlanText + "\" is " + target.label + ", not a VLAN (name a VLAN as PARENT/ID)");
    }
    target.vlan->isDeleted = 1;
    console::Text() << "removing " << target.label << ":\n";
    ApplyAndCommit(session, {.teamConfiguration = true}, console::Text());
    console::Text() << target.label << " removed\n";
}

}  // namespace lxnicctl
