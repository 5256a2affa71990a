// ChunkedList: a list for many large items (a definition's properties). It
// grows in chunks of a fixed size that never move, so that growing it never
// copies what it holds and never needs room for twice its content; items keep
// their place for the list's lifetime. Read like a PtrList.
#pragma once

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <utility>
#include <vector>

namespace lxniccfg {

template <class T>
class ChunkedList {
public:
    static constexpr std::size_t kChunkShift = 10;
    static constexpr std::size_t kChunk = std::size_t{1} << kChunkShift;

    int count() const { return static_cast<int>(count_); }
    bool empty() const { return count_ == 0; }

    void append(T &&item) {
        if (chunks_.empty() || chunks_.back().size() == kChunk) {
            chunks_.emplace_back();
            chunks_.back().reserve(chunks_.size() == 1 ? kFirstChunk : kChunk);
        } else if (chunks_.back().size() == chunks_.back().capacity()) {
            // Only the first chunk grows (until a list outgrows it), or a
            // last chunk that was trimmed.
            chunks_.back().reserve(std::min(kChunk, chunks_.back().capacity() * 2));
        }
        chunks_.back().push_back(std::move(item));
        ++count_;
    }
    void append(const T &item) { append(T(item)); }

    // Gives back the room of the last chunk beyond the items it holds.
    void shrinkToFit() {
        if (!chunks_.empty()) chunks_.back().shrink_to_fit();
        chunks_.shrink_to_fit();
    }

    const T &operator[](int i) const {
        const auto at = static_cast<std::size_t>(i);
        return chunks_[at >> kChunkShift][at & (kChunk - 1)];
    }
    T &operator[](int i) {
        const auto at = static_cast<std::size_t>(i);
        return chunks_[at >> kChunkShift][at & (kChunk - 1)];
    }

    template <class List, class Item>
    class Iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = T;
        using difference_type = std::ptrdiff_t;
        using pointer = Item *;
        using reference = Item &;
        Iterator(List *list, int i) : list_(list), i_(i) {}
        reference operator*() const { return (*list_)[i_]; }
        pointer operator->() const { return &(*list_)[i_]; }
        Iterator &operator++() {
            ++i_;
            return *this;
        }
        bool operator==(const Iterator &other) const { return i_ == other.i_; }
        bool operator!=(const Iterator &other) const { return i_ != other.i_; }

    private:
        List *list_;
        int i_;
    };
    auto begin() const { return Iterator<const ChunkedList, const T>(this, 0); }
    auto end() const { return Iterator<const ChunkedList, const T>(this, count()); }
    auto begin() { return Iterator<ChunkedList, T>(this, 0); }
    auto end() { return Iterator<ChunkedList, T>(this, count()); }

private:
    static constexpr std::size_t kFirstChunk = 8;
    std::vector<std::vector<T>> chunks_;
    std::size_t count_ = 0;
};

}  // namespace lxniccfg
