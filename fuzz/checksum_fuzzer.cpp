// Fuzzes the checksum reader: any bytes as a definitions file.
#include <cstdint>
#include <cstddef>

#include "definitions/checksum.h"
#include "memory_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    MemoryFile file(data, size);
    lxniccfg::ChecksumSet set;
    set.path = lxniccfg::DualString::fromUtf8(file.path());
    if (lxniccfg::ReadChecksums(set) == 0) lxniccfg::CompareChecksums(set);
    return 0;
}
