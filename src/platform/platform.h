// The one layer of the library that calls the operating system. Everything
// else reaches files, the environment and system settings through here.
// posix/ implements it for Linux, win32/ for Windows. Paths are UTF-8 text
// on every platform.
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

// The path made absolute against the current directory (not resolved), as
// the '/'-separated path of a file URL ("/C:/dir/file" on Windows).
std::string urlPath(const std::string &path);

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
    // The file's size in bytes, for sizing what reading it will fill; 0 when
    // it is unknown (not open, not a regular file). Reading goes on to the
    // end whatever this says.
    std::uint64_t sizeHint() const;
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

    // Text: the bytes are written as a text-mode stream writes them, so on
    // Windows every line feed is stored as CR LF. Binary: stored as given.
    enum class Mode { Binary, Text };
    bool open(const std::string &path, Mode mode = Mode::Binary);
    bool write(std::string_view bytes);
    bool commit();  // false when any write, the flush or the rename failed

private:
    void discard();
    int fd_ = -1;
    Mode mode_ = Mode::Binary;
    bool failed_ = false;
    std::string target_;
    std::string temp_;
};

// The OEM code page of the environment's locale: 932 for a Shift_JIS
// codeset, otherwise 0.
unsigned oemCodePage();

// True when messages are to be given in Japanese (POSIX: the compiled-in
// tables are chosen by this).
bool japaneseMessages();

// The text of a string resource of the library's own module, in the
// encoding of messages; nothing when the platform keeps no string resources
// (POSIX), where the library's compiled-in tables serve.
std::optional<std::string> resourceString(unsigned id);

// The encoding of the texts the library hands out as messages: UTF-8 on
// POSIX, the ANSI code page on Windows (a character it lacks becomes '?').
std::string messageTextFromUtf8(std::string_view utf8);
std::u16string wideFromMessageText(std::string_view text);
// The length of the longest start of message text that holds at most
// maxBytes bytes and splits no character.
std::size_t messageTextCut(std::string_view text, std::size_t maxBytes);

// The front end's product version (UTF-8), or nothing when it cannot be
// obtained.
std::optional<std::string> utilityVersion();

// The management mode setting, or nothing when it cannot be read.
std::optional<long> managementMode();

}  // namespace lxniccfg::platform
