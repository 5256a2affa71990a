// One run of lxnicctl against the library: the environment the library and
// the simulated server read, the loaded definitions, the adapter, team and
// VLAN records, and the panels read for them.
#pragma once

#include <deque>
#include <memory>
#include <unordered_map>
#include <string>

#include "lxniccfg.h"

namespace lxnicctl {

struct Options {
    std::string definitions;  // empty: the shipped file beside the program
    std::string state;        // empty: the server's own default place
    // What changing commands take: where checkpoints and the server's lock
    // live (empty: beside the state file), how long to wait for the lock,
    // the seconds after which an unconfirmed change is rolled back (0:
    // never), and whether to check without changing anything.
    std::string stateDir;
    int waitSeconds = 60;
    int rollbackAfter = 0;
    bool dryRun = false;
    std::string backend;      // empty: LXNICIF_BACKEND as set, else the simulated server
};

// Makes the NIC interface library use the chosen backend (LXNICIF_BACKEND);
// must run before the first library call.
void ChooseBackend(const Options &options);

// The shipped definitions file of the backend in use (lxnicdefs.xml for the
// simulated server, lxnicdefs-linux.xml for Linux): beside the built
// program, or in ../share/lxniccfg/ of the installed one. Empty when
// neither exists.
std::string DefaultDefinitionsPath();

// The simulated server's state file as the server will find it: --state,
// else LXNICIF_STATE, else $XDG_STATE_HOME/lxnicif/state.json, else
// ~/.local/state/lxnicif/state.json. Empty when none can be formed.
std::string StateFileInUse(const Options &options);

// "1.0.0"
std::string LxnicctlVersion();

class Session {
public:
    // Sets up the environment, loads the definitions and lists the adapters,
    // teams and VLANs. Throws a Failure naming what failed.
    explicit Session(const Options &options);
    ~Session();
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    TeamEntry *&teams() { return teams_; }
    AdapterEntry *&adapters() { return adapters_; }

    // The panel of an adapter (GetPanelData) or of a team or VLAN
    // (GetTeamPanelData), kept in `slot`: read when the slot is empty. A read
    // that delivers entries but reports a failure for some of them prints a
    // note; a read that delivers nothing throws (104, no entries, gives an
    // empty list). `what` names the object in messages.
    // With `optional`, a panel the object's definitions do not have (100
    // without entries) reads as empty instead of failing.
    PanelEntry *adapterPanel(AdapterEntry *adapter, const std::string &panel, PanelEntry *&slot,
                             bool optional = false);
    PanelEntry *teamPanel(void *teamOrVlan, const std::string &panel, PanelEntry *&slot,
                          const std::string &what, bool optional = false);

    // A place for a panel list that no slot of the records holds; released
    // with the session.
    PanelEntry *&extraSlot();

    // A table a command builds once for the session and keeps up to date
    // (the VLAN ids of a parent, say), found by a key of the caller's choice;
    // released with the session.
    template <typename T>
    T &memo(const void *key) {
        std::shared_ptr<void> &slot = memos_[key];
        if (!slot) slot = std::make_shared<T>();
        return *static_cast<T *>(slot.get());
    }

private:
    void release();

    std::deque<PanelEntry *> extraLists_;
    std::unordered_map<const void *, std::shared_ptr<void>> memos_;
    TeamEntry *teams_ = nullptr;
    AdapterEntry *adapters_ = nullptr;
    bool loaded_ = false;
};

}  // namespace lxnicctl
