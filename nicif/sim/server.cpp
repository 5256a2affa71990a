#include "server.h"

#include <cstdio>

#include "state_file.h"

namespace lxnicsim {

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
    if (uint32_t code = ApplyChange(next, change)) return code;
    projected_ = std::move(next);
    staged_.push_back(std::move(change));
    return kOk;
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
    std::set<Handle> scope{h};
    // An adapter's commit also applies its team: the committed one, the one
    // it is staged to join or leave.
    if (committed_.adapter(h) || projected_.adapter(h)) {
        for (const State *s : {&committed_, &projected_})
            if (const Team *t = s->teamOf(h)) scope.insert(t->handle);
        for (const Change &c : staged_)
            if ((c.kind == Change::CreateTeam || c.kind == Change::AddTeamMember ||
                 c.kind == Change::RemoveTeamMember) && c.touches(h))
                scope.insert(c.owner);
    }
    // The commit of an adapter or team also applies the VLANs on it.
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
        if (ApplyChange(next, c) != kOk) continue;
        projected_ = std::move(next);
        kept.push_back(std::move(c));
    }
    staged_ = std::move(kept);
}

uint32_t Server::commit(Handle h, bool dryRun) {
    if (h != 0 && !known(h)) return kUnknownHandle;
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
        if (ApplyChange(next, c) != kOk) return kImpossible;
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
