#include "util/dual_string.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace lxniccfg {

namespace {

bool IsAscii(std::string_view text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

// Length of the ASCII start of a text, tested eight units at a time.
std::size_t AsciiPrefix(std::u16string_view text) {
    const char16_t *p = text.data();
    const std::size_t n = text.size();
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        unsigned bits = p[i] | p[i + 1] | p[i + 2] | p[i + 3] | p[i + 4] | p[i + 5] | p[i + 6] | p[i + 7];
        if (bits >= 0x80) break;
    }
    while (i < n && p[i] < 0x80) ++i;
    return i;
}

// Whether the text holds a surrogate that is not part of a pair: the only
// UTF-16 texts that do not survive the way through UTF-8.
bool HasUnpairedSurrogate(std::u16string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        if (c < 0xD800 || c > 0xDFFF) continue;
        if (c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            ++i;
            continue;
        }
        return true;
    }
    return false;
}

}  // namespace

DualString::DualString(const char16_t *wide) {
    if (!wide) return;
    // Texts read from documents are mostly ASCII: one pass finds the end and
    // whether a unit needs more than a byte, and a second copies them.
    const char16_t *end = wide;
    while (*end != 0 && *end < 0x80) ++end;
    if (*end == 0) {
        none_ = false;
        narrow_.resize(static_cast<std::size_t>(end - wide));
        char *out = narrow_.data();
        for (const char16_t *p = wide; p != end; ++p) *out++ = static_cast<char>(*p);
        return;
    }
    *this = DualString(std::u16string_view(wide, static_cast<std::size_t>(end - wide) + wideLength(end)));
}

DualString::DualString(std::u16string_view wide) : none_(false), narrow_(toUtf8(wide)) {
    // An unpaired surrogate became U+FFFD in the narrow form; only a text
    // holding that character can fail to come back from it.
    if (narrow_.find("\xEF\xBF\xBD") != std::string::npos && HasUnpairedSurrogate(wide))
        exactWide_ = std::make_unique<const std::u16string>(wide);
}

DualString::DualString(const DualString &other)
    : none_(other.none_), narrow_(other.narrow_),
      exactWide_(other.exactWide_ ? std::make_unique<const std::u16string>(*other.exactWide_) : nullptr) {}

DualString &DualString::operator=(const DualString &other) {
    if (this != &other) *this = DualString(other);
    return *this;
}

DualString DualString::fromNarrow(std::string_view bytes) {
    if (IsAscii(bytes)) {
        DualString text;
        text.none_ = false;
        text.narrow_.assign(bytes);
        return text;
    }
    std::u16string widened(bytes.size(), u'\0');
    for (std::size_t i = 0; i < bytes.size(); ++i)
        widened[i] = static_cast<unsigned char>(bytes[i]);
    return DualString(std::u16string_view(widened));
}

DualString DualString::fromUtf8(std::string_view utf8) {
    if (IsAscii(utf8)) return fromNarrow(utf8);
    return DualString(std::u16string_view(lxniccfg::fromUtf8(utf8)));
}

std::u16string DualString::wideText() const {
    if (exactWide_) return *exactWide_;
    return lxniccfg::fromUtf8(narrow_);
}

char16_t *DualString::wideCopy() const {
    if (none_) return nullptr;
    if (exactWide_) return mallocWideCopy(*exactWide_);
    // An ASCII text widens unit for unit straight into the copy; any other
    // byte sends it the long way.
    auto *copy = static_cast<char16_t *>(std::malloc((narrow_.size() + 1) * sizeof(char16_t)));
    if (!copy) throw std::bad_alloc();
    unsigned char seen = 0;
    for (std::size_t i = 0; i < narrow_.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(narrow_[i]);
        seen |= c;
        copy[i] = c;
    }
    copy[narrow_.size()] = 0;
    if (seen < 0x80) return copy;
    std::free(copy);
    return mallocWideCopy(lxniccfg::fromUtf8(narrow_));
}

std::size_t wideLength(const char16_t *text) {
    // Four units a round (none read past the terminator): one loop step for
    // four tests.
    for (std::size_t n = 0;; n += 4) {
        if (!text[n]) return n;
        if (!text[n + 1]) return n + 1;
        if (!text[n + 2]) return n + 2;
        if (!text[n + 3]) return n + 3;
    }
}

char16_t *mallocWideCopy(std::u16string_view text) {
    auto *copy = static_cast<char16_t *>(std::malloc((text.size() + 1) * sizeof(char16_t)));
    if (!copy) throw std::bad_alloc();
    if (!text.empty()) std::memcpy(copy, text.data(), text.size() * sizeof(char16_t));
    copy[text.size()] = 0;
    return copy;
}

std::string toUtf8(std::u16string_view text) {
    // The ASCII start of the text (most often all of it) is copied unit for
    // unit into place.
    const std::size_t ascii = AsciiPrefix(text);
    std::string out(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(ascii));
    if (ascii == text.size()) return out;
    out.reserve(ascii + (text.size() - ascii) * 3);
    for (std::size_t i = ascii; i < text.size(); ++i) {
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
    std::size_t i = 0;
    while (i < text.size() && static_cast<unsigned char>(text[i]) < 0x80) ++i;
    std::u16string out(i, u'\0');
    for (std::size_t k = 0; k < i; ++k) out[k] = static_cast<unsigned char>(text[k]);
    if (i == text.size()) return out;
    out.reserve(text.size());
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
