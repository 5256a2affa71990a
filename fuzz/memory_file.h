// Hands a fuzzer's input to code that reads files: an anonymous in-memory
// file, named by its /proc path.
#pragma once

#include <string>
#include <sys/mman.h>
#include <unistd.h>

class MemoryFile {
public:
    MemoryFile(const uint8_t *data, size_t size) : fd_(memfd_create("fuzz-input", MFD_CLOEXEC)) {
        size_t done = 0;
        while (fd_ >= 0 && done < size) {
            ssize_t n = write(fd_, data + done, size - done);
            if (n <= 0) break;
            done += static_cast<size_t>(n);
        }
        path_ = "/proc/self/fd/" + std::to_string(fd_);
    }
    ~MemoryFile() {
        if (fd_ >= 0) close(fd_);
    }
    const std::string &path() const { return path_; }

private:
    int fd_;
    std::string path_;
};
