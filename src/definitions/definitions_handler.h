// DefinitionsHandler: the SAX handler that turns a document into a flat list
// of XmlElements in document order. Any parser warning or error ends the
// parse with a SAXParseException; external entities are never resolved.
#pragma once

#include <memory>
#include <optional>

#include <xercesc/sax/HandlerBase.hpp>

#include "definitions/xml_element.h"

namespace lxniccfg {

class DefinitionsHandler : public xercesc::HandlerBase {
public:
    explicit DefinitionsHandler(ElementList &elements) : elements_(elements) {}
    ~DefinitionsHandler() override;

    void startElement(const XMLCh *name, xercesc::AttributeList &attributes) override;
    void characters(const XMLCh *chars, XMLSize_t length) override;
    void ignorableWhitespace(const XMLCh *, XMLSize_t) override {}
    void resetDocument() override {}

    void warning(const xercesc::SAXParseException &e) override;
    void error(const xercesc::SAXParseException &e) override;
    void fatalError(const xercesc::SAXParseException &e) override;

    // Every external entity or DTD the document names is refused.
    xercesc::InputSource *resolveEntity(const XMLCh *publicId, const XMLCh *systemId) override;

    // Appends the element still pending (the last one of a document).
    void flush();

private:
    ElementList &elements_;
    std::optional<XmlElement> current_;
};

}  // namespace lxniccfg
