#include "session.h"

#include <cstdlib>
#include <filesystem>

#include "console.h"
#include "file_problems.h"
#include "library.h"
#include "platform.h"
#include "records.h"
#include "text.h"

#ifndef LXNICCTL_VERSION
#define LXNICCTL_VERSION "1.0.0"
#endif

namespace lxnicctl {

namespace fs = std::filesystem;

void ChooseBackend(const Options &options) {
    if (!options.backend.empty()) platform::SetEnvironment("LXNICIF_BACKEND", options.backend, true);
}

std::string DefaultDefinitionsPath() {
    const char *backend = std::getenv("LXNICIF_BACKEND");
    const std::string file =
        backend != nullptr && std::string(backend) == "linux" ? "lxnicdefs-linux.xml" : "lxnicdefs.xml";
    std::error_code error;
    const std::string programText = platform::ProgramPath();
    if (programText.empty()) return {};
    const fs::path program(std::u8string(programText.begin(), programText.end()));
    fs::path dir = program.parent_path();
    for (const fs::path &candidate :
         {dir / file, dir / ".." / "share" / "lxniccfg" / file}) {
        if (fs::is_regular_file(candidate, error)) {
            std::u8string utf8 = candidate.lexically_normal().u8string();
            return std::string(utf8.begin(), utf8.end());
        }
    }
    return {};
}

std::string LxnicctlVersion() { return LXNICCTL_VERSION; }

std::string StateFileInUse(const Options &options) {
    if (!options.state.empty()) return options.state;
    auto variable = [](const char *name) {
        const char *value = std::getenv(name);
        return std::string(value != nullptr ? value : "");
    };
    if (std::string path = variable("LXNICIF_STATE"); !path.empty()) return path;
    return platform::DefaultStateFile();
}

Session::Session(const Options &options) {
    // The simulated server reads LXNICIF_STATE when a function first needs
    // the state, so it must be set before the first library call.
    if (!options.state.empty()) platform::SetEnvironment("LXNICIF_STATE", options.state, true);
    ChooseBackend(options);
    // The script writer takes the front end's version from LXNICUI_VERSION;
    // lxnicctl is the front end here. A value set by the user wins.
    platform::SetEnvironment("LXNICUI_VERSION", LXNICCTL_VERSION, false);

    std::string definitions = options.definitions;
    if (definitions.empty()) {
        definitions = DefaultDefinitionsPath();
        if (definitions.empty()) {
            throw Failure("no definitions file: none was found beside the program; name one with --defs FILE");
        }
    }
    console::Verbose("definitions: " + definitions);
    console::Verbose("state file: " + StateFileInUse(options));
    try {
        uint32_t result = InitXml(ToWide(definitions).c_str());
        loaded_ = true;
        std::string why = result == LXNICCFG_NO_FILE ? lxtools::WhyCannotRead(definitions) : "";
        Check("loading the definitions file " + definitions + (why.empty() ? "" : " (" + why + ")"), "InitXml",
              result);
        result = GetNicList(0, &teams_, &adapters_);
        Check("listing the adapters, teams and VLANs", "GetNicList", result);
    } catch (...) {
        release();  // a constructor that throws runs no destructor
        throw;
    }
}

Session::~Session() { release(); }

void Session::release() {
    for (PanelEntry *list : extraLists_) FreePanelList(list);
    extraLists_.clear();
    FreeTeams(teams_);
    FreeAdapters(adapters_);
    teams_ = nullptr;
    adapters_ = nullptr;
    // CloseXml also makes the NIC interface library drop what is staged and
    // not committed.
    if (loaded_) CloseXml(0);
    loaded_ = false;
}

namespace {

PanelEntry *Deliver(PanelEntry *list, uint32_t result, const std::string &call,
                    const std::string &panel, const std::string &what, bool optional) {
    if (list == nullptr) {
        if (optional && result == LXNICCFG_FAILED) return nullptr;
        if (result == LXNICCFG_NO_ENTRIES) return nullptr;
        if (result == LXNICCFG_OK) return nullptr;
        throw Failure("reading panel " + panel + " of " + what + " failed: " + call + " answered " +
                          DescribeResult(call, result),
                      call, result);
    }
    if (result != LXNICCFG_OK && result != LXNICCFG_NOTICE) {
        console::Note("panel " + panel + " of " + what + " was read in part: " + DescribeResult(call, result));
    }
    return list;
}

}  // namespace

PanelEntry *&Session::extraSlot() {
    extraLists_.push_back(nullptr);
    return extraLists_.back();
}

PanelEntry *Session::adapterPanel(AdapterEntry *adapter, const std::string &panel,
                                  PanelEntry *&slot, bool optional) {
    if (slot != nullptr) return slot;
    PanelEntry *list = nullptr;
    uint32_t result = GetPanelData(adapter, ToWide(panel).c_str(), &list);
    slot = Deliver(list, result, "GetPanelData", panel, ToUtf8(adapter->name), optional);
    return slot;
}

PanelEntry *Session::teamPanel(void *teamOrVlan, const std::string &panel, PanelEntry *&slot,
                               const std::string &what, bool optional) {
    if (slot != nullptr) return slot;
    PanelEntry *list = nullptr;
    uint32_t result = GetTeamPanelData(teamOrVlan, ToWide(panel).c_str(), &list);
    slot = Deliver(list, result, "GetTeamPanelData", panel, what, optional);
    return slot;
}

}  // namespace lxnicctl
