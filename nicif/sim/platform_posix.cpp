#include "platform.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace lxnicsim::platform {

namespace {

bool WriteAll(int fd, const std::string &bytes) {
    const char *p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

FileLock::~FileLock() { release(); }

std::string FileLock::acquire(const std::string &path) {
    release();
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return "cannot open " + path + ": " + std::strerror(errno);
    while (::flock(fd, LOCK_EX) != 0) {
        if (errno == EINTR) continue;
        std::string problem = "cannot lock " + path + ": " + std::strerror(errno);
        ::close(fd);
        return problem;
    }
    fd_ = fd;
    path_ = path;
    return {};
}

void FileLock::release() {
    if (fd_ >= 0) ::close(fd_);  // closing gives the lock up
    fd_ = -1;
}

std::string FileLock::read() const {
    std::string bytes;
    if (fd_ < 0) return bytes;
    char buffer[256];
    off_t at = 0;
    while (true) {
        ssize_t n = ::pread(fd_, buffer, sizeof buffer, at);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        bytes.append(buffer, static_cast<std::size_t>(n));
        at += n;
    }
    return bytes;
}

bool FileLock::write(const std::string &bytes) const {
    if (fd_ < 0) return false;
    if (::ftruncate(fd_, 0) != 0 || ::lseek(fd_, 0, SEEK_SET) != 0) return false;
    return WriteAll(fd_, bytes);
}

std::string WriteThrough(const std::string &path, const std::string &bytes, bool (*afterWrite)(),
                         const std::string &replacing) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return "cannot create " + path + ": " + std::strerror(errno);
    std::string problem;
    struct stat old;
    if (::stat(replacing.c_str(), &old) == 0) {
        if (::fchmod(fd, old.st_mode & 07777) != 0)
            problem = "cannot set the mode of " + path + ": " + std::strerror(errno);
        if (::fchown(fd, old.st_uid, old.st_gid) != 0 && ::fchown(fd, static_cast<uid_t>(-1), old.st_gid) != 0) {
            // Not permitted to give the file away: it stays the writer's.
        }
    }
    if (problem.empty() && !WriteAll(fd, bytes)) problem = "cannot write " + path + ": " + std::strerror(errno);
    if (problem.empty() && afterWrite && !afterWrite()) problem = "stopped before " + path + " was flushed";
    if (problem.empty() && ::fsync(fd) != 0) problem = "cannot flush " + path + ": " + std::strerror(errno);
    if (::close(fd) != 0 && problem.empty()) problem = "cannot write " + path + ": " + std::strerror(errno);
    return problem;
}

std::string DefaultStateDirectory() {
    if (const char *dir = std::getenv("XDG_STATE_HOME"); dir && *dir) return std::string(dir) + "/lxnicif";
    if (const char *home = std::getenv("HOME"); home && *home) return std::string(home) + "/.local/state/lxnicif";
    return {};
}

const char *StateDirectoryHint() { return "set LXNICIF_STATE, XDG_STATE_HOME or HOME"; }

int ProcessId() { return static_cast<int>(::getpid()); }

bool ProcessAlive(int pid) {
    if (pid <= 0) return false;
    return ::kill(pid, 0) == 0 || errno == EPERM;
}

void KillSelf() {
    ::kill(::getpid(), SIGKILL);
    ::_exit(137);  // not reached
}

}  // namespace lxnicsim::platform
