// What lxnicctl needs of the operating system: the server's lock among
// processes, replacing a file whole, deferring the signals that would end a
// commit half way, and the rollback watchdog that outlives the command.
// platform_posix.cpp implements it for POSIX systems, platform_win32.cpp for
// Windows. Paths are UTF-8 text.
#pragma once

#include <ctime>
#include <string>
#include <vector>

namespace lxnicctl::platform {

// An exclusive lock on a file among processes. The holder writes a few lines
// about itself into the file, so that a process waiting for it can say who
// holds it. The lock can be handed to a process started by StartWatchdog.
class FileLock {
public:
    FileLock() = default;
    ~FileLock();
    FileLock(const FileLock &) = delete;
    FileLock &operator=(const FileLock &) = delete;

    // Takes the lock if nobody holds it: true when taken; false when another
    // process holds it or it cannot be taken (then `problem` says why).
    bool tryAcquire(const std::string &path, std::string &problem);
    // Takes over a lock handed to this process (its descriptor number).
    void adopt(int descriptor, const std::string &path);
    void release();
    bool held() const { return fd_ >= 0; }
    int descriptor() const { return fd_; }

    // The file's contents, and replacing them (the holder only).
    std::string read() const;
    bool write(const std::string &text) const;

private:
    int fd_ = -1;
};

// The contents of the lock file at path, whoever holds it.
std::string ReadLockFile(const std::string &path);

int ProcessId();
// Whether a process with this id runs.
bool ProcessAlive(int pid);

// Writes a file whole or not at all: a temporary file beside it, flushed to
// disk, renamed over it. Empty on success, otherwise what went wrong.
std::string ReplaceFile(const std::string &path, const std::string &bytes);

// Standard output closing early (a pipe whose reader went away) must not end
// a command in the middle of a change: writes to it just fail.
void IgnoreBrokenPipe();

// While one exists, the signals that ask the program to end (interrupt,
// hang-up, terminate, quit) wait; they take effect when the last one ends.
class DeferredInterruptions {
public:
    DeferredInterruptions();
    ~DeferredInterruptions();
    DeferredInterruptions(const DeferredInterruptions &) = delete;
    DeferredInterruptions &operator=(const DeferredInterruptions &) = delete;
};

// The program itself, to start it again, and to find the definitions
// shipped beside it. Empty when it cannot be found.
std::string ProgramPath();

// Sets an environment variable of this process (and of the libraries it
// loads); with overwrite false a value already set is kept.
void SetEnvironment(const char *name, const std::string &value, bool overwrite);

// The state file the simulated server uses when LXNICIF_STATE is not set:
// $XDG_STATE_HOME/lxnicif/state.json, else $HOME/.local/state/lxnicif/state.json
// (POSIX); %LOCALAPPDATA%\lxnicif\state.json (Windows). Empty when none
// can be formed.
std::string DefaultStateFile();

// Whether this system can keep a rollback watchdog running after the command
// (StartWatchdog and the functions after it); empty when it can, otherwise
// why not.
std::string WatchdogUnavailable();

// Starts the program again with these arguments as a process of its own,
// detached from the terminal and the command's process group, so that closing
// the terminal or ending the command does not end it. It inherits the lock's
// descriptor (its number is passed in the arguments by the caller) and
// writes its output to logPath. Returns its process id, or -1 (with
// `problem`).
int StartWatchdog(const std::vector<std::string> &arguments, int lockDescriptor,
                  const std::string &logPath, std::string &problem);

// In the watchdog: what ended the wait.
enum class WatchdogEvent { Confirmed, RollBackNow, Deadline };
// Sets the watchdog's signals up (before anything else it does): the
// confirmation and the request to roll back now are waited for, a hang-up or
// an interrupt is ignored, and a request to terminate rolls back at once.
void PrepareWatchdogSignals();
// Waits until the deadline, or until another process confirms or asks for
// the rollback now.
WatchdogEvent WaitForConfirmation(std::time_t deadline);
// From another process: confirm the change the watchdog guards, or roll it
// back now. False when the watchdog is gone.
bool SendConfirmation(int watchdogPid);
bool SendRollBackNow(int watchdogPid);

void SleepMilliseconds(int milliseconds);

// "2026-12-10 14:03:22 +0000" in the local time zone.
std::string LocalTimeText(std::time_t when);

}  // namespace lxnicctl::platform
