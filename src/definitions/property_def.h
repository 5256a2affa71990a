// PropertyDef: what the definitions file says about one property.
#pragma once

#include <cstdint>
#include <string_view>

#include "util/compact_text.h"
#include "util/dual_string.h"

namespace lxniccfg {

// The attributes a property element can carry.
enum class PropertyAttribute : std::uint8_t {
    Unknown,
    Compound,
    ControlType,
    Default,
    Dependency,
    DisplayName,
    Enum,
    Hide,
    Hint,
    Id,
    LinkId,
    Lowest,
    Range,
    RangeType,
    SpLevel,
    Step,
    TeamProperty,
    VbdRestart,
};

// The attribute of this name (exact, case-sensitive); Unknown for any other.
PropertyAttribute PropertyAttributeNamed(std::string_view name);
PropertyAttribute PropertyAttributeNamed(std::u16string_view name);

struct PropertyDef {
    CompactText enumName;     // "enum": set marks an enumerated property
    CompactText linkid;       // the NIC interface library's property number; "-1": none
    CompactText id;
    CompactText range;
    CompactText defaultValue; // "default"
    CompactText displayname;
    CompactText controltype;
    CompactText step;
    CompactText dependency;   // bit 1: target of links; bit 2: source of links
    CompactText hint;
    CompactText teamproperty;
    CompactText lowest;
    CompactText rangetype;
    bool hide = false;
    bool compound = false;
    int32_t splevel = 0;
    bool vbdrestart = false;

    // Sets the field of the attribute with this name; other names are ignored.
    void setAttribute(const DualString &name, DualString value);

    // The text field of an attribute; nullptr for Unknown and for the four
    // attributes that are not kept as text (hide, compound, splevel,
    // vbdrestart: see setFlag).
    CompactText *textField(PropertyAttribute attribute);
    // Sets one of the four attributes that are not kept as text.
    void setFlag(PropertyAttribute attribute, const DualString &value);
};

}  // namespace lxniccfg
