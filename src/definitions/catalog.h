// DefinitionsCatalog: the process-wide set of loaded definitions, 128 slots
// filled front to back in file order.
#pragma once

#include <array>
#include <memory>

#include "definitions/nic_definition.h"
#include "util/dual_string.h"
#include "util/text_arena.h"

namespace lxniccfg {

class DefinitionsCatalog {
public:
    static constexpr int kSlots = 128;

    const NicDefinition *slot(int i) const { return slots_[static_cast<std::size_t>(i)].get(); }
    // Puts the definition into the first empty slot; false (and the
    // definition is dropped) when all slots are taken.
    bool add(std::unique_ptr<NicDefinition> definition);
    // The first definition, in slot order, whose type equals type.
    const NicDefinition *find(const DualString &type) const;
    // Moves every definition of other into the first empty slots, in order.
    void adopt(DefinitionsCatalog &other);
    void clear();
    bool empty() const;

    // Where the loader keeps the texts of the definitions: they live as long
    // as the catalog holds them.
    TextArena &arena() { return arena_; }

private:
    TextArena arena_;  // released after the definitions that use it
    std::array<std::unique_ptr<NicDefinition>, kSlots> slots_;
};

// The library's catalog.
DefinitionsCatalog &Catalog();

// FindDefinition on the library's catalog.
inline const NicDefinition *FindDefinition(const DualString &type) { return Catalog().find(type); }
const NicDefinition *FindDefinition(const char16_t *type);

}  // namespace lxniccfg
