// Enumeration: the values an enumerated property can take. Each EnumItem
// pairs the raw value the NIC interface library uses (enumid) with the text
// shown for it (enumvalue).
#pragma once

#include "util/compact_text.h"
#include "util/dual_string.h"
#include "util/ptr_list.h"

namespace lxniccfg {

struct EnumItem {
    CompactText enumid;
    CompactText enumvalue;
};

struct Enumeration {
    CompactText id;  // the id of the property it serves
    PtrList<EnumItem> items;
};

}  // namespace lxniccfg
