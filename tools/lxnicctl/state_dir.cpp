#include "state_dir.h"

#include <cstdlib>
#include <filesystem>

#include "library.h"

namespace lxnicctl {

namespace {

// ChooseBackend has set LXNICIF_BACKEND from --backend by now.
bool UsesLinuxBackend() {
    const char *backend = std::getenv("LXNICIF_BACKEND");
    return backend != nullptr && std::string(backend) == "linux";
}

}  // namespace

StateDir::StateDir(const Options &options) {
    if (!options.stateDir.empty()) {
        path_ = options.stateDir;
    } else if (const char *variable = std::getenv("LXNICCTL_STATE_DIR"); variable != nullptr && *variable) {
        path_ = variable;
    } else if (UsesLinuxBackend()) {
        // The kernel's interfaces are one server per machine: one place for it.
        path_ = kLinuxStateDir;
    } else if (std::string state = StateFileInUse(options); !state.empty()) {
        path_ = state + ".lxnicctl";
    } else {
        throw Failure("no place for checkpoints and the server's lock: name one with --state-dir DIR "
                      "or LXNICCTL_STATE_DIR");
    }
}

void StateDir::create() const {
    std::error_code error;
    std::filesystem::create_directories(checkpoints(), error);
    if (error) throw Failure("cannot create " + checkpoints() + ": " + error.message());
}

bool StateDir::exists() const {
    std::error_code error;
    return std::filesystem::is_directory(path_, error);
}

}  // namespace lxnicctl
