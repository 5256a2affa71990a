// The one layer of the library that calls the operating system. Everything
// else reaches files, the environment and system settings through here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lxniccfg::platform {

enum class PathState { Exists, NotFound, OtherError };

// Whether a file system object exists at the path.
PathState probePath(const std::string &path);

// The path made absolute against the current directory (not resolved).
std::string absolutePath(const std::string &path);

// A file opened for reading its raw bytes.
class InputFile {
public:
    InputFile() = default;
    ~InputFile();
    InputFile(const InputFile &) = delete;
    InputFile &operator=(const InputFile &) = delete;
    InputFile(InputFile &&other) noexcept;
    InputFile &operator=(InputFile &&other) noexcept;

    bool open(const std::string &path);  // false when it cannot be opened
    bool isOpen() const { return fd_ >= 0; }
    // Reads up to size bytes; 0 at the end; -1 on a read error.
    long read(void *buffer, std::size_t size);
    bool seekToStart();
    bool close();  // false when closing reports an error

private:
    int fd_ = -1;
};

// Writes a file so that the path either keeps its earlier content or holds
// the whole new content: the bytes go to a temporary file beside it, which
// replaces the path only when everything was written and flushed.
class AtomicOutputFile {
public:
    AtomicOutputFile() = default;
    ~AtomicOutputFile();  // discards an uncommitted temporary file
    AtomicOutputFile(const AtomicOutputFile &) = delete;
    AtomicOutputFile &operator=(const AtomicOutputFile &) = delete;

    bool open(const std::string &path);
    bool write(std::string_view bytes);
    bool commit();  // false when any write, the flush or the rename failed

private:
    void discard();
    int fd_ = -1;
    bool failed_ = false;
    std::string target_;
    std::string temp_;
};

// The OEM code page of the environment's locale: 932 for a Shift_JIS
// codeset, otherwise 0.
unsigned oemCodePage();

// True when messages are to be given in Japanese.
bool japaneseMessages();

// The front end's product version, or nothing when it cannot be obtained.
std::optional<std::string> utilityVersion();

// The management mode setting, or nothing when it cannot be read.
std::optional<long> managementMode();

}  // namespace lxniccfg::platform
