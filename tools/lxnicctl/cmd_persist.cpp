// lxnicctl persist: systemd-networkd files for what the server holds, so
// that the teams, VLANs and adapter settings come back at boot. The NIC
// interface library writes them (only the Linux one can).
#include <filesystem>
#include <iostream>
#include <set>

#ifndef _WIN32
#include <dlfcn.h>
#endif

#include "commands.h"
#include "library.h"
#include "lxnicif.h"
#include "text.h"

namespace lxnicctl {

void PersistCommand(const Options &options, const std::string &folder) {
    ChooseBackend(options);
#ifdef _WIN32
    (void)folder;
    throw Failure("persist writes systemd-networkd files and is not available on Windows");
#else
    // Looked up at run time: the function is the Linux library's own.
    using PersistFunction = uint32_t (*)(const lx_wchar *);
    auto persist = reinterpret_cast<PersistFunction>(dlsym(RTLD_DEFAULT, "NicIfPersist"));
    if (persist == nullptr) throw Failure("the NIC interface library in use cannot write systemd-networkd files");
    namespace fs = std::filesystem;
    std::set<std::string> before;
    std::error_code error;
    for (const auto &entry : fs::directory_iterator(folder, error)) before.insert(entry.path().filename().string());
    uint32_t result = persist(ToWide(folder).c_str());
    if (result != 0) {
        throw Failure("writing the systemd-networkd files into " + folder + " failed", "NicIfPersist", result);
    }
    std::set<std::string> after;
    for (const auto &entry : fs::directory_iterator(folder, error)) after.insert(entry.path().filename().string());
    for (const std::string &name : after) {
        if (name.rfind("60-lxnic-", 0) == 0) std::cout << "wrote " << (fs::path(folder) / name).string() << "\n";
    }
    for (const std::string &name : before) {
        if (name.rfind("60-lxnic-", 0) == 0 && after.count(name) == 0) {
            std::cout << "removed " << (fs::path(folder) / name).string() << " (no such object any more)\n";
        }
    }
#endif
}

}  // namespace lxnicctl
