// Number conversions of texts as the C library's atoi and atol read them on
// the platform the definitions files were written for: optional white space,
// an optional sign, decimal digits up to the first other character, and a
// 32-bit result that saturates instead of wrapping.
#pragma once

#include <cstdint>

namespace lxniccfg {

int32_t textToInt(const char *text);  // nullptr reads as 0

}  // namespace lxniccfg
