// The library's records as lxnicctl holds them: releasing what the library
// handed out, building the records of new teams, members and VLANs, and
// reading and marking panel entries.
#pragma once

#include <string>
#include <vector>

#include "lxniccfg.h"

namespace lxnicctl {

void FreePanelList(PanelEntry *list);
void FreeDependencyChanges(DependencyChange *changes);
void FreeVlans(VlanEntry *vlans);
void FreeAdapters(AdapterEntry *adapters);
void FreeTeams(TeamEntry *teams);
void FreeScriptConfig(ScriptConfig *config);

// Zero-filled records from the C allocator, as the library's own are, with
// the marks that ask the apply calls to create them.
TeamEntry *NewTeamRecord();                         // isNew, definitionType "TEAM"
VlanEntry *NewVlanRecord();                         // isNew
TeamMemberLink *NewMemberLink(AdapterEntry *adapter);  // isAdded

template <typename T>
void AppendRecord(T *&head, T *record) {
    T **slot = &head;
    while (*slot != nullptr) slot = &(*slot)->next;
    *slot = record;
}

// A copy of one entry (not of the entries after it), from the C allocator.
PanelEntry *CopyEntry(const PanelEntry *entry);

// Replaces a text field of a record, releasing the old text.
void SetText(lx_wchar *&field, const std::string &utf8);

// The first entry of a list with this id, or NULL.
PanelEntry *FindEntry(PanelEntry *list, const std::string &id);

// Entries of a list in order.
std::vector<PanelEntry *> Entries(PanelEntry *list);

// The value the entry shows: its value, else (for a team property derived from
// the members) the derived value, else empty.
std::string ShownValue(const PanelEntry *entry);

// Every entry offers its current value, as a front end shows a panel before
// the user edits it; the dependency rules test these selected values.
void SelectShownValues(PanelEntry *list);

// Marks an entry to be written with a new value.
void MarkChanged(PanelEntry *entry, const std::string &value);

}  // namespace lxnicctl
