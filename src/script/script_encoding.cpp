#include "script/script_encoding.h"

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

void AppendReference(std::string &out, char32_t c) {
    out += "&#";
    out += std::to_string(static_cast<unsigned long>(c));
    out += ';';
}

}  // namespace

ScriptCharset EnvironmentCharset() {
    return platform::oemCodePage() == 932 ? ScriptCharset::ShiftJis : ScriptCharset::Latin1;
}

const char *DeclaredEncodingName(ScriptCharset charset) {
    return charset == ScriptCharset::ShiftJis ? "Shift_jis" : "ISO-8859-1";
}

ScriptEncoder::ScriptEncoder(ScriptCharset charset) : charset_(charset) {
    if (charset_ != ScriptCharset::ShiftJis || !xercesc::XMLPlatformUtils::fgTransService) return;
    xercesc::XMLTransService::Codes code = xercesc::XMLTransService::Ok;
    try {
        transcoder_.reset(xercesc::XMLPlatformUtils::fgTransService->makeNewTranscoderFor(
            DeclaredEncodingName(charset_), code, 64));
    } catch (const xercesc::XMLException &) {
        transcoder_.reset();
    }
    if (code != xercesc::XMLTransService::Ok) transcoder_.reset();
}

ScriptEncoder::~ScriptEncoder() = default;

void ScriptEncoder::appendAscii(std::string &out, std::string_view text) {
    // In ISO-8859-1 printable ASCII is written as it is, all in one piece.
    if (charset_ == ScriptCharset::Latin1) {
        bool plain = true;
        for (char c : text) plain &= PlainLatin1(static_cast<unsigned char>(c));
        if (plain) {
            out.append(text);
            return;
        }
    }
    for (char c : text) appendCodePoint(out, static_cast<unsigned char>(c));
}

void ScriptEncoder::append(std::string &out, std::u16string_view text) {
    std::size_t i = 0;
    if (charset_ == ScriptCharset::Latin1) {
        // The run of characters that ISO-8859-1 writes as one byte each.
        while (i < text.size() && PlainLatin1(text[i])) ++i;
        const std::size_t start = out.size();
        out.resize(start + i);
        for (std::size_t k = 0; k < i; ++k) out[start + k] = static_cast<char>(text[k]);
    }
    for (; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        appendCodePoint(out, c);
    }
}

void ScriptEncoder::appendCodePoint(std::string &out, char32_t c) {
    if (!IsXmlChar(c)) c = kReplacement;
    if (charset_ == ScriptCharset::Latin1) {
        if (c < 0x100) out.push_back(static_cast<char>(c));
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
    else out += cached->second;
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
