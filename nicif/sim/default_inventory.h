// The inventory the simulated server starts from when there is no state file
// yet: the text of default_inventory.json, compiled in.
#pragma once

namespace lxnicsim {

extern const char kDefaultInventory[];

}  // namespace lxnicsim
