// TextPool: while a catalog is loaded, equal texts share one record of its
// arena. Definitions files repeat many of their texts (the ids of panel items
// and properties, enumeration texts, ranges, defaults, the same property in
// the definitions of several adapters): each distinct text is kept once. The
// pool itself is a table of 4 bytes per slot, at most three quarters full:
// a record's arena handle with 8 bits of its hash, so that a lookup reads
// only the records whose hash bits match (almost always just the equal one),
// not every record its probe passes. It is dropped when the load ends, the
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
        while (!roomFor(count_ + more)) grow();
    }
    // Starts fetching the slot a text of this hash is looked up in first.
    void prefetchSlot(std::uint64_t hash) const {
        __builtin_prefetch(slots_.data() + (hash & (slots_.size() - 1)));
    }
    // Starts fetching the records among the first slots of its run that the
    // lookup will compare (those whose hash bits match).
    void prefetchKept(std::uint64_t hash) const {
        const std::size_t mask = slots_.size() - 1;
        const std::uint32_t tag = tagOf(hash);
        for (std::size_t i = hash & mask, n = 0; n < 4; i = (i + 1) & mask, ++n) {
            const std::uint32_t slot = slots_[i];
            if (slot == 0) break;
            if ((slot & kTagMask) == tag) __builtin_prefetch(arena_.atHandle(slot & kHandleMask));
        }
    }
    // The pool's record equal to the staged one, or a copy of it in the
    // arena, from now on shared.
    const char *intern(const char *staged, std::size_t size, std::uint64_t hash);

private:
    // A slot: the hash's top 8 bits above a 24-bit arena handle (records
    // beyond the first 64 MB of texts are not shared); 0 is empty.
    static constexpr std::uint32_t kHandleMask = (1u << 24) - 1;
    static constexpr std::uint32_t kTagMask = ~kHandleMask;
    static std::uint32_t tagOf(std::uint64_t hash) { return static_cast<std::uint32_t>(hash >> 56) << 24; }

    static std::uint64_t hashRecord(const char *record, std::size_t size);
    // Whether the table holds this many texts within its fill limit; a
    // probe passes over the slots of other texts without reading their
    // records, so a fuller table costs little.
    bool roomFor(std::size_t count) const { return count * 4 <= slots_.size() * 3; }
    static std::size_t recordSize(const char *record);
    std::size_t probe(const char *record, std::size_t size, std::uint64_t hash, const char *&kept) const;
    void keep(std::size_t slot, const char *record, std::uint64_t hash);
    void grow();

    TextArena &arena_;
    std::vector<std::uint32_t> slots_;  // hash bits and arena handles; 0: empty
    std::size_t count_ = 0;
};

}  // namespace lxniccfg
