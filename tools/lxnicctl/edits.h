// Changing property values as a front end does: find the entry, check the
// value against its range or enumeration, mark it, and let the dependency
// rules force the values that the change rules out.
#pragma once

#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "lxniccfg.h"
#include "targets.h"

namespace lxnicctl {

struct Edit {
    std::string property;  // id, or display name (any case)
    std::string value;
};

// Whether lxnicctl can write the entry: not a read-only control, and held
// by the NIC interface library (a link id other than -1).
bool IsWritable(const PanelEntry *entry);

// PROPERTY=VALUE; throws a Failure for text without '='.
Edit ParseAssignment(const std::string &text);

// The entry of a property among the target's editable panels: by id, then by
// id or display name in any case. Throws a Failure naming the choices.
PanelEntry *FindEditableEntry(Session &session, const Target &target, const std::string &property);

// The value as the entry takes it (an enumeration choice in its own
// spelling), or a Failure saying why it is not allowed.
std::string CheckValue(const Target &target, const PanelEntry *entry, const std::string &value);

// Marks the edits on the target's panel entries and, for an adapter, runs the
// dependency rules, printing every value they force. Returns how many entries
// are marked to be written (0: everything already had its value). Throws a
// Failure, with nothing applied, for an unknown property, a value outside its
// range, or values the rules do not allow together.
// For an adapter: narrows the ranges of a panel's entries to what the
// dependency rules allow given the values the adapter has now (UpdateProperty).
void ApplyRuleRanges(Session &session, const Target &target, PanelEntry *list);

// Follows the dependency rules of an adapter from the `pending` entries, whose
// selected values are the ones to be written: marks every value the rules
// force, adds it to the plan (printed on `out`) and follows it in turn.
// `wanted` holds values that must not be forced (the command's own); a rule
// that would force one of them is a Failure. Returns how many entries were
// marked.
int ForceRuleValues(const Target &target, std::vector<PanelEntry *> pending,
                    const std::map<PanelEntry *, std::string> &wanted, std::ostream &out);

// With `newObject` (a team or VLAN to be created) every edit is marked, also
// one that gives the value the panel shows, so that it becomes one of the
// object's initial settings. Edits that change nothing are reported only with
// `reportUnchanged`.
int StageEdits(Session &session, const Target &target, const std::vector<Edit> &edits,
               std::ostream &out, bool newObject = false, bool reportUnchanged = true);

}  // namespace lxnicctl
