#include "definitions/catalog.h"

namespace lxniccfg {

bool DefinitionsCatalog::add(std::unique_ptr<NicDefinition> definition) {
    for (auto &slot : slots_) {
        if (!slot) {
            slot = std::move(definition);
            return true;
        }
    }
    return false;
}

const NicDefinition *DefinitionsCatalog::find(const DualString &type) const {
    if (type.isNone()) return nullptr;
    for (const auto &slot : slots_)
        if (slot && slot->type.equals(type)) return slot.get();
    return nullptr;
}

void DefinitionsCatalog::adopt(DefinitionsCatalog &other) {
    arena_.adopt(other.arena_);
    for (auto &slot : other.slots_)
        if (slot) add(std::move(slot));
}

void DefinitionsCatalog::clear() {
    // Later definitions may point at earlier ones as their base: release
    // from the back.
    for (auto it = slots_.rbegin(); it != slots_.rend(); ++it) it->reset();
    arena_.clear();
}

bool DefinitionsCatalog::empty() const {
    for (const auto &slot : slots_)
        if (slot) return false;
    return true;
}

DefinitionsCatalog &Catalog() {
    static DefinitionsCatalog catalog;
    return catalog;
}

const NicDefinition *FindDefinition(const char16_t *type) {
    if (!type) return nullptr;
    return FindDefinition(DualString(type));
}

}  // namespace lxniccfg
