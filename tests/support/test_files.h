// Temporary files for tests.
#pragma once

#include <string>

namespace testing_support {

// A fresh directory removed with everything in it at destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::string &path() const { return path_; }
    // Writes bytes to a file in the directory and returns its path.
    std::string write(const std::string &name, const std::string &bytes) const;

private:
    std::string path_;
};

// The checksum text ("%06X-%06X") of a body as the reader computes it for a
// file without CR or Ctrl-Z bytes: plain and weighted sums of every byte
// after the first tag, plus the end-of-file value.
std::string ChecksumOf(const std::string &body);

// A definitions document: a first tag carrying the right checksum, then body.
std::string StampedDefinitions(const std::string &body, const std::string &root = "definitions");

// The same with the wildcard checksum.
std::string WildcardDefinitions(const std::string &body, const std::string &root = "definitions");

std::string ReadFile(const std::string &path);

// UTF-16 text of a UTF-8 string.
std::u16string W(const std::string &utf8);

}  // namespace testing_support
