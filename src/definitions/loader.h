// Loading a definitions file into the catalog.
#pragma once

#include <cstdint>
#include <string>

#include "definitions/catalog.h"
#include "definitions/xml_element.h"

namespace lxniccfg {

// Parses the file (UTF-16 path) and builds its definitions into the catalog.
// 0: loaded; 102: the file does not exist; 100: the parse failed (the
// catalog is left as it was) or the property links are inconsistent (the
// definitions stay loaded). The XML library must be initialised.
uint32_t LoadDefinitions(const DualString &path);

// "file://" and the absolute path, every byte other than unreserved
// characters and '/' percent-encoded.
std::string MakeFileUrl(const std::string &path);

// Builds one definition per "nic" element of the list into the catalog.
void BuildDefinitions(ElementList &elements, DefinitionsCatalog &catalog);

// Stores a copy of the panel in the slot of its name; a panel without a
// known name is not stored.
void PlacePanel(NicDefinition &definition, const Panel &panel);

// 0 when every link of the definition (judged by the root of its base chain)
// is consistent, 1 otherwise.
int CheckLinks(const NicDefinition &definition);

}  // namespace lxniccfg
