// Windows implementation of the platform layer.
#include "platform/platform.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <atomic>
#include <cstring>
#include <string>
#include <vector>

namespace lxniccfg::platform {

namespace {

std::wstring Wide(std::string_view utf8) {
    if (utf8.empty()) return {};
    int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

std::string Narrow(std::wstring_view wide, UINT codePage) {
    if (wide.empty()) return {};
    int n = ::WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                  nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n, nullptr,
                          nullptr);
    return out;
}

std::wstring WideFrom(std::string_view text, UINT codePage) {
    if (text.empty()) return {};
    int n = ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

// The module this code is part of: lxniccfg.dll, or the program it is
// linked into.
HMODULE OwnModule() {
    HMODULE module = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCWSTR>(&OwnModule), &module);
    return module;
}

bool IsDirectory(const std::wstring &path) {
    DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

PathState probePath(const std::string &path) {
    if (::GetFileAttributesW(Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES) return PathState::Exists;
    return ::GetLastError() == ERROR_FILE_NOT_FOUND ? PathState::NotFound : PathState::OtherError;
}

std::string urlPath(const std::string &path) {
    std::wstring wide = Wide(path);
    DWORD size = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (size != 0) {
        std::wstring full(size, L'\0');
        DWORD n = ::GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
        if (n != 0 && n < size) {
            full.resize(n);
            wide = std::move(full);
        }
    }
    std::string url = Narrow(wide, CP_UTF8);
    for (char &c : url)
        if (c == '\\') c = '/';
    // "C:/dir" becomes "/C:/dir"; "//server/share" stays as it is.
    if (url.size() >= 2 && url[1] == ':') url.insert(url.begin(), '/');
    return url;
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
    std::wstring wide = Wide(path);
    if (IsDirectory(wide)) return false;
    fd_ = ::_wopen(wide.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
    return fd_ >= 0;
}

long InputFile::read(void *buffer, std::size_t size) {
    if (fd_ < 0) return -1;
    unsigned chunk = size > (1u << 30) ? (1u << 30) : static_cast<unsigned>(size);
    return ::_read(fd_, buffer, chunk);
}

std::uint64_t InputFile::sizeHint() const {
    const long long size = fd_ >= 0 ? ::_filelengthi64(fd_) : -1;
    return size > 0 ? static_cast<std::uint64_t>(size) : 0;
}

bool InputFile::seekToStart() { return fd_ >= 0 && ::_lseeki64(fd_, 0, SEEK_SET) == 0; }

bool InputFile::close() {
    if (fd_ < 0) return true;
    int rc = ::_close(fd_);
    fd_ = -1;
    return rc == 0;
}

AtomicOutputFile::~AtomicOutputFile() { discard(); }

void AtomicOutputFile::discard() {
    if (fd_ >= 0) ::_close(fd_);
    fd_ = -1;
    if (!temp_.empty()) ::DeleteFileW(Wide(temp_).c_str());
    temp_.clear();
}

bool AtomicOutputFile::open(const std::string &path, Mode mode) {
    discard();
    failed_ = false;
    mode_ = mode;
    if (path.empty()) return false;
    const std::wstring wide = Wide(path);
    DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        // Only a file that may be written is replaced.
        if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) return false;
    }
    target_ = path;
    static std::atomic<unsigned> counter{0};
    const int flags = _O_WRONLY | _O_CREAT | _O_EXCL | _O_NOINHERIT |
                      (mode == Mode::Text ? _O_TEXT : _O_BINARY);
    for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
        std::string name = path + ".tmp" + std::to_string(::GetCurrentProcessId()) + "." +
                           std::to_string(counter.fetch_add(1, std::memory_order_relaxed));
        fd_ = ::_wopen(Wide(name).c_str(), flags, _S_IREAD | _S_IWRITE);
        if (fd_ >= 0) temp_ = std::move(name);
        else if (errno != EEXIST) return false;
    }
    return fd_ >= 0;
}

bool AtomicOutputFile::write(std::string_view bytes) {
    if (fd_ < 0 || failed_) return false;
    while (!bytes.empty()) {
        unsigned chunk = bytes.size() > (1u << 30) ? (1u << 30) : static_cast<unsigned>(bytes.size());
        int n = ::_write(fd_, bytes.data(), chunk);
        if (n <= 0) {
            failed_ = true;
            return false;
        }
        // In text mode the count is of the bytes given, not of those stored.
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

bool AtomicOutputFile::commit() {
    if (fd_ < 0) return false;
    bool ok = !failed_ && ::_commit(fd_) == 0;
    ok = (::_close(fd_) == 0) && ok;
    fd_ = -1;
    if (ok && ::MoveFileExW(Wide(temp_).c_str(), Wide(target_).c_str(),
                            MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        temp_.clear();
        return true;
    }
    discard();
    return false;
}

unsigned oemCodePage() { return ::GetOEMCP(); }

bool japaneseMessages() { return PRIMARYLANGID(::GetThreadUILanguage()) == LANG_JAPANESE; }

std::optional<std::string> resourceString(unsigned id) {
    // The resource lookup picks the table of the thread's UI language;
    // LoadStringA hands the text out in the ANSI code page.
    char text[1024];
    int n = ::LoadStringA(OwnModule(), id, text, sizeof text);
    return std::string(text, n > 0 ? static_cast<std::size_t>(n) : 0);
}

std::string messageTextFromUtf8(std::string_view utf8) { return Narrow(Wide(utf8), CP_ACP); }

std::u16string wideFromMessageText(std::string_view text) {
    std::wstring wide = WideFrom(text, CP_ACP);
    return std::u16string(wide.begin(), wide.end());
}

std::size_t messageTextCut(std::string_view text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) return text.size();
    // Walk whole characters: a lead byte of the code page takes two bytes.
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t width = ::IsDBCSLeadByte(static_cast<BYTE>(text[at])) ? 2 : 1;
        if (at + width > maxBytes) break;
        at += width;
    }
    return at;
}

std::optional<std::string> utilityVersion() {
    // The front end's UI module, found by the normal library search.
    const char *module = "lxnicui.dll";
    DWORD ignored = 0;
    DWORD size = ::GetFileVersionInfoSizeA(module, &ignored);
    if (size == 0) return std::nullopt;
    std::vector<char> info(size);
    if (!::GetFileVersionInfoA(module, 0, size, info.data())) return std::nullopt;
    void *value = nullptr;
    UINT length = 0;
    char query[] = "\\StringFileInfo\\040904b0\\ProductVersion";
    if (!::VerQueryValueA(info.data(), query, &value, &length) || !value) return std::nullopt;
    // The text is in the ANSI code page; the library keeps UTF-8.
    const char *text = static_cast<const char *>(value);
    std::wstring wide = WideFrom(std::string_view(text, ::strnlen(text, length)), CP_ACP);
    return Narrow(wide, CP_UTF8);
}

std::optional<long> managementMode() {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Veltrane\\VLTTEAM", 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS)
        return std::nullopt;
    // The first four bytes of the value, whatever its type.
    BYTE data[4] = {};
    DWORD size = sizeof data;
    LONG rc = ::RegQueryValueExA(key, "ManagementMode", nullptr, nullptr, data, &size);
    ::RegCloseKey(key);
    if (rc != ERROR_SUCCESS) return std::nullopt;
    uint32_t value = 0;
    std::memcpy(&value, data, sizeof value);
    return static_cast<long>(value);
}

}  // namespace lxniccfg::platform
