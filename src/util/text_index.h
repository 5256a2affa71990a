// TextIndex: positions in a list, looked up by a text that the list itself
// holds (a property's id, an enumeration's id). It keeps no copy of the
// texts, only a 32-bit hash and the position per entry, in one open-addressed
// table, so that an index of many thousand entries costs a few bytes each.
// The first position added under a text is the one found.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

namespace lxniccfg {

class TextIndex {
public:
    static uint32_t hash(std::string_view text) {
        return static_cast<uint32_t>(std::hash<std::string_view>()(text));
    }

    // Makes room for count entries, so that adding them does not grow the table.
    void reserve(std::size_t count) {
        if (count * 2 > slots_.size()) rehash(count * 2);
    }

    // Adds position under key unless the key is there already; textAt gives
    // the text of a position added before.
    template <class TextAt>
    bool add(std::string_view key, uint32_t position, const TextAt &textAt) {
        if ((count_ + 1) * 2 > slots_.size()) rehash(slots_.empty() ? 16 : slots_.size() * 2);
        const uint32_t h = hash(key);
        for (std::size_t i = h & mask();; i = (i + 1) & mask()) {
            Slot &slot = slots_[i];
            if (slot.positionPlusOne == 0) {
                slot = {h, position + 1};
                ++count_;
                return true;
            }
            if (slot.hash == h && textAt(slot.positionPlusOne - 1) == key) return false;
        }
    }

    // The position of key, or -1.
    template <class TextAt>
    int64_t find(std::string_view key, const TextAt &textAt) const {
        if (slots_.empty()) return -1;
        const uint32_t h = hash(key);
        for (std::size_t i = h & mask();; i = (i + 1) & mask()) {
            const Slot &slot = slots_[i];
            if (slot.positionPlusOne == 0) return -1;
            if (slot.hash == h && textAt(slot.positionPlusOne - 1) == key) return slot.positionPlusOne - 1;
        }
    }

    bool empty() const { return count_ == 0; }

private:
    struct Slot {
        uint32_t hash = 0;
        uint32_t positionPlusOne = 0;  // 0: empty
    };

    std::size_t mask() const { return slots_.size() - 1; }

    void rehash(std::size_t atLeast) {
        std::size_t size = 16;
        while (size < atLeast) size *= 2;
        std::vector<Slot> old = std::move(slots_);
        slots_.assign(size, Slot{});
        for (const Slot &slot : old) {
            if (slot.positionPlusOne == 0) continue;
            std::size_t i = slot.hash & mask();
            while (slots_[i].positionPlusOne != 0) i = (i + 1) & mask();
            slots_[i] = slot;
        }
    }

    std::vector<Slot> slots_;
    std::size_t count_ = 0;
};

}  // namespace lxniccfg
