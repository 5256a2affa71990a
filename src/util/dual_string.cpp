#include "util/dual_string.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace lxniccfg {

DualString::DualString(const char16_t *wide) {
    if (wide) *this = DualString(std::u16string_view(wide, wideLength(wide)));
}

DualString::DualString(std::u16string_view wide)
    : none_(false), narrow_(toUtf8(wide)), wide_(wide) {}

DualString DualString::fromNarrow(std::string_view bytes) {
    std::u16string widened(bytes.size(), u'\0');
    for (std::size_t i = 0; i < bytes.size(); ++i)
        widened[i] = static_cast<unsigned char>(bytes[i]);
    return DualString(std::u16string_view(widened));
}

DualString DualString::fromUtf8(std::string_view utf8) {
    return DualString(std::u16string_view(lxniccfg::fromUtf8(utf8)));
}

char16_t *DualString::wideCopy() const {
    if (none_) return nullptr;
    return mallocWideCopy(wide_);
}

std::size_t wideLength(const char16_t *text) {
    std::size_t n = 0;
    while (text[n]) ++n;
    return n;
}

char16_t *mallocWideCopy(std::u16string_view text) {
    auto *copy = static_cast<char16_t *>(std::malloc((text.size() + 1) * sizeof(char16_t)));
    if (!copy) throw std::bad_alloc();
    if (!text.empty()) std::memcpy(copy, text.data(), text.size() * sizeof(char16_t));
    copy[text.size()] = 0;
    return copy;
}

std::string toUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
            continue;
        }
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (c >> 18)));
            out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        }
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
    return out;
}

std::u16string fromUtf8(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        unsigned char b = static_cast<unsigned char>(text[i]);
        char32_t c;
        std::size_t len;
        char32_t min;
        if (b < 0x80) {
            out.push_back(b);
            ++i;
            continue;
        } else if ((b & 0xE0) == 0xC0) {
            c = b & 0x1F, len = 2, min = 0x80;
        } else if ((b & 0xF0) == 0xE0) {
            c = b & 0x0F, len = 3, min = 0x800;
        } else if ((b & 0xF8) == 0xF0) {
            c = b & 0x07, len = 4, min = 0x10000;
        } else {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        bool ok = i + len <= text.size();
        for (std::size_t k = 1; ok && k < len; ++k) {
            unsigned char cont = static_cast<unsigned char>(text[i + k]);
            if ((cont & 0xC0) != 0x80) ok = false;
            else c = (c << 6) | (cont & 0x3F);
        }
        if (!ok || c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        if (c >= 0x10000) {
            c -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(c));
        }
        i += len;
    }
    return out;
}

}  // namespace lxniccfg
