#include "server.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "faults.h"
#include "state_file.h"

namespace lxnicsim {

namespace {

bool Succeeded(uint32_t code) { return code == kOk || code == kNotice; }

// LXNICIF_TRANSACTIONS=0 makes the server refuse to open a transaction, as a
// NIC interface library without them does; tests use it.
bool TransactionsOffered() {
    const char *value = std::getenv("LXNICIF_TRANSACTIONS");
    return !(value && std::strcmp(value, "0") == 0);
}

// The largest block of handles a process reserves at once; blocks grow from
// one as a process keeps creating, so a few creations use a few handles.
constexpr Handle kLargestReservation = 1024;

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
    committedText_ = std::move(load.text);
    projected_ = committed_;
    staged_.clear();
    loaded_ = Loaded::Yes;
    // What a process killed while saving left beside the file goes.
    if (!path_.empty()) RemoveStaleTemporaries(path_);
    return kOk;
}

Handle Server::reserveHandle() {
    if (reservedNext_ < reservedEnd_ && reservedNext_ >= projected_.nextHandle) return reservedNext_++;
    Handle atLeast = std::max(projected_.nextHandle, reservedEnd_);
    StateFileLock lock;
    if (path_.empty() || !lock.acquire(path_).empty()) {
        // No file to share: nobody else can hand out handles for it.
        reservedNext_ = atLeast;
        reservedEnd_ = atLeast + 1;
        return reservedNext_++;
    }
    reservedNext_ = lock.reserveHandles(atLeast, reservationSize_);
    reservedEnd_ = reservedNext_ + reservationSize_;
    reservationSize_ = std::min(reservationSize_ * 2, kLargestReservation);
    return reservedNext_++;
}

uint32_t Server::stage(Change change, Handle *created) {
    if (change.creates()) {
        // Checked under a handle nobody holds, then given its own.
        change.owner = std::max(projected_.nextHandle, reservedNext_);
    }
    uint32_t code = projected_.check(change);
    if (!Succeeded(code)) return code;
    if (change.creates()) {
        change.owner = reserveHandle();
        if (created) *created = change.owner;
    }
    projected_.carry(change);
    staged_.push_back(std::move(change));
    return code;
}

bool Server::known(Handle h) const {
    if (h == 0) return false;
    if (committed_.holds(h) || projected_.holds(h)) return true;
    for (const Change &c : staged_)
        if (c.owner == h) return true;
    // An object that existed once (deleted since) has nothing to commit.
    return h < committed_.nextHandle || h < projected_.nextHandle || h < reservedEnd_;
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
        for (Handle parent : parents)
            for (Handle v : s->vlansOn(parent)) scope.insert(v);
    for (const Change &c : staged_)
        if (c.kind == Change::CreateVlan && parents.count(c.other)) scope.insert(c.owner);
    return scope;
}

void Server::reproject() {
    projected_ = committed_;
    std::vector<Change> kept;
    for (Change &c : staged_) {
        // A staged change that the newly committed state has made impossible
        // is dropped.
        if (!Succeeded(ApplyChange(projected_, c))) continue;
        kept.push_back(std::move(c));
    }
    staged_ = std::move(kept);
}

uint32_t Server::refresh() {
    std::string bytes;
    if (ReadStateBytes(path_, bytes) && bytes == committedText_) return kOk;
    LoadResult fresh = LoadState(path_);
    if (!fresh.ok) {
        std::fprintf(stderr, "lxnicif: the changes were not committed: the state file %s is now refused: %s\n",
                     path_.c_str(), fresh.problem.c_str());
        return kStateFileError;
    }
    // Another process committed since this one read the file: the staged
    // changes now apply on top of what it committed.
    committed_ = std::move(fresh.state);
    committedText_ = std::move(fresh.text);
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
        if (Faults::step("taking the lock")) return kStateFileError;
        if (std::string problem = lock.acquire(path_); !problem.empty()) {
            std::fprintf(stderr, "lxnicif: the changes were not committed: %s\n", problem.c_str());
            return kStateFileError;
        }
        if (Faults::step("reading the state file")) return kStateFileError;
        if (uint32_t code = refresh(); code != kOk) return code;
    }
    std::set<Handle> scope;
    if (h != 0) scope = scopeOf(h);
    State next = committed_;
    std::vector<Change> rest;
    std::size_t applied = 0;
    for (Change &c : staged_) {
        if (h != 0 && !scope.count(c.owner)) {
            rest.push_back(c);
            continue;
        }
        if (!Succeeded(ApplyChange(next, c))) return kImpossible;
        ++applied;
    }
    if (dryRun || applied == 0) return kOk;
    std::string text = StateToText(next);
    if (std::string problem = SaveStateText(path_, text); !problem.empty()) {
        std::fprintf(stderr, "lxnicif: the changes were not committed: %s\n", problem.c_str());
        return kStateFileError;
    }
    committed_ = std::move(next);
    committedText_ = std::move(text);
    staged_ = std::move(rest);
    reproject();
    lock.release();
    // The commit is made; a failure reported now is one of its answer only.
    if (Faults::step("giving the lock back")) return kStateFileError;
    return kOk;
}

uint32_t Server::commitScope(Handle h, bool dryRun) {
    if (transaction_) return known(h) ? kOk : kUnknownHandle;
    return commit(h, dryRun);
}

uint32_t Server::applyConfigChanges(Handle h, uint32_t flags) {
    if (flags & ~(kApplyCheckOnly | kApplyBeginTransaction)) return kBadArgument;
    if (flags & kApplyBeginTransaction) {
        if ((flags & kApplyCheckOnly) || !TransactionsOffered()) return kBadArgument;
        transaction_ = true;
        return kOk;
    }
    if (transaction_ && h != 0) return known(h) ? kOk : kUnknownHandle;
    if (uint32_t code = commit(h, true)) return code;
    if (flags & kApplyCheckOnly) return kOk;
    uint32_t code = commit(h, false);
    if (code == kOk) transaction_ = false;
    return code;
}

void Server::close() {
    loaded_ = Loaded::No;
    committed_ = State{};
    projected_ = State{};
    committedText_.clear();
    staged_.clear();
    transaction_ = false;
    // Handles reserved and not used are given back when nobody reserved
    // after them, and given up otherwise: the next state file may be another
    // one.
    if (reservedNext_ < reservedEnd_ && !path_.empty()) {
        StateFileLock lock;
        if (lock.acquire(path_).empty()) lock.returnHandles(reservedNext_, reservedEnd_);
    }
    reservedNext_ = reservedEnd_ = 0;
    reservationSize_ = 1;
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
