#include "support/test_files.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "support/nicif_double.h"

namespace testing_support {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "lxniccfg-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::write(const std::string &name, const std::string &bytes) const {
    std::string file = path_ + "/" + name;
    std::ofstream out(file, std::ios::binary);
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
    std::ifstream in(path, std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

std::u16string W(const std::string &utf8) { return nicif_double::Utf16(utf8); }

}  // namespace testing_support
