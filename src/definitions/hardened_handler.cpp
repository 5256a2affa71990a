#include "definitions/hardened_handler.h"

#include <xercesc/sax/SAXParseException.hpp>

namespace lxniccfg {

void HardenedHandler::warning(const xercesc::SAXParseException &e) { throw e; }
void HardenedHandler::error(const xercesc::SAXParseException &e) { throw e; }
void HardenedHandler::fatalError(const xercesc::SAXParseException &e) { throw e; }

xercesc::InputSource *HardenedHandler::resolveEntity(const XMLCh *publicId,
                                                     const XMLCh *systemId) {
    refuseExternal(publicId, systemId);
}

void HardenedHandler::refuseExternal(const XMLCh *publicId, const XMLCh *systemId) const {
    static const XMLCh kMessage[] = u"external DTDs and entities are not loaded";
    if (locator_) throw xercesc::SAXParseException(kMessage, *locator_);
    throw xercesc::SAXParseException(kMessage, publicId, systemId, 0, 0);
}

}  // namespace lxniccfg
