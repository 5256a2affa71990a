// Writing UTF-16 text in the 8-bit encoding a script file declares. Every
// character the encoding holds is written as its bytes; every other
// character is written as a numeric character reference (&#N;), so a parser
// reads back exactly the text that was written.
#pragma once

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
    void append(std::string &out, std::u16string_view text);
    // The same for ASCII text.
    void appendAscii(std::string &out, std::string_view text);

private:
    void appendCodePoint(std::string &out, char32_t c);
    bool encodeExactly(char16_t c, std::string &bytes);

    ScriptCharset charset_;
    std::unique_ptr<xercesc::XMLTranscoder> transcoder_;
    std::unordered_map<char16_t, std::string> cache_;  // bytes; empty: referenced
};

}  // namespace lxniccfg
