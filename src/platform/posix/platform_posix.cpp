// POSIX implementation of the platform layer.
#include "platform/platform.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "util/dual_string.h"

namespace lxniccfg::platform {

PathState probePath(const std::string &path) {
    struct stat st;
    if (::stat(path.c_str(), &st) == 0) return PathState::Exists;
    return errno == ENOENT ? PathState::NotFound : PathState::OtherError;
}

std::string urlPath(const std::string &path) {
    if (!path.empty() && path[0] == '/') return path;
    std::string cwd;
    std::size_t size = 256;
    for (;;) {
        cwd.resize(size);
        if (::getcwd(cwd.data(), cwd.size())) break;
        if (errno != ERANGE) return path;
        size *= 2;
    }
    cwd.resize(std::strlen(cwd.c_str()));
    if (cwd.empty() || cwd.back() != '/') cwd.push_back('/');
    return cwd + path;
}

InputFile::~InputFile() { close(); }

InputFile::InputFile(InputFile &&other) noexcept : fd_(other.fd_) { other.fd_ = -1; }

InputFile &InputFile::operator=(InputFile &&other) noexcept {
    if (this != &other) {
        close();
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

bool InputFile::open(const std::string &path) {
    close();
    if (path.empty()) return false;
    do {
        fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    } while (fd_ < 0 && errno == EINTR);
    if (fd_ < 0) return false;
    struct stat st;
    if (::fstat(fd_, &st) != 0 || S_ISDIR(st.st_mode)) {
        close();
        return false;
    }
    return true;
}

long InputFile::read(void *buffer, std::size_t size) {
    if (fd_ < 0) return -1;
    for (;;) {
        ssize_t n = ::read(fd_, buffer, size);
        if (n >= 0) return static_cast<long>(n);
        if (errno != EINTR) return -1;
    }
}

std::uint64_t InputFile::sizeHint() const {
    struct stat st;
    if (fd_ < 0 || ::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0) return 0;
    return static_cast<std::uint64_t>(st.st_size);
}

bool InputFile::seekToStart() { return fd_ >= 0 && ::lseek(fd_, 0, SEEK_SET) == 0; }

bool InputFile::close() {
    if (fd_ < 0) return true;
    int rc = ::close(fd_);
    fd_ = -1;
    return rc == 0;
}

AtomicOutputFile::~AtomicOutputFile() { discard(); }

void AtomicOutputFile::discard() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!temp_.empty()) ::unlink(temp_.c_str());
    temp_.clear();
}

bool AtomicOutputFile::open(const std::string &path, Mode mode) {
    discard();
    mode_ = mode;  // POSIX stores line feeds as they are in both modes
    failed_ = false;
    if (path.empty()) return false;
    struct stat st;
    const bool replacing = ::stat(path.c_str(), &st) == 0;
    if (replacing) {
        // Only a regular file that we may write is replaced.
        if (!S_ISREG(st.st_mode) || ::access(path.c_str(), W_OK) != 0) return false;
        // A file without any write permission is read-only for every user,
        // including one whose privileges would let access() pass.
        if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return false;
    }
    target_ = path;
    // The temporary file is created as any new file is (0666 less the
    // umask, which is never changed: that would race with other threads);
    // a file it replaces keeps its permissions.
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
        std::string name = path + ".tmp" + std::to_string(::getpid()) + "." +
                           std::to_string(counter.fetch_add(1, std::memory_order_relaxed));
        fd_ = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ >= 0) temp_ = std::move(name);
        else if (errno != EEXIST) return false;
    }
    if (fd_ < 0) return false;
    if (replacing) ::fchmod(fd_, st.st_mode & 0777);
    return true;
}

bool AtomicOutputFile::write(std::string_view bytes) {
    if (fd_ < 0 || failed_) return false;
    while (!bytes.empty()) {
        ssize_t n = ::write(fd_, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            failed_ = true;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

bool AtomicOutputFile::commit() {
    if (fd_ < 0) return false;
    bool ok = !failed_ && ::fsync(fd_) == 0;
    ok = (::close(fd_) == 0) && ok;
    fd_ = -1;
    if (ok && ::rename(temp_.c_str(), target_.c_str()) == 0) {
        temp_.clear();
        return true;
    }
    discard();
    return false;
}

namespace {

const char *firstNonEmpty(std::initializer_list<const char *> names) {
    for (const char *name : names) {
        const char *value = std::getenv(name);
        if (value && *value) return value;
    }
    return nullptr;
}

std::string lowerAscii(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

}  // namespace

unsigned oemCodePage() {
    const char *locale = firstNonEmpty({"LC_ALL", "LC_CTYPE", "LANG"});
    if (!locale) return 0;
    std::string text(locale);
    std::size_t dot = text.find('.');
    if (dot == std::string::npos) return 0;
    std::string codeset = text.substr(dot + 1);
    codeset = lowerAscii(codeset.substr(0, codeset.find('@')));
    for (const char *name : {"sjis", "shift_jis", "shift-jis", "cp932", "windows-31j"})
        if (codeset == name) return 932;
    return 0;
}

bool japaneseMessages() {
    const char *locale = firstNonEmpty({"LC_ALL", "LC_MESSAGES", "LANG"});
    return locale && std::strncmp(locale, "ja", 2) == 0;
}

std::optional<std::string> resourceString(unsigned) { return std::nullopt; }

std::string messageTextFromUtf8(std::string_view utf8) { return std::string(utf8); }

std::u16string wideFromMessageText(std::string_view text) { return fromUtf8(text); }

std::size_t messageTextCut(std::string_view text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) return text.size();
    std::size_t cut = maxBytes;
    // Step back over continuation bytes to the start of the character that
    // would be split.
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    return cut;
}

std::optional<std::string> utilityVersion() {
    const char *version = std::getenv("LXNICUI_VERSION");
    if (!version || !*version) return std::nullopt;
    return std::string(version);
}

std::optional<long> managementMode() {
    const char *root = std::getenv("LXNICCFG_REGISTRY_ROOT");
    std::string path = (root && *root) ? root : "/etc/lxniccfg/registry";
    path += "/Software/Veltrane/VLTTEAM/ManagementMode";
    InputFile file;
    if (!file.open(path)) return std::nullopt;
    char buffer[64];
    long n = file.read(buffer, sizeof buffer - 1);
    if (n <= 0) return std::nullopt;
    buffer[n] = '\0';
    char *end = nullptr;
    errno = 0;
    long value = std::strtol(buffer, &end, 10);
    if (end == buffer || errno != 0) return std::nullopt;
    while (*end == ' ' || *end == '\t' || *end == '\r' || *end == '\n') ++end;
    if (*end != '\0') return std::nullopt;
    return value;
}

}  // namespace lxniccfg::platform
