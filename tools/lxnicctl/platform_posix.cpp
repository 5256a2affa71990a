#include "platform.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace lxnicctl::platform {

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

std::string ReadAll(int fd) {
    std::string bytes;
    char buffer[512];
    off_t at = 0;
    while (true) {
        ssize_t n = ::pread(fd, buffer, sizeof buffer, at);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        bytes.append(buffer, static_cast<std::size_t>(n));
        at += n;
    }
    return bytes;
}

sigset_t InterruptionSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (int s : {SIGINT, SIGHUP, SIGTERM, SIGQUIT}) sigaddset(&set, s);
    return set;
}

sigset_t WatchdogSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (int s : {SIGUSR1, SIGUSR2, SIGTERM}) sigaddset(&set, s);
    return set;
}

int g_deferDepth = 0;
sigset_t g_maskBeforeDefer;

}  // namespace

FileLock::~FileLock() { release(); }

bool FileLock::tryAcquire(const std::string &path, std::string &problem) {
    release();
    problem.clear();
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        problem = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) continue;
        if (errno != EWOULDBLOCK) problem = "cannot lock " + path + ": " + std::strerror(errno);
        ::close(fd);
        return false;
    }
    fd_ = fd;
    return true;
}

void FileLock::adopt(int descriptor, const std::string &) {
    release();
    fd_ = descriptor;
    ::fcntl(fd_, F_SETFD, FD_CLOEXEC);
}

void FileLock::release() {
    if (fd_ >= 0) ::close(fd_);  // the lock goes with the last descriptor of it
    fd_ = -1;
}

std::string FileLock::read() const { return fd_ < 0 ? std::string() : ReadAll(fd_); }

bool FileLock::write(const std::string &text) const {
    if (fd_ < 0) return false;
    if (::ftruncate(fd_, 0) != 0) return false;
    if (::lseek(fd_, 0, SEEK_SET) != 0) return false;
    return WriteAll(fd_, text);
}

std::string ReadLockFile(const std::string &path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {};
    std::string text = ReadAll(fd);
    ::close(fd);
    return text;
}

int ProcessId() { return static_cast<int>(::getpid()); }

bool ProcessAlive(int pid) {
    if (pid <= 0) return false;
    return ::kill(pid, 0) == 0 || errno == EPERM;
}

std::string ReplaceFile(const std::string &path, const std::string &bytes) {
    std::string temporary = path + ".tmp-" + std::to_string(::getpid());
    int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return "cannot create " + temporary + ": " + std::strerror(errno);
    bool ok = WriteAll(fd, bytes) && ::fsync(fd) == 0;
    int saved = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        saved = errno;
    }
    if (ok && ::rename(temporary.c_str(), path.c_str()) != 0) {
        ok = false;
        saved = errno;
    }
    if (!ok) {
        ::unlink(temporary.c_str());
        return "cannot write " + path + ": " + std::strerror(saved);
    }
    return {};
}

void IgnoreBrokenPipe() { ::signal(SIGPIPE, SIG_IGN); }

DeferredInterruptions::DeferredInterruptions() {
    if (g_deferDepth++ > 0) return;
    sigset_t set = InterruptionSignals();
    ::sigprocmask(SIG_BLOCK, &set, &g_maskBeforeDefer);
}

DeferredInterruptions::~DeferredInterruptions() {
    if (--g_deferDepth > 0) return;
    ::sigprocmask(SIG_SETMASK, &g_maskBeforeDefer, nullptr);
}

std::string ProgramPath() {
    std::error_code error;
    std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : program.string();
}

void SetEnvironment(const char *name, const std::string &value, bool overwrite) {
    ::setenv(name, value.c_str(), overwrite ? 1 : 0);
}

std::string DefaultStateFile() {
    auto variable = [](const char *name) {
        const char *value = std::getenv(name);
        return std::string(value != nullptr ? value : "");
    };
    if (std::string dir = variable("XDG_STATE_HOME"); !dir.empty()) return dir + "/lxnicif/state.json";
    if (std::string home = variable("HOME"); !home.empty()) return home + "/.local/state/lxnicif/state.json";
    return {};
}

std::string WatchdogUnavailable() { return {}; }

int StartWatchdog(const std::vector<std::string> &arguments, int lockDescriptor,
                  const std::string &logPath, std::string &problem) {
    std::string program = ProgramPath();
    if (program.empty()) {
        problem = "the program's own path cannot be found";
        return -1;
    }
    int log = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (log < 0) {
        problem = "cannot open " + logPath + ": " + std::strerror(errno);
        return -1;
    }
    // The child reports a failed exec through this pipe; it closes on a
    // successful one.
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) {
        problem = std::string("cannot start the watchdog: ") + std::strerror(errno);
        ::close(log);
        return -1;
    }
    std::vector<std::string> args = arguments;
    args.insert(args.begin(), program);
    std::vector<char *> argv;
    for (std::string &a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    pid_t child = ::fork();
    if (child < 0) {
        problem = std::string("cannot start the watchdog: ") + std::strerror(errno);
        ::close(log);
        ::close(report[0]);
        ::close(report[1]);
        return -1;
    }
    if (child == 0) {
        // A session of its own: no controlling terminal, so closing the
        // terminal sends it nothing, and signals to the command's process
        // group do not reach it.
        ::setsid();
        int null = ::open("/dev/null", O_RDONLY);
        if (null >= 0) ::dup2(null, 0);
        ::dup2(log, 1);
        ::dup2(log, 2);
        // Nothing of the command survives but the lock and the report pipe.
        long limit = ::sysconf(_SC_OPEN_MAX);
        for (int fd = 3; fd < (limit > 0 && limit < 65536 ? limit : 1024); ++fd) {
            if (fd != lockDescriptor && fd != report[1]) ::close(fd);
        }
        ::fcntl(lockDescriptor, F_SETFD, 0);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        ::execv(program.c_str(), argv.data());
        int error = errno;
        (void)!::write(report[1], &error, sizeof error);
        ::_exit(127);
    }
    ::close(log);
    ::close(report[1]);
    int error = 0;
    ssize_t n;
    do {
        n = ::read(report[0], &error, sizeof error);
    } while (n < 0 && errno == EINTR);
    ::close(report[0]);
    if (n > 0) {
        problem = std::string("cannot start the watchdog: ") + std::strerror(error);
        return -1;
    }
    return static_cast<int>(child);
}

void PrepareWatchdogSignals() {
    sigset_t set = WatchdogSignals();
    ::sigprocmask(SIG_BLOCK, &set, nullptr);
    ::signal(SIGHUP, SIG_IGN);
    ::signal(SIGINT, SIG_IGN);
    ::signal(SIGQUIT, SIG_IGN);
    ::signal(SIGPIPE, SIG_IGN);
}

WatchdogEvent WaitForConfirmation(std::time_t deadline) {
    sigset_t set = WatchdogSignals();
    while (true) {
        std::time_t now = std::time(nullptr);
        if (now >= deadline) return WatchdogEvent::Deadline;
        struct timespec wait = {static_cast<time_t>(deadline - now), 0};
        int signal = ::sigtimedwait(&set, nullptr, &wait);
        if (signal == SIGUSR1) return WatchdogEvent::Confirmed;
        if (signal == SIGUSR2 || signal == SIGTERM) return WatchdogEvent::RollBackNow;
        // EAGAIN (the time is up) or EINTR: look at the clock again.
    }
}

bool SendConfirmation(int watchdogPid) { return watchdogPid > 0 && ::kill(watchdogPid, SIGUSR1) == 0; }
bool SendRollBackNow(int watchdogPid) { return watchdogPid > 0 && ::kill(watchdogPid, SIGUSR2) == 0; }

void SleepMilliseconds(int milliseconds) {
    struct timespec wait = {milliseconds / 1000, (milliseconds % 1000) * 1000000L};
    while (::nanosleep(&wait, &wait) != 0 && errno == EINTR) {
    }
}

std::string LocalTimeText(std::time_t when) {
    struct tm local;
    if (::localtime_r(&when, &local) == nullptr) return std::to_string(static_cast<long long>(when));
    char text[64];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S %z", &local);
    return text;
}

}  // namespace lxnicctl::platform
