// The checksum of a definitions file: its first tag carries csum='PLAIN-WEIGHTED',
// two sums over every byte after that tag, as a text-mode read delivers them
// (CR LF read as LF, a Ctrl-Z byte ending the data).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "util/dual_string.h"

namespace lxniccfg {

// The wildcard checksum that passes any content.
inline constexpr std::string_view kWildcardChecksum = "112233-224466";

struct ChecksumSet {
    DualString path;
    DualString computed;
    DualString stored;
    DualString wildcard = DualString::fromNarrow(kWildcardChecksum);
};

// What one pass over a definitions file found.
struct ChecksumScan {
    bool declarationSkipped = false;  // the first line held the UTF-8 declaration
    uint64_t headerRawOffset = 0;     // file offset where the header (first tag) starts
    std::string header;               // the first tag as stored (at most 4,095 bytes)
    uint32_t plainSum = 0;
    uint32_t weightedSum = 0;
};

// Reads the file at a (UTF-8) path; nothing when it cannot be opened.
std::optional<ChecksumScan> ScanChecksums(const std::string &path);

// "%06X-%06X" of the two sums.
std::string FormatChecksum(uint32_t plainSum, uint32_t weightedSum);

// Keeps only 0-9, A-F and '-'.
std::string FilterChecksumText(std::string_view text);

// The header's text after "csum='", or nothing when the header has none.
std::optional<std::string_view> TextAfterChecksumAttribute(const std::string &header);

// 0, or 102 (no path, cannot open) or 101 (no csum attribute); on 0 the
// computed and stored texts are set.
uint32_t ReadChecksums(ChecksumSet &set);

// 0 when the texts match or the stored one is the wildcard, else 101.
uint32_t CompareChecksums(const ChecksumSet &set);

}  // namespace lxniccfg
