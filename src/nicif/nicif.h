// The boundary to the NIC interface library: its functions (lxnicif.h) and
// small helpers for the values it hands out.
#pragma once

#include <cstdlib>

#include "lxnicif.h"

namespace lxniccfg {

// A property value read from the NIC interface library, released with free
// exactly when the library said it must be.
class NicIfValue {
public:
    NicIfValue() = default;
    ~NicIfValue() { release(); }
    NicIfValue(const NicIfValue &) = delete;
    NicIfValue &operator=(const NicIfValue &) = delete;

    lx_wchar **valueOut() { return &value_; }
    uint8_t *mustFreeOut() { return &mustFree_; }
    const lx_wchar *get() const { return value_; }
    void release() {
        if (value_ && mustFree_) std::free(value_);
        value_ = nullptr;
        mustFree_ = 0;
    }

private:
    lx_wchar *value_ = nullptr;
    uint8_t mustFree_ = 0;
};

}  // namespace lxniccfg
