// TextArena: memory for texts that all live as long as their owner (the
// definitions of one catalog), handed out from large blocks, so that a text
// costs no allocation of its own and no allocator overhead, and releasing
// them all is releasing a few blocks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace lxniccfg {

class TextArena {
public:
    // Texts up to this size come from the shared blocks; a larger one gets
    // a block of its own.
    static constexpr std::size_t kLargestShared = 16 * 1024;

    // Room for size bytes, aligned to 4, valid until the arena is cleared.
    void *allocate(std::size_t size) {
        size = rounded(size);
        if (size > kLargestShared) {
            // A large text gets a block of its own; the current block stays current.
            blocks_.push_back(std::make_unique_for_overwrite<std::byte[]>(size));
            return blocks_.back().get();
        }
        if (size > left_) {
            blocks_.push_back(std::make_unique_for_overwrite<std::byte[]>(kBlock));
            current_ = blocks_.size() - 1;
            next_ = blocks_.back().get();
            left_ = kBlock;
        }
        void *at = next_;
        next_ += size;
        left_ -= size;
        return at;
    }

    // Gives back the room of the latest allocation of a shared block, at
    // with this size, so that the next allocation reuses it.
    void giveBackLatest(const void *at, std::size_t size) {
        size = rounded(size);
        if (static_cast<const std::byte *>(at) + size != next_) return;
        next_ -= size;
        left_ += size;
    }

    // A 32-bit name for the latest allocation of a shared block, at, by
    // which atHandle finds it again; 0 when there is none (the arena has
    // grown beyond what such a name can tell).
    std::uint32_t handleOfLatest(const void *at) const {
        const std::size_t offset = static_cast<std::size_t>(static_cast<const std::byte *>(at) - blocks_[current_].get());
        if (current_ >= (std::size_t{1} << (32 - kOffsetBits)) - 1) return 0;
        return static_cast<std::uint32_t>(((current_ << kOffsetBits) | (offset >> 2)) + 1);
    }
    const std::byte *atHandle(std::uint32_t handle) const {
        const std::uint32_t h = handle - 1;
        return blocks_[h >> kOffsetBits].get() + ((h & ((1u << kOffsetBits) - 1)) << 2);
    }

    // Takes over every block of other, which is left empty.
    void adopt(TextArena &other) {
        for (auto &block : other.blocks_) blocks_.push_back(std::move(block));
        other.clear();
    }

    void clear() {
        blocks_.clear();
        current_ = 0;
        next_ = nullptr;
        left_ = 0;
    }

private:
    static constexpr std::size_t kBlock = 64 * 1024;
    static constexpr unsigned kOffsetBits = 14;  // 64 KB in units of 4
    static_assert(kBlock == std::size_t{4} << kOffsetBits);

    static std::size_t rounded(std::size_t size) { return (size + 3) & ~std::size_t{3}; }

    std::vector<std::unique_ptr<std::byte[]>> blocks_;
    std::size_t current_ = 0;  // the block next_ points into
    std::byte *next_ = nullptr;
    std::size_t left_ = 0;
};

}  // namespace lxniccfg
