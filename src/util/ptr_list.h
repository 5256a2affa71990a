// PtrList: the library's growable list with value semantics. It stores its
// own copy of what it is given and hands out copies (or borrowed views) of
// what it holds; it only grows until it is destroyed.
#pragma once

#include <cstddef>
#include <optional>
#include <utility>
#include <vector>

namespace lxniccfg {

template <class T>
class PtrList {
public:
    PtrList() = default;
    explicit PtrList(std::vector<T> items) : items_(std::move(items)) {}

    int count() const { return static_cast<int>(items_.size()); }
    bool empty() const { return items_.empty(); }

    // Makes room for count items in all, so that appending them allocates once.
    void reserve(int count) {
        if (count > 0) items_.reserve(static_cast<std::size_t>(count));
    }

    // Gives back the room reserved beyond the items held.
    void shrinkToFit() { items_.shrink_to_fit(); }

    void append(const T &item) { items_.push_back(item); }
    void append(T &&item) { items_.push_back(std::move(item)); }

    // A copy of item i, or nothing when i is out of range.
    std::optional<T> at(int i) const {
        if (i < 0 || i >= count()) return std::nullopt;
        return items_[static_cast<std::size_t>(i)];
    }
    // Borrowed access for readers that do not keep the item.
    const T &operator[](int i) const { return items_[static_cast<std::size_t>(i)]; }
    T &operator[](int i) { return items_[static_cast<std::size_t>(i)]; }

    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }
    auto begin() { return items_.begin(); }
    auto end() { return items_.end(); }

private:
    std::vector<T> items_;
};

}  // namespace lxniccfg
