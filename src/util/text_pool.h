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

private:
    static std::uint64_t hashRecord(const char *record, std::size_t size);
    static std::size_t recordSize(const char *record);
    void grow();

    TextArena &arena_;
    std::vector<std::uint32_t> slots_;  // arena handles; 0: empty
    std::size_t count_ = 0;
};

}  // namespace lxniccfg
