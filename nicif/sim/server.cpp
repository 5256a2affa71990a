#include "server.h"

#include <cstdio>

#include "state_file.h"

namespace lxnicsim {

namespace {

bool Succeeded(uint32_t code) { return code == kOk || code == kNotice; }

}  // namespace

uint32_t Server::ensureLoaded() {
    if (loaded_ == Loaded::Yes) return kOk;
    if (loaded_ == Loaded::Refused) return kStateFileError;
    path_ = StateFilePath();
    LoadResult load = LoadState(path_);
    if (!load.ok) {
        // Said once per load; every call answers kStateFileError until the
        // next NicIfClose, and the file is never written over.
        std::fprintf(stderr,
                     "lxnicif: refusing the state file %s: %s. The file is left as it is; "
                     "repair it, or move it away to start from the default inventory.\n",
                     path_.c_str(), load.problem.c_str());
        loaded_ = Loaded::Refused;
        return kStateFileError;
    }
    committed_ = std::move(load.state);
    projected_ = committed_;
    staged_.clear();
    loaded_ = Loaded::Yes;
    return kOk;
}

uint32_t Server::stage(Change change) {
    State next = projected_;
    uint32_t code = ApplyChange(next, change);
    if (code != kOk && code != kNotice) return code;
    projected_ = std::move(next);
    staged_.push_back(std::move(change));
    return code;
}

bool Server::known(Handle h) const {
    if (h == 0) return false;
    if (committed_.holds(h) || projected_.holds(h)) return true;
    for (const Change &c : staged_)
        if (c.owner == h) return true;
    // An object that existed once (deleted since) has nothing to commit.
    return h < committed_.nextHandle || h < projected_.nextHandle;
}

std::set<Handle> Server::scopeOf(Handle h) const {
    auto isMembership = [](const Change &c) {
        return c.kind == Change::CreateTeam || c.kind == Change::AddTeamMember ||
               c.kind == Change::RemoveTeamMember;
    };
    // Teams and adapters tied together by membership, committed or staged:
    // an adapter's commit applies the team it is in or is staged to join or
    // leave, and a team's commit applies the membership changes of the
    // adapters it gains or loses on their other teams, so that moving an
    // adapter from one team to another commits as one change. The adapters
    // reached only tie teams together; their own property writes wait for
    // their own commit.
    std::set<Handle> teams, adapters, pending;
    if (committed_.adapter(h) || projected_.adapter(h)) pending.insert(h);
    else teams.insert(h);
    auto reachTeam = [&](Handle t) {
        if (!teams.insert(t).second) return;
        for (const Change &c : staged_)
            if (c.owner == t && isMembership(c)) {
                if (c.other && !adapters.count(c.other)) pending.insert(c.other);
                for (Handle m : c.members)
                    if (!adapters.count(m)) pending.insert(m);
            }
    };
    if (teams.count(h)) {
        teams.erase(h);
        reachTeam(h);
    }
    while (!pending.empty()) {
        Handle a = *pending.begin();
        pending.erase(pending.begin());
        if (!adapters.insert(a).second) continue;
        for (const State *s : {&committed_, &projected_})
            if (const Team *t = s->teamOf(a)) reachTeam(t->handle);
        for (const Change &c : staged_)
            if (isMembership(c) && c.touches(a)) reachTeam(c.owner);
    }

    std::set<Handle> scope{h};
    scope.insert(teams.begin(), teams.end());
    // The VLANs on the object and on those teams go with them.
    std::set<Handle> parents = scope;
    for (const State *s : {&committed_, &projected_})
        for (const Vlan &v : s->vlans)
            if (parents.count(v.parent)) scope.insert(v.handle);
    for (const Change &c : staged_)
        if (c.kind == Change::CreateVlan && parents.count(c.other)) scope.insert(c.owner);
    return scope;
}

void Server::reproject() {
    projected_ = committed_;
    std::vector<Change> kept;
    for (Change &c : staged_) {
        State next = projected_;
        // A staged change that the newly committed state has made impossible
        // is dropped.
        if (!Succeeded(ApplyChange(next, c))) continue;
        projected_ = std::move(next);
        kept.push_back(std::move(c));
    }
    staged_ = std::move(kept);
}

uint32_t Server::refresh() {
    LoadResult fresh = LoadState(path_);
    if (!fresh.ok) {
        std::fprintf(stderr, "lxnicif: the changes were not committed: the state file %s is now refused: %s\n",
                     path_.c_str(), fresh.problem.c_str());
        return kStateFileError;
    }
    if (StateToText(fresh.state) == StateToText(committed_)) return kOk;
    // Another process committed since this one read the file: the staged
    // changes now apply on top of what it committed.
    committed_ = std::move(fresh.state);
    const std::size_t staged = staged_.size();
    reproject();
    if (staged_.size() == staged) return kOk;
    std::fprintf(stderr,
                 "lxnicif: another process changed the server; %zu staged change(s) no longer "
                 "apply to it and were dropped\n",
                 staged - staged_.size());
    return kImpossible;
}

uint32_t Server::commit(Handle h, bool dryRun) {
    if (h != 0 && !known(h)) return kUnknownHandle;
    // Other processes may share the state file: a commit holds the file's
    // lock from reading it to saving it, and applies to what it holds then.
    StateFileLock lock;
    if (!dryRun && !path_.empty()) {
        if (std::string problem = lock.acquire(path_); !problem.empty()) {
            std::fprintf(stderr, "lxnicif: the changes were not committed: %s\n", problem.c_str());
            return kStateFileError;
        }
        if (uint32_t code = refresh(); code != kOk) return code;
    }
    std::set<Handle> scope;
    if (h != 0) scope = scopeOf(h);
    State next = committed_;
    std::vector<Change> rest;
    std::size_t applied = 0;
    for (const Change &c : staged_) {
        if (h != 0 && !scope.count(c.owner)) {
            rest.push_back(c);
            continue;
        }
        if (!Succeeded(ApplyChange(next, c))) return kImpossible;
        ++applied;
    }
    if (dryRun || applied == 0) return kOk;
    if (std::string problem = SaveState(path_, next); !problem.empty()) {
        std::fprintf(stderr, "lxnicif: the changes were not committed: %s\n", problem.c_str());
        return kStateFileError;
    }
    committed_ = std::move(next);
    staged_ = std::move(rest);
    reproject();
    return kOk;
}

void Server::close() {
    loaded_ = Loaded::No;
    committed_ = State{};
    projected_ = State{};
    staged_.clear();
}

Server &TheServer() {
    static Server server;
    return server;
}

std::mutex &ServerLock() {
    static std::mutex lock;
    return lock;
}

}  // namespace lxnicsim
