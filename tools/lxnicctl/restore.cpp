#include "restore.h"

#include <algorithm>
#include <map>
#include <set>
#include <unordered_map>
#include <sstream>

#include "console.h"
#include "edits.h"
#include "library.h"
#include "plan.h"
#include "records.h"
#include "targets.h"
#include "text.h"

namespace lxnicctl {

namespace {

// The lines of one object, printed under its heading when there are any.
class Section {
public:
    Section(std::ostream &out, std::string heading) : out_(out), heading_(std::move(heading)) {}
    ~Section() {
        if (!lines_.str().empty()) out_ << Printable(heading_) << ":\n" << lines_.str();
    }
    std::ostream &lines() { return lines_; }

private:
    std::ostream &out_;
    std::string heading_;
    std::ostringstream lines_;
};

bool IsTeamAdvancedPanel(const std::string &panel) { return panel == "TeamAdvanced"; }

// Writes back the image's writable values of an existing object that
// differ from what it holds now. A team's advanced values are written to
// the team alone.
void RestoreValues(Session &session, const Target &target, const ImageProperties &wanted, Section &section,
                   ApplySteps &steps) {
    for (const std::string &panel : target.editablePanels()) {
        for (PanelEntry *entry : Entries(target.panel(session, panel, true))) {
            if (entry->id == nullptr || !IsWritable(entry)) continue;
            const ImageProperty *p = wanted.find(ToUtf8(entry->id));
            if (p == nullptr || !p->writable) continue;
            std::string now = ToUtf8(entry->value);
            if (entry->value != nullptr && now == p->value) continue;
            if (target.kind == TargetKind::Vlan && ToUtf8(entry->id) == "VlanId" && SameVlanId(now, p->value))
                continue;
            console::ValueChange change{.object = target.label, .property = ToUtf8(entry->id), .from = now,
                                        .to = p->value, .forcedBy = "", .forcedByValue = "", .isNew = false,
                                        .cause = "restored"};
            if (target.kind == TargetKind::Team && IsTeamAdvancedPanel(panel)) {
                steps.teamOwnValues.push_back({target.team, ToUtf8(entry->id), p->value});
            } else {
                MarkChanged(entry, p->value);
                if (target.kind == TargetKind::Adapter) steps.adapterProperties = true;
            }
            Plan::Current().change(section.lines(), target, change);
        }
    }
}

// The initial settings of a team or VLAN to be created: every writable value
// of the image. A new team's advanced values go into the records of its
// creation only (word 11 of the team record), so that the library does not
// also write them to the members.
void InitialValues(Session &session, const Target &target, const ImageProperties &wanted, Section &section) {
    for (const std::string &panel : target.editablePanels()) {
        for (PanelEntry *entry : Entries(target.panel(session, panel, true))) {
            if (entry->id == nullptr || !IsWritable(entry)) continue;
            const ImageProperty *p = wanted.find(ToUtf8(entry->id));
            if (p == nullptr || !p->writable) continue;
            if (target.kind == TargetKind::Team && IsTeamAdvancedPanel(panel)) {
                PanelEntry *initial = CopyEntry(entry);
                MarkChanged(initial, p->value);
                AppendRecord(target.team->reserved11, initial);
            } else {
                MarkChanged(entry, p->value);
            }
            Plan::Current().change(section.lines(), target,
                                   {.object = target.label, .property = ToUtf8(entry->id), .from = "",
                                    .to = p->value, .forcedBy = "", .forcedByValue = "", .isNew = true,
                                    .cause = "restored"});
        }
    }
}

// The VLANs of one parent: the image's are matched to the parent's by
// handle, else by VLAN id.
void RestoreVlans(Session &session, const Target &parent, VlanEntry *&vlans, const std::vector<ImageVlan> &wanted,
                  bool parentIsNew, std::ostream &out, ApplySteps &steps) {
    std::set<VlanEntry *> kept;
    std::vector<std::pair<const ImageVlan *, VlanEntry *>> matches;
    // The parent's VLANs by handle and by id, looked up once.
    std::unordered_map<uint64_t, VlanEntry *> byHandle;
    std::unordered_map<std::string, VlanEntry *> byId;
    for (VlanEntry *v = parentIsNew ? nullptr : vlans; v != nullptr; v = v->next) {
        if (v->isNew) continue;
        byHandle.emplace(v->handle, v);
        byId.emplace(VlanIdKey(VlanId(session, v, parent.label)), v);
    }
    for (const ImageVlan &w : wanted) {
        VlanEntry *match = nullptr;
        auto handle = byHandle.find(w.handle);
        if (w.handle != 0 && handle != byHandle.end() && !kept.count(handle->second)) match = handle->second;
        auto id = byId.find(VlanIdKey(w.id()));
        if (match == nullptr && id != byId.end() && !kept.count(id->second)) match = id->second;
        if (match != nullptr) kept.insert(match);
        matches.emplace_back(&w, match);
    }
    if (!parentIsNew) {
        for (VlanEntry *v = vlans; v != nullptr; v = v->next) {
            if (kept.count(v) || v->isNew) continue;
            Target target = VlanTargetOf(session, parent, v);
            v->isDeleted = 1;
            steps.teamConfiguration = true;
            out << "removing " << Printable(target.label) << "\n";
            Plan::Current().structure({.action = "remove VLAN", .object = target.label, .target = target});
        }
    }
    VlanEntry **tail = &vlans;
    while (*tail != nullptr) tail = &(*tail)->next;
    for (const auto &[w, match] : matches) {
        if (match != nullptr) {
            Target target = VlanTargetOf(session, parent, match);
            Section section(out, target.label);
            RestoreValues(session, target, w->properties, section, steps);
            continue;
        }
        VlanEntry *vlan = NewVlanRecord();
        *tail = vlan;
        tail = &vlan->next;
        Target target = parent;
        target.kind = TargetKind::Vlan;
        target.vlan = vlan;
        target.label = "VLAN " + w->id() + " on " + parent.label;
        steps.teamConfiguration = true;
        Plan::Current().structure({.action = "create VLAN", .object = target.label, .target = target});
        Section section(out, "new " + target.label);
        InitialValues(session, target, w->properties, section);
    }
}

}  // namespace

ApplySteps PlanRestore(Session &session, const Image &image, std::ostream &out) {
    ApplySteps steps;
    std::map<int, AdapterEntry *> adapters;
    for (AdapterEntry *a = session.adapters(); a != nullptr; a = a->next) adapters[static_cast<int>(a->number)] = a;
    for (const ImageAdapter &a : image.adapters) {
        auto it = adapters.find(a.number);
        if (it == adapters.end() || AdapterName(it->second) != a.name) {
            throw Failure("the checkpoint is of another server: its adapter " + std::to_string(a.number) + " is " +
                          a.name + ", this server's is " +
                          (it == adapters.end() ? "missing" : AdapterName(it->second)));
        }
    }
    auto adapterNumbered = [&](int number) -> AdapterEntry * {
        auto it = adapters.find(number);
        if (it == adapters.end()) throw Failure("the checkpoint names adapter " + std::to_string(number) + ", which this server does not have");
        return it->second;
    };

    // Teams: matched by handle, else by name. A team none of whose members
    // stay is dissolved and made again, since a team always keeps a member.
    std::set<TeamEntry *> matched;
    std::vector<std::pair<const ImageTeam *, TeamEntry *>> teams;
    for (const ImageTeam &w : image.teams) {
        TeamEntry *match = nullptr;
        for (TeamEntry *t = session.teams(); t != nullptr && match == nullptr; t = t->next) {
            if (!t->isNew && w.handle != 0 && t->handle == w.handle && !matched.count(t)) match = t;
        }
        for (TeamEntry *t = session.teams(); t != nullptr && match == nullptr; t = t->next) {
            if (!t->isNew && !matched.count(t) && TeamName(t) == w.name) match = t;
        }
        if (match != nullptr) {
            bool keepsOne = false;
            for (TeamMemberLink *m = match->members; m != nullptr; m = m->next) {
                if (m->adapter != nullptr &&
                    std::find(w.members.begin(), w.members.end(), static_cast<int>(m->adapter->number)) !=
                        w.members.end())
                    keepsOne = true;
            }
            if (keepsOne) matched.insert(match);
            else match = nullptr;
        }
        teams.emplace_back(&w, match);
    }
    for (TeamEntry *t = session.teams(); t != nullptr; t = t->next) {
        if (t->isNew || matched.count(t)) continue;
        t->isDeleted = 1;
        steps.teamConfiguration = true;
        Target target = TargetOf(t);
        out << "dissolving " << Printable(target.label) << (t->vlans != nullptr ? " and its VLANs" : "") << "\n";
        Plan::Current().structure({.action = "dissolve team", .object = target.label, .target = target});
    }
    for (const auto &[w, match] : teams) {
        if (match == nullptr) continue;
        Target target = TargetOf(match);
        for (TeamMemberLink *m = match->members; m != nullptr; m = m->next) {
            int number = m->adapter != nullptr ? static_cast<int>(m->adapter->number) : 0;
            if (std::find(w->members.begin(), w->members.end(), number) != w->members.end()) continue;
            m->isRemoved = 1;
            steps.teamConfiguration = true;
            out << "removing " << Printable(AdapterName(m->adapter)) << " from " << Printable(target.label) << "\n";
            Plan::Current().structure({.action = "remove member", .object = target.label,
                                       .member = AdapterName(m->adapter), .target = target, .adapter = m->adapter});
        }
        for (int number : w->members) {
            bool member = false;
            for (TeamMemberLink *m = match->members; m != nullptr; m = m->next) {
                member = member || (m->adapter != nullptr && static_cast<int>(m->adapter->number) == number);
            }
            if (member) continue;
            AdapterEntry *adapter = adapterNumbered(number);
            AppendRecord(match->members, NewMemberLink(adapter));
            steps.teamConfiguration = true;
            out << "adding " << Printable(AdapterName(adapter)) << " to " << Printable(target.label) << "\n";
            Plan::Current().structure({.action = "add member", .object = target.label,
                                       .member = AdapterName(adapter), .target = target, .adapter = adapter});
        }
    }
    for (const auto &[w, match] : teams) {
        if (match != nullptr) {
            Target target = TargetOf(match);
            {
                Section section(out, target.label);
                RestoreValues(session, target, w->properties, section, steps);
            }
            RestoreVlans(session, target, match->vlans, w->vlans, false, out, steps);
            continue;
        }
        TeamEntry *team = NewTeamRecord();
        AppendRecord(session.teams(), team);
        std::string with;
        for (int number : w->members) {
            AdapterEntry *adapter = adapterNumbered(number);
            AppendRecord(team->members, NewMemberLink(adapter));
            with += " " + std::to_string(number) + " (" + AdapterName(adapter) + ")";
        }
        Target target;
        target.kind = TargetKind::Team;
        target.team = team;
        target.label = "team \"" + w->name + "\"";
        steps.teamConfiguration = true;
        Plan::Current().structure({.action = "create team", .object = target.label, .target = target});
        {
            Section section(out, "new " + target.label + " with" + with);
            InitialValues(session, target, w->properties, section);
        }
        RestoreVlans(session, target, team->vlans, w->vlans, true, out, steps);
    }

    for (const ImageAdapter &w : image.adapters) {
        AdapterEntry *adapter = adapterNumbered(w.number);
        Target target = TargetOf(adapter);
        {
            Section section(out, target.label);
            RestoreValues(session, target, w.properties, section, steps);
        }
        RestoreVlans(session, target, adapter->vlans, w.vlans, false, out, steps);
    }
    return steps;
}

}  // namespace lxnicctl
