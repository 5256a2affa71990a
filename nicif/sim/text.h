// UTF-8 (the state file) to and from UTF-16 (the wire), and the texts handed
// to the caller.
#pragma once

#include <cstdint>
#include <string>

namespace lxnicsim {

// Unpaired surrogates and malformed UTF-8 become U+FFFD.
std::string ToUtf8(const std::u16string &text);
std::u16string ToUtf16(const std::string &text);

// A malloc'ed NUL-terminated UTF-16 copy; nullptr when memory runs out.
char16_t *MallocText(const std::string &utf8);

// Copies a UTF-8 text into a fixed UTF-16 field of capacity units, NUL
// included, cut at a whole character.
void CopyInline(const std::string &utf8, char16_t *field, std::size_t capacity);

}  // namespace lxnicsim
