// HardenedHandler: the base of every SAX handler of this library. Any parser
// warning or error ends the parse with a SAXParseException, and nothing
// outside the document is ever read: a document that names an external DTD
// or uses an external entity is rejected without opening it.
#pragma once

#include <xercesc/framework/XMLAttr.hpp>
#include <xercesc/sax/HandlerBase.hpp>
#include <xercesc/util/RefVectorOf.hpp>

namespace lxniccfg {

// The attributes of the start tag being reported, read from the list the
// scanner filled: the names and values the AttributeList of startElement
// gives, in the same order, without two virtual calls and a bounds check
// per text. Valid during startElement only.
class ScannedAttributes {
public:
    void set(const xercesc::RefVectorOf<xercesc::XMLAttr> *list, XMLSize_t count) {
        list_ = list;
        count_ = list ? count : 0;
    }
    XMLSize_t count() const { return count_; }
    // The attribute's name as written (a name without a colon is its local part).
    const XMLCh *name(XMLSize_t i) const {
        const xercesc::XMLAttr *attribute = list_->elementAt(i);
        const xercesc::QName *name = attribute->getAttName();
        return *name->getPrefix() == 0 ? name->getLocalPart() : attribute->getQName();
    }
    const XMLCh *value(XMLSize_t i) const { return list_->elementAt(i)->getValue(); }

private:
    const xercesc::RefVectorOf<xercesc::XMLAttr> *list_ = nullptr;
    XMLSize_t count_ = 0;
};

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

    // Set by the parser for the start tag it is about to report.
    void setScannedAttributes(const xercesc::RefVectorOf<xercesc::XMLAttr> *list, XMLSize_t count) {
        scanned_.set(list, count);
    }

protected:
    const xercesc::Locator *locator() const { return locator_; }
    // The attributes of the start tag startElement reports.
    const ScannedAttributes &scannedAttributes() const { return scanned_; }

private:
    const xercesc::Locator *locator_ = nullptr;
    ScannedAttributes scanned_;
};

}  // namespace lxniccfg
