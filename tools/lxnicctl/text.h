// Text between the program (UTF-8) and the library (NUL-terminated UTF-16).
#pragma once

#include <string>

#include "lxniccfg.h"

namespace lxnicctl {

std::u16string ToWide(const std::string &utf8);
std::string ToUtf8(const lx_wchar *wide);  // NULL gives the empty text
std::string ToUtf8(const std::u16string &wide);

// A malloc'ed NUL-terminated UTF-16 copy, as the library's records hold
// their texts (the library may release them with free).
lx_wchar *MallocText(const std::string &utf8);

// Case-insensitive comparison of ASCII letters; other bytes compare exactly.
bool SameTextIgnoringCase(const std::string &a, const std::string &b);

}  // namespace lxnicctl
