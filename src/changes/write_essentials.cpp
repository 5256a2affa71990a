#include "changes/write_essentials.h"

#include <cstring>
#include <limits>
#include <new>

#include "definitions/catalog.h"
#include "util/numbers.h"

namespace lxniccfg {

uint32_t PropertyNumber(const DualString &linkid) {
    return static_cast<uint32_t>(textToInt(linkid.narrow()));
}

const DualString &TeamDefinitionType() {
    static const DualString type = DualString::fromNarrow("TEAM");
    return type;
}

const NicDefinition *FindTeamDefinition() { return FindDefinition(TeamDefinitionType()); }

const PropertyDef *FindOwnProperty(const NicDefinition &definition, const DualString &id) {
    int position = FindPropertyIndex(definition.index, id);
    if (position < 0 || position >= definition.properties.count()) return nullptr;
    return &definition.properties[position];
}

std::optional<DualString> ToRawValue(const NicDefinition &definition, const PropertyDef &property,
                                     const DualString &shown) {
    const auto *raw = FindEnumId(definition, property.id, shown);
    if (!raw) return std::nullopt;
    return *raw;
}

std::optional<DualString> LibraryValue(const NicDefinition &definition, const PropertyDef &property,
                                       const DualString &value) {
    if (property.enumName.isNone()) return value;
    return ToRawValue(definition, property, value);
}

bool IsEnforcedRangeType(const DualString &rangeType) {
    return rangeType.equals("binary") || rangeType.equals("list");
}

ValueBuffer::ValueBuffer(std::u16string_view text) {
    // The size travels as 32 bits: a text too long for it is refused
    // rather than reported with a wrapped size.
    if (text.size() >= std::numeric_limits<uint32_t>::max() / sizeof(lx_wchar))
        throw std::bad_alloc();
    std::size_t units = text.size() + 1;
    auto *copy = static_cast<lx_wchar *>(std::malloc(units * sizeof(lx_wchar)));
    if (!copy) throw std::bad_alloc();
    if (!text.empty()) std::memcpy(copy, text.data(), text.size() * sizeof(lx_wchar));
    copy[text.size()] = u'\0';
    copy_.reset(copy);
    size_ = static_cast<uint32_t>(units * sizeof(lx_wchar));
}

uint32_t FoldSingleWrite(uint32_t code, uint32_t propertyNumber) {
    if (code == kNicIfNotice) return kNicIfDone;
    if (code == kNicIfPropertyError) return PropertyCode(propertyNumber, code);
    return code;
}

bool WriteResults::add(uint32_t code, uint32_t propertyNumber) {
    if (code == kNicIfDone) return false;
    if (code == kNicIfNotice) {
        notice_ = true;
        return false;
    }
    if (!error_)
        error_ = code == kNicIfPropertyError ? PropertyCode(propertyNumber, code) : code;
    return true;
}

void WriteResults::addError(uint32_t code) {
    if (!error_) error_ = code;
}

}  // namespace lxniccfg
