// Fuzzes the definitions loader: any bytes as a definitions file, parsed,
// built into a catalog and checked, as InitXml does after the checksum.
#include <cstdint>
#include <cstddef>

#include "definitions/catalog.h"
#include "definitions/loader.h"
#include "definitions/xml_parser.h"
#include "memory_file.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    lxniccfg::InitializeXmlLibrary();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    MemoryFile file(data, size);
    lxniccfg::DefinitionsCatalog catalog;
    lxniccfg::LoadDiagnostics diagnostics;
    lxniccfg::LoadDefinitionsInto(lxniccfg::DualString::fromUtf8(file.path()), catalog, &diagnostics);
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
