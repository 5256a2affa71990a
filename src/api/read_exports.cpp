// GetSingleProperty and GetSingleTeamProperty: one value without a panel.
#include "lxniccfg.h"

#include "adapters/single_reads.h"
#include "api/library_state.h"

using namespace lxniccfg;

extern "C" uint32_t GetSingleProperty(uint64_t adapter, const lx_wchar *definitionType,
                                      const lx_wchar *id, lx_wchar **value) {
    return Guarded(100, [&]() -> uint32_t {
        if (!definitionType || !id || !value) return 100;
        return ReadSingleProperty(adapter, DualString(definitionType), DualString(id), *value);
    });
}

extern "C" uint32_t GetSingleTeamProperty(uint64_t team, const lx_wchar *id, lx_wchar **value) {
    return Guarded(100, [&]() -> uint32_t {
        if (!id || !value) return 100;
        return ReadSingleTeamProperty(team, DualString(id), *value);
    });
}
