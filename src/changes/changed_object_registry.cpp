#include "changes/changed_object_registry.h"

namespace lxniccfg {

void ChangedObjectRegistry::registerChanged(uint64_t handle) {
    // Handle 0 marks a free slot, so it can never be told apart from one.
    if (handle == 0) return;
    for (std::size_t i = 0; i < used_; ++i)
        if (slots_[i] == handle) return;
    if (used_ == kSlots) return;
    slots_[used_++] = handle;
}

bool ChangedObjectRegistry::contains(uint64_t handle) const {
    for (uint64_t slot : handles())
        if (slot == handle) return true;
    return false;
}

ChangedObjectRegistry &ChangedObjects() {
    static ChangedObjectRegistry registry;
    return registry;
}

}  // namespace lxniccfg
