#include "definitions/xml_parser.h"

#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/parsers/SAXParser.hpp>
#include <xercesc/sax/InputSource.hpp>
#include <xercesc/util/BinInputStream.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/RuntimeException.hpp>
#include <xercesc/util/SecurityManager.hpp>
#include <xercesc/util/XMLException.hpp>

#include "definitions/definitions_handler.h"
#include "platform/platform.h"

namespace lxniccfg {
namespace {

// Entity expansions allowed in one document. The files read here need none;
// the bound keeps a document of nested entities from growing without limit.
constexpr XMLSize_t kEntityExpansionLimit = 100;

// Streams a file's bytes to the parser through the platform layer.
class FileStream : public xercesc::BinInputStream {
public:
    explicit FileStream(platform::InputFile file) : file_(std::move(file)) {}
    XMLFilePos curPos() const override { return position_; }
    XMLSize_t readBytes(XMLByte *const toFill, const XMLSize_t maxToRead) override {
        long n = file_.read(toFill, maxToRead);
        if (n < 0)
            throw xercesc::RuntimeException(__FILE__, __LINE__,
                                            xercesc::XMLExcepts::File_CouldNotReadFromFile);
        position_ += static_cast<XMLFilePos>(n);
        return static_cast<XMLSize_t>(n);
    }
    const XMLCh *getContentType() const override { return nullptr; }

private:
    platform::InputFile file_;
    XMLFilePos position_ = 0;
};

class FileSource : public xercesc::InputSource {
public:
    FileSource(std::string path, const std::string &systemId) : path_(std::move(path)) {
        std::u16string id = fromUtf8(systemId);
        setSystemId(id.c_str());
    }
    xercesc::BinInputStream *makeStream() const override {
        platform::InputFile file;
        if (!file.open(path_)) return nullptr;  // the parser reports the failure
        return new FileStream(std::move(file));  // the parser takes ownership
    }

private:
    std::string path_;
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
    FileSource source(path, systemId);
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
