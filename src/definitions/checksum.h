// The checksum of a definitions file: its first tag carries csum='PLAIN-WEIGHTED',
// two sums over every byte after that tag, as a text-mode read delivers them
// (CR LF read as LF, a Ctrl-Z byte ending the data).
#pragma once

#include <cstddef>
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

// How many of the bytes come before a Ctrl-Z byte (26), which ends the data
// of a file read in text mode: all of them when there is none. A definitions
// file's data ends there, for its checksum and for its parser alike.
std::size_t TextDataLength(const unsigned char *bytes, std::size_t size);

// Counts the checksum of a file handed over in chunks of its raw bytes, in
// file order, as they are read (for instance by the XML parser, so that the
// file is read once). The bytes are taken as a text-mode read delivers them.
class ChecksumCounter {
public:
    // Returns how many of the bytes are data: all, or those before the
    // Ctrl-Z that ends it (TextDataLength), 0 once it has ended.
    std::size_t feed(const unsigned char *bytes, std::size_t size);
    // Whether the data has ended (a Ctrl-Z byte): later bytes count for nothing.
    bool ended() const { return ended_; }
    // At the end of the file: what the pass found. Call once.
    ChecksumScan finish();

private:
    enum class Phase { FirstLine, Header, Body };

    // One character of the text-mode data; rawEnd is the file offset just
    // after its bytes.
    void put(unsigned c, uint64_t rawEnd);
    void putHeader(unsigned c);
    void putBody(unsigned c) {
        scan_.plainSum += c;
        scan_.weightedSum += (position_ & 1) ? c : 2 * c;
        ++position_;
    }
    void endFirstLine(uint64_t rawEnd);
    // Sums raw bytes of the body, from `from` to the end of the chunk or of the data.
    std::size_t feedBody(const unsigned char *bytes, std::size_t from, std::size_t size);
    void sumRun(const unsigned char *run, std::size_t size);
    // Sums whole blocks of body bytes from p on; returns where it stopped.
    const unsigned char *sumBlocks(const unsigned char *p, const unsigned char *end);

    Phase phase_ = Phase::FirstLine;
    std::string firstLine_;
    bool pendingCr_ = false;  // the chunk ended on a CR whose next byte is yet to come
    bool ended_ = false;
    uint64_t raw_ = 0;        // raw bytes taken so far
    uint32_t position_ = 0;   // body position (only its parity matters)
    ChecksumScan scan_;
};

// Reads the file at a (UTF-8) path; nothing when it cannot be opened.
std::optional<ChecksumScan> ScanChecksums(const std::string &path);

// The result of a pass: 101 when the header has no csum attribute, else 0
// with the computed and stored texts set.
uint32_t ChecksumTexts(const ChecksumScan &scan, ChecksumSet &set);

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
