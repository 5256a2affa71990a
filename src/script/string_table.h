// The library's user-visible texts: the script reader's messages (ids 1 to
// 11) and the script file's comment blocks (ids 12 to 18), in an English and
// a Japanese table compiled into the library (UTF-8).
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>

namespace lxniccfg {

enum StringId : unsigned {
    kMsgUnexpectedElement = 1,
    kMsgExpectedTeamingConfig = 2,
    kMsgTeamInvalidAttribute = 3,
    kMsgTeamNoValue = 4,
    kMsgTeamAttributeCount = 5,
    kMsgPropertyNoValue = 6,
    kMsgPropertyInvalidAttribute = 7,
    kMsgPropertyDuplicateAttribute = 8,
    kMsgPropertyAttributeCount = 9,
    kMsgParseError = 10,
    kMsgXmlError = 11,
    kTextHeaderComment = 12,
    kTextTeamBanner = 13,
    kTextTeamComment = 14,
    kTextAdapterBanner = 15,
    kTextNicComment = 16,
    kTextVlanComment = 17,
    kTextVersionBanner = 18,
};

// The text of an id in the encoding of messages: the string resource of the
// library's module where the platform keeps them (Windows, whose resource
// lookup picks the language), else the compiled-in table of the message
// language (Japanese when platform::japaneseMessages() says so); the empty
// text for an unknown id.
std::string LoadString(unsigned id);

// The text of an id from one compiled-in table (UTF-8), whatever the
// environment says. The Windows string resources are built from the same
// tables.
const char *LoadString(unsigned id, bool japanese);

// Fills a text's "%s" and "%d" placeholders, in order, with the given
// arguments ("%%" gives "%"); a placeholder without an argument stays empty.
std::string FormatText(std::string_view format, std::initializer_list<std::string_view> args);

// Cuts UTF-8 text to at most maxBytes bytes without splitting a character.
void CutUtf8(std::string &text, std::size_t maxBytes);

}  // namespace lxniccfg
