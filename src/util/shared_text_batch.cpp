#include "util/shared_text_batch.h"

#include <algorithm>
#include <cstring>

namespace lxniccfg {

void SharedTextBatch::add(const char16_t *wide, CompactText *target) {
    if (!wide) {
        add(std::u16string_view(), target);
        *target = CompactText();
        return;
    }
    std::size_t size = 0;
    while (wide[size] != 0) ++size;
    add(std::u16string_view(wide, size), target);
}

void SharedTextBatch::add(std::u16string_view wide, CompactText *target) {
    // A later text for the same target replaces a pending one, as a later
    // assignment would.
    for (std::size_t i = 0; i < pending_.size(); ++i) {
        if (pending_[i].target == target) {
            pending_.erase(pending_.begin() + static_cast<std::ptrdiff_t>(i));
            break;
        }
    }
    // Only an ASCII text longer than what fits in place goes through the
    // pool here; any other is made as it would be alone.
    const std::size_t recordSize = CompactText::kHeader + wide.size() + 1;
    if (wide.size() <= CompactText::kInlineCapacity || !TextPool::shareable(recordSize)) {
        *target = CompactText::fromWide(wide, pool_);
        return;
    }
    const std::size_t offset = stage((recordSize + 3) & ~std::size_t{3});
    char *record = staged_.get() + offset;
    const auto header = static_cast<std::uint32_t>(wide.size() * 2);
    std::memcpy(record, &header, sizeof header);
    char *out = record + CompactText::kHeader;
    char16_t seen = 0;
    for (std::size_t i = 0; i < wide.size(); ++i) {
        seen |= wide[i];
        out[i] = static_cast<char>(wide[i]);
    }
    out[wide.size()] = 0;
    if (seen >= 0x80) {
        stagedSize_ = offset;
        *target = CompactText::fromWide(wide, pool_);
        return;
    }
    pending_.push_back({target, offset, recordSize, 0});
}

std::size_t SharedTextBatch::stage(std::size_t size) {
    const std::size_t offset = stagedSize_;
    if (stagedCapacity_ - offset < size) {
        const std::size_t capacity = std::max<std::size_t>(1024, 2 * (offset + size));
        std::unique_ptr<char[]> grown = std::make_unique_for_overwrite<char[]>(capacity);
        if (offset) std::memcpy(grown.get(), staged_.get(), offset);
        staged_ = std::move(grown);
        stagedCapacity_ = capacity;
    }
    stagedSize_ = offset + size;
    return offset;
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
