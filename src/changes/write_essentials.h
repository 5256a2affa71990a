// What every property write through the NIC interface library shares: the
// property number, the mapping of an enumerated property's shown text to its
// raw value, the value buffer, and the folding of the library's results.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string_view>

#include "definitions/nic_definition.h"
#include "definitions/property_def.h"
#include "lxniccfg.h"
#include "util/dual_string.h"

namespace lxniccfg {

// Results of the NIC interface library that reads and writes single out.
inline constexpr uint32_t kNicIfDone = 0;
inline constexpr uint32_t kNicIfNotSupported = 1;   // reads: no such property
inline constexpr uint32_t kNicIfPropertyError = 3;  // writes: error of this property
inline constexpr uint32_t kNicIfNotice = 7;         // writes: done, with a notice

// The property number the NIC interface library knows the property by: the
// decimal linkid, read as atoi reads it. "-1" (unheld) gives 0xFFFFFFFF.
uint32_t PropertyNumber(const DualString &linkid);
inline uint32_t PropertyNumber(const PropertyDef &property) {
    return PropertyNumber(property.linkid);
}

// Whether the property's linkid is "-1": the NIC interface library does not
// hold the property and its value is its definition's default.
inline bool IsUnheldProperty(const PropertyDef &property) { return property.linkid.equals("-1"); }

// A library code reported for one property: property number in the upper 16
// bits, the code in the lower 16 (arithmetic modulo 2^32).
inline uint32_t PropertyCode(uint32_t propertyNumber, uint32_t code) {
    return propertyNumber * 65536u + code;
}

// The type of the definition every team and VLAN uses, and that definition
// (nullptr while none is loaded).
const DualString &TeamDefinitionType();
const NicDefinition *FindTeamDefinition();

// The property named id in the definition's own index only, as team and
// VLAN properties are looked up (the base chain is not searched; adapter
// properties use FindProperty, which does); nullptr when absent.
const PropertyDef *FindOwnProperty(const NicDefinition &definition, const DualString &id);

// The raw value (enumid) of the first item, over the definition's own
// enumerations for the property's id, whose enumvalue equals the shown
// text; none when nothing matches. The base chain is not searched.
std::optional<DualString> ToRawValue(const NicDefinition &definition, const PropertyDef &property,
                                     const DualString &shown);

// The value as the library takes it: the raw value of an enumerated
// property, the text itself otherwise; none when an enumerated text has no
// raw value.
std::optional<DualString> LibraryValue(const NicDefinition &definition, const PropertyDef &property,
                                       const DualString &value);

// Range types whose blocked team entries are enforced with their lowest text.
bool IsEnforcedRangeType(const DualString &rangeType);

// A fresh malloc'ed NUL-terminated UTF-16 copy of a value with its size in
// bytes, terminator included, as every property write hands it to the NIC
// interface library. Released when the buffer goes.
class ValueBuffer {
public:
    explicit ValueBuffer(std::u16string_view text);  // throws std::bad_alloc
    explicit ValueBuffer(const DualString &text) : ValueBuffer(std::u16string_view(text.wideText())) {}

    const lx_wchar *data() const { return copy_.get(); }
    uint32_t sizeInBytes() const { return size_; }

private:
    struct Free {
        void operator()(lx_wchar *p) const { std::free(p); }
    };
    std::unique_ptr<lx_wchar, Free> copy_;
    uint32_t size_ = 0;
};

// The result of a single write: 7 becomes 0, 3 becomes the property code
// PropertyCode(propertyNumber, 3), everything else stays.
uint32_t FoldSingleWrite(uint32_t code, uint32_t propertyNumber);

// The result of an operation made of several writes: 0 is success, 7 is
// success with a notice, any other code an error of which only the first is
// kept (3 as the property code). The final result is that error, else 7
// when a notice occurred, else 0.
class WriteResults {
public:
    // Takes one library result; returns true when it was an error.
    bool add(uint32_t code, uint32_t propertyNumber);
    // Keeps an error of the operation's own (such as 100) like a library
    // error: only when no error is held yet.
    void addError(uint32_t code);
    // Makes code the held error, replacing an earlier one (the failures that
    // outrank the library's errors, such as a missing definition).
    void replaceError(uint32_t code) { error_ = code; }
    // Sets the notice, as a 7 would.
    void addNotice() { notice_ = true; }

    bool hasError() const { return error_.has_value(); }
    bool sawNotice() const { return notice_; }
    uint32_t result() const { return error_ ? *error_ : (notice_ ? kNicIfNotice : kNicIfDone); }

private:
    std::optional<uint32_t> error_;
    bool notice_ = false;
};

}  // namespace lxniccfg
