// Pending edits: refreshing the range and default an entry offers while the
// front end edits an adapter's panel data.
#pragma once

#include <cstdint>

#include "lxniccfg.h"

namespace lxniccfg {

// Rewrites entry's range and defaultValue from the linked-property rules of
// the adapter's definition: every rule (source property) with a link naming
// the entry's id whose controlling entry (settingsList first, then
// advancedList) has a selectedValue equal to the rule's value applies its
// first such link, in definition order, so the last applying rule's texts
// remain. When none applies, the texts come from the property's own
// definition (along the base chain) or stay as they are when the property is
// unknown. *changes receives the controlling entries of the applied rules,
// in order, each with a copy of its defaultValue (nullptr when none applied).
// 100 (and *changes untouched) when the adapter's definition is not loaded.
// Takes no lock.
uint32_t UpdateProperty(AdapterEntry &adapter, PanelEntry &entry, DependencyChange **changes);

}  // namespace lxniccfg
