// Linked-property rules: while the property named by a SourceProperty holds
// its value, each LinkProperty narrows the range and default of another
// property.
#pragma once

#include "util/compact_text.h"
#include "util/dual_string.h"
#include "util/ptr_list.h"

namespace lxniccfg {

struct LinkProperty {
    CompactText name;  // id of the controlled property
    CompactText range;
    CompactText defaultValue;
};

struct SourceProperty {
    CompactText name;   // id of the controlling property
    CompactText value;  // the value under which the rule applies
    PtrList<LinkProperty> links;
};

}  // namespace lxniccfg
