#include "file_problems.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <vector>

namespace lxtools {

namespace fs = std::filesystem;

namespace {

std::string Folder(const std::string &path) {
    fs::path parent = fs::path(path).parent_path();
    return parent.empty() ? std::string(".") : parent.string();
}

}  // namespace

std::string WhyCannotRead(const std::string &path) {
    std::error_code error;
    fs::file_status status = fs::status(path, error);
    if (error && status.type() != fs::file_type::not_found) return error.message();
    if (status.type() == fs::file_type::not_found) {
        fs::file_status folder = fs::status(Folder(path), error);
        if (folder.type() == fs::file_type::not_found) return "no such folder: " + Folder(path);
        return std::strerror(ENOENT);
    }
    if (status.type() == fs::file_type::directory) return std::strerror(EISDIR);
    errno = 0;
    std::FILE *file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return std::strerror(errno != 0 ? errno : EIO);
    char byte = 0;
    std::size_t got = std::fread(&byte, 1, 1, file);
    int readError = std::ferror(file) ? errno : 0;
    std::fclose(file);
    if (got == 0 && readError != 0) return std::strerror(readError);
    return {};
}

std::string WhyCannotWrite(const std::string &path) {
    std::error_code error;
    fs::file_status status = fs::status(path, error);
    if (status.type() == fs::file_type::directory) return std::strerror(EISDIR);
    if (status.type() != fs::file_type::not_found && status.type() != fs::file_type::none) {
        if (status.type() != fs::file_type::regular) return "it is not a regular file";
        using fs::perms;
        if ((status.permissions() & (perms::owner_write | perms::group_write | perms::others_write)) == perms::none) {
            return "the file is read-only";
        }
    }
    const std::string folder = Folder(path);
    fs::file_status folderStatus = fs::status(folder, error);
    if (folderStatus.type() == fs::file_type::not_found) return "no such folder: " + folder;
    if (folderStatus.type() != fs::file_type::directory) return "not a folder: " + folder;

    // A small file in the same folder shows whether new files can be made
    // there and whether the disk has room.
    std::random_device random;
    std::string probe = (fs::path(folder) / (".lxnic-probe-" + std::to_string(random()))).string();
    errno = 0;
    std::FILE *file = std::fopen(probe.c_str(), "wb");
    if (file == nullptr) return std::strerror(errno != 0 ? errno : EIO);
    std::vector<char> block(64 * 1024, ' ');
    errno = 0;
    bool written = std::fwrite(block.data(), 1, block.size(), file) == block.size() && std::fflush(file) == 0;
    int writeError = errno;
    if (std::fclose(file) != 0 && written) {
        written = false;
        writeError = errno;
    }
    std::remove(probe.c_str());
    if (!written) return std::strerror(writeError != 0 ? writeError : EIO);
    return {};
}

}  // namespace lxtools
