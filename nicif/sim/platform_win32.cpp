// Windows implementation of the simulated server's operating-system calls.
#include "platform.h"

#include <windows.h>

#include <cstdlib>
#include <string>

namespace lxnicsim::platform {

namespace {

std::wstring Wide(const std::string &text) {
    if (text.empty()) return {};
    int n = ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

// The system's text for an error code.
std::string ErrorText(DWORD code) {
    char *text = nullptr;
    DWORD n = ::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                   FORMAT_MESSAGE_IGNORE_INSERTS,
                               nullptr, code, 0, reinterpret_cast<char *>(&text), 0, nullptr);
    std::string message = n ? std::string(text, n) : "error " + std::to_string(code);
    if (text) ::LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
        message.pop_back();
    return message;
}

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

}  // namespace

FileLock::~FileLock() { release(); }

std::string FileLock::acquire(const std::string &path) {
    release();
    HANDLE file = ::CreateFileW(Wide(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "cannot open " + path + ": " + ErrorText(::GetLastError());
    // The whole file's range, waited for.
    OVERLAPPED whole = {};
    if (!::LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole)) {
        std::string problem = "cannot lock " + path + ": " + ErrorText(::GetLastError());
        ::CloseHandle(file);
        return problem;
    }
    handle_ = file;
    path_ = path;
    return {};
}

void FileLock::release() {
    if (handle_) ::CloseHandle(static_cast<HANDLE>(handle_));  // closing gives the lock up
    handle_ = nullptr;
}

std::string FileLock::read() const {
    std::string bytes;
    if (!handle_) return bytes;
    HANDLE file = static_cast<HANDLE>(handle_);
    if (::SetFilePointer(file, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER) return bytes;
    char buffer[256];
    DWORD n = 0;
    while (::ReadFile(file, buffer, sizeof buffer, &n, nullptr) && n > 0) bytes.append(buffer, n);
    return bytes;
}

bool FileLock::write(const std::string &bytes) const {
    if (!handle_) return false;
    HANDLE file = static_cast<HANDLE>(handle_);
    if (::SetFilePointer(file, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER || !::SetEndOfFile(file))
        return false;
    return WriteAll(file, bytes);
}

std::string WriteThrough(const std::string &path, const std::string &bytes, bool (*afterWrite)(),
                         const std::string &) {
    // Windows files carry no mode bits to take over from the file replaced.
    HANDLE file = ::CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "cannot create " + path + ": " + ErrorText(::GetLastError());
    std::string problem;
    if (!WriteAll(file, bytes)) problem = "cannot write " + path + ": " + ErrorText(::GetLastError());
    if (problem.empty() && afterWrite && !afterWrite()) problem = "stopped before " + path + " was flushed";
    if (problem.empty() && !::FlushFileBuffers(file))
        problem = "cannot flush " + path + ": " + ErrorText(::GetLastError());
    if (!::CloseHandle(file) && problem.empty())
        problem = "cannot write " + path + ": " + ErrorText(::GetLastError());
    return problem;
}

std::string DefaultStateDirectory() {
    const char *local = std::getenv("LOCALAPPDATA");
    if (!local || !*local) return {};
    return std::string(local) + "\\lxnicif";
}

const char *StateDirectoryHint() { return "set LXNICIF_STATE or LOCALAPPDATA"; }

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

void KillSelf() {
    ::TerminateProcess(::GetCurrentProcess(), 137);
    std::_Exit(137);  // not reached
}

}  // namespace lxnicsim::platform
