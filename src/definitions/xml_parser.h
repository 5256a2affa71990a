// Parsing a document file into its flat element list, with a parser that
// never reaches outside the file: no external DTD or entity is loaded and
// entity expansion is bounded.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "definitions/definitions_handler.h"
#include "definitions/hardened_handler.h"
#include "definitions/xml_element.h"
#include "platform/platform.h"

namespace lxniccfg {

// Sees every chunk of a file's bytes as the parser reads it, and answers how
// many of them, from the chunk's start, belong to the document: when fewer
// than all, the document ends there and nothing after it is parsed.
using ByteObserver = std::function<std::size_t(const unsigned char *bytes, std::size_t size)>;

// Keeps the XML library initialised for its lifetime. ok() is false when the
// initialisation failed.
class XmlLibrarySession {
public:
    XmlLibrarySession();
    ~XmlLibrarySession();
    XmlLibrarySession(const XmlLibrarySession &) = delete;
    XmlLibrarySession &operator=(const XmlLibrarySession &) = delete;
    bool ok() const { return ok_; }

private:
    bool ok_ = false;
};

// Initialises the XML library; false when that failed.
bool InitializeXmlLibrary();
void TerminateXmlLibrary();

// Parses the file at path (UTF-8), reporting systemId (UTF-8) as its name,
// with the hardened parser, feeding every event to handler and calling its
// finish() once the whole document was read. Throws
// xercesc::SAXParseException or xercesc::XMLException when the document is
// rejected. The XML library must be initialised.
void ParseXmlFile(const std::string &path, const std::string &systemId, HardenedHandler &handler);
// The same for a file already open, read from where it stands; observer, when
// given, sees every chunk the parser reads, so that the file is read once,
// and may end the document early (as the end of a text file's data does).
void ParseXmlFile(platform::InputFile &file, const std::string &systemId, HardenedHandler &handler,
                  const ByteObserver &observer);
void ParseXmlBuffer(const char *data, std::size_t size, HardenedHandler &handler);

// The same, handing every element to sink in document order.
void ParseXmlFile(const std::string &path, const std::string &systemId, const ElementSink &sink);

// The same, appending every element to elements.
void ParseXmlFile(const std::string &path, const std::string &systemId, ElementList &elements);

// The same for a document held in memory (used by the fuzzing targets).
void ParseXmlBuffer(const char *data, std::size_t size, ElementList &elements);

}  // namespace lxniccfg
