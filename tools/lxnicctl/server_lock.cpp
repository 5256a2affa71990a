#include "server_lock.h"

#include <chrono>
#include <ctime>
#include <sstream>

#include "console.h"
#include "library.h"

namespace lxnicctl {

namespace {

LockHolder ParseHolder(const std::string &text) {
    LockHolder holder;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::size_t space = line.find(' ');
        std::string key = line.substr(0, space);
        std::string value = space == std::string::npos ? "" : line.substr(space + 1);
        if (key == "pid") holder.pid = std::atoi(value.c_str());
        if (key == "command") holder.command = value;
        if (key == "since") holder.since = value;
        if (key == "note") holder.note = value;
    }
    return holder;
}

std::string HolderText(const std::string &command, const std::string &note) {
    std::string text = "pid " + std::to_string(platform::ProcessId()) + "\ncommand " + command + "\nsince " +
                       platform::LocalTimeText(std::time(nullptr)) + "\n";
    if (!note.empty()) text += "note " + note + "\n";
    return text;
}

}  // namespace

std::string LockHolder::text() const {
    std::string out = "process " + std::to_string(pid);
    if (!command.empty()) out += " (" + command + ")";
    if (!note.empty()) out += "; " + note;
    return out;
}

ServerLock::ServerLock(const StateDir &dir, int waitSeconds, const std::string &command) {
    dir.create();
    const auto start = std::chrono::steady_clock::now();
    bool announced = false;
    int delay = 5;
    while (true) {
        std::string problem;
        if (lock_.tryAcquire(dir.lockFile(), problem)) break;
        if (!problem.empty()) throw Failure("cannot take the server's lock: " + problem);
        const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(
                                std::chrono::steady_clock::now() - start).count();
        LockHolder holder = ParseHolder(platform::ReadLockFile(dir.lockFile()));
        if (waited >= waitSeconds * 1000LL) {
            throw Failure("gave up after waiting " + std::to_string(waited / 1000) +
                          " s for the server's lock held by " + holder.text() +
                          "; nothing was changed (--wait SECONDS waits longer)");
        }
        if (!announced && waited >= 1000) {
            console::Note("waiting for the server's lock held by " + holder.text());
            announced = true;
        }
        platform::SleepMilliseconds(delay);
        delay = std::min(delay * 2, 100);
    }
    lock_.write(HolderText(command, ""));
}

ServerLock::ServerLock(int descriptor, const StateDir &dir) { lock_.adopt(descriptor, dir.lockFile()); }

void ServerLock::describe(const std::string &command, const std::string &note) {
    lock_.write(HolderText(command, note));
}

LockHolder CurrentHolder(const StateDir &dir) {
    platform::FileLock probe;
    std::string problem;
    if (probe.tryAcquire(dir.lockFile(), problem)) return {};
    return ParseHolder(platform::ReadLockFile(dir.lockFile()));
}

}  // namespace lxnicctl
