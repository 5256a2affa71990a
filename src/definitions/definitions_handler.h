// DefinitionsHandler: the SAX handler that turns a document into a flat
// sequence of XmlElements in document order.
#pragma once

#include <functional>

#include "definitions/hardened_handler.h"
#include "definitions/xml_element.h"

namespace lxniccfg {

// Receives each element of a document as soon as it is complete.
using ElementSink = std::function<void(XmlElement &&)>;

class DefinitionsHandler : public HardenedHandler {
public:
    explicit DefinitionsHandler(ElementSink sink) : sink_(std::move(sink)) {}
    ~DefinitionsHandler() override;

    void startElement(const XMLCh *name, xercesc::AttributeList &attributes) override;
    void characters(const XMLCh *chars, XMLSize_t length) override;
    void ignorableWhitespace(const XMLCh *, XMLSize_t) override {}
    void resetDocument() override {}

    // Appends the element still pending (the last one of a document).
    void finish() override { flush(); }
    void flush();

private:
    ElementSink sink_;
    XmlElement current_;    // the element being read
    bool pending_ = false;  // current_ is not yet handed to the sink
};

}  // namespace lxniccfg
