#include "definitions/xml_parser.h"

#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/parsers/SAXParser.hpp>
#include <xercesc/sax/InputSource.hpp>
#include <xercesc/util/BinInputStream.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/RuntimeException.hpp>
#include <xercesc/util/SecurityManager.hpp>
#include <xercesc/util/XMLException.hpp>

#include <algorithm>

#include "definitions/definitions_handler.h"
#include "platform/platform.h"

namespace lxniccfg {
namespace {

// Entity expansions allowed in one document. The files read here need none;
// the bound keeps a document of nested entities from growing without limit.
constexpr XMLSize_t kEntityExpansionLimit = 100;

// Streams a file's bytes to the parser through the platform layer, showing
// each chunk to an observer on the way; the observer may end the document
// within a chunk.
class FileStream : public xercesc::BinInputStream {
public:
    FileStream(platform::InputFile &file, const ByteObserver *observer) : file_(file), observer_(observer) {}
    XMLFilePos curPos() const override { return position_; }
    XMLSize_t readBytes(XMLByte *const toFill, const XMLSize_t maxToRead) override {
        if (ended_) return 0;
        long n = file_.read(toFill, maxToRead);
        if (n < 0)
            throw xercesc::RuntimeException(__FILE__, __LINE__,
                                            xercesc::XMLExcepts::File_CouldNotReadFromFile);
        std::size_t kept = static_cast<std::size_t>(n);
        if (n > 0 && observer_ && *observer_) {
            kept = std::min(kept, (*observer_)(toFill, static_cast<std::size_t>(n)));
            ended_ = kept < static_cast<std::size_t>(n);
        }
        position_ += static_cast<XMLFilePos>(kept);
        return static_cast<XMLSize_t>(kept);
    }
    const XMLCh *getContentType() const override { return nullptr; }

private:
    platform::InputFile &file_;
    const ByteObserver *observer_;
    XMLFilePos position_ = 0;
    bool ended_ = false;
};

// The document in an open file; the file stays with the caller.
class OpenFileSource : public xercesc::InputSource {
public:
    OpenFileSource(platform::InputFile &file, const std::string &systemId, const ByteObserver *observer)
        : file_(file), observer_(observer) {
        std::u16string id = fromUtf8(systemId);
        setSystemId(id.c_str());
    }
    xercesc::BinInputStream *makeStream() const override {
        if (!file_.isOpen()) return nullptr;  // the parser reports the failure
        return new FileStream(file_, observer_);  // the parser takes ownership
    }

private:
    platform::InputFile &file_;
    const ByteObserver *observer_;
};

// A SAX parser that refuses a document naming an external DTD subset as soon
// as its document type declaration is read.
class HardenedParser : public xercesc::SAXParser {
public:
    explicit HardenedParser(HardenedHandler &handler) : handler_(handler) {}
    void doctypeDecl(const xercesc::DTDElementDecl &root, const XMLCh *const publicId,
                     const XMLCh *const systemId, const bool hasIntSubset,
                     const bool hasExtSubset) override {
        if (hasExtSubset) handler_.refuseExternal(publicId, systemId);
        SAXParser::doctypeDecl(root, publicId, systemId, hasIntSubset, hasExtSubset);
    }
    // Lets the handler read the start tag's attributes from the scanner's
    // list while the SAX 1 parser reports the element.
    void startElement(const xercesc::XMLElementDecl &element, const unsigned int uriId, const XMLCh *const prefix,
                      const xercesc::RefVectorOf<xercesc::XMLAttr> &attributes, const XMLSize_t count,
                      const bool isEmpty, const bool isRoot) override {
        handler_.setScannedAttributes(&attributes, count);
        SAXParser::startElement(element, uriId, prefix, attributes, count, isEmpty, isRoot);
        handler_.setScannedAttributes(nullptr, 0);
    }

private:
    HardenedHandler &handler_;
};

void ParseXml(const xercesc::InputSource &source, HardenedHandler &handler) {
    xercesc::SecurityManager security;
    security.setEntityExpansionLimit(kEntityExpansionLimit);

    HardenedParser parser(handler);
    parser.setValidationScheme(xercesc::SAXParser::Val_Never);
    parser.setDoNamespaces(false);
    parser.setDoSchema(false);
    parser.setLoadExternalDTD(false);
    parser.setDisableDefaultEntityResolution(true);
    parser.setSecurityManager(&security);
    parser.setDocumentHandler(&handler);
    parser.setErrorHandler(&handler);
    parser.setEntityResolver(&handler);
    parser.setDTDHandler(&handler);  // also makes the parser report the document type
    parser.parse(source);
    handler.finish();
}

void Parse(const xercesc::InputSource &source, const ElementSink &sink) {
    DefinitionsHandler handler(sink);
    ParseXml(source, handler);
}

}  // namespace

bool InitializeXmlLibrary() {
    try {
        xercesc::XMLPlatformUtils::Initialize();
        return true;
    } catch (const xercesc::XMLException &) {
        return false;
    }
}

void TerminateXmlLibrary() { xercesc::XMLPlatformUtils::Terminate(); }

XmlLibrarySession::XmlLibrarySession() : ok_(InitializeXmlLibrary()) {}

XmlLibrarySession::~XmlLibrarySession() {
    if (ok_) TerminateXmlLibrary();
}

void ParseXmlFile(const std::string &path, const std::string &systemId, HardenedHandler &handler) {
    platform::InputFile file;
    file.open(path);  // a file that cannot be opened makes the parse fail
    OpenFileSource source(file, systemId, nullptr);
    ParseXml(source, handler);
}

void ParseXmlFile(platform::InputFile &file, const std::string &systemId, HardenedHandler &handler,
                  const ByteObserver &observer) {
    OpenFileSource source(file, systemId, &observer);
    ParseXml(source, handler);
}

void ParseXmlFile(const std::string &path, const std::string &systemId, const ElementSink &sink) {
    DefinitionsHandler handler(sink);
    ParseXmlFile(path, systemId, handler);
}

void ParseXmlFile(const std::string &path, const std::string &systemId, ElementList &elements) {
    ParseXmlFile(path, systemId, [&](XmlElement &&e) { elements.append(std::move(e)); });
}

void ParseXmlBuffer(const char *data, std::size_t size, HardenedHandler &handler) {
    xercesc::MemBufInputSource source(reinterpret_cast<const XMLByte *>(data), size, "buffer");
    ParseXml(source, handler);
}

void ParseXmlBuffer(const char *data, std::size_t size, ElementList &elements) {
    xercesc::MemBufInputSource source(reinterpret_cast<const XMLByte *>(data), size, "buffer");
    Parse(source, [&](XmlElement &&e) { elements.append(std::move(e)); });
}

}  // namespace lxniccfg
