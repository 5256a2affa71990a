#include "util/compact_text.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <stdexcept>

namespace lxniccfg {

namespace {

// Where the exact UTF-16 text starts in a record: after the header, the
// UTF-8 bytes and their NUL, from the next multiple of 4.
std::size_t ExactOffset(std::size_t narrowSize) { return (4 + narrowSize + 1 + 3) & ~std::size_t{3}; }

std::size_t RecordSize(std::size_t narrowSize, const std::size_t *exactUnits) {
    if (!exactUnits) return 4 + narrowSize + 1;
    return ExactOffset(narrowSize) + sizeof(std::uint32_t) + (*exactUnits + 1) * sizeof(char16_t);
}

// The UTF-8 length of a UTF-16 text, or nothing when it holds an unpaired
// surrogate (which only the exact form keeps).
std::optional<std::size_t> Utf8Length(std::u16string_view wide) {
    std::size_t size = 0;
    for (std::size_t i = 0; i < wide.size(); ++i) {
        const char16_t u = wide[i];
        if (u < 0x80) size += 1;
        else if (u < 0x800) size += 2;
        else if (u >= 0xD800 && u <= 0xDBFF) {
            if (i + 1 >= wide.size() || wide[i + 1] < 0xDC00 || wide[i + 1] > 0xDFFF) return std::nullopt;
            size += 4;
            ++i;
        } else if (u >= 0xDC00 && u <= 0xDFFF) {
            return std::nullopt;
        } else {
            size += 3;
        }
    }
    return size;
}

// Writes the UTF-8 form of a text without unpaired surrogates.
void WriteUtf8(std::u16string_view wide, char *out) {
    for (std::size_t i = 0; i < wide.size(); ++i) {
        char32_t c = wide[i];
        if (c >= 0xD800 && c <= 0xDBFF) c = 0x10000 + ((c - 0xD800) << 10) + (wide[++i] - 0xDC00);
        if (c < 0x80) {
            *out++ = static_cast<char>(c);
        } else if (c < 0x800) {
            *out++ = static_cast<char>(0xC0 | (c >> 6));
            *out++ = static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            *out++ = static_cast<char>(0xE0 | (c >> 12));
            *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            *out++ = static_cast<char>(0x80 | (c & 0x3F));
        } else {
            *out++ = static_cast<char>(0xF0 | (c >> 18));
            *out++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            *out++ = static_cast<char>(0x80 | (c & 0x3F));
        }
    }
}

}  // namespace

CompactText::CompactText(const DualString &text) : bytes_{} {
    if (text.isNone()) return;
    const std::string &narrow = text.narrowText();
    // Only a text holding U+FFFD can have an exact UTF-16 form of its own.
    if (narrow.find("\xEF\xBF\xBD") != std::string::npos) {
        std::u16string wide = text.wideText();
        if (wide != lxniccfg::fromUtf8(narrow)) {
            assign(narrow, &wide, nullptr);
            return;
        }
    }
    assign(narrow, nullptr, nullptr);
}

CompactText::CompactText(const CompactText &other) : bytes_{} {
    if (other.isNone()) return;
    if (other.hasExactWide()) {
        std::u16string wide(other.exactWide());
        assign(other.narrowText(), &wide, nullptr);
    } else {
        assign(other.narrowText(), nullptr, nullptr);
    }
}

CompactText &CompactText::operator=(const CompactText &other) {
    if (this != &other) *this = CompactText(other);
    return *this;
}

CompactText CompactText::fromWide(const char16_t *wide, TextArena *arena) {
    if (!wide) return CompactText();
    // Nearly every text of a definitions file is ASCII: measured and checked
    // in one pass, then copied unit for unit into place.
    const char16_t *end = wide;
    while (*end != 0 && *end < 0x80) ++end;
    if (*end != 0) return fromOther(std::u16string_view(wide, wideLength(wide)), arena);
    return fromAscii(wide, static_cast<std::size_t>(end - wide), arena);
}

CompactText CompactText::fromWide(std::u16string_view wide, TextArena *arena) {
    for (char16_t unit : wide)
        if (unit >= 0x80) return fromOther(wide, arena);
    return fromAscii(wide.data(), wide.size(), arena);
}

std::optional<std::size_t> CompactText::utf8Size(std::u16string_view wide) { return Utf8Length(wide); }

void CompactText::writeUtf8Record(std::u16string_view wide, std::size_t utf8Size, char *record) {
    const auto header = static_cast<std::uint32_t>(utf8Size * 2);
    std::memcpy(record, &header, sizeof header);
    WriteUtf8(wide, record + kHeader);
    record[kHeader + utf8Size] = 0;
}

// A text with characters outside ASCII: converted straight into its record.
CompactText CompactText::fromOther(std::u16string_view wide, TextArena *arena) {
    const std::optional<std::size_t> size = Utf8Length(wide);
    if (!size) {
        // An unpaired surrogate: kept as DualString keeps it.
        const DualString text(wide);
        CompactText exact(text);
        if (!arena) return exact;
        CompactText placed;
        if (exact.hasExactWide()) {
            std::u16string units(exact.exactWide());
            placed.assign(exact.narrowText(), &units, arena);
        } else {
            placed.assign(exact.narrowText(), nullptr, arena);
        }
        return placed;
    }
    CompactText text;
    if (*size <= kInlineCapacity) {
        char *out = reinterpret_cast<char *>(text.bytes_ + 1);
        text.bytes_[0] = static_cast<unsigned char>(*size * 2 + 1);
        WriteUtf8(wide, out);
        out[*size] = 0;
        return text;
    }
    if (*size > UINT32_MAX / 2) throw std::length_error("text too long");
    writeUtf8Record(wide, *size, text.makeRecord(RecordSize(*size, nullptr), arena));
    return text;
}

CompactText CompactText::fromAscii(const char16_t *wide, std::size_t size, TextArena *arena) {
    CompactText text;
    char *out;
    if (size <= kInlineCapacity) {
        out = reinterpret_cast<char *>(text.bytes_ + 1);
        text.bytes_[0] = static_cast<unsigned char>(size * 2 + 1);
    } else {
        if (size > UINT32_MAX / 2) throw std::length_error("text too long");
        char *record = text.makeRecord(RecordSize(size, nullptr), arena);
        const auto header = static_cast<std::uint32_t>(size * 2);
        std::memcpy(record, &header, sizeof header);
        out = record + kHeader;
    }
    for (std::size_t i = 0; i < size; ++i) out[i] = static_cast<char>(wide[i]);
    out[size] = 0;
    return text;
}

CompactText CompactText::shared(CompactText text, TextPool &pool) {
    if (!text.isRecord() || text.hasExactWide()) return text;
    const char *record = text.record();
    const char *kept = pool.share(record, kHeader + (text.recordHeader() >> 1) + 1);
    if (kept != record) {
        const std::uint64_t w = reinterpret_cast<std::uintptr_t>(kept);
        std::memcpy(text.bytes_, &w, sizeof w);
    }
    return text;
}

char *CompactText::makeRecord(std::size_t size, TextArena *arena) {
    char *record;
    std::uint64_t w;
    if (arena) {
        record = static_cast<char *>(arena->allocate(size));
        w = reinterpret_cast<std::uintptr_t>(record);
    } else {
        record = std::allocator<char>().allocate(size);
        w = reinterpret_cast<std::uintptr_t>(record) | kOwned;
    }
    std::memcpy(bytes_, &w, sizeof w);
    return record;
}

void CompactText::assign(std::string_view narrow, const std::u16string *exact, TextArena *arena) {
    if (!exact && narrow.size() <= kInlineCapacity) {
        std::memcpy(bytes_ + 1, narrow.data(), narrow.size());
        bytes_[1 + narrow.size()] = 0;
        bytes_[0] = static_cast<unsigned char>(narrow.size() * 2 + 1);
        return;
    }
    if (narrow.size() > UINT32_MAX / 2 || (exact && exact->size() > UINT32_MAX))
        throw std::length_error("text too long");
    const std::size_t units = exact ? exact->size() : 0;
    char *record = makeRecord(RecordSize(narrow.size(), exact ? &units : nullptr), arena);
    const auto header = static_cast<std::uint32_t>(narrow.size() * 2 + (exact ? 1 : 0));
    std::memcpy(record, &header, sizeof header);
    std::memcpy(record + kHeader, narrow.data(), narrow.size());
    record[kHeader + narrow.size()] = 0;
    if (exact) {
        const auto count = static_cast<std::uint32_t>(units);
        char *at = record + ExactOffset(narrow.size());
        std::memcpy(at, &count, sizeof count);
        at += sizeof count;
        std::memcpy(at, exact->data(), units * sizeof(char16_t));
        std::memset(at + units * sizeof(char16_t), 0, sizeof(char16_t));
    }
}

std::u16string_view CompactText::exactWide() const {
    const char *at = record() + ExactOffset(recordHeader() >> 1);
    std::uint32_t units;
    std::memcpy(&units, at, sizeof units);
    return {reinterpret_cast<const char16_t *>(at + sizeof units), units};
}

void CompactText::freeRecord() noexcept {
    const std::size_t narrowSize = recordHeader() >> 1;
    std::size_t size;
    if (hasExactWide()) {
        const std::size_t units = exactWide().size();
        size = RecordSize(narrowSize, &units);
    } else {
        size = RecordSize(narrowSize, nullptr);
    }
    std::allocator<char>().deallocate(const_cast<char *>(record()), size);
}

std::u16string CompactText::wideText() const {
    if (hasExactWide()) return std::u16string(exactWide());
    return lxniccfg::fromUtf8(narrowText());
}

char16_t *CompactText::wideCopy() const {
    if (isNone()) return nullptr;
    if (hasExactWide()) return mallocWideCopy(exactWide());
    const std::string_view narrow = narrowText();
    // An ASCII text widens unit for unit straight into the copy; any other
    // byte sends it the long way.
    auto *copy = static_cast<char16_t *>(std::malloc((narrow.size() + 1) * sizeof(char16_t)));
    if (!copy) throw std::bad_alloc();
    unsigned char seen = 0;
    for (std::size_t i = 0; i < narrow.size(); ++i) {
        const auto c = static_cast<unsigned char>(narrow[i]);
        seen |= c;
        copy[i] = c;
    }
    copy[narrow.size()] = 0;
    if (seen < 0x80) return copy;
    std::free(copy);
    return mallocWideCopy(lxniccfg::fromUtf8(narrow));
}

DualString CompactText::toDualString() const {
    if (isNone()) return DualString();
    if (hasExactWide()) return DualString(exactWide());
    return DualString::fromUtf8(narrowText());
}

}  // namespace lxniccfg
