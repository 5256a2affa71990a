#include "util/compact_text.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <stdexcept>

namespace lxniccfg {

namespace {

// The exact UTF-16 text follows the UTF-8 bytes and their NUL, from the next
// multiple of 4, as its length in units and the units with a NUL after them.
std::size_t ExactOffset(std::size_t narrowSize) { return (narrowSize + 1 + 3) & ~std::size_t{3}; }

std::size_t BlockSize(std::size_t narrowSize, const std::size_t *exactUnits) {
    if (!exactUnits) return narrowSize + 1;
    return ExactOffset(narrowSize) + sizeof(std::uint32_t) + (*exactUnits + 1) * sizeof(char16_t);
}

}  // namespace

CompactText::CompactText(const DualString &text) : bytes_{} {
    setNone();
    if (text.isNone()) return;
    const std::string &narrow = text.narrowText();
    // Only a text holding U+FFFD can have an exact UTF-16 form of its own.
    if (narrow.find("\xEF\xBF\xBD") != std::string::npos) {
        std::u16string wide = text.wideText();
        if (wide != lxniccfg::fromUtf8(narrow)) {
            assign(narrow, &wide);
            return;
        }
    }
    assign(narrow, nullptr);
}

CompactText::CompactText(const CompactText &other) : bytes_{} {
    setNone();
    if (other.isNone()) return;
    if (other.tag() == kHeapExact) {
        std::u16string wide(other.exactWide());
        assign(other.narrowText(), &wide);
    } else {
        assign(other.narrowText(), nullptr);
    }
}

CompactText &CompactText::operator=(const CompactText &other) {
    if (this != &other) *this = CompactText(other);
    return *this;
}

CompactText CompactText::fromWide(const char16_t *wide) {
    if (!wide) return CompactText();
    // Nearly every text of a definitions file is ASCII: measured and checked
    // in one pass, then copied unit for unit into place.
    const char16_t *end = wide;
    while (*end != 0 && *end < 0x80) ++end;
    if (*end != 0) return CompactText(DualString(wide));
    return fromAscii(wide, static_cast<std::size_t>(end - wide));
}

CompactText CompactText::fromWide(std::u16string_view wide) {
    for (char16_t unit : wide)
        if (unit >= 0x80) return CompactText(DualString(wide));
    return fromAscii(wide.data(), wide.size());
}

CompactText CompactText::fromAscii(const char16_t *wide, std::size_t size) {
    CompactText text;
    char *out;
    if (size <= kInlineCapacity) {
        out = reinterpret_cast<char *>(text.bytes_);
        if (size < kInlineCapacity) out[size] = 0;
        text.bytes_[15] = static_cast<unsigned char>(kInlineCapacity - size);
    } else {
        if (size > UINT32_MAX) throw std::length_error("text too long");
        out = std::allocator<char>().allocate(size + 1);
        out[size] = 0;
        const auto length = static_cast<std::uint32_t>(size);
        std::memcpy(text.bytes_, &out, sizeof out);
        std::memcpy(text.bytes_ + 8, &length, sizeof length);
        text.bytes_[15] = kHeap;
    }
    for (std::size_t i = 0; i < size; ++i) out[i] = static_cast<char>(wide[i]);
    return text;
}

void CompactText::assign(std::string_view narrow, const std::u16string *exact) {
    if (!exact && narrow.size() <= kInlineCapacity) {
        std::memcpy(bytes_, narrow.data(), narrow.size());
        if (narrow.size() < kInlineCapacity) bytes_[narrow.size()] = 0;
        bytes_[15] = static_cast<unsigned char>(kInlineCapacity - narrow.size());
        return;
    }
    if (narrow.size() > UINT32_MAX || (exact && exact->size() > UINT32_MAX))
        throw std::length_error("text too long");
    const std::size_t units = exact ? exact->size() : 0;
    const std::size_t size = BlockSize(narrow.size(), exact ? &units : nullptr);
    char *block = std::allocator<char>().allocate(size);
    std::memcpy(block, narrow.data(), narrow.size());
    block[narrow.size()] = 0;
    if (exact) {
        const auto count = static_cast<std::uint32_t>(units);
        char *at = block + ExactOffset(narrow.size());
        std::memcpy(at, &count, sizeof count);
        at += sizeof count;
        std::memcpy(at, exact->data(), units * sizeof(char16_t));
        std::memset(at + units * sizeof(char16_t), 0, sizeof(char16_t));
    }
    const auto length = static_cast<std::uint32_t>(narrow.size());
    std::memcpy(bytes_, &block, sizeof block);
    std::memcpy(bytes_ + 8, &length, sizeof length);
    bytes_[15] = exact ? kHeapExact : kHeap;
}

char *CompactText::heapData() const {
    char *data;
    std::memcpy(&data, bytes_, sizeof data);
    return data;
}

std::uint32_t CompactText::heapSize() const {
    std::uint32_t size;
    std::memcpy(&size, bytes_ + 8, sizeof size);
    return size;
}

std::u16string_view CompactText::exactWide() const {
    const char *at = heapData() + ExactOffset(heapSize());
    std::uint32_t units;
    std::memcpy(&units, at, sizeof units);
    return {reinterpret_cast<const char16_t *>(at + sizeof units), units};
}

std::size_t CompactText::blockSize() const {
    if (tag() == kHeap) return BlockSize(heapSize(), nullptr);
    const std::size_t units = exactWide().size();
    return BlockSize(heapSize(), &units);
}

void CompactText::freeBlock() noexcept { std::allocator<char>().deallocate(heapData(), blockSize()); }

const char *CompactText::narrow() const {
    if (isNone()) return nullptr;
    if (onHeap()) return heapData();
    return reinterpret_cast<const char *>(bytes_);
}

std::string_view CompactText::narrowText() const {
    if (isNone()) return {};
    if (onHeap()) return {heapData(), heapSize()};
    return {reinterpret_cast<const char *>(bytes_), static_cast<std::size_t>(kInlineCapacity - tag())};
}

std::u16string CompactText::wideText() const {
    if (tag() == kHeapExact) return std::u16string(exactWide());
    return lxniccfg::fromUtf8(narrowText());
}

char16_t *CompactText::wideCopy() const {
    if (isNone()) return nullptr;
    if (tag() == kHeapExact) return mallocWideCopy(exactWide());
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
    if (tag() == kHeapExact) return DualString(exactWide());
    return DualString::fromUtf8(narrowText());
}

}  // namespace lxniccfg
