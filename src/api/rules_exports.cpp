// VerifyDependency: which entries of an adapter a chosen value forces to a
// new value.
#include "lxniccfg.h"

#include "api/library_state.h"
#include "rules/dependency_rules.h"

using namespace lxniccfg;

extern "C" uint32_t VerifyDependency(AdapterEntry *adapter, PanelEntry *changed,
                                     DependencyChange **changes, uint8_t allRules) {
    return Guarded(100, [&]() -> uint32_t {
        if (!adapter || !changed || !changes) return 100;
        return VerifyDependencyRules(*adapter, *changed, allRules != 0, changes);
    });
}
