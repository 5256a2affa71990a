// XmlElement: one start tag of a parsed document, with its attributes in
// document order. A "panelitem" element also keeps its text as its value.
#pragma once

#include "util/dual_string.h"
#include "util/ptr_list.h"

namespace lxniccfg {

struct XmlAttribute {
    DualString name;
    DualString value;
};

struct XmlElement {
    DualString name;
    DualString value;
    PtrList<XmlAttribute> attributes;

    int attributeCount() const { return attributes.count(); }
    void addAttribute(XmlAttribute attribute) { attributes.append(std::move(attribute)); }
};

using ElementList = PtrList<XmlElement>;

}  // namespace lxniccfg
