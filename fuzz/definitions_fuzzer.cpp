// Fuzzes the definitions loader: any bytes as a definitions file, parsed,
// built into a catalog and checked, as InitXml does after the checksum. A
// file that parses must also give the same definitions when built from its
// element list (of the data up to any Ctrl-Z, where the file's data ends).
#include <cstdint>
#include <cstddef>
#include <cstdio>
#include <cstdlib>

#include "definitions/catalog.h"
#include "definitions/checksum.h"
#include "definitions/loader.h"
#include "definitions/xml_parser.h"
#include "memory_file.h"
#include "support/same_definitions.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    lxniccfg::InitializeXmlLibrary();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    MemoryFile file(data, size);
    lxniccfg::DefinitionsCatalog catalog;
    lxniccfg::LoadDiagnostics diagnostics;
    const uint32_t result =
        lxniccfg::LoadDefinitionsInto(lxniccfg::DualString::fromUtf8(file.path()), catalog, &diagnostics);
    if (result != 102 && !diagnostics.parseFailed) {
        lxniccfg::DefinitionsCatalog listed;
        lxniccfg::ElementList elements;
        // The loader's document ends at a Ctrl-Z, as the file's data does.
        lxniccfg::ParseXmlBuffer(reinterpret_cast<const char *>(data), lxniccfg::TextDataLength(data, size),
                                 elements);
        lxniccfg::BuildDefinitions(elements, listed);
        std::string difference = testing_support::DefinitionsDifference(catalog, listed);
        if (!difference.empty()) {
            std::fprintf(stderr, "built differently from the element list: %s\n", difference.c_str());
            std::abort();
        }
    }
    // Exercise the look-ups on whatever was built.
    for (int i = 0; i < lxniccfg::DefinitionsCatalog::kSlots && catalog.slot(i); ++i) {
        const lxniccfg::NicDefinition &d = *catalog.slot(i);
        for (const lxniccfg::PropertyDef &p : d.properties) {
            lxniccfg::FindProperty(d, p.id);
            lxniccfg::FindEnumValue(d, p.id, p.defaultValue);
            lxniccfg::FindEnumId(d, p.id, p.defaultValue);
        }
        for (int slot = 0; slot < lxniccfg::kPanelSlotCount; ++slot) d.panel(slot);
    }
    return 0;
}
