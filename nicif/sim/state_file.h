// The state file: where it lives, reading it (or the shipped default
// inventory when there is none) and saving it atomically.
#pragma once

#include <string>

#include "platform.h"
#include "sim_state.h"

namespace lxnicsim {

// The format this library writes; a file of a later format is refused.
inline constexpr int kStateFormat = 1;

// LXNICIF_STATE; else $XDG_STATE_HOME/lxnicif/state.json; else
// $HOME/.local/state/lxnicif/state.json; empty when none can be formed.
std::string StateFilePath();

// The default inventory shipped with the library.
State DefaultInventory();

struct LoadResult {
    bool ok = false;
    State state;
    std::string text;     // the file's bytes (empty for the default inventory)
    std::string problem;  // why the file was refused
};

// Reads the state file; a missing file gives the default inventory. A file
// that cannot be read, is not valid, is inconsistent or of a later format
// is refused (and never touched).
LoadResult LoadState(const std::string &path);

// Parses a state document (the contents of a state file).
LoadResult ParseState(const std::string &text);

// The state as the JSON text of a state file.
std::string StateToText(const State &state);

// The bytes of the file at path; false when it cannot be read. A missing
// file reads as empty.
bool ReadStateBytes(const std::string &path, std::string &bytes);

// The file a state file path leads to: the path itself, or where its chain
// of symbolic links ends.
std::string ResolveStatePath(const std::string &path);

// Writes the text (StateToText) to a temporary file beside the file path
// leads to, flushes it to disk and renames it over that file, creating the
// directory when needed: a symbolic link stays a link, and the file keeps
// its permission bits, owner and group. Temporary files that killed
// processes left beside it are removed first; call it holding the
// StateFileLock. Empty on success, otherwise what went wrong (the file at
// path is then unchanged).
std::string SaveStateText(const std::string &path, const std::string &text);

// Removes the temporary files that processes killed while saving left
// beside the file path leads to (a live process's temporary stays).
void RemoveStaleTemporaries(const std::string &path);

// An exclusive lock on the state file among processes, held from reading the
// file to saving it so that no commit undoes another process's. It is a lock
// on "<file>.lock" beside the file (the file itself is replaced by every
// save, so it cannot carry the lock); the lock file is kept. It also holds
// the next handle any process may hand out, so that processes sharing the
// file never hand out one handle twice.
class StateFileLock {
public:
    // Waits for the lock; empty on success, otherwise what went wrong.
    std::string acquire(const std::string &path);
    void release() { lock_.release(); }

    // Takes `count` handles no process has handed out, none below atLeast;
    // returns the first. Needs the lock.
    Handle reserveHandles(Handle atLeast, Handle count);
    // Gives the handles from first to end (not included) back, when they are
    // the last ones reserved. Needs the lock.
    void returnHandles(Handle first, Handle end);

private:
    Handle reservedNext() const;
    platform::FileLock lock_;
};

}  // namespace lxnicsim
