#include "definitions/definitions_handler.h"

#include <xercesc/sax/AttributeList.hpp>

namespace lxniccfg {

DefinitionsHandler::~DefinitionsHandler() {
    try {
        flush();
    } catch (...) {
        // Destruction must not throw; a failed append loses only the last element.
    }
}

void DefinitionsHandler::flush() {
    // The element counts as handed over before the sink sees it, so that a
    // sink that throws is never handed it a second time.
    if (!pending_) return;
    pending_ = false;
    sink_(std::move(current_));
}

void DefinitionsHandler::startElement(const XMLCh *name, xercesc::AttributeList &attributes) {
    flush();
    current_ = XmlElement();
    pending_ = true;
    current_.name = DualString(name);
    const XMLSize_t count = attributes.getLength();
    current_.attributes.reserve(static_cast<int>(count));
    for (XMLSize_t i = 0; i < count; ++i)
        current_.addAttribute({DualString(attributes.getName(i)), DualString(attributes.getValue(i))});
}

void DefinitionsHandler::characters(const XMLCh *chars, XMLSize_t length) {
    if (!pending_ || !current_.name.equals("panelitem")) return;
    current_.value = DualString(std::u16string_view(chars, length));
    flush();
}

}  // namespace lxniccfg
