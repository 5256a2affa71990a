#include "text.h"

#include <cstdlib>
#include <cstring>

namespace lxniclinux {

namespace {

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

std::u16string ToUtf16(const std::string &text) {
    std::u16string out;
    for (std::size_t i = 0; i < text.size();) {
        auto b = static_cast<unsigned char>(text[i]);
        char32_t c = 0xFFFD;
        std::size_t n = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
        if (n == 0 || i + n > text.size()) {
            ++i;
        } else {
            c = n == 1 ? b : b & (0x7F >> n);
            bool ok = true;
            for (std::size_t k = 1; k < n; ++k) {
                auto cb = static_cast<unsigned char>(text[i + k]);
                ok = ok && (cb & 0xC0) == 0x80;
                c = (c << 6) | (cb & 0x3F);
            }
            if (!ok || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
            i += ok ? n : 1;
        }
        if (c < 0x10000) {
            out += static_cast<char16_t>(c);
        } else {
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (c >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        }
    }
    return out;
}

}  // namespace

std::string ToUtf8(const char16_t *text, std::size_t units) {
    std::string out;
    for (std::size_t i = 0; i < units; ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        AppendUtf8(out, c);
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
    std::size_t n = wide.size() < capacity ? wide.size() : capacity - 1;
    if (n > 0 && n < wide.size() && wide[n - 1] >= 0xD800 && wide[n - 1] <= 0xDBFF) --n;
    std::memcpy(field, wide.data(), n * sizeof(char16_t));
    field[n] = 0;
}

}  // namespace lxniclinux
