// Panel: a named list of panel items; each item's value is the id of the
// property it shows.
#pragma once

#include <memory>

#include "definitions/xml_element.h"
#include "util/compact_text.h"
#include "util/dual_string.h"
#include "util/ptr_list.h"

namespace lxniccfg {

// One element of a panel as it was written: its name ("panelitem", or the
// unknown name of an element that counted as one), its text and its
// attributes (which mean nothing to the readers). Panel items rarely carry
// attributes: those of an item that has any are kept in a list of its own,
// so that an item costs 24 bytes.
struct PanelItem {
    CompactText name;
    CompactText value;
    std::unique_ptr<PtrList<XmlAttribute>> attributes;  // nullptr: none

    PanelItem() = default;
    explicit PanelItem(XmlElement &&element) : name(element.name), value(element.value) {
        if (!element.attributes.empty())
            attributes = std::make_unique<PtrList<XmlAttribute>>(std::move(element.attributes));
    }

    int attributeCount() const { return attributes ? attributes->count() : 0; }
    void addAttribute(XmlAttribute attribute) {
        if (!attributes) attributes = std::make_unique<PtrList<XmlAttribute>>();
        attributes->append(std::move(attribute));
    }
};

struct Panel {
    CompactText name;
    PtrList<PanelItem> items;
};

}  // namespace lxniccfg
