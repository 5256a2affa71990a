#include "util/value_node.h"

namespace lxniccfg {

ValueNode::~ValueNode() {
    // Unlink iteratively so that a long chain cannot exhaust the stack.
    std::unique_ptr<ValueNode> rest = std::move(next_);
    while (rest) rest = std::move(rest->next_);
}

void ValueNode::setNext(std::unique_ptr<ValueNode> node) { next_ = std::move(node); }

void ValueNode::setNextCopy(const ValueNode *chain) {
    next_.reset();
    if (chain) next_ = chain->deepCopy();
}

std::unique_ptr<ValueNode> ValueNode::copyOne() const {
    auto copy = std::make_unique<ValueNode>();
    copy->text_ = text_;
    copy->value_ = value_;
    copy->count_ = count_;
    return copy;
}

std::unique_ptr<ValueNode> ValueNode::deepCopy() const {
    auto head = copyOne();
    ValueNode *tail = head.get();
    for (const ValueNode *src = next_.get(); src; src = src->next_.get()) {
        tail->next_ = src->copyOne();
        tail = tail->next_.get();
    }
    return head;
}

}  // namespace lxniccfg
