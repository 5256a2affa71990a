#include "text.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace lxnicsim {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string &out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

void AppendUtf16(std::u16string &out, char32_t c) {
    if (c < 0x10000) {
        out += static_cast<char16_t>(c);
    } else {
        c -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (c >> 10));
        out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    }
}

}  // namespace

std::string ToUtf8(const std::u16string &text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c < 0xE000) {
            c = kReplacement;
        }
        AppendUtf8(out, c);
    }
    return out;
}

std::u16string ToUtf16(const std::string &text) {
    std::u16string out;
    std::size_t i = 0;
    while (i < text.size()) {
        unsigned char b = static_cast<unsigned char>(text[i]);
        int extra = b < 0x80 ? 0 : (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : -1;
        char32_t c = extra == 0 ? b : extra == 1 ? (b & 0x1F) : extra == 2 ? (b & 0x0F) : (b & 0x07);
        bool valid = extra >= 0 && i + static_cast<std::size_t>(extra) < text.size();
        for (int k = 1; valid && k <= extra; ++k) {
            unsigned char n = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
            if ((n & 0xC0) != 0x80) valid = false;
            else c = (c << 6) | (n & 0x3F);
        }
        static constexpr char32_t kMinimum[] = {0, 0x80, 0x800, 0x10000};
        if (valid && (c < kMinimum[extra] || c > 0x10FFFF || (c >= 0xD800 && c < 0xE000))) valid = false;
        if (!valid) {
            AppendUtf16(out, kReplacement);
            ++i;
            continue;
        }
        AppendUtf16(out, c);
        i += static_cast<std::size_t>(extra) + 1;
    }
    return out;
}

char16_t *MallocText(const std::string &utf8) {
    std::u16string wide = ToUtf16(utf8);
    auto *copy = static_cast<char16_t *>(std::malloc((wide.size() + 1) * sizeof(char16_t)));
    if (!copy) return nullptr;
    std::memcpy(copy, wide.c_str(), (wide.size() + 1) * sizeof(char16_t));
    return copy;
}

void CopyInline(const std::string &utf8, char16_t *field, std::size_t capacity) {
    std::u16string wide = ToUtf16(utf8);
    std::size_t n = std::min(wide.size(), capacity - 1);
    // Do not split a surrogate pair.
    if (n > 0 && n < wide.size() && wide[n - 1] >= 0xD800 && wide[n - 1] < 0xDC00) --n;
    std::memcpy(field, wide.data(), n * sizeof(char16_t));
    field[n] = 0;
}

}  // namespace lxnicsim
