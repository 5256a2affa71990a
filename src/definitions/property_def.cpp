#include "definitions/property_def.h"

#include "util/numbers.h"

namespace lxniccfg {

namespace {

// Whether the name (already known to be as long as the literal) spells it.
template <class Unit>
bool Spells(const Unit *name, std::string_view literal) {
    for (std::size_t i = 0; i < literal.size(); ++i)
        if (static_cast<char32_t>(name[i]) != static_cast<unsigned char>(literal[i])) return false;
    return true;
}

// Compared by length first and then with the one or two names of that
// length, in UTF-8 or UTF-16 alike.
template <class Unit>
PropertyAttribute Named(const Unit *n, std::size_t size) {
    using A = PropertyAttribute;
    auto is = [&](std::string_view literal) { return Spells(n, literal); };
    switch (size) {
    case 2:
        return is("id") ? A::Id : A::Unknown;
    case 4:
        if (is("enum")) return A::Enum;
        if (is("hide")) return A::Hide;
        if (is("hint")) return A::Hint;
        if (is("step")) return A::Step;
        return A::Unknown;
    case 5:
        return is("range") ? A::Range : A::Unknown;
    case 6:
        if (is("linkid")) return A::LinkId;
        if (is("lowest")) return A::Lowest;
        return A::Unknown;
    case 7:
        if (is("default")) return A::Default;
        if (is("splevel")) return A::SpLevel;
        return A::Unknown;
    case 8:
        return is("compound") ? A::Compound : A::Unknown;
    case 9:
        return is("rangetype") ? A::RangeType : A::Unknown;
    case 10:
        if (is("dependency")) return A::Dependency;
        if (is("vbdrestart")) return A::VbdRestart;
        return A::Unknown;
    case 11:
        if (is("controltype")) return A::ControlType;
        if (is("displayname")) return A::DisplayName;
        return A::Unknown;
    case 12:
        return is("teamproperty") ? A::TeamProperty : A::Unknown;
    default:
        return A::Unknown;
    }
}

}  // namespace

PropertyAttribute PropertyAttributeNamed(std::string_view name) { return Named(name.data(), name.size()); }

PropertyAttribute PropertyAttributeNamed(std::u16string_view name) {
    return Named(name.data(), name.size());
}

CompactText *PropertyDef::textField(PropertyAttribute attribute) {
    switch (attribute) {
    case PropertyAttribute::ControlType: return &controltype;
    case PropertyAttribute::Default: return &defaultValue;
    case PropertyAttribute::Dependency: return &dependency;
    case PropertyAttribute::DisplayName: return &displayname;
    case PropertyAttribute::Enum: return &enumName;
    case PropertyAttribute::Hint: return &hint;
    case PropertyAttribute::Id: return &id;
    case PropertyAttribute::LinkId: return &linkid;
    case PropertyAttribute::Lowest: return &lowest;
    case PropertyAttribute::Range: return &range;
    case PropertyAttribute::RangeType: return &rangetype;
    case PropertyAttribute::Step: return &step;
    case PropertyAttribute::TeamProperty: return &teamproperty;
    default: return nullptr;
    }
}

void PropertyDef::setFlag(PropertyAttribute attribute, const DualString &value) {
    switch (attribute) {
    case PropertyAttribute::Hide: hide = value.equals("true"); break;
    case PropertyAttribute::Compound: compound = value.equals("true"); break;
    case PropertyAttribute::SpLevel: splevel = textToInt(value.narrow()); break;
    case PropertyAttribute::VbdRestart: vbdrestart = value.equals("1") || value.equals("true"); break;
    default: break;
    }
}

void PropertyDef::setAttribute(const DualString &name, DualString value) {
    if (name.isNone()) return;
    const PropertyAttribute attribute = PropertyAttributeNamed(name.narrowText());
    if (CompactText *text = textField(attribute)) *text = CompactText(value);
    else setFlag(attribute, value);
}

}  // namespace lxniccfg
