// Linked-property rules: while the property named by a SourceProperty holds
// its value, each LinkProperty narrows the range and default of another
// property.
#pragma once

#include "util/dual_string.h"
#include "util/ptr_list.h"

namespace lxniccfg {

struct LinkProperty {
    DualString name;  // id of the controlled property
    DualString range;
    DualString defaultValue;
};

struct SourceProperty {
    DualString name;   // id of the controlling property
    DualString value;  // the value under which the rule applies
    PtrList<LinkProperty> links;
};

}  // namespace lxniccfg
