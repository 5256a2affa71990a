// CompactText: a text of the definitions model in 8 bytes. It holds the same
// text as a DualString (UTF-8, with the none state distinct from the empty
// text, and the exact UTF-16 text in the rare case that UTF-8 cannot carry it
// back) and reads the same way, but keeps a text of up to 6 bytes in place
// and any longer one in a record of its own: one allocation, or room in a
// TextArena when the text is made for an owner of one (the loader puts every
// text of the definitions into its catalog's arena). A property record with
// its thirteen texts stays small, and loading makes no allocation per text.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "util/dual_string.h"
#include "util/text_arena.h"
#include "util/text_pool.h"

namespace lxniccfg {

class CompactText {
public:
    CompactText() noexcept : bytes_{} {}
    CompactText(const DualString &text);  // NOLINT: the model is filled from DualStrings
    CompactText(const CompactText &other);
    CompactText(CompactText &&other) noexcept {
        std::memcpy(bytes_, other.bytes_, sizeof bytes_);
        other.setNone();
    }
    CompactText &operator=(const CompactText &other);
    CompactText &operator=(CompactText &&other) noexcept {
        if (this != &other) {
            release();
            std::memcpy(bytes_, other.bytes_, sizeof bytes_);
            other.setNone();
        }
        return *this;
    }
    ~CompactText() { release(); }

    // The text of a NUL-terminated UTF-16 string, as DualString(wide) holds
    // it; nullptr gives none. A text that does not fit in place goes into
    // arena when one is given (and lives as long as it), else into a record
    // of its own. Copies always get records of their own.
    static CompactText fromWide(const char16_t *wide, TextArena *arena = nullptr);
    // The same for a text of known length.
    static CompactText fromWide(std::u16string_view wide, TextArena *arena = nullptr);
    // The same in the pool's arena, sharing the record of an equal text the
    // pool made before.
    static CompactText fromWide(const char16_t *wide, TextPool &pool) { return shared(fromWide(wide, &pool.arena()), pool); }
    static CompactText fromWide(std::u16string_view wide, TextPool &pool) {
        return shared(fromWide(wide, &pool.arena()), pool);
    }

    // The same text, sharing its record when other does not own it (a text
    // in place or in an arena, which then serves both as long as it lives);
    // otherwise a copy.
    static CompactText alias(const CompactText &other) {
        if (other.ownsRecord()) return CompactText(other);
        CompactText text;
        std::memcpy(text.bytes_, other.bytes_, sizeof text.bytes_);
        return text;
    }

    bool isNone() const { return word() == 0; }
    explicit operator bool() const { return !isNone(); }

    // Borrowed NUL-terminated UTF-8 text; nullptr when none.
    const char *narrow() const {
        if (isInline()) return reinterpret_cast<const char *>(bytes_ + 1);
        return isNone() ? nullptr : record() + kHeader;
    }
    // The UTF-8 text (empty when none).
    std::string_view narrowText() const {
        if (isInline()) return {reinterpret_cast<const char *>(bytes_ + 1), static_cast<std::size_t>(bytes_[0] >> 1)};
        if (isNone()) return {};
        return {record() + kHeader, recordHeader() >> 1};
    }
    // The UTF-16 text, made on each call (empty when none).
    std::u16string wideText() const;
    // A malloc'ed NUL-terminated UTF-16 copy, or nullptr when none.
    char16_t *wideCopy() const;

    // As DualString::equals: byte-exact on the UTF-8 text; none equals nothing.
    bool equals(const CompactText &other) const {
        return !isNone() && !other.isNone() && narrowText() == other.narrowText();
    }
    bool equals(const DualString &other) const {
        return !isNone() && !other.isNone() && narrowText() == std::string_view(other.narrowText());
    }
    bool equals(std::string_view narrow) const { return !isNone() && narrowText() == narrow; }

    // The same text as a DualString.
    DualString toDualString() const;
    operator DualString() const { return toDualString(); }  // NOLINT: readers take DualStrings

private:
    friend class SharedTextBatch;

    // The 8 bytes hold one of:
    //  - none: all zero;
    //  - a text in place: byte 0 is 2 x its length + 1 (odd), the text of up
    //    to 6 bytes follows with its NUL;
    //  - a record: its address (aligned to 4, so bit 0 is clear), with bit 1
    //    set when this text owns the record. A record is a 4-byte header
    //    (2 x the UTF-8 length, + 1 when the exact UTF-16 text follows), the
    //    UTF-8 bytes and a NUL, then, when present, from the next multiple of
    //    4, the exact UTF-16 text as its length in units, the units and a NUL.
    static constexpr std::size_t kInlineCapacity = 6;
    static constexpr std::size_t kHeader = 4;
    static constexpr std::uint64_t kOwned = 2;

    std::uint64_t word() const {
        std::uint64_t w;
        std::memcpy(&w, bytes_, sizeof w);
        return w;
    }
    bool isInline() const { return (bytes_[0] & 1) != 0; }
    bool isRecord() const { return !isInline() && !isNone(); }
    bool ownsRecord() const { return isRecord() && (word() & kOwned) != 0; }
    const char *record() const { return reinterpret_cast<const char *>(static_cast<std::uintptr_t>(word() & ~std::uint64_t{3})); }
    std::uint32_t recordHeader() const {
        std::uint32_t header;
        std::memcpy(&header, record(), sizeof header);
        return header;
    }
    std::u16string_view exactWide() const;
    bool hasExactWide() const { return isRecord() && (recordHeader() & 1) != 0; }

    void setNone() noexcept { std::memset(bytes_, 0, sizeof bytes_); }
    void release() noexcept {
        if (ownsRecord()) freeRecord();
        setNone();
    }
    void freeRecord() noexcept;
    // Stores narrow (and, when given, the exact UTF-16 text); this is none.
    void assign(std::string_view narrow, const std::u16string *exact, TextArena *arena);
    // Room for a record of size bytes, in arena or of its own.
    char *makeRecord(std::size_t size, TextArena *arena);
    static CompactText fromAscii(const char16_t *wide, std::size_t size, TextArena *arena);
    static CompactText fromOther(std::u16string_view wide, TextArena *arena);
    // text, just made in the pool's arena, with the record of an equal text
    // of the pool when there is one.
    static CompactText shared(CompactText text, TextPool &pool);
    // The UTF-8 size of a text, when its record needs no exact UTF-16 form
    // (it has no unpaired surrogate); and writing such a record (header,
    // UTF-8 bytes, NUL) at record.
    static std::optional<std::size_t> utf8Size(std::u16string_view wide);
    static void writeUtf8Record(std::u16string_view wide, std::size_t utf8Size, char *record);
    // The text of a record of an arena, which it does not own.
    static CompactText ofArenaRecord(const char *record) {
        CompactText text;
        const std::uint64_t w = reinterpret_cast<std::uintptr_t>(record);
        std::memcpy(text.bytes_, &w, sizeof w);
        return text;
    }

    alignas(8) unsigned char bytes_[8];
};

static_assert(sizeof(CompactText) == 8);
static_assert(std::endian::native == std::endian::little, "the in-place form is told by the low byte");


}  // namespace lxniccfg
