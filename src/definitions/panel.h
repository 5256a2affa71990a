// Panel: a named list of panel items; each item's value is the id of the
// property it shows.
#pragma once

#include "definitions/xml_element.h"
#include "util/dual_string.h"
#include "util/ptr_list.h"

namespace lxniccfg {

using PanelItem = XmlElement;

struct Panel {
    DualString name;
    PtrList<PanelItem> items;
};

}  // namespace lxniccfg
