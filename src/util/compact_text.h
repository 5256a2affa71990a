// CompactText: a text of the definitions model in 16 bytes. It holds the same
// text as a DualString (UTF-8, with the none state distinct from the empty
// text, and the exact UTF-16 text in the rare case that UTF-8 cannot carry it
// back) and reads the same way, but keeps a text of up to 15 bytes in place
// and any longer one in a single allocation of its own, so that a property
// record with its thirteen texts stays small.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "util/dual_string.h"

namespace lxniccfg {

class CompactText {
public:
    CompactText() noexcept : bytes_{} { setNone(); }
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
    // it; nullptr gives none.
    static CompactText fromWide(const char16_t *wide);
    // The same for a text of known length.
    static CompactText fromWide(std::u16string_view wide);

    bool isNone() const { return tag() == kNone; }
    explicit operator bool() const { return !isNone(); }

    // Borrowed NUL-terminated UTF-8 text; nullptr when none.
    const char *narrow() const;
    // The UTF-8 text (empty when none).
    std::string_view narrowText() const;
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
    // Byte 15 tells the form: 0 to 15 is an inline text of 15 minus that many
    // bytes (so that a 15-byte text ends on it as on its NUL), the others
    // mark none and the two heap forms. A heap text keeps its pointer in
    // bytes 0-7 and its length in bytes 8-11.
    static constexpr unsigned char kInlineCapacity = 15;
    static constexpr unsigned char kNone = 0x40;
    static constexpr unsigned char kHeap = 0x80;       // UTF-8 bytes and a NUL
    static constexpr unsigned char kHeapExact = 0x81;  // the same, then the exact UTF-16 text

    unsigned char tag() const { return bytes_[15]; }
    bool onHeap() const { return tag() >= kHeap; }
    char *heapData() const;
    std::uint32_t heapSize() const;
    std::size_t blockSize() const;
    std::u16string_view exactWide() const;

    // The text of size ASCII units.
    static CompactText fromAscii(const char16_t *wide, std::size_t size);
    void setNone() noexcept { bytes_[15] = kNone; }
    void release() noexcept {
        if (onHeap()) freeBlock();
        setNone();
    }
    void freeBlock() noexcept;
    // Stores narrow (and, when given, the exact UTF-16 text); this is none.
    void assign(std::string_view narrow, const std::u16string *exact);

    alignas(8) unsigned char bytes_[16];
};

static_assert(sizeof(CompactText) == 16);

}  // namespace lxniccfg
