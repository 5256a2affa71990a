// ChangedObjectRegistry: the adapter and team handles whose configuration was
// changed, handed to the NIC interface library's commit sequence by the
// commit pass. 128 slots filled front to back; 0 marks a free slot. The
// registry only grows: a handle stays registered for the life of the loaded
// library (CloseXml does not touch it), and every later commit pass visits
// it again.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace lxniccfg {

class ChangedObjectRegistry {
public:
    static constexpr std::size_t kSlots = 128;

    // Stores the handle in the first free slot unless a slot before it holds
    // the handle already. When every slot holds another handle, the handle
    // is dropped without a report.
    void registerChanged(uint64_t handle);

    // The registered handles in registration order (the used slots).
    std::span<const uint64_t> handles() const { return {slots_.data(), used_}; }
    bool contains(uint64_t handle) const;

private:
    std::array<uint64_t, kSlots> slots_{};
    std::size_t used_ = 0;
};

// The library's registry (static storage, from load to unload).
ChangedObjectRegistry &ChangedObjects();

// RegisterChanged on the library's registry.
inline void RegisterChanged(uint64_t handle) { ChangedObjects().registerChanged(handle); }

}  // namespace lxniccfg
