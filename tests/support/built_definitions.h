// Definitions built from a document given as text, for unit tests of the
// model and the loader.
#pragma once

#include <string>

#include "definitions/catalog.h"
#include "definitions/loader.h"
#include "definitions/xml_parser.h"

namespace testing_support {

inline lxniccfg::DualString N(const char *text) { return lxniccfg::DualString::fromUtf8(text); }

// Parses a document given as text and builds it into a fresh catalog.
class Built {
public:
    explicit Built(const std::string &xml) {
        lxniccfg::XmlLibrarySession session;
        lxniccfg::ElementList elements;
        lxniccfg::ParseXmlBuffer(xml.data(), xml.size(), elements);
        lxniccfg::BuildDefinitions(elements, catalog);
    }
    const lxniccfg::NicDefinition &at(int i) const { return *catalog.slot(i); }
    lxniccfg::DefinitionsCatalog catalog;
};

}  // namespace testing_support
