#include "definitions/checksum.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/platform.h"

namespace lxniccfg {
namespace {

constexpr std::string_view kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
constexpr std::size_t kFirstLineChars = 511;
constexpr std::size_t kHeaderBytes = 4095;  // plus the terminator: a 4,096-byte buffer

// C-string view of a buffer that may hold NUL bytes.
std::string_view asCString(const std::string &text) {
    return std::string_view(text.c_str(), std::strlen(text.c_str()));
}

}  // namespace

std::size_t TextDataLength(const unsigned char *bytes, std::size_t size) {
    const void *stop = size ? std::memchr(bytes, 26, size) : nullptr;
    return stop ? static_cast<std::size_t>(static_cast<const unsigned char *>(stop) - bytes) : size;
}

std::size_t ChecksumCounter::feed(const unsigned char *bytes, std::size_t size) {
    if (ended_) return 0;
    const std::size_t data = TextDataLength(bytes, size);
    std::size_t i = 0;
    while (i < size && !ended_) {
        if (phase_ == Phase::Body) {
            i = feedBody(bytes, i, size);
            continue;
        }
        // The first line and the first tag, a character at a time.
        const unsigned c = bytes[i++];
        ++raw_;
        if (pendingCr_) {
            pendingCr_ = false;
            if (c == '\n') {
                put('\n', raw_);
                continue;
            }
            put('\r', raw_ - 1);
            if (phase_ == Phase::Body) {
                // That CR ended the first tag: this byte is the body's.
                --i;
                --raw_;
                continue;
            }
        }
        if (c == 26) {
            ended_ = true;  // Ctrl-Z ends the data
        } else if (c == '\r') {
            pendingCr_ = true;
        } else {
            put(c, raw_);
        }
    }
    return data;
}

void ChecksumCounter::put(unsigned c, uint64_t rawEnd) {
    switch (phase_) {
    case Phase::FirstLine:
        firstLine_.push_back(static_cast<char>(c));
        if (c == '\n' || firstLine_.size() >= kFirstLineChars) endFirstLine(rawEnd);
        break;
    case Phase::Header: putHeader(c); break;
    case Phase::Body: putBody(c); break;
    }
}

void ChecksumCounter::putHeader(unsigned c) {
    if (scan_.header.size() < kHeaderBytes) scan_.header.push_back(static_cast<char>(c));
    if (c == '>') phase_ = Phase::Body;
}

// The first line (at most 511 characters) is skipped when it holds the UTF-8
// declaration; otherwise its characters are the start of the header.
void ChecksumCounter::endFirstLine(uint64_t rawEnd) {
    phase_ = Phase::Header;
    std::string line = std::move(firstLine_);
    firstLine_.clear();
    if (asCString(line).find(kDeclaration) != std::string_view::npos) {
        scan_.declarationSkipped = true;
        scan_.headerRawOffset = rawEnd;
        return;
    }
    for (char c : line) {
        if (phase_ == Phase::Header) putHeader(static_cast<unsigned char>(c));
        else putBody(static_cast<unsigned char>(c));
    }
}

std::size_t ChecksumCounter::feedBody(const unsigned char *bytes, std::size_t from, std::size_t size) {
    const unsigned char *p = bytes + from;
    const unsigned char *const chunkEnd = bytes + size;
    // The data ends at a Ctrl-Z byte.
    const auto *stop = static_cast<const unsigned char *>(std::memchr(p, 26, size - from));
    const unsigned char *const end = stop ? stop : chunkEnd;
    if (pendingCr_ && p < end) {
        pendingCr_ = false;
        if (*p != '\n') putBody('\r');  // a CR not before a LF is a character of its own
    }
#if defined(__SSE2__)
    p = sumBlocks(p, end);
#endif
    while (p < end) {
        // Runs between carriage returns are summed in bulk; a CR before a LF
        // is dropped (the pair reads as one LF).
        const auto *cr = static_cast<const unsigned char *>(std::memchr(p, '\r', static_cast<std::size_t>(end - p)));
        const unsigned char *const runEnd = cr ? cr : end;
        sumRun(p, static_cast<std::size_t>(runEnd - p));
        if (!cr) {
            p = end;
            break;
        }
        p = cr + 1;
        if (p == chunkEnd) pendingCr_ = true;  // decided by the next chunk
        else if (p == end || *p != '\n') putBody('\r');
    }
    if (stop) {
        if (pendingCr_) {
            pendingCr_ = false;
            putBody('\r');
        }
        ended_ = true;
        p = stop + 1;
    }
    raw_ += static_cast<uint64_t>(p - (bytes + from));
    return static_cast<std::size_t>(p - bytes);
}

#if defined(__SSE2__)
namespace {

// The 16 bytes of a block whose bits are set in mask, as 0xFF bytes.
__m128i ByteMask(unsigned mask) {
    const __m128i bits = _mm_set_epi8(-128, 64, 32, 16, 8, 4, 2, 1, -128, 64, 32, 16, 8, 4, 2, 1);
    const __m128i spread = _mm_unpacklo_epi64(_mm_set1_epi8(static_cast<char>(mask & 0xFF)),
                                              _mm_set1_epi8(static_cast<char>(mask >> 8)));
    return _mm_cmpeq_epi8(_mm_and_si128(spread, bits), bits);
}

// kPrefixes[k]: 0xFF in the first k bytes of a block, 0 in the others.
struct alignas(16) PrefixMasks {
    unsigned char bytes[17][16];
};
constexpr PrefixMasks kPrefixes = [] {
    PrefixMasks table{};
    for (unsigned k = 0; k <= 16; ++k)
        for (unsigned i = 0; i < k; ++i) table.bytes[k][i] = 0xFF;
    return table;
}();

__m128i Prefix(unsigned k) { return _mm_load_si128(reinterpret_cast<const __m128i *>(kPrefixes.bytes[k])); }

}  // namespace

// Sums the body sixteen bytes at a time while a block's successor byte lies
// in the data (it decides whether a CR at the block's end is dropped); the
// rest is left to the run-wise loop. A byte's body position follows from its
// block's first position, its offset and the dropped CRs before it in the
// block; only the parity matters. Blocks of 16 bytes without a dropped CR keep
// the parity, so a stretch of them is summed by offset (PSADBW of the bytes
// at even offsets, and of all) and counted by the stretch's parity when it
// ends. A block with a line end is counted at once, by masks.
const unsigned char *ChecksumCounter::sumBlocks(const unsigned char *p, const unsigned char *end) {
    const __m128i crs = _mm_set1_epi8('\r');
    const __m128i lfs = _mm_set1_epi8('\n');
    const __m128i zero = _mm_setzero_si128();
    const __m128i atEvenOffsets = ByteMask(0x5555);
    const __m128i atOddOffsets = ByteMask(0xAAAA);
    __m128i plain = zero;
    __m128i doubled = zero;        // the bytes at even body positions, counted once more
    __m128i stretch = zero;        // the current stretch's bytes
    __m128i stretchEven = zero;    // those of them at even offsets
    uint64_t crsDropped = 0;       // summed with their blocks, taken off at the end
    uint32_t position = position_;
    auto endStretch = [&] {
        plain = _mm_add_epi64(plain, stretch);
        doubled = _mm_add_epi64(doubled, (position & 1) ? _mm_sub_epi64(stretch, stretchEven) : stretchEven);
        stretch = stretchEven = zero;
    };
    for (; end - p > 16; p += 16) {
        // Two blocks at a time while neither holds a CR (a file with LF line
        // ends has none).
        while (end - p > 32) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + 16));
            if (_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(a, crs), _mm_cmpeq_epi8(b, crs))) != 0) break;
            stretch = _mm_add_epi64(stretch, _mm_add_epi64(_mm_sad_epu8(a, zero), _mm_sad_epu8(b, zero)));
            stretchEven = _mm_add_epi64(stretchEven, _mm_add_epi64(_mm_sad_epu8(_mm_and_si128(a, atEvenOffsets), zero),
                                                                   _mm_sad_epu8(_mm_and_si128(b, atEvenOffsets), zero)));
            p += 32;
        }
        if (end - p <= 16) break;
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        const unsigned cr = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, crs)));
        unsigned dropped = 0;
        if (cr != 0) {
            const unsigned lf = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, lfs))) |
                                (p[16] == '\n' ? 0x10000u : 0u);
            dropped = cr & (lf >> 1);
        }
        if (dropped == 0) {
            // No line end (lone CRs are characters of their own).
            stretch = _mm_add_epi64(stretch, _mm_sad_epu8(block, zero));
            stretchEven = _mm_add_epi64(stretchEven, _mm_sad_epu8(_mm_and_si128(block, atEvenOffsets), zero));
            continue;
        }
        endStretch();
        const __m128i first = (position & 1) ? atOddOffsets : atEvenOffsets;
        const __m128i second = (position & 1) ? atEvenOffsets : atOddOffsets;
        __m128i even;
        unsigned count = 1;
        if ((dropped & (dropped - 1)) == 0) {
            // One line end, the usual case: the bytes before the dropped CR
            // keep the block's parity, those after it take the other.
            const unsigned k = static_cast<unsigned>(std::countr_zero(dropped));
            even = _mm_or_si128(_mm_and_si128(Prefix(k), first),
                                _mm_andnot_si128(Prefix(k + 1), second));
        } else {
            // Bit i: whether an odd number of dropped CRs precede offset i.
            unsigned flips = dropped << 1;
            flips ^= flips << 1;
            flips ^= flips << 2;
            flips ^= flips << 4;
            flips ^= flips << 8;
            const unsigned odd = ((position & 1) ? 0xFFFFu : 0u) ^ 0xAAAAu ^ flips;
            even = ByteMask(~dropped & ~odd & 0xFFFFu);
            count = static_cast<unsigned>(std::popcount(dropped));
        }
        plain = _mm_add_epi64(plain, _mm_sad_epu8(block, zero));
        crsDropped += static_cast<uint64_t>(count);
        doubled = _mm_add_epi64(doubled, _mm_sad_epu8(_mm_and_si128(block, even), zero));
        position -= count;
    }
    endStretch();
    const uint64_t total = static_cast<uint64_t>(_mm_cvtsi128_si64(plain)) +
                           static_cast<uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(plain, plain))) -
                           '\r' * crsDropped;
    const uint64_t twice = static_cast<uint64_t>(_mm_cvtsi128_si64(doubled)) +
                           static_cast<uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(doubled, doubled)));
    scan_.plainSum += static_cast<uint32_t>(total);
    scan_.weightedSum += static_cast<uint32_t>(total + twice);
    position_ = position;
    return p;
}
#endif

// Adds a run of body bytes: every byte to the plain sum, and every byte twice
// to the weighted sum when its body position is even, once when it is odd.
// Eight bytes at a time, in 16-bit lanes: the bytes at even offsets of the
// run in one word, those at odd offsets in another.
void ChecksumCounter::sumRun(const unsigned char *run, std::size_t size) {
    constexpr uint64_t kLowBytes = 0x00FF00FF00FF00FFull;
    auto lanes = [](uint64_t x) {
        return (x & 0xFFFF) + ((x >> 16) & 0xFFFF) + ((x >> 32) & 0xFFFF) + (x >> 48);
    };
    uint64_t total = 0, atEven = 0;
    std::size_t i = 0;
    while (size - i >= 8) {
        // 256 words at most, so that no 16-bit lane overflows (256 x 255).
        const std::size_t words = std::min<std::size_t>((size - i) / 8, 256);
        uint64_t even = 0, odd = 0;
        for (std::size_t w = 0; w < words; ++w, i += 8) {
            uint64_t x;
            std::memcpy(&x, run + i, sizeof x);
            if constexpr (std::endian::native == std::endian::big) x = __builtin_bswap64(x);
            even += x & kLowBytes;
            odd += (x >> 8) & kLowBytes;
        }
        const uint64_t e = lanes(even);
        atEven += e;
        total += e + lanes(odd);
    }
    for (std::size_t k = i; k < size; ++k) {
        total += run[k];
        if ((k & 1) == 0) atEven += run[k];
    }
    // Offsets in the run are even where body positions have the parity of its start.
    const uint64_t doubled = (position_ & 1) ? total - atEven : atEven;
    scan_.plainSum += static_cast<uint32_t>(total);
    scan_.weightedSum += static_cast<uint32_t>(total + doubled);
    position_ += static_cast<uint32_t>(size);
}

ChecksumScan ChecksumCounter::finish() {
    if (pendingCr_) {
        pendingCr_ = false;
        put('\r', raw_);
    }
    if (phase_ == Phase::FirstLine) {
        // The file ended within its first line.
        const bool declaration = asCString(firstLine_).find(kDeclaration) != std::string_view::npos;
        endFirstLine(raw_);
        if (declaration) return std::move(scan_);  // nothing after it: no header at all
    }
    // The end of the data is handled like one more character of value -1.
    if (phase_ == Phase::Header) putHeader(255);
    else putBody(0xFFFFFFFFu);
    return std::move(scan_);
}

std::optional<ChecksumScan> ScanChecksums(const std::string &path) {
    platform::InputFile file;
    if (!file.open(path)) return std::nullopt;
    ChecksumCounter counter;
    std::vector<unsigned char> buffer(1 << 16);
    while (!counter.ended()) {
        const long n = file.read(buffer.data(), buffer.size());
        if (n <= 0) break;  // a read error ends the data
        counter.feed(buffer.data(), static_cast<std::size_t>(n));
    }
    return counter.finish();
}

uint32_t ChecksumTexts(const ChecksumScan &scan, ChecksumSet &set) {
    std::optional<std::string_view> after = TextAfterChecksumAttribute(scan.header);
    if (!after) return 101;
    set.stored = DualString::fromNarrow(FilterChecksumText(*after));
    set.computed = DualString::fromNarrow(FilterChecksumText(FormatChecksum(scan.plainSum, scan.weightedSum)));
    return 0;
}

std::string FormatChecksum(uint32_t plainSum, uint32_t weightedSum) {
    char text[32];
    std::snprintf(text, sizeof text, "%06X-%06X", plainSum, weightedSum);
    return text;
}

std::string FilterChecksumText(std::string_view text) {
    std::string kept;
    for (char c : text)
        if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || c == '-') kept.push_back(c);
    return kept;
}

std::optional<std::string_view> TextAfterChecksumAttribute(const std::string &header) {
    std::string_view text = asCString(header);
    std::size_t at = text.find("csum='");
    if (at == std::string_view::npos) return std::nullopt;
    return text.substr(at + 6);
}

uint32_t ReadChecksums(ChecksumSet &set) {
    if (set.path.isNone()) return 102;
    std::optional<ChecksumScan> scan = ScanChecksums(set.path.narrowText());
    if (!scan) return 102;
    return ChecksumTexts(*scan, set);
}

uint32_t CompareChecksums(const ChecksumSet &set) {
    if (set.computed.equals(set.stored)) return 0;
    if (set.stored.equals(set.wildcard)) return 0;
    return 101;
}

}  // namespace lxniccfg
