// SetSingleProperty, SetSingleTeamProperty, SetSingleRawTeamProperty and the
// ApplyConfigChanges pass-through.
#include "lxniccfg.h"

#include "api/library_state.h"
#include "changes/single_writes.h"
#include "nicif/nicif.h"

using namespace lxniccfg;

extern "C" uint32_t SetSingleProperty(uint64_t adapter, const lx_wchar *definitionType,
                                      const lx_wchar *id, const lx_wchar *value,
                                      uint8_t registerChange) {
    return Guarded(100, [&]() -> uint32_t {
        if (!definitionType || !id || !value) return 100;
        return WriteAdapterProperty(adapter, DualString(definitionType), DualString(id),
                                    DualString(value), registerChange != 0);
    });
}

extern "C" uint32_t SetSingleTeamProperty(uint64_t team, const lx_wchar *id,
                                          const lx_wchar *value) {
    return Guarded(100, [&]() -> uint32_t {
        if (!id || !value) return 100;
        return WriteTeamProperty(team, DualString(id), DualString(value));
    });
}

extern "C" uint32_t SetSingleRawTeamProperty(uint64_t handle, const lx_wchar *id, const void *raw,
                                             uint8_t isVlan) {
    return Guarded(100, [&]() -> uint32_t {
        if (!id || !raw) return 100;
        return WriteRawTeamProperty(handle, DualString(id), raw, isVlan != 0);
    });
}

extern "C" uint32_t ApplyConfigChanges(uint64_t handle, uint32_t flags) {
    return Guarded(100, [&]() -> uint32_t { return NicIfApplyConfigChanges(handle, flags); });
}
