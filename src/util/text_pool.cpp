#include "util/text_pool.h"

#include <cstring>

namespace lxniccfg {

std::size_t TextPool::recordSize(const char *record) {
    std::uint32_t header;
    std::memcpy(&header, record, sizeof header);
    return 4 + (header >> 1) + 1;
}

// A hash of the header, the text and its NUL, eight bytes at a time; the
// last eight bytes are read whole, overlapping the word before them (a
// shared record holds more than 6 bytes of text, so it has 12 bytes at least).
std::uint64_t TextPool::hashRecord(const char *record, std::size_t size) {
    auto word = [record](std::size_t at) {
        std::uint64_t w;
        std::memcpy(&w, record + at, sizeof w);
        return w;
    };
    std::uint64_t h = 0x9E3779B97F4A7C15u;
    for (std::size_t at = 0; at + 8 < size; at += 8) {
        h = (h ^ word(at)) * 0xFF51AFD7ED558CCDu;
        h ^= h >> 32;
    }
    // The last word's high bytes (the text's last characters) reach the
    // low bits, which choose the slot, only through the shifts.
    h = (h ^ word(size - 8)) * 0xFF51AFD7ED558CCDu;
    h ^= h >> 32;
    h *= 0xC4CEB9FE1A85EC53u;
    return h ^ (h >> 29);
}

// Walks the table from the text's hash: the slot of a kept record equal to
// `record` (returned in `kept`), or the first empty slot (`kept` NULL). Only
// records whose slot has the text's hash bits are read; they are compared
// header first, as the header holds the length.
std::size_t TextPool::probe(const char *record, std::size_t size, std::uint64_t hash, const char *&kept) const {
    const std::size_t mask = slots_.size() - 1;
    const std::uint32_t tag = tagOf(hash);
    std::uint32_t header;
    std::memcpy(&header, record, sizeof header);
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        const std::uint32_t slot = slots_[i];
        if (slot == 0) {
            kept = nullptr;
            return i;
        }
        if ((slot & kTagMask) != tag) continue;
        const char *candidate = reinterpret_cast<const char *>(arena_.atHandle(slot & kHandleMask));
        std::uint32_t keptHeader;
        std::memcpy(&keptHeader, candidate, sizeof keptHeader);
        if (keptHeader == header && std::memcmp(candidate + 4, record + 4, size - 4) == 0) {
            kept = candidate;
            return i;
        }
    }
}

// Puts the arena's newest record into an empty slot (a record the arena
// cannot name by a handle of 24 bits is not shared).
void TextPool::keep(std::size_t slot, const char *record, std::uint64_t hash) {
    const std::uint32_t own = arena_.handleOfLatest(record);
    if (own == 0 || own > kHandleMask) return;
    slots_[slot] = tagOf(hash) | own;
    ++count_;
}

const char *TextPool::share(const char *record, std::size_t size) {
    if (size > TextArena::kLargestShared || size < 12) return record;  // in a block of its own, or none
    if (!roomFor(count_ + 1)) grow();
    const char *kept = nullptr;
    const std::uint64_t hash = hashRecord(record, size);
    const std::size_t slot = probe(record, size, hash, kept);
    if (kept != nullptr) {
        arena_.giveBackLatest(record, size);
        return kept;
    }
    keep(slot, record, hash);
    return record;
}

const char *TextPool::intern(const char *staged, std::size_t size, std::uint64_t hash) {
    if (!roomFor(count_ + 1)) grow();
    const char *kept = nullptr;
    const std::size_t slot = probe(staged, size, hash, kept);
    if (kept != nullptr) return kept;
    char *record = static_cast<char *>(arena_.allocate(size));
    std::memcpy(record, staged, size);
    keep(slot, record, hash);
    return record;
}

void TextPool::grow() {
    std::vector<std::uint32_t> old = std::move(slots_);
    slots_.assign(old.empty() ? 4096 : old.size() * 2, 0);
    const std::size_t mask = slots_.size() - 1;
    for (const std::uint32_t slot : old) {
        if (slot == 0) continue;
        const char *kept = reinterpret_cast<const char *>(arena_.atHandle(slot & kHandleMask));
        std::size_t i = hashRecord(kept, recordSize(kept)) & mask;
        while (slots_[i] != 0) i = (i + 1) & mask;
        slots_[i] = slot;
    }
}

}  // namespace lxniccfg
