// TextPool: while a catalog is loaded, equal texts share one record of its
// arena. Definitions files repeat many of their texts (the ids of panel items
// and properties, enumeration texts, ranges, defaults, the same property in
// the definitions of several adapters): each distinct text is kept once. The
// pool itself is a table of 4 bytes per slot, at most half full, that names
// the records by their arena handles; it is dropped when the load ends, the
// records stay with the arena.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "util/text_arena.h"

namespace lxniccfg {

class TextPool {
public:
    explicit TextPool(TextArena &arena) : arena_(arena) {}

    TextArena &arena() { return arena_; }

    // A record equal to the one just made at record (the arena's latest
    // allocation, of size bytes, laid out as CompactText lays out records:
    // a 4-byte header, the bytes it counts and a NUL): the earlier one,
    // whose room record gives back, or record itself, from now on shared.
    const char *share(const char *record, std::size_t size);

    // Sharing in three steps, for texts that arrive together (the attributes
    // of one start tag): the table's slots and the records they name are
    // fetched from memory for all of them at once, not one miss after the
    // other. A staged record is one outside the arena (see SharedTextBatch).
    static bool shareable(std::size_t size) { return size >= 12 && size <= TextArena::kLargestShared; }
    static std::uint64_t hashOf(const char *record, std::size_t size) { return hashRecord(record, size); }
    // Room for more texts without the table growing in between.
    void reserve(std::size_t more) {
        while ((count_ + more) * 2 > slots_.size()) grow();
    }
    // Starts fetching the slot a text of this hash is looked up in first.
    void prefetchSlot(std::uint64_t hash) const {
        __builtin_prefetch(slots_.data() + (hash & (slots_.size() - 1)));
    }
    // Starts fetching the records the first slots of its run name (the
    // lookup compares their texts).
    void prefetchKept(std::uint64_t hash) const {
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t i = hash & mask, n = 0; n < 3; i = (i + 1) & mask, ++n) {
            const std::uint32_t handle = slots_[i];
            if (handle == 0) break;
            __builtin_prefetch(arena_.atHandle(handle));
        }
    }
    // The pool's record equal to the staged one, or a copy of it in the
    // arena, from now on shared.
    const char *intern(const char *staged, std::size_t size, std::uint64_t hash);

private:
    static std::uint64_t hashRecord(const char *record, std::size_t size);
    static std::size_t recordSize(const char *record);
    void grow();

    TextArena &arena_;
    std::vector<std::uint32_t> slots_;  // arena handles; 0: empty
    std::size_t count_ = 0;
};

}  // namespace lxniccfg
