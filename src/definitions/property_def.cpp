#include "definitions/property_def.h"

#include <array>
#include <string_view>

#include "util/numbers.h"

namespace lxniccfg {

void PropertyDef::setAttribute(const DualString &name, DualString value) {
    if (name.isNone()) return;
    const std::string &n = name.narrowText();
    if (n.empty()) return;
    using Text = DualString PropertyDef::*;
    struct Field {
        std::string_view attribute;
        Text text;  // nullptr: one of the four fields that are not texts
    };
    // Grouped by first letter, so that a name is compared only with the few
    // that could match.
    static constexpr std::array<Field, 17> kFields = {{
        {"compound", nullptr},
        {"controltype", &PropertyDef::controltype},
        {"default", &PropertyDef::defaultValue},
        {"dependency", &PropertyDef::dependency},
        {"displayname", &PropertyDef::displayname},
        {"enum", &PropertyDef::enumName},
        {"hide", nullptr},
        {"hint", &PropertyDef::hint},
        {"id", &PropertyDef::id},
        {"linkid", &PropertyDef::linkid},
        {"lowest", &PropertyDef::lowest},
        {"range", &PropertyDef::range},
        {"rangetype", &PropertyDef::rangetype},
        {"splevel", nullptr},
        {"step", &PropertyDef::step},
        {"teamproperty", &PropertyDef::teamproperty},
        {"vbdrestart", nullptr},
    }};
    for (const Field &field : kFields) {
        if (field.attribute[0] < n[0]) continue;
        if (field.attribute[0] > n[0]) return;  // no name of this letter matches
        if (field.attribute != n) continue;
        if (field.text) this->*field.text = std::move(value);
        else if (n == "hide") hide = value.equals("true");
        else if (n == "compound") compound = value.equals("true");
        else if (n == "splevel") splevel = textToInt(value.narrow());
        else vbdrestart = value.equals("1") || value.equals("true");
        return;
    }
}

}  // namespace lxniccfg
