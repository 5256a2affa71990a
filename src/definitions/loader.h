// Loading a definitions file into the catalog.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "definitions/catalog.h"
#include "definitions/checksum.h"
#include "definitions/xml_element.h"
#include "definitions/xml_parser.h"

namespace lxniccfg {

// What went wrong in a load, for tools that explain it.
struct LoadDiagnostics {
    bool parseFailed = false;
    int64_t line = 0;
    int64_t column = 0;
    std::string message;         // the parser's message, or the link problem
    std::string definitionType;  // the definition whose links are inconsistent
};

// Loads into the given catalog; diagnostics, when given, say why it failed.
uint32_t LoadDefinitionsInto(const DualString &path, DefinitionsCatalog &catalog,
                             LoadDiagnostics *diagnostics);

// What InitXml does with a file while no definitions are loaded, in one pass
// over the file: its checksum is counted on the very bytes the parser reads.
// 102: the file cannot be opened; 101: its checksum is missing or wrong
// (nothing is loaded, whatever the parse found); otherwise the result of
// LoadDefinitionsInto. The computed and stored texts are set in checksums.
uint32_t LoadCheckedDefinitionsInto(ChecksumSet &checksums, DefinitionsCatalog &catalog);

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

// The same walk, fed one element at a time (the elements are consumed).
class DefinitionsBuilder {
public:
    explicit DefinitionsBuilder(DefinitionsCatalog &catalog);
    ~DefinitionsBuilder();
    DefinitionsBuilder(const DefinitionsBuilder &) = delete;
    DefinitionsBuilder &operator=(const DefinitionsBuilder &) = delete;
    void element(XmlElement &&element);
    // Parses the file (as ParseXmlFile does) and builds each element as soon
    // as the parser reports it, which is what loading a file does. observer,
    // when given, sees every chunk of the file the parser reads.
    void parseFile(platform::InputFile &file, const std::string &systemId, const ByteObserver &observer);
    void end();  // finishes the last definition

private:
    class Walk;
    class Reader;
    std::unique_ptr<Walk> walk_;
};

// Stores a copy of the panel in the slot of its name; a panel without a
// known name is not stored.
void PlacePanel(NicDefinition &definition, Panel panel);

// 0 when every link of the definition (judged by the root of its base chain)
// is consistent, 1 otherwise.
int CheckLinks(const NicDefinition &definition);

// Why the links of a definition (without its base) are inconsistent; nothing
// when they are consistent.
std::optional<std::string> DescribeLinkProblem(const NicDefinition &definition);

}  // namespace lxniccfg
