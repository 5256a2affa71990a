// Process-wide state of the library and the guard every export runs under:
// one lock for the whole call, and no exception ever leaves an export.
#pragma once

#include <cstdint>
#include <mutex>
#include <new>
#include <utility>

namespace lxniccfg {

struct LibraryState {
    bool definitionsLoaded = false;  // set by the first InitXml that reaches the load
    bool xmlLibraryHeld = false;     // InitXml holds one initialisation of the XML library
};

LibraryState &State();
std::mutex &ExportMutex();

// Runs body under the export lock; any exception becomes onFailure.
template <class Body>
uint32_t Guarded(uint32_t onFailure, Body &&body) noexcept {
    try {
        std::lock_guard<std::mutex> lock(ExportMutex());
        return std::forward<Body>(body)();
    } catch (...) {
        return onFailure;
    }
}

// The same for exports that return nothing.
template <class Body>
void GuardedVoid(Body &&body) noexcept {
    try {
        std::lock_guard<std::mutex> lock(ExportMutex());
        std::forward<Body>(body)();
    } catch (...) {
    }
}

}  // namespace lxniccfg
