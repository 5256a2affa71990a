#include "consequences.h"

#include <map>
#include <sstream>
#include <vector>

#include "edits.h"
#include "plan.h"
#include "records.h"
#include "recorder.h"
#include "text.h"

namespace lxnicctl {

namespace {

// Lines under object headings, printed in the order the objects came up.
class Sections {
public:
    std::ostream &of(const std::string &heading) {
        auto it = lines_.find(heading);
        if (it == lines_.end()) {
            order_.push_back(heading);
            it = lines_.emplace(heading, std::make_unique<std::ostringstream>()).first;
        }
        return *it->second;
    }
    void print(std::ostream &out) const {
        for (const std::string &heading : order_) {
            out << Printable(heading) << ":\n" << lines_.at(heading)->str();
        }
    }

private:
    std::vector<std::string> order_;
    std::map<std::string, std::unique_ptr<std::ostringstream>> lines_;
};

std::string Text(const lx_wchar *text) { return ToUtf8(text); }

std::string TeamLabel(TeamEntry *team) {
    if (!team->isNew) return "team \"" + TeamName(team) + "\"";
    PanelEntry *name = FindEntry(team->controlsList, "TeamName");
    return "new team \"" + (name != nullptr ? Text(name->newValue) : std::string()) + "\"";
}

std::string TeamNameOf(TeamEntry *team) {
    if (!team->isNew) return TeamName(team);
    PanelEntry *name = FindEntry(team->controlsList, "TeamName");
    return name != nullptr ? Text(name->newValue) : std::string();
}

// The member writes of one team entry, as the library makes them: a value
// that is not blocked goes to every member that has the property (to the
// members whose value differs when the team's entry is unchanged); a blocked
// one goes as the lowest value to the members that do not hold it.
void PredictMembers(TeamEntry *team, const PanelEntry *teamEntry, const std::string &target, bool blocked,
                    Sections &sections) {
    const std::string id = Text(teamEntry->id);
    const std::string lowest = Text(teamEntry->lowest);
    for (TeamMemberLink *m = team->members; m != nullptr; m = m->next) {
        if (m->isRemoved != 0 || m->adapter == nullptr) continue;
        PanelEntry *entry = FindEntry(m->adapter->advancedList, id);
        if (entry == nullptr || Text(entry->linkId) == "-1") continue;
        const lx_wchar *memberValue = entry->changed == 1 ? entry->newValue : entry->value;
        std::string send = blocked ? lowest : target;
        bool skip = blocked ? (memberValue != nullptr && Text(memberValue) == lowest)
                            : (teamEntry->changed == 0 && memberValue != nullptr && Text(memberValue) == target);
        if (skip) continue;
        Target member = TargetOf(m->adapter);
        std::ostream &lines = sections.of(member.label);
        Plan::Current().change(lines, member,
                               {.object = member.label, .property = id, .from = ShownValue(entry), .to = send,
                                .forcedBy = "", .forcedByValue = "", .isNew = false, .cause = "team",
                                .team = TeamNameOf(team)});
        // The member's own dependency rules apply to the value the team
        // writes as to one set on the member (jumbo frames need a fast link):
        // what they force is written to the member first. The team's
        // settings themselves are not forced: the team writes them.
        SetText(entry->selectedValue, send);
        std::map<PanelEntry *, std::string> teamValues;
        for (PanelEntry *t = team->advancedList; t != nullptr; t = t->next) {
            if (t->id == nullptr || t->noMemberValue == 1) continue;
            PanelEntry *own = FindEntry(m->adapter->advancedList, Text(t->id));
            if (own != nullptr && own->selectedValue != nullptr) teamValues[own] = Text(own->selectedValue);
        }
        ForceRuleValues(member, {entry}, teamValues, lines);
    }
}

void PredictTeam(TeamEntry *team, Sections &sections) {
    Target target;
    target.kind = TargetKind::Team;
    target.team = team;
    target.label = TeamLabel(team);
    for (PanelEntry *e = team->advancedList; e != nullptr; e = e->next) {
        if (e->noMemberValue == 1) continue;
        // The library stops at an entry it cannot apply; so does the plan.
        if (e->linkId == nullptr || e->rangeType == nullptr || e->lowest == nullptr || e->id == nullptr) break;
        if (e->derivationBlocked == 0) {
            if (e->changed == 1 && e->newValue != nullptr) {
                PredictMembers(team, e, Text(e->newValue), false, sections);
            } else if (e->changed == 0 && e->value != nullptr) {
                PredictMembers(team, e, Text(e->value), false, sections);
            }
            continue;
        }
        const std::string rangeType = Text(e->rangeType);
        if (rangeType != "binary" && rangeType != "list") continue;
        const std::string lowest = Text(e->lowest);
        if (e->value == nullptr || Text(e->value) != lowest) {
            Plan::Current().change(sections.of(target.label), target,
                                   {.object = target.label, .property = Text(e->id), .from = ShownValue(e),
                                    .to = lowest, .forcedBy = "", .forcedByValue = "", .isNew = false,
                                    .cause = "lowest"});
        }
        PredictMembers(team, e, lowest, true, sections);
    }
}

}  // namespace

void AddConsequences(Session &session, std::ostream &out) {
    std::vector<TeamEntry *> handedOver;
    for (TeamEntry *t = session.teams(); t != nullptr; t = t->next) {
        if (t->isDeleted == 1 || t->teamInfo1 == 5) continue;
        bool changed = false;
        for (PanelEntry *e = t->advancedList; e != nullptr; e = e->next) changed = changed || e->changed;
        if (changed) handedOver.push_back(t);
    }
    // The members' dependency rules read all their editable panels; they are
    // read before the writes that reading makes are collected.
    for (TeamEntry *t : handedOver) {
        for (TeamMemberLink *m = t->members; m != nullptr; m = m->next) {
            if (m->isRemoved != 0 || m->adapter == nullptr) continue;
            Target member = TargetOf(m->adapter);
            for (const std::string &panel : member.editablePanels()) {
                SelectShownValues(member.panel(session, panel, true));
            }
        }
    }
    Sections sections;
    AddReadResets(session, [&](const std::string &heading) -> std::ostream & { return sections.of(heading); });
    for (TeamEntry *t : handedOver) PredictTeam(t, sections);
    sections.print(out);
}

std::string StartingTeamValue(Session &session, const Target &team, PanelEntry *teamEntry) {
    if (teamEntry->id == nullptr) return {};
    // The value every member holds; when they differ, the team's summary of
    // them (its derived value), which its panel shows.
    std::string common;
    bool agree = true, any = false;
    for (TeamMemberLink *m = team.team->members; m != nullptr; m = m->next) {
        if (m->adapter == nullptr) continue;
        PanelEntry *own = FindEntry(TargetOf(m->adapter).panel(session, "Advanced", true), Text(teamEntry->id));
        if (own == nullptr || own->value == nullptr) continue;
        if (any && Text(own->value) != common) agree = false;
        common = Text(own->value);
        any = true;
    }
    return any && agree ? common : Text(teamEntry->derivedValue);
}

void SeedNewTeamAdvanced(Session &session, const Target &team, std::ostream &out) {
    for (PanelEntry *e : Entries(team.panel(session, "TeamAdvanced", true))) {
        if (e->id == nullptr || e->changed == 1 || e->derivationBlocked == 1 || e->noMemberValue == 1 ||
            !IsWritable(e))
            continue;
        std::string value = StartingTeamValue(session, team, e);
        if (value.empty()) continue;
        PanelEntry *initial = CopyEntry(e);
        MarkChanged(initial, value);
        AppendRecord(team.team->reserved11, initial);
        Plan::Current().change(out, team,
                               {.object = team.label, .property = Text(e->id), .from = "", .to = value,
                                .forcedBy = "", .forcedByValue = "", .isNew = true, .cause = "members"});
    }
}

TeamEntry *TeamSetting(Session &session, AdapterEntry *adapter, const std::string &propertyId) {
    if (adapter->teamHandle == 0) return nullptr;
    for (TeamEntry *t = session.teams(); t != nullptr; t = t->next) {
        if (t->handle != adapter->teamHandle) continue;
        for (PanelEntry *e : Entries(TargetOf(t).panel(session, "TeamAdvanced", true))) {
            if (e->id != nullptr && Text(e->id) == propertyId && e->noMemberValue == 0) return t;
        }
        return nullptr;
    }
    return nullptr;
}

}  // namespace lxnicctl
