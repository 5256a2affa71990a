#include "state_dir.h"

#include <cstdlib>
#include <filesystem>

#include "library.h"

namespace lxnicctl {

StateDir::StateDir(const Options &options) {
    if (!options.stateDir.empty()) {
        path_ = options.stateDir;
    } else if (const char *variable = std::getenv("LXNICCTL_STATE_DIR"); variable != nullptr && *variable) {
        path_ = variable;
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
