#include "script/script_encoding.h"

#include <algorithm>
#include <charconv>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/TransService.hpp>
#include <xercesc/util/XMLException.hpp>

#include "platform/platform.h"

namespace lxniccfg {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsXmlChar(char32_t c) {
    if (c < 0x20) return c == 0x9 || c == 0xA || c == 0xD;
    if (c >= 0xD800 && c <= 0xDFFF) return false;
    return c != 0xFFFE && c != 0xFFFF && c <= 0x10FFFF;
}

// A character that ISO-8859-1 writes as its own byte: what appendCodePoint
// does with it, without the checks.
bool PlainLatin1(char32_t c) { return c >= 0x20 ? c < 0x100 : (c == 0x9 || c == 0xA || c == 0xD); }

void AppendReference(ScriptOutput &out, char32_t c) {
    char *start = out.room(16);
    char *p = start;
    *p++ = '&';
    *p++ = '#';
    p = std::to_chars(p, start + 15, static_cast<unsigned long>(c)).ptr;
    *p++ = ';';
    out.advance(static_cast<std::size_t>(p - start));
}

// The reference an attribute value writes for a character, or nullptr.
const char *EscapeFor(char16_t c) {
    switch (c) {
    case u'&': return "&amp;";
    case u'<': return "&lt;";
    case u'>': return "&gt;";
    case u'\'': return "&apos;";
    case u'"': return "&quot;";
    case u'\t': return "&#9;";
    case u'\n': return "&#10;";
    case u'\r': return "&#13;";
    default: return nullptr;
    }
}

// Printable ASCII other than the five markup characters, backslash and tilde:
// the characters that every supported encoding writes as their own byte and
// that an attribute value carries without a reference.
constexpr bool FastPlain(char16_t c) {
    return c >= 0x20 && c <= 0x7D && c != u'&' && c != u'<' && c != u'>' && c != u'\\' && c != u'\'' &&
           c != u'"';
}

#if defined(__SSE2__)
// The lanes of eight characters that are not FastPlain, as a byte mask (two
// bits a lane). A lane is out when it is below 0x20 or above 0x7D
// (characters from 0x8000 compare as negative) or one of the six excluded.
int NotFastPlain(__m128i v) {
    __m128i out = _mm_or_si128(_mm_cmplt_epi16(v, _mm_set1_epi16(0x20)), _mm_cmpgt_epi16(v, _mm_set1_epi16(0x7D)));
    for (char16_t excluded : {u'&', u'<', u'>', u'\\', u'\'', u'"'})
        out = _mm_or_si128(out, _mm_cmpeq_epi16(v, _mm_set1_epi16(static_cast<short>(excluded))));
    return _mm_movemask_epi8(out);
}

#endif

// Writes the leading characters of p[0, n) that are FastPlain as bytes to d,
// eight at a time; returns how many (a text of four to seven characters is
// written whole or not at all, a shorter one is left to the caller). d has
// room for n bytes; beyond the count returned, the bytes it holds are not
// yet written. Nothing outside p[0, n) is read.
std::size_t CopyFastPlain([[maybe_unused]] const char16_t *p, [[maybe_unused]] std::size_t n,
                          [[maybe_unused]] char *d) {
    std::size_t i = 0;
#if defined(__SSE2__)
    if (n < 8) {
        // Four to seven characters: the first four and the last four (which
        // overlap) checked and narrowed together; all of them or none.
        if (n < 4) return 0;
        const __m128i v = _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i *>(p)),
                                             _mm_loadl_epi64(reinterpret_cast<const __m128i *>(p + n - 4)));
        if (NotFastPlain(v)) return 0;
        const __m128i narrowed = _mm_packus_epi16(v, v);
        const int first = _mm_cvtsi128_si32(narrowed);
        const int last = _mm_cvtsi128_si32(_mm_srli_si128(narrowed, 4));
        std::memcpy(d + n - 4, &last, 4);
        std::memcpy(d, &first, 4);
        return n;
    }
    // The last block overlaps the one before it instead of reading past n.
    for (std::size_t at = 0;; at = std::min(at + 8, n - 8)) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + at));
        _mm_storel_epi64(reinterpret_cast<__m128i *>(d + at), _mm_packus_epi16(v, v));
        if (const int mask = NotFastPlain(v)) return at + static_cast<std::size_t>(__builtin_ctz(mask)) / 2;
        i = at + 8;
        if (i == n) break;
    }
#endif
    return i;
}

}  // namespace

ScriptCharset EnvironmentCharset() {
    return platform::oemCodePage() == 932 ? ScriptCharset::ShiftJis : ScriptCharset::Latin1;
}

const char *DeclaredEncodingName(ScriptCharset charset) {
    return charset == ScriptCharset::ShiftJis ? "Shift_jis" : "ISO-8859-1";
}

ScriptOutput::ScriptOutput(std::size_t capacity) {
    capacity = std::max<std::size_t>(capacity, 64);
    buffer_ = std::make_unique_for_overwrite<char[]>(capacity);
    next_ = buffer_.get();
    end_ = next_ + capacity;
}

void ScriptOutput::grow(std::size_t n) {
    const std::size_t used = size();
    const std::size_t capacity = std::max((used + n) * 2, static_cast<std::size_t>(end_ - buffer_.get()) * 2);
    std::unique_ptr<char[]> grown = std::make_unique_for_overwrite<char[]>(capacity);
    std::memcpy(grown.get(), buffer_.get(), used);
    buffer_ = std::move(grown);
    next_ = buffer_.get() + used;
    end_ = buffer_.get() + capacity;
}

ScriptEncoder::ScriptEncoder(ScriptCharset charset) : charset_(charset) {
    if (charset_ == ScriptCharset::ShiftJis && xercesc::XMLPlatformUtils::fgTransService) {
        xercesc::XMLTransService::Codes code = xercesc::XMLTransService::Ok;
        try {
            transcoder_.reset(xercesc::XMLPlatformUtils::fgTransService->makeNewTranscoderFor(
                DeclaredEncodingName(charset_), code, 64));
        } catch (const xercesc::XMLException &) {
            transcoder_.reset();
        }
        if (code != xercesc::XMLTransService::Ok) transcoder_.reset();
    }
    for (unsigned c = 0; c < 0x100; ++c) {
        if (charset_ == ScriptCharset::Latin1) {
            plain_[c] = PlainLatin1(c);
        } else if (c < 0x80 && IsXmlChar(c)) {
            // Shift_JIS writes most of ASCII as it is; which characters it
            // does is the transcoder's to say.
            std::string bytes;
            plain_[c] = encodeExactly(static_cast<char16_t>(c), bytes) && bytes.size() == 1 &&
                        static_cast<unsigned char>(bytes[0]) == c;
        }
        plainUnescaped_[c] = plain_[c] && !EscapeFor(static_cast<char16_t>(c));
    }
    fastPlain_ = true;
    for (unsigned c = 0; c < 0x80; ++c)
        if (FastPlain(static_cast<char16_t>(c)) && !plainUnescaped_[c]) fastPlain_ = false;
}

ScriptEncoder::~ScriptEncoder() = default;

void ScriptEncoder::appendAscii(ScriptOutput &out, std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        // The run of characters written as they are, in one piece.
        const std::size_t start = i;
        while (i < text.size() && plain_[static_cast<unsigned char>(text[i])]) ++i;
        out.append(text.substr(start, i - start));
        if (i < text.size()) appendCodePoint(out, static_cast<unsigned char>(text[i++]));
    }
}

char *ScriptEncoder::writePlainEscaped(char *d, std::u16string_view text) const {
    const char16_t *p = text.data();
    const std::size_t n = text.size();
    std::size_t i = fastPlain_ ? CopyFastPlain(p, n, d) : 0;
    for (; i < n; ++i) {
        if (p[i] >= 0x100 || !plainUnescaped_[p[i]]) return nullptr;
        d[i] = static_cast<char>(p[i]);
    }
    return d + n;
}

void ScriptEncoder::append(ScriptOutput &out, std::u16string_view text) {
    appendText<false>(out, text);
}

void ScriptEncoder::appendEscaped(ScriptOutput &out, std::u16string_view text) {
    appendText<true>(out, text);
}

template <bool kEscape>
void ScriptEncoder::appendText(ScriptOutput &out, std::u16string_view text) {
    const std::array<bool, 256> &plain = kEscape ? plainUnescaped_ : plain_;
    const char16_t *p = text.data();
    const char16_t *const end = p + text.size();
    while (p < end) {
        // The run of characters written as one byte of the same value.
        const std::size_t left = static_cast<std::size_t>(end - p);
        char *const start = out.room(left);
        char *d = start;
        if (fastPlain_) {
            const std::size_t copied = CopyFastPlain(p, left, d);
            p += copied;
            d += copied;
        }
        while (p < end && *p < 0x100 && plain[*p]) *d++ = static_cast<char>(*p++);
        out.advance(static_cast<std::size_t>(d - start));
        if (p == end) break;
        char32_t c = *p++;
        if (kEscape) {
            if (const char *reference = EscapeFor(static_cast<char16_t>(c))) {
                // Entity references are ASCII, written as every other ASCII text.
                appendAscii(out, reference);
                continue;
            }
        }
        if (c >= 0xD800 && c <= 0xDBFF && p < end && *p >= 0xDC00 && *p <= 0xDFFF)
            c = 0x10000 + ((c - 0xD800) << 10) + (*p++ - 0xDC00);
        appendCodePoint(out, c);
    }
}

void ScriptEncoder::appendCodePoint(ScriptOutput &out, char32_t c) {
    if (!IsXmlChar(c)) c = kReplacement;
    if (charset_ == ScriptCharset::Latin1) {
        if (c < 0x100) out.push(static_cast<char>(c));
        else AppendReference(out, c);
        return;
    }
    // Shift_JIS holds no character beyond the first plane.
    if (c > 0xFFFF) {
        AppendReference(out, c);
        return;
    }
    char16_t unit = static_cast<char16_t>(c);
    auto cached = cache_.find(unit);
    if (cached == cache_.end()) {
        std::string bytes;
        if (!encodeExactly(unit, bytes)) bytes.clear();
        cached = cache_.emplace(unit, std::move(bytes)).first;
    }
    if (cached->second.empty()) AppendReference(out, c);
    else out.append(cached->second);
}

// The bytes of one character, accepted only when decoding them gives the
// same character back (a converter's best-fit mapping would lose it).
bool ScriptEncoder::encodeExactly(char16_t c, std::string &bytes) {
    if (!transcoder_) {
        // Without a transcoder only the characters every Shift_JIS variant
        // shares with ASCII are written as they are.
        if (c < 0x80 && c != u'\\' && c != u'~') {
            bytes.assign(1, static_cast<char>(c));
            return true;
        }
        return false;
    }
    try {
        if (!transcoder_->canTranscodeTo(c)) return false;
        const XMLCh source[1] = {c};
        XMLByte encoded[16];
        XMLSize_t eaten = 0;
        XMLSize_t produced = transcoder_->transcodeTo(source, 1, encoded, sizeof encoded, eaten,
                                                      xercesc::XMLTranscoder::UnRep_Throw);
        if (eaten != 1 || produced == 0) return false;
        XMLCh decoded[8];
        unsigned char sizes[8];
        XMLSize_t used = 0;
        XMLSize_t chars = transcoder_->transcodeFrom(encoded, produced, decoded, 8, used, sizes);
        if (chars != 1 || used != produced || decoded[0] != c) return false;
        bytes.assign(reinterpret_cast<const char *>(encoded), produced);
        return true;
    } catch (const xercesc::XMLException &) {
        return false;
    }
}

}  // namespace lxniccfg
