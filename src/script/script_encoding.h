// Writing UTF-16 text in the 8-bit encoding a script file declares. Every
// character the encoding holds is written as its bytes; every other
// character is written as a numeric character reference (&#N;), so a parser
// reads back exactly the text that was written.
#pragma once

#include <array>
#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include <xercesc/util/XercesDefs.hpp>

XERCES_CPP_NAMESPACE_BEGIN
class XMLTranscoder;
XERCES_CPP_NAMESPACE_END

namespace lxniccfg {

enum class ScriptCharset { Latin1, ShiftJis };

// The charset of the environment: Shift_JIS when the OEM code page is 932.
ScriptCharset EnvironmentCharset();

// The name written in the file's declaration.
const char *DeclaredEncodingName(ScriptCharset charset);

// The bytes of a document being composed. A document is built from many
// small pieces; this buffer appends each one with a single bounds check.
class ScriptOutput {
public:
    explicit ScriptOutput(std::size_t capacity = 4096);

    // Room for n more bytes at the end; advance() then keeps those written.
    char *room(std::size_t n) {
        if (static_cast<std::size_t>(end_ - next_) < n) grow(n);
        return next_;
    }
    void advance(std::size_t n) { next_ += n; }

    void append(std::string_view bytes) {
        std::memcpy(room(bytes.size()), bytes.data(), bytes.size());
        next_ += bytes.size();
    }
    void push(char byte) {
        *room(1) = byte;
        ++next_;
    }

    std::size_t size() const { return static_cast<std::size_t>(next_ - buffer_.get()); }
    std::string_view view() const { return {buffer_.get(), size()}; }
    // A copy of the bytes composed.
    std::string take() const { return std::string(view()); }

private:
    void grow(std::size_t n);

    std::unique_ptr<char[]> buffer_;  // not zeroed: only what is written is read
    char *next_;
    char *end_;
};

class ScriptEncoder {
public:
    // For Shift_JIS the XML library must be initialised while the encoder
    // lives: its transcoder for the declared name is the one the parser uses
    // to read the file back.
    explicit ScriptEncoder(ScriptCharset charset);
    ~ScriptEncoder();
    ScriptEncoder(const ScriptEncoder &) = delete;
    ScriptEncoder &operator=(const ScriptEncoder &) = delete;

    ScriptCharset charset() const { return charset_; }

    // Appends text to out. Characters that XML cannot carry at all (control
    // characters other than tab, line feed and carriage return, unpaired
    // surrogates, U+FFFE, U+FFFF) are written as U+FFFD.
    void append(ScriptOutput &out, std::u16string_view text);
    // The same for ASCII text.
    void appendAscii(ScriptOutput &out, std::string_view text);
    // Appends text as an attribute value between apostrophes: the five markup
    // characters become entity references, and tab, line feed and carriage
    // return become character references so that the parser's attribute
    // normalisation does not turn them into blanks.
    void appendEscaped(ScriptOutput &out, std::u16string_view text);

    // Writes text as appendEscaped does to d, which has room for text.size()
    // bytes, when every character of it is written as one byte of the same
    // value without a reference (most property ids and values are); returns
    // the end of what was written, or nullptr when a character needs more.
    char *writePlainEscaped(char *d, std::u16string_view text) const;

private:
    template <bool kEscape>
    void appendText(ScriptOutput &out, std::u16string_view text);
    void appendCodePoint(ScriptOutput &out, char32_t c);
    bool encodeExactly(char16_t c, std::string &bytes);

    ScriptCharset charset_;
    std::unique_ptr<xercesc::XMLTranscoder> transcoder_;
    std::unordered_map<char16_t, std::string> cache_;  // bytes; empty: referenced
    // Characters below U+0100 that the encoding writes as the one byte of
    // the same value, and of those the ones an attribute value needs no
    // reference for.
    std::array<bool, 256> plain_{};
    std::array<bool, 256> plainUnescaped_{};
    // Whether every character CopyFastPlain writes is one of plainUnescaped_
    // (and so of plain_): the encoding writes it as its own byte.
    bool fastPlain_ = false;
};

}  // namespace lxniccfg
