#include "util/shared_text_batch.h"

#include <algorithm>
#include <cstring>

namespace lxniccfg {
namespace {

// Narrows wide[from, end) unit for unit to out[from, end), ORing the units
// into seen, up to the first NUL; returns the NUL's position, or end. No unit
// past the NUL is read. Four units a round: one test of the round's end for
// four units (end - from is a multiple of 4).
std::size_t NarrowUntilNul(const char16_t *wide, std::size_t from, std::size_t end, char *out, char16_t &seen) {
    char16_t any = seen;
    for (std::size_t i = from; i < end; i += 4) {
        for (std::size_t k = 0; k < 4; ++k) {
            const char16_t unit = wide[i + k];
            if (unit == 0) {
                seen = any;
                return i + k;
            }
            any |= unit;
            out[i + k] = static_cast<char>(unit);
        }
    }
    seen = any;
    return end;
}

}  // namespace

void SharedTextBatch::add(const char16_t *wide, CompactText *target) {
    if (!wide) {
        add(std::u16string_view(), target);
        *target = CompactText();
        return;
    }
    dropPending(target);
    // Measured and narrowed in one pass over the parser's text, straight
    // into the staging buffer, in steps of kStep units; a text too long for
    // the pool is only measured beyond that.
    constexpr std::size_t kStep = 64;
    constexpr std::size_t kLongest = TextArena::kLargestShared - CompactText::kHeader - 1;
    const std::size_t offset = stagedSize_;
    std::size_t size = 0;
    char16_t seen = 0;
    for (bool ended = false; !ended;) {
        if (size > kLongest) {
            while (wide[size] != 0) ++size;
            break;
        }
        // Keeps the records staged before and the units narrowed so far.
        ensureRoom(offset + CompactText::kHeader + size + kStep + 1,
                   size == 0 ? offset : offset + CompactText::kHeader + size);
        char *out = staged_.get() + offset + CompactText::kHeader;
        const std::size_t end = size + kStep;
        size = NarrowUntilNul(wide, size, end, out, seen);
        ended = size < end;
    }
    stageNarrowed(std::u16string_view(wide, size), seen, offset, target);
}

void SharedTextBatch::add(std::u16string_view wide, CompactText *target) {
    dropPending(target);
    if (!TextPool::shareable(CompactText::kHeader + wide.size() + 1)) {
        *target = CompactText::fromWide(wide, pool_);
        return;
    }
    const std::size_t offset = stagedSize_;
    ensureRoom(offset + CompactText::kHeader + wide.size() + 1, offset);
    char *out = staged_.get() + offset + CompactText::kHeader;
    char16_t seen = 0;
    for (std::size_t i = 0; i < wide.size(); ++i) {
        seen |= wide[i];
        out[i] = static_cast<char>(wide[i]);
    }
    stageNarrowed(wide, seen, offset, target);
}

void SharedTextBatch::dropPending(const CompactText *target) {
    // A later text for the same target replaces a pending one, as a later
    // assignment would.
    for (std::size_t i = 0; i < pending_.size(); ++i) {
        if (pending_[i].target == target) {
            pending_.erase(pending_.begin() + static_cast<std::ptrdiff_t>(i));
            break;
        }
    }
}

void SharedTextBatch::stageNarrowed(std::u16string_view wide, char16_t seen, std::size_t offset,
                                    CompactText *target) {
    // A text that fits in place, that the pool does not take, or that holds
    // an unpaired surrogate (kept in an exact UTF-16 form, unshared) is made
    // as it would be alone; a text beyond ASCII has its record written
    // again, in UTF-8.
    const std::optional<std::size_t> utf8Size = seen < 0x80 ? wide.size() : CompactText::utf8Size(wide);
    const std::size_t narrowSize = utf8Size.value_or(0);
    const std::size_t recordSize = CompactText::kHeader + narrowSize + 1;
    if (!utf8Size || narrowSize <= CompactText::kInlineCapacity || !TextPool::shareable(recordSize)) {
        *target = CompactText::fromWide(wide, pool_);
        return;
    }
    char *record;
    if (seen >= 0x80) {
        ensureRoom(offset + recordSize, offset);
        record = staged_.get() + offset;
        CompactText::writeUtf8Record(wide, narrowSize, record);
    } else {
        record = staged_.get() + offset;
        const auto header = static_cast<std::uint32_t>(narrowSize * 2);
        std::memcpy(record, &header, sizeof header);
        record[recordSize - 1] = 0;
    }
    stagedSize_ = offset + ((recordSize + 3) & ~std::size_t{3});
    pending_.push_back({target, offset, recordSize, 0});
}

void SharedTextBatch::ensureRoom(std::size_t capacity, std::size_t keep) {
    if (stagedCapacity_ >= capacity) return;
    const std::size_t grownCapacity = std::max<std::size_t>(1024, 2 * capacity);
    std::unique_ptr<char[]> grown = std::make_unique_for_overwrite<char[]>(grownCapacity);
    if (keep) std::memcpy(grown.get(), staged_.get(), keep);
    staged_ = std::move(grown);
    stagedCapacity_ = grownCapacity;
}

void SharedTextBatch::flush() {
    if (pending_.empty()) return;
    pool_.reserve(pending_.size());
    for (Pending &p : pending_) {
        p.hash = TextPool::hashOf(staged_.get() + p.offset, p.size);
        pool_.prefetchSlot(p.hash);
    }
    for (const Pending &p : pending_) pool_.prefetchKept(p.hash);
    for (const Pending &p : pending_) {
        const char *record = pool_.intern(staged_.get() + p.offset, p.size, p.hash);
        *p.target = CompactText::ofArenaRecord(record);
    }
    pending_.clear();
    stagedSize_ = 0;
}

}  // namespace lxniccfg
