// ValueNode: a singly linked chain of tokens, each with an integer value and
// an occurrence count. A node owns the whole chain behind it.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace lxniccfg {

class ValueNode {
public:
    ValueNode() = default;
    ~ValueNode();
    ValueNode(const ValueNode &) = delete;
    ValueNode &operator=(const ValueNode &) = delete;

    ValueNode *next() const { return next_.get(); }
    // Replaces the chain behind this node (destroying the old one).
    void setNext(std::unique_ptr<ValueNode> node);
    void setNextCopy(const ValueNode *chain);
    // Detaches the chain behind this node and hands it to the caller.
    std::unique_ptr<ValueNode> releaseNext() { return std::move(next_); }

    void setText(std::optional<std::string> text) { text_ = std::move(text); }
    const std::optional<std::string> &text() const { return text_; }
    std::optional<std::string> textCopy() const { return text_; }

    void setValue(int32_t value) { value_ = value; }
    int32_t value() const { return value_; }

    int32_t count() const { return count_; }
    int32_t incrementCount() { return ++count_; }

    // A new node with the same text, value and count, and a copy of the
    // whole chain behind it.
    std::unique_ptr<ValueNode> deepCopy() const;
    // A new node with the same text, value and count, and nothing behind it.
    std::unique_ptr<ValueNode> copyOne() const;

private:
    std::unique_ptr<ValueNode> next_;
    std::optional<std::string> text_;
    int32_t value_ = 0;
    int32_t count_ = 1;
};

}  // namespace lxniccfg
