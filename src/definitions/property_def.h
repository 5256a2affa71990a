// PropertyDef: what the definitions file says about one property.
#pragma once

#include <cstdint>

#include "util/dual_string.h"

namespace lxniccfg {

struct PropertyDef {
    DualString enumName;     // "enum": set marks an enumerated property
    DualString linkid;       // the NIC interface library's property number; "-1": none
    DualString id;
    DualString range;
    DualString defaultValue; // "default"
    DualString displayname;
    DualString controltype;
    DualString step;
    DualString dependency;   // bit 1: target of links; bit 2: source of links
    DualString hint;
    DualString teamproperty;
    DualString lowest;
    DualString rangetype;
    bool hide = false;
    bool compound = false;
    int32_t splevel = 0;
    bool vbdrestart = false;

    // Sets the field of the attribute with this name; other names are ignored.
    void setAttribute(const DualString &name, DualString value);
};

}  // namespace lxniccfg
