#include "text.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace lxnicctl {

std::u16string ToWide(const std::string &utf8) {
    std::u16string out;
    std::size_t i = 0;
    while (i < utf8.size()) {
        unsigned char c = static_cast<unsigned char>(utf8[i]);
        char32_t cp = 0xFFFD;
        std::size_t length = 1;
        if (c < 0x80) {
            cp = c;
        } else if ((c >> 5) == 0x6) {
            length = 2;
            cp = c & 0x1F;
        } else if ((c >> 4) == 0xE) {
            length = 3;
            cp = c & 0x0F;
        } else if ((c >> 3) == 0x1E) {
            length = 4;
            cp = c & 0x07;
        }
        if (length > 1) {
            if (i + length > utf8.size()) {
                cp = 0xFFFD;
                length = 1;
            } else {
                for (std::size_t k = 1; k < length; ++k) {
                    unsigned char d = static_cast<unsigned char>(utf8[i + k]);
                    if ((d >> 6) != 0x2) {
                        cp = 0xFFFD;
                        length = k;
                        break;
                    }
                    cp = (cp << 6) | (d & 0x3F);
                }
            }
        }
        // An overlong form or a surrogate is not a character: "\xC0\x80"
        // must not become a NUL that cuts the text short.
        static constexpr char32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
        if (length > 1 && cp != 0xFFFD && (cp < kMinimum[length] || (cp >= 0xD800 && cp < 0xE000))) cp = 0xFFFD;
        i += length;
        if (cp >= 0x10000 && cp <= 0x10FFFF) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else if (cp > 0x10FFFF) {
            out.push_back(u'\xFFFD');
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}

std::string ToUtf8(const std::u16string &wide) {
    std::string out;
    for (std::size_t i = 0; i < wide.size(); ++i) {
        char32_t cp = wide[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 &&
            wide[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (wide[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

std::string ToUtf8(const lx_wchar *wide) {
    if (wide == nullptr) return {};
    return ToUtf8(std::u16string(wide));
}

lx_wchar *MallocText(const std::string &utf8) {
    std::u16string wide = ToWide(utf8);
    auto *copy = static_cast<lx_wchar *>(std::malloc((wide.size() + 1) * sizeof(lx_wchar)));
    if (copy == nullptr) throw std::bad_alloc();
    std::memcpy(copy, wide.c_str(), (wide.size() + 1) * sizeof(lx_wchar));
    return copy;
}

bool SameTextIgnoringCase(const std::string &a, const std::string &b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

}  // namespace lxnicctl
