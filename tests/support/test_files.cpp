#include "support/test_files.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include "support/nicif_double.h"

namespace testing_support {

namespace {

// A UTF-8 path as the file streams take it (on Windows a narrow path would
// be read in the ANSI code page).
std::filesystem::path FsPath(const std::string &utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

}  // namespace

TempDir::TempDir() {
    // A fresh name under the temporary folder; create_directory tells
    // whether it was free.
    std::random_device random;
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        char name[32];
        std::snprintf(name, sizeof name, "lxniccfg-test-%08x", static_cast<unsigned>(random()));
        std::filesystem::path candidate = base / name;
        if (std::filesystem::create_directory(candidate)) {
            path_ = candidate.generic_string();
            return;
        }
    }
    throw std::runtime_error("no temporary directory could be created");
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::write(const std::string &name, const std::string &bytes) const {
    std::string file = path_ + "/" + name;
    std::ofstream out(FsPath(file), std::ios::binary);
    out << bytes;
    return file;
}

std::string ChecksumOf(const std::string &body) {
    uint32_t plain = 0, weighted = 0, n = 0;
    auto add = [&](uint32_t c) {
        plain += c;
        weighted += (n % 2 == 0) ? 2 * c : c;
        ++n;
    };
    for (unsigned char c : body) add(c);
    add(0xFFFFFFFFu);
    char text[32];
    std::snprintf(text, sizeof text, "%06X-%06X", plain, weighted);
    return text;
}

std::string StampedDefinitions(const std::string &body, const std::string &root) {
    return "<" + root + " csum='" + ChecksumOf(body) + "'>" + body;
}

std::string WildcardDefinitions(const std::string &body, const std::string &root) {
    return "<" + root + " csum='112233-224466'>" + body;
}

std::string ReadFile(const std::string &path) {
    std::ifstream in(FsPath(path), std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

std::string ReadTextFile(const std::string &path) {
    std::string bytes = ReadFile(path);
#ifdef _WIN32
    std::string text;
    text.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
            text.push_back('\n');
            ++i;
            continue;
        }
        EXPECT_FALSE(bytes[i] == '\n') << path << ": a line feed without carriage return at byte " << i;
        text.push_back(bytes[i]);
    }
    return text;
#else
    return bytes;
#endif
}

#ifdef _WIN32
void UseUiModuleFolder(const std::string &folder) {
    static const std::string original = [] {
        char path[32768];
        DWORD n = ::GetEnvironmentVariableA("PATH", path, sizeof path);
        return std::string(path, n < sizeof path ? n : 0);
    }();
    ASSERT_TRUE(::SetEnvironmentVariableA("PATH", (original + ";" + folder).c_str()));
}

ManagementModeValue::ManagementModeValue()
    : mutex_(::CreateMutexW(nullptr, FALSE, L"lxniccfg-tests-management-mode")) {
    ::WaitForSingleObject(static_cast<HANDLE>(mutex_), INFINITE);
    remove();
}

ManagementModeValue::~ManagementModeValue() {
    remove();
    ::ReleaseMutex(static_cast<HANDLE>(mutex_));
    ::CloseHandle(static_cast<HANDLE>(mutex_));
}

void ManagementModeValue::set(uint32_t mode) {
    setRaw(L"ManagementMode", REG_DWORD, std::string(reinterpret_cast<const char *>(&mode), sizeof mode));
}

void ManagementModeValue::setRaw(const wchar_t *name, unsigned long type, const std::string &bytes) {
    ASSERT_EQ(::RegSetKeyValueW(HKEY_LOCAL_MACHINE, L"Software\\Veltrane\\VLTTEAM", name, type, bytes.data(),
                                static_cast<DWORD>(bytes.size())),
              ERROR_SUCCESS);
}

void ManagementModeValue::remove() {
    ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"Software\\Veltrane\\VLTTEAM");
}
#endif

void SetEnvironment(const char *name, const std::optional<std::string> &value) {
#ifdef _WIN32
    _putenv_s(name, value ? value->c_str() : "");
#else
    if (value) setenv(name, value->c_str(), 1);
    else unsetenv(name);
#endif
}

std::u16string W(const std::string &utf8) { return nicif_double::Utf16(utf8); }

}  // namespace testing_support
