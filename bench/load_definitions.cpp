// lxniccfg_load: a whole process that loads a definitions file as a front end
// does (InitXml, then CloseXml), for comparing with a process that only
// parses the same file.
//
//   lxniccfg_load FILE               InitXml and CloseXml; exits 0 when the file loaded
//   lxniccfg_load --parse-only FILE  the same program, parsing the file with a
//                                    SAX handler that does nothing (the memory
//                                    baseline: same program, same libraries)
#include <cstdio>
#include <cstring>
#include <string>

#include <xercesc/parsers/SAXParser.hpp>
#include <xercesc/sax/HandlerBase.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/XMLException.hpp>

#include "lxniccfg.h"

namespace {

std::u16string Utf16(const char *text) {
    std::u16string out;
    // The benchmark's paths are ASCII.
    for (const char *c = text; *c; ++c) out.push_back(static_cast<unsigned char>(*c));
    return out;
}

int ParseOnly(const char *path) {
    xercesc::XMLPlatformUtils::Initialize();
    int status = 0;
    {
        xercesc::SAXParser parser;
        xercesc::HandlerBase handler;
        parser.setValidationScheme(xercesc::SAXParser::Val_Never);
        parser.setDoNamespaces(false);
        parser.setDocumentHandler(&handler);
        parser.setErrorHandler(&handler);
        try {
            parser.parse(path);
        } catch (...) {
            status = 1;
        }
        if (parser.getErrorCount() != 0) status = 1;
    }
    xercesc::XMLPlatformUtils::Terminate();
    return status;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc == 3 && std::strcmp(argv[1], "--parse-only") == 0) return ParseOnly(argv[2]);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s [--parse-only] FILE\n", argv[0]);
        return 2;
    }
    const std::u16string path = Utf16(argv[1]);
    const uint32_t result = InitXml(path.c_str());
    CloseXml(0);
    if (result != 0) {
        std::fprintf(stderr, "InitXml answered %u\n", result);
        return 1;
    }
    return 0;
}
