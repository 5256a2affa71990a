// HardenedHandler: the base of every SAX handler of this library. Any parser
// warning or error ends the parse with a SAXParseException, and nothing
// outside the document is ever read: a document that names an external DTD
// or uses an external entity is rejected without opening it.
#pragma once

#include <xercesc/sax/HandlerBase.hpp>

namespace lxniccfg {

class HardenedHandler : public xercesc::HandlerBase {
public:
    void warning(const xercesc::SAXParseException &e) override;
    void error(const xercesc::SAXParseException &e) override;
    void fatalError(const xercesc::SAXParseException &e) override;

    void setDocumentLocator(const xercesc::Locator *locator) override { locator_ = locator; }

    xercesc::InputSource *resolveEntity(const XMLCh *publicId, const XMLCh *systemId) override;
    [[noreturn]] void refuseExternal(const XMLCh *publicId, const XMLCh *systemId) const;

    // Called once the parser has read the whole document without an error.
    virtual void finish() {}

protected:
    const xercesc::Locator *locator() const { return locator_; }

private:
    const xercesc::Locator *locator_ = nullptr;
};

}  // namespace lxniccfg
