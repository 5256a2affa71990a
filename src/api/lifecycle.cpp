// InitXml and CloseXml: loading the definitions and shutting down.
#include "lxniccfg.h"

#include "api/library_state.h"
#include "definitions/catalog.h"
#include "definitions/checksum.h"
#include "definitions/loader.h"
#include "definitions/xml_parser.h"
#include "nicif/nicif.h"

using namespace lxniccfg;

extern "C" uint32_t InitXml(const lx_wchar *path) {
    return Guarded(100, [&]() -> uint32_t {
        LibraryState &state = State();
        // The XML library is initialised on every call; the library keeps one
        // initialisation of its own until CloseXml.
        if (!InitializeXmlLibrary()) return 103;
        if (state.xmlLibraryHeld) TerminateXmlLibrary();
        state.xmlLibraryHeld = true;

        ChecksumSet checksums;
        checksums.path = DualString(path);
        if (state.definitionsLoaded) {
            // Loaded already: the file given is only checked.
            uint32_t result = ReadChecksums(checksums);
            if (result == 0) result = CompareChecksums(checksums);
            return result;
        }
        // The checksum is counted while the file is parsed; a file whose
        // checksum fails loads nothing (101), whatever the parse found.
        uint32_t result = LoadCheckedDefinitionsInto(checksums, Catalog());
        if (result != 101 && result != 102) state.definitionsLoaded = true;  // also when the load failed
        return result;
    });
}

extern "C" void CloseXml(uint8_t flag) {
    GuardedVoid([&] {
        LibraryState &state = State();
        Catalog().clear();
        NicIfClose(flag);
        if (state.xmlLibraryHeld) TerminateXmlLibrary();
        state.xmlLibraryHeld = false;
        // A later InitXml loads the file it is given.
        state.definitionsLoaded = false;
    });
}
