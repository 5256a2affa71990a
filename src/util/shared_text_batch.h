// SharedTextBatch: texts that arrive together (the attribute values of one
// start tag) made into CompactTexts of a pool at once. Looking a text up in
// the pool costs a cache miss or two on a large file (the table's slot, the
// record it names); made one by one those misses come one after the other,
// made together they are fetched in parallel.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "util/compact_text.h"
#include "util/text_pool.h"

namespace lxniccfg {

class SharedTextBatch {
public:
    explicit SharedTextBatch(TextPool &pool) : pool_(pool) {}

    // The text of a NUL-terminated UTF-16 string (nullptr: none), as
    // CompactText::fromWide(wide, pool) makes it, for *target; a text that
    // needs the pool is written there by flush(), the others at once.
    // target must stay in place until then.
    void add(const char16_t *wide, CompactText *target);
    // The same for a text of known length.
    void add(std::u16string_view wide, CompactText *target);
    std::size_t pending() const { return pending_.size(); }
    // Writes every pending text to its target, in the order they were added.
    void flush();

private:
    struct Pending {
        CompactText *target;
        std::size_t offset;  // of its record in staged_
        std::size_t size;
        std::uint64_t hash;
    };
    void dropPending(const CompactText *target);
    // Stages the record whose text was just narrowed at offset (seen: the
    // units ORed together), or makes the text at once when the pool is not
    // for it.
    void stageNarrowed(std::u16string_view wide, char16_t seen, std::size_t offset, CompactText *target);
    // Makes the staging buffer hold capacity bytes, keeping its first keep.
    void ensureRoom(std::size_t capacity, std::size_t keep);

    TextPool &pool_;
    // The pending records, each at a multiple of 4. Not zeroed: every byte
    // read is written first.
    std::unique_ptr<char[]> staged_;
    std::size_t stagedSize_ = 0;
    std::size_t stagedCapacity_ = 0;
    std::vector<Pending> pending_;
};

}  // namespace lxniccfg
