// DefinitionsHandler: the SAX handler that turns a document into a flat
// sequence of XmlElements in document order. Any parser warning or error ends the
// parse with a SAXParseException; external entities are never resolved.
#pragma once

#include <functional>
#include <memory>
#include <optional>

#include <xercesc/sax/HandlerBase.hpp>

#include "definitions/xml_element.h"

namespace lxniccfg {

// Receives each element of a document as soon as it is complete.
using ElementSink = std::function<void(XmlElement &&)>;

class DefinitionsHandler : public xercesc::HandlerBase {
public:
    explicit DefinitionsHandler(ElementSink sink) : sink_(std::move(sink)) {}
    ~DefinitionsHandler() override;

    void startElement(const XMLCh *name, xercesc::AttributeList &attributes) override;
    void characters(const XMLCh *chars, XMLSize_t length) override;
    void ignorableWhitespace(const XMLCh *, XMLSize_t) override {}
    void resetDocument() override {}

    void warning(const xercesc::SAXParseException &e) override;
    void error(const xercesc::SAXParseException &e) override;
    void fatalError(const xercesc::SAXParseException &e) override;

    void setDocumentLocator(const xercesc::Locator *locator) override { locator_ = locator; }

    // Nothing outside the document is ever read: a document that names an
    // external DTD or uses an external entity is rejected, without opening it.
    xercesc::InputSource *resolveEntity(const XMLCh *publicId, const XMLCh *systemId) override;
    [[noreturn]] void refuseExternal(const XMLCh *publicId, const XMLCh *systemId) const;

    // Appends the element still pending (the last one of a document).
    void flush();

private:
    ElementSink sink_;
    XmlElement current_;    // the element being read
    bool pending_ = false;  // current_ is not yet handed to the sink
    const xercesc::Locator *locator_ = nullptr;
};

}  // namespace lxniccfg
