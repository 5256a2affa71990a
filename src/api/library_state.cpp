#include "api/library_state.h"

namespace lxniccfg {

LibraryState &State() {
    static LibraryState state;
    return state;
}

std::mutex &ExportMutex() {
    static std::mutex mutex;
    return mutex;
}

}  // namespace lxniccfg
