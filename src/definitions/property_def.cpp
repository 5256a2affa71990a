#include "definitions/property_def.h"

#include <array>
#include <string_view>

#include "util/numbers.h"

namespace lxniccfg {

void PropertyDef::setAttribute(const DualString &name, DualString value) {
    if (name.isNone()) return;
    const std::string &n = name.narrowText();
    using Text = DualString PropertyDef::*;
    static constexpr std::array<std::pair<std::string_view, Text>, 13> kTexts = {{
        {"enum", &PropertyDef::enumName},
        {"linkid", &PropertyDef::linkid},
        {"id", &PropertyDef::id},
        {"range", &PropertyDef::range},
        {"default", &PropertyDef::defaultValue},
        {"displayname", &PropertyDef::displayname},
        {"controltype", &PropertyDef::controltype},
        {"step", &PropertyDef::step},
        {"hint", &PropertyDef::hint},
        {"teamproperty", &PropertyDef::teamproperty},
        {"lowest", &PropertyDef::lowest},
        {"dependency", &PropertyDef::dependency},
        {"rangetype", &PropertyDef::rangetype},
    }};
    for (const auto &[attribute, field] : kTexts) {
        if (n == attribute) {
            this->*field = std::move(value);
            return;
        }
    }
    if (n == "hide") hide = value.equals("true");
    else if (n == "compound") compound = value.equals("true");
    else if (n == "splevel") splevel = textToInt(value.narrow());
    else if (n == "vbdrestart") vbdrestart = value.equals("1") || value.equals("true");
}

}  // namespace lxniccfg
