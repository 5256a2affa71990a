// Linked-property rules: a value chosen for one property of an adapter
// forces other properties of the same adapter back into a narrower range.
// The tests and the evaluation read the lists the front end keeps for the
// adapter (settingsList, then advancedList) and never modify them.
#pragma once

#include <cstdint>

#include "lxniccfg.h"
#include "util/dual_string.h"

namespace lxniccfg {

// Whether the entries named `name` in one list are outside `range` (none:
// no range at all). Every entry of that id is tested and becomes *found (the
// last one wins); the result is outside when any tested entry is:
//  - no range: the entry has a selectedValue;
//  - a range but no selectedValue;
//  - a selectedValue of decimal digits only: its number is below the number
//    before the range's first '-' or '|' or above the number after it (the
//    whole range is both bounds when it has neither character);
//  - any other selectedValue: it does not occur inside the range text.
// A NULL list is not outside. *found is left alone when no entry has the id.
bool OutsideRange(PanelEntry *list, const DualString &name, const DualString &range,
                  PanelEntry **found);

// The same over an adapter's settingsList, then (only when that is not
// outside) its advancedList.
bool OutsideRange(const AdapterEntry &adapter, const DualString &name, const DualString &range,
                  PanelEntry **found);

// Whether some entry of the list is named `name` and has a selectedValue
// equal to `value` (exact). Entries without a selectedValue never match.
bool HoldsValue(const PanelEntry *list, const DualString &name, const DualString &value);

// The same over an adapter's settingsList, then its advancedList.
bool HoldsValue(const AdapterEntry &adapter, const DualString &name, const DualString &value);

// The entries of the adapter that the rules force to a new value, each with
// the text to put in, in rule order and then link order. Only the id of
// `changed` is read. With allRules every rule of the adapter's definition is
// applied whatever its controlling property holds; otherwise the rules of
// the changed property that hold apply, and when none of them does, the
// properties of its last rule fall back to their own definitions.
// 0: *changes receives the list (nullptr when nothing must change; the
// caller releases it with FreeDependencyChanges). 100: the adapter's
// definitions are unknown, or a fallback property has no definition;
// *changes is left as it was.
// Takes no lock: callable from inside other library calls.
uint32_t VerifyDependencyRules(const AdapterEntry &adapter, const PanelEntry &changed,
                               bool allRules, DependencyChange **changes);

// Whether applying every rule of the adapter's definition forces some entry
// of the adapter to change. false when the definitions are unknown.
bool RulesForceChanges(const AdapterEntry &adapter, const PanelEntry &entry);

}  // namespace lxniccfg
