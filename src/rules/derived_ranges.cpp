#include "rules/derived_ranges.h"

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>

#include "adapters/records.h"
#include "definitions/catalog.h"
#include "rules/dependency_rules.h"
#include "util/numbers.h"

namespace lxniccfg {
namespace {

// The longest joined list range kept (the texts are joined in a buffer of
// 512 bytes, its terminator included).
constexpr std::size_t kMaxJoinedRange = 511;

int32_t NumberOf(const DualString &text) { return textToInt(text.narrow()); }

// The number of a list piece: its leading decimal digits.
int32_t LeadingNumber(const std::string &piece) {
    std::size_t digits = 0;
    while (digits < piece.size() && piece[digits] >= '0' && piece[digits] <= '9') ++digits;
    return textToInt(piece.substr(0, digits).c_str());
}

std::unique_ptr<ValueNode> NewToken(std::optional<std::string> text, int32_t number) {
    auto node = std::make_unique<ValueNode>();
    node->setText(std::move(text));
    node->setValue(number);
    return node;
}

// Appends tokens at the end of a chain.
class TokenChain {
public:
    explicit TokenChain(std::unique_ptr<ValueNode> &head) : head_(head), tail_(head.get()) {
        while (tail_ && tail_->next()) tail_ = tail_->next();
    }
    void append(std::unique_ptr<ValueNode> node) {
        ValueNode *added = node.get();
        if (tail_) tail_->setNext(std::move(node));
        else head_ = std::move(node);
        tail_ = added;
    }

private:
    std::unique_ptr<ValueNode> &head_;
    ValueNode *tail_;
};

// Adds one member token to the ascending chain: a number already present
// counts one more occurrence (its first text stays), a new one is inserted
// in its place with a count of 1.
void AddToken(std::unique_ptr<ValueNode> &head, const ValueNode &token) {
    ValueNode *previous = nullptr;
    ValueNode *current = head.get();
    while (current && current->value() < token.value()) {
        previous = current;
        current = current->next();
    }
    if (current && current->value() == token.value()) {
        current->incrementCount();
        return;
    }
    // Each node owns its successor: the rest of the chain moves behind the
    // new node.
    auto node = NewToken(token.textCopy(), token.value());
    if (previous) {
        node->setNext(previous->releaseNext());
        previous->setNext(std::move(node));
    } else {
        node->setNext(std::move(head));
        head = std::move(node);
    }
}

void ParseBounds(MemberView &view) {
    const std::string &text = view.range.narrowText();  // none reads as the empty text
    std::size_t dash = text.find('-');
    view.low = textToInt(text.substr(0, dash).c_str());
    if (dash != std::string::npos) view.high = textToInt(text.c_str() + dash + 1);
}

void ParseTokens(MemberView &view, const NicDefinition &definition) {
    TokenChain chain(view.tokens);
    for (const Enumeration &enumeration : definition.enumerations()) {
        if (!enumeration.id.equals(view.id)) continue;
        for (const EnumItem &item : enumeration.items) {
            std::optional<std::string> text;
            if (!item.enumvalue.isNone()) text = item.enumvalue.narrowText();
            chain.append(NewToken(std::move(text), NumberOf(item.enumid)));
            ++view.tokenCount;
        }
        return;
    }
    const std::string &text = view.range.narrowText();
    if (text.find('|') == std::string::npos) return;
    std::size_t start = 0;
    for (;;) {
        std::size_t bar = text.find('|', start);
        std::string piece = text.substr(start, bar == std::string::npos ? std::string::npos : bar - start);
        int32_t number = LeadingNumber(piece);
        chain.append(NewToken(std::move(piece), number));
        ++view.tokenCount;
        if (bar == std::string::npos) break;
        start = bar + 1;
    }
}

bool IsNamed(const PanelEntry &entry, const DualString &id) {
    return entry.id && !id.isNone() &&
           toUtf8(std::u16string_view(entry.id, wideLength(entry.id))) == id.narrowText();
}

// The member's first entry of the property that its rules do not force to
// change, or nullptr.
const PanelEntry *UsableEntry(const AdapterEntry &adapter, const DualString &id) {
    for (const PanelEntry *entry = adapter.advancedList; entry; entry = entry->next) {
        if (!IsNamed(*entry, id)) continue;
        if ((entry->dependencyFlags & 2) == 0 || !RulesForceChanges(adapter, *entry)) return entry;
    }
    return nullptr;
}

std::string Decimal(int32_t number) { return std::to_string(number); }

}  // namespace

RangeKind RangeKindOf(const DualString &rangeType) {
    if (rangeType.equals("binary")) return RangeKind::Binary;
    if (rangeType.equals("numeric_low")) return RangeKind::NumericLow;
    if (rangeType.equals("numeric_high")) return RangeKind::NumericHigh;
    if (rangeType.equals("list")) return RangeKind::List;
    if (rangeType.equals("bit_and")) return RangeKind::BitAnd;
    if (rangeType.equals("bit_or")) return RangeKind::BitOr;
    return RangeKind::None;
}

void DerivationContext::startProperty() {
    tokens.reset();
    common.reset();
    commonCount = 0;
    range = DualString();
    defaultValue = DualString();
    derivedValue = DualString();
}

MemberView MakeMemberView(const PanelEntry &entry, const NicDefinition &definition) {
    MemberView view;
    view.id = DualString(entry.id);
    view.linkId = DualString(entry.linkId);
    view.range = DualString(entry.range);
    view.defaultValue = DualString(entry.defaultValue);
    view.value = DualString(entry.selectedValue ? entry.selectedValue : u"");
    view.lowest = DualString(entry.lowest);
    view.kind = RangeKindOf(DualString(entry.rangeType));
    view.hide = entry.hide;
    view.compound = entry.compound;
    view.spLevel = entry.spLevel;
    switch (view.kind) {
    case RangeKind::NumericLow:
    case RangeKind::NumericHigh:
    case RangeKind::BitAnd:
    case RangeKind::BitOr:
        ParseBounds(view);
        break;
    case RangeKind::List:
        ParseTokens(view, definition);
        break;
    default:
        break;
    }
    return view;
}

MemberScan ScanMembers(const TeamEntry &team, const PanelEntry &property, DerivationContext &context) {
    const DualString id(property.id);
    bool missing = false;
    int counted = 0;
    for (const TeamMemberLink *member = team.members; member; member = member->next) {
        if (member->isRemoved == 1 || !member->adapter) continue;
        const AdapterEntry &adapter = *member->adapter;
        const PanelEntry *entry = UsableEntry(adapter, id);
        if (!entry) {
            missing = true;
            continue;
        }
        ++counted;
        if (const NicDefinition *definition = FindDefinition(adapter.definitionType))
            context.views.push_back(MakeMemberView(*entry, *definition));
    }
    if (!missing) return MemberScan::Complete;
    return counted > 0 ? MemberScan::Partial : MemberScan::NoMember;
}

void Derive(DerivationContext &context, const DualString &id) {
    context.startProperty();

    const MemberView *last = nullptr;

    // "binary"
    DualString otherValue;
    bool defaultsAtLowest = false;
    int atLowest = 0, offLowest = 0;
    // "numeric_low" / "numeric_high"
    std::optional<int32_t> summary, maxLow, minHigh;
    // "list"
    int listViews = 0;
    std::optional<int32_t> minValue;
    // "bit_and" / "bit_or"
    int32_t maskAnd = 0xFFFFFF, valueAnd = 0xFFFFFF, maskOr = 0, valueOr = 0;

    for (const MemberView &view : context.views) {
        if (!view.id.equals(id)) continue;
        last = &view;
        switch (view.kind) {
        case RangeKind::Binary: {
            if (!view.lowest.isNone() && otherValue.isNone()) {
                const std::string &range = view.range.narrowText();
                std::size_t bar = range.find('|');
                if (bar != std::string::npos) {
                    std::string a = range.substr(0, bar), b = range.substr(bar + 1);
                    otherValue = DualString::fromUtf8(view.lowest.equals(b) ? a : b);
                }
            }
            if (view.defaultValue.equals(view.lowest)) defaultsAtLowest = true;
            if (view.value.equals(view.lowest)) ++atLowest;
            else ++offLowest;
            break;
        }
        case RangeKind::NumericLow:
        case RangeKind::NumericHigh: {
            int32_t value = NumberOf(view.value);
            if (!summary) summary = value;
            else if (view.kind == RangeKind::NumericLow) summary = std::min(*summary, value);
            else summary = std::max(*summary, value);
            if (view.low != -1) {
                maxLow = maxLow ? std::max(*maxLow, view.low) : view.low;
                if (view.high != -1) minHigh = minHigh ? std::min(*minHigh, view.high) : view.high;
            }
            break;
        }
        case RangeKind::List: {
            ++listViews;
            for (const ValueNode *token = view.tokens.get(); token; token = token->next())
                AddToken(context.tokens, *token);
            int32_t value = NumberOf(view.value);
            minValue = minValue ? std::min(*minValue, value) : value;
            break;
        }
        case RangeKind::BitAnd:
        case RangeKind::BitOr: {
            int32_t value = NumberOf(view.value);
            if (value == -1) value = NumberOf(view.defaultValue);
            if (view.kind == RangeKind::BitAnd) {
                maskAnd &= view.high;
                valueAnd &= value;
            } else {
                // A range without '-' has no upper bound to add (-1 would set
                // every bit).
                if (view.high != -1) maskOr |= view.high;
                valueOr |= value;
            }
            break;
        }
        case RangeKind::None:
            break;
        }
    }
    if (!last) return;

    switch (last->kind) {
    case RangeKind::Binary: {
        const DualString &lowest = last->lowest;
        if (defaultsAtLowest) context.defaultValue = lowest;
        else if (!last->defaultValue.isNone()) context.defaultValue = last->defaultValue;
        bool showLowest;
        if (atLowest > 0 && offLowest == 0) showLowest = true;
        else if (offLowest > 0 && atLowest == 0) showLowest = false;
        else if (defaultsAtLowest) showLowest = atLowest > 0;
        else showLowest = offLowest == 0;
        context.derivedValue = showLowest ? lowest : otherValue;
        break;
    }
    case RangeKind::NumericLow:
    case RangeKind::NumericHigh:
        context.range = DualString::fromNarrow(
            minHigh ? Decimal(*maxLow) + "-" + Decimal(*minHigh) : std::string("0-0"));
        if (summary) context.derivedValue = DualString::fromNarrow(Decimal(*summary));
        break;
    case RangeKind::List: {
        TokenChain common(context.common);
        for (const ValueNode *token = context.tokens.get(); token; token = token->next()) {
            if (token->count() != listViews) continue;
            common.append(token->copyOne());
            ++context.commonCount;
        }
        if (context.commonCount == 0) break;
        std::string joined;
        bool first = true;
        for (const ValueNode *token = context.common.get(); token; token = token->next()) {
            const std::string text = token->text().value_or(std::string());
            std::size_t length = joined.size() + (first ? 0 : 1) + text.size();
            if (length > kMaxJoinedRange) break;  // keep the tokens that fit
            if (!first) joined += '|';
            joined += text;
            first = false;
        }
        context.range = DualString::fromUtf8(joined);
        const ValueNode *head = context.common.get();
        context.defaultValue = DualString::fromUtf8(head->text().value_or(std::string()));
        context.derivedValue = context.defaultValue;
        for (const ValueNode *token = head; token; token = token->next()) {
            if (minValue && token->value() == *minValue) {
                context.derivedValue = DualString::fromUtf8(token->text().value_or(std::string()));
                break;
            }
        }
        break;
    }
    case RangeKind::BitAnd:
        context.range = DualString::fromNarrow("0-" + Decimal(maskAnd));
        context.derivedValue = DualString::fromNarrow(Decimal(valueAnd));
        break;
    case RangeKind::BitOr:
        context.range = DualString::fromNarrow("0-" + Decimal(maskOr));
        context.derivedValue = DualString::fromNarrow(Decimal(valueOr));
        break;
    case RangeKind::None:
        break;
    }
}

void CopyDerivedTexts(const DerivationContext &context, PanelEntry &entry) {
    if (!context.derivedValue.isNone()) SetText(entry.derivedValue, CopyText(context.derivedValue));
    if (!context.defaultValue.isNone()) SetText(entry.defaultValue, CopyText(context.defaultValue));
    if (!context.range.isNone()) SetText(entry.range, CopyText(context.range));
}

}  // namespace lxniccfg
