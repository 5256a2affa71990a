// Windows implementation of lxnicctl's operating-system calls. Texts and
// paths are UTF-8; the system is called with their UTF-16 form.
#include "platform.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>
// <windows.h> makes ReplaceFile a macro for its own ReplaceFileA; the name is
// this layer's function here.
#undef ReplaceFile

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

namespace lxnicctl::platform {

namespace {

std::wstring Wide(const std::string &utf8) {
    if (utf8.empty()) return {};
    int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

std::string Utf8(const std::wstring &wide) {
    if (wide.empty()) return {};
    int n = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr,
                                  nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n, nullptr, nullptr);
    return out;
}

// The system's text for an error code.
std::string ErrorText(DWORD code) {
    wchar_t *text = nullptr;
    DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                   FORMAT_MESSAGE_IGNORE_INSERTS,
                               nullptr, code, 0, reinterpret_cast<wchar_t *>(&text), 0, nullptr);
    std::string message = n ? Utf8(std::wstring(text, n)) : "error " + std::to_string(code);
    if (text) ::LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
        message.pop_back();
    return message;
}

HANDLE HandleOf(int fd) { return reinterpret_cast<HANDLE>(::_get_osfhandle(fd)); }

bool WriteAll(HANDLE file, const std::string &bytes) {
    const char *p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        DWORD chunk = left > (1u << 30) ? (1u << 30) : static_cast<DWORD>(left);
        DWORD n = 0;
        if (!::WriteFile(file, p, chunk, &n, nullptr) || n == 0) return false;
        p += n;
        left -= n;
    }
    return true;
}

std::string ReadAll(HANDLE file) {
    std::string bytes;
    LARGE_INTEGER start = {};
    if (!::SetFilePointerEx(file, start, nullptr, FILE_BEGIN)) return bytes;
    char buffer[512];
    DWORD n = 0;
    while (::ReadFile(file, buffer, sizeof buffer, &n, nullptr) && n > 0) bytes.append(buffer, n);
    return bytes;
}

HANDLE OpenShared(const std::string &path, DWORD access, DWORD disposition) {
    return ::CreateFileW(Wide(path).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// The lock is one byte far beyond any content, so that the holder's lines
// stay readable by the processes that wait for it (Windows locks keep others
// from reading the bytes they cover).
constexpr DWORD kLockOffsetHigh = 0x7FFFFFF0;

int g_deferDepth = 0;
volatile LONG g_interruptedWhileDeferred = 0;

BOOL WINAPI DeferInterruption(DWORD) {
    if (g_deferDepth == 0) return FALSE;  // the usual handling: the program ends
    ::InterlockedExchange(&g_interruptedWhileDeferred, 1);
    return TRUE;
}

}  // namespace

FileLock::~FileLock() { release(); }

bool FileLock::tryAcquire(const std::string &path, std::string &problem) {
    release();
    problem.clear();
    HANDLE file = OpenShared(path, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS);
    if (file == INVALID_HANDLE_VALUE) {
        problem = "cannot open " + path + ": " + ErrorText(::GetLastError());
        return false;
    }
    OVERLAPPED at = {};
    at.OffsetHigh = kLockOffsetHigh;
    if (!::LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
        DWORD error = ::GetLastError();
        if (error != ERROR_LOCK_VIOLATION && error != ERROR_IO_PENDING)
            problem = "cannot lock " + path + ": " + ErrorText(error);
        ::CloseHandle(file);
        return false;
    }
    int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(file), _O_RDWR | _O_BINARY);
    if (fd < 0) {
        problem = "cannot lock " + path + ": no descriptor left";
        ::CloseHandle(file);
        return false;
    }
    fd_ = fd;
    return true;
}

void FileLock::adopt(int descriptor, const std::string &) {
    release();
    fd_ = descriptor;
}

void FileLock::release() {
    if (fd_ >= 0) ::_close(fd_);  // closing the handle gives the lock up
    fd_ = -1;
}

std::string FileLock::read() const { return fd_ < 0 ? std::string() : ReadAll(HandleOf(fd_)); }

bool FileLock::write(const std::string &text) const {
    if (fd_ < 0) return false;
    HANDLE file = HandleOf(fd_);
    LARGE_INTEGER start = {};
    if (!::SetFilePointerEx(file, start, nullptr, FILE_BEGIN) || !::SetEndOfFile(file)) return false;
    return WriteAll(file, text);
}

std::string ReadLockFile(const std::string &path) {
    HANDLE file = OpenShared(path, GENERIC_READ, OPEN_EXISTING);
    if (file == INVALID_HANDLE_VALUE) return {};
    std::string text = ReadAll(file);
    ::CloseHandle(file);
    return text;
}

int ProcessId() { return static_cast<int>(::GetCurrentProcessId()); }

bool ProcessAlive(int pid) {
    if (pid <= 0) return false;
    HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
    if (!process) return ::GetLastError() == ERROR_ACCESS_DENIED;
    DWORD code = 0;
    bool alive = ::GetExitCodeProcess(process, &code) && code == STILL_ACTIVE;
    ::CloseHandle(process);
    return alive;
}

std::string ReplaceFile(const std::string &path, const std::string &bytes) {
    const std::string temporary = path + ".tmp-" + std::to_string(ProcessId());
    HANDLE file = ::CreateFileW(Wide(temporary).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "cannot create " + temporary + ": " + ErrorText(::GetLastError());
    bool ok = WriteAll(file, bytes) && ::FlushFileBuffers(file);
    DWORD error = ok ? 0 : ::GetLastError();
    if (!::CloseHandle(file) && ok) {
        ok = false;
        error = ::GetLastError();
    }
    if (ok && !::MoveFileExW(Wide(temporary).c_str(), Wide(path).c_str(),
                             MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        ok = false;
        error = ::GetLastError();
    }
    if (!ok) {
        ::DeleteFileW(Wide(temporary).c_str());
        return "cannot write " + path + ": " + ErrorText(error);
    }
    return {};
}

// Writes to a closed pipe fail on Windows without ending the program.
void IgnoreBrokenPipe() {}

DeferredInterruptions::DeferredInterruptions() {
    if (g_deferDepth++ > 0) return;
    ::InterlockedExchange(&g_interruptedWhileDeferred, 0);
    ::SetConsoleCtrlHandler(DeferInterruption, TRUE);
}

DeferredInterruptions::~DeferredInterruptions() {
    if (--g_deferDepth > 0) return;
    ::SetConsoleCtrlHandler(DeferInterruption, FALSE);
    // A request to end that came meanwhile takes effect now, as it would
    // have then: the program ends at once.
    if (::InterlockedExchange(&g_interruptedWhileDeferred, 0)) {
        std::fflush(nullptr);
        ::ExitProcess(STATUS_CONTROL_C_EXIT);
    }
}

std::string ProgramPath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            return Utf8(path);
        }
        path.resize(path.size() * 2);
    }
}

void SetEnvironment(const char *name, const std::string &value, bool overwrite) {
    std::wstring wideName = Wide(name);
    if (!overwrite && ::_wgetenv(wideName.c_str())) return;
    // The C run-time's environment is the one the libraries read (in both
    // its forms); it passes the value on to the process environment too.
    ::_wputenv_s(wideName.c_str(), Wide(value).c_str());
}

std::string DefaultStateFile() {
    const wchar_t *local = ::_wgetenv(L"LOCALAPPDATA");
    if (local == nullptr || *local == L'\0') return {};
    return Utf8(std::wstring(local) + L"\\lxnicif\\state.json");
}

// A watchdog would have to hold the server's lock after the command ends;
// a Windows byte-range lock belongs to the process that took it and cannot
// be handed on.
std::string WatchdogUnavailable() {
    return "on Windows no watchdog can keep the server's lock after the command ends "
           "(\"lxnicctl undo\" restores the checkpoint each change takes)";
}

int StartWatchdog(const std::vector<std::string> &, int, const std::string &, std::string &problem) {
    problem = WatchdogUnavailable();
    return -1;
}

void PrepareWatchdogSignals() {}

// Never started on Windows (StartWatchdog refuses): a watchdog started by
// hand just waits out its deadline.
WatchdogEvent WaitForConfirmation(std::time_t deadline) {
    for (std::time_t now = std::time(nullptr); now < deadline; now = std::time(nullptr))
        ::Sleep(static_cast<DWORD>(std::min<std::time_t>(deadline - now, 60) * 1000));
    return WatchdogEvent::Deadline;
}

bool SendConfirmation(int) { return false; }
bool SendRollBackNow(int) { return false; }

void SleepMilliseconds(int milliseconds) { ::Sleep(static_cast<DWORD>(milliseconds > 0 ? milliseconds : 0)); }

std::string LocalTimeText(std::time_t when) {
    struct tm local;
    if (::localtime_s(&local, &when) != 0) return std::to_string(static_cast<long long>(when));
    char text[64];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    // The run-time's %z names the zone; the offset is formed here instead.
    struct tm copy = local;
    long long offset = static_cast<long long>(::_mkgmtime(&copy)) - static_cast<long long>(when);
    char zone[16];
    long long minutes = (offset < 0 ? -offset : offset) / 60;
    std::snprintf(zone, sizeof zone, " %c%02lld%02lld", offset < 0 ? '-' : '+', minutes / 60, minutes % 60);
    return std::string(text) + zone;
}

}  // namespace lxnicctl::platform
