// Panel: a named list of panel items; each item's value is the id of the
// property it shows.
#pragma once

#include "definitions/xml_element.h"
#include "util/compact_text.h"
#include "util/dual_string.h"
#include "util/ptr_list.h"

namespace lxniccfg {

// One element of a panel as it was written: its name ("panelitem", or the
// unknown name of an element that counted as one), its text and its
// attributes (which mean nothing to the readers).
struct PanelItem {
    CompactText name;
    CompactText value;
    PtrList<XmlAttribute> attributes;

    PanelItem() = default;
    explicit PanelItem(XmlElement &&element)
        : name(element.name), value(element.value), attributes(std::move(element.attributes)) {}
};

struct Panel {
    DualString name;
    PtrList<PanelItem> items;
};

}  // namespace lxniccfg
