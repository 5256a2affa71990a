// Temporary files for tests.
#pragma once

#include <cstdint>
#include <optional>
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

// The text of a file written as a text stream: on Windows every line feed
// must come as CR LF (a bare line feed fails the test), and the text is
// given back with line feeds alone; elsewhere the bytes as they are.
std::string ReadTextFile(const std::string &path);

#ifdef _WIN32
// Makes the DLL search find lxnicui.dll in the given folder (and nowhere
// else): the folder is put at the end of PATH, where the search looks last.
void UseUiModuleFolder(const std::string &folder);

// The registry value the script writer reads the management mode from
// (HKLM\Software\Veltrane\VLTTEAM\ManagementMode), held by one test process
// at a time: the lock is taken when the object is made, and the key is
// removed when it is destroyed.
class ManagementModeValue {
public:
    ManagementModeValue();
    ~ManagementModeValue();
    ManagementModeValue(const ManagementModeValue &) = delete;
    ManagementModeValue &operator=(const ManagementModeValue &) = delete;
    // Sets the value as a 32-bit number.
    void set(uint32_t mode);
    // Sets a value of the key with a registry type and its bytes.
    void setRaw(const wchar_t *name, unsigned long type, const std::string &bytes);
    // Removes the key.
    void remove();

private:
    void *mutex_;
};
#endif

// Sets an environment variable of the process, or removes it.
void SetEnvironment(const char *name, const std::optional<std::string> &value);

// UTF-16 text of a UTF-8 string.
std::u16string W(const std::string &utf8);

}  // namespace testing_support
