// Shared pieces of the script writer and reader tests: a controlled
// environment (locale, utility version, registry root) and records built by
// hand as a front end holds them.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#ifdef _WIN32
#include <windows.h>
#endif

#include "lxniccfg.h"
#include "support/nicif_double.h"
#include "support/records.h"
#include "support/test_files.h"

namespace script_test {

using testing_support::Text;

// A case that sets the locale through the environment, which only the Linux
// build reads (on Windows the locale is the process's own; the Windows
// suite runs such cases under a Japanese locale).
#ifdef _WIN32
#define SKIP_ON_WINDOWS(why) GTEST_SKIP() << why
#else
#define SKIP_ON_WINDOWS(why) (void)0
#endif

// Sets environment variables for one test and puts the old values back.
// On Windows the utility version is lxnicui.dll's: LXNICUI_VERSION picks
// one of the test builds of that module (or none) instead.
class EnvironmentTest : public ::testing::Test {
protected:
    void set(const char *name, std::optional<std::string> value) {
#ifdef _WIN32
        if (std::string_view(name) == "LXNICUI_VERSION") {
            useUiModule(value);
            return;
        }
#endif
        if (!saved_.count(name)) {
            const char *old = std::getenv(name);
            saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
        }
        testing_support::SetEnvironment(name, value);
    }
    void SetUp() override {
        nicif_double::Nic().reset();
        for (const char *name : {"LC_ALL", "LC_CTYPE", "LC_MESSAGES"}) set(name, std::nullopt);
        set("LANG", "C");
        set("LXNICUI_VERSION", "9.2.0.1");
        set("LXNICCFG_REGISTRY_ROOT", dir.path() + "/registry");
    }
    void TearDown() override {
        for (auto &[name, value] : saved_) testing_support::SetEnvironment(name.c_str(), value);
    }
    // A path in the test's directory, as UTF-16.
    std::u16string path(const std::string &name) const {
        return testing_support::W(dir.path() + "/" + name);
    }

    testing_support::TempDir dir;

private:
#ifdef _WIN32
    static void useUiModule(const std::optional<std::string> &version) {
        const char *folder = !version                       ? "none"
                             : *version == "9.2.0.1"          ? "plain"
                             : *version == "9.2 'beta' & <x>" ? "awkward"
                                                              : nullptr;
        ASSERT_NE(folder, nullptr) << "no lxnicui.dll is built with the version " << *version;
        testing_support::UseUiModuleFolder(std::string(LXNICUI_VARIANTS_DIR) + "/" + folder);
    }
#endif
    std::map<std::string, std::optional<std::string>> saved_;
};

template <class T>
T *Zeroed() {
    return static_cast<T *>(std::calloc(1, sizeof(T)));
}

template <class T>
T *Append(T *&head, T *item) {
    T **slot = &head;
    while (*slot) slot = &(*slot)->next;
    *slot = item;
    return item;
}

inline VlanEntry *NewVlan(PanelEntry *identification) {
    auto *vlan = Zeroed<VlanEntry>();
    vlan->identificationList = identification;
    return vlan;
}

inline TeamMemberLink *AddMember(TeamEntry *team, AdapterEntry *nic, bool removed = false) {
    auto *link = Zeroed<TeamMemberLink>();
    link->adapter = nic;
    link->adapterHandle = nic->handle;
    link->isRemoved = removed;
    return Append(team->members, link);
}

// Owns a NIC list and a team list for a test.
struct Records {
    Records() = default;
    Records(const Records &) = delete;
    Records &operator=(const Records &) = delete;
    ~Records() { testing_support::FreeNicList(teams, nics); }

    AdapterEntry *nic(uint32_t number, const char *name = nullptr) {
        auto *nic = Zeroed<AdapterEntry>();
        nic->number = number;
        nic->handle = 1000 + number;
        if (name) nic->name = Text(name);
        return Append(nics, nic);
    }
    TeamEntry *team() { return Append(teams, Zeroed<TeamEntry>()); }

    TeamEntry *teams = nullptr;
    AdapterEntry *nics = nullptr;
};

// The script's first lines up to and including the header comment.
inline std::string Header(const std::string &encoding = "ISO-8859-1") {
    return "<?xml version=\"1.0\" encoding=\"" + encoding + "\"?>\n"
           "\n"
           "<teamingconfig>\n"
           "\n"
           "  <!-- The comment lines in this file make it convenient   -->\n"
           "  <!-- to reference <nic>, <team>, and <vlan> elements     -->\n"
           "  <!-- within the file.  It is recommended that these      -->\n"
           "  <!-- comment lines remain unchanged if the user edits    -->\n"
           "  <!-- the file.                                           -->\n"
           "\n";
}

inline std::string VersionBlock(const std::string &version = "9.2.0.1") {
    return "\n"
           "  <!--                        -->\n"
           "  <!--     Version Data       -->\n"
           "  <!--                        -->\n"
           "\n"
           "  <version UtilityVersion='" + version + "' ScriptVersion='3.1'/>\n"
           "\n";
}

inline const std::string kAdapterBanner =
    "  <!--                        -->\n"
    "  <!--      Adapter Data      -->\n"
    "  <!--                        -->\n"
    "\n";

inline const std::string kTeamBanner =
    "\n"
    "  <!--                        -->\n"
    "  <!--       Team Data        -->\n"
    "  <!--                        -->\n"
    "\n";

}  // namespace script_test
