// TextArena: memory for texts that all live as long as their owner (the
// definitions of one catalog), handed out from large blocks, so that a text
// costs no allocation of its own and no allocator overhead, and releasing
// them all is releasing a few blocks.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

namespace lxniccfg {

class TextArena {
public:
    // Room for size bytes, aligned to 4, valid until the arena is cleared.
    void *allocate(std::size_t size) {
        size = (size + 3) & ~std::size_t{3};
        if (size > kBlock / 4) {
            // A large text gets a block of its own; the current block stays current.
            blocks_.push_back(std::make_unique_for_overwrite<std::byte[]>(size));
            return blocks_.back().get();
        }
        if (size > left_) {
            blocks_.push_back(std::make_unique_for_overwrite<std::byte[]>(kBlock));
            next_ = blocks_.back().get();
            left_ = kBlock;
        }
        void *at = next_;
        next_ += size;
        left_ -= size;
        return at;
    }

    // Takes over every block of other, which is left empty.
    void adopt(TextArena &other) {
        for (auto &block : other.blocks_) blocks_.push_back(std::move(block));
        other.blocks_.clear();
        other.next_ = nullptr;
        other.left_ = 0;
    }

    void clear() {
        blocks_.clear();
        next_ = nullptr;
        left_ = 0;
    }

private:
    static constexpr std::size_t kBlock = 64 * 1024;

    std::vector<std::unique_ptr<std::byte[]>> blocks_;
    std::byte *next_ = nullptr;
    std::size_t left_ = 0;
};

}  // namespace lxniccfg
