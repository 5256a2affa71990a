// UTF-16 (the wire) to and from UTF-8 (the kernel's names and values).
#pragma once

#include <string>

namespace lxniclinux {

// Malformed input becomes U+FFFD.
std::string ToUtf8(const char16_t *text, std::size_t units);
// A malloc'ed NUL-terminated UTF-16 copy; nullptr when memory runs out.
char16_t *MallocText(const std::string &utf8);
// Copies a UTF-8 text into a fixed UTF-16 field of capacity units, NUL included.
void CopyInline(const std::string &utf8, char16_t *field, std::size_t capacity);

}  // namespace lxniclinux
