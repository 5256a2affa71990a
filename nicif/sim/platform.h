// What the simulated server needs of the operating system: a lock among
// processes that can also hold a few bytes, writing a file through to the
// disk, the process itself and where the state lives by default.
// platform_posix.cpp implements it for POSIX systems, platform_win32.cpp for
// Windows.
#pragma once

#include <string>

namespace lxnicsim::platform {

// An exclusive lock on a file among processes, taken by acquire() and given
// up by release() or the destructor (and by the system when the process
// ends). The file is created when missing and kept afterwards; while the lock
// is held its contents can be read and replaced.
class FileLock {
public:
    FileLock() = default;
    ~FileLock();
    FileLock(const FileLock &) = delete;
    FileLock &operator=(const FileLock &) = delete;

    // Waits for the lock; empty on success, otherwise what went wrong.
    std::string acquire(const std::string &path);
    void release();
#ifdef _WIN32
    bool held() const { return handle_ != nullptr; }
#else
    bool held() const { return fd_ >= 0; }
#endif

    // The file's contents (empty when unreadable), and replacing them.
    std::string read() const;
    bool write(const std::string &bytes) const;

private:
#ifdef _WIN32
    void *handle_ = nullptr;
#else
    int fd_ = -1;
#endif
    std::string path_;
};

// Creates or truncates path, writes the bytes and flushes them to the disk;
// `afterWrite` runs between writing and flushing and may ask to stop (it
// returns false). When the file `replacing` exists, the new file takes its
// permission bits and, where the process may give them, its owner and
// group. Empty on success, otherwise what went wrong.
std::string WriteThrough(const std::string &path, const std::string &bytes, bool (*afterWrite)(),
                         const std::string &replacing);

// The folder that holds the state file when LXNICIF_STATE is not set:
// $XDG_STATE_HOME/lxnicif, else $HOME/.local/state/lxnicif (POSIX);
// %LOCALAPPDATA%\lxnicif (Windows). Empty when none can be formed; then
// StateDirectoryHint() says what to set.
std::string DefaultStateDirectory();
const char *StateDirectoryHint();

int ProcessId();
// Whether a process with this id runs (on this machine).
bool ProcessAlive(int pid);
// Ends this process at once, as being killed would: nothing is flushed,
// no destructor runs.
[[noreturn]] void KillSelf();

}  // namespace lxnicsim::platform
