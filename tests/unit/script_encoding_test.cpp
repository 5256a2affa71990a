// The script encoder is exact: whatever it writes, the parser reads back as
// the same text, in either declared encoding.
#include <gtest/gtest.h>

#include "definitions/xml_parser.h"
#include "script/script_encoding.h"
#include "script/script_format.h"

using namespace lxniccfg;

namespace {

// Every character XML can carry in an attribute: the whole first plane
// without surrogates and non-characters, and a few beyond it.
std::u16string EveryCharacter() {
    std::u16string text = u"\t\n\r";
    for (char32_t c = 0x20; c <= 0xFFFD; ++c)
        if (c < 0xD800 || c > 0xDFFF) text.push_back(static_cast<char16_t>(c));
    text += u"\U0001F600\U00010000\U0010FFFD";
    return text;
}

// The attribute value the parser delivers for a document holding text.
std::u16string ReadBack(ScriptCharset charset, std::u16string_view text) {
    ScriptEncoder encoder(charset);
    ScriptOutput out;
    out.append("<?xml version=\"1.0\" encoding=\"");
    out.append(DeclaredEncodingName(charset));
    out.append("\"?><a v='");
    encoder.appendEscaped(out, text);
    out.append("'/>");
    std::string doc = out.take();
    ElementList elements;
    ParseXmlBuffer(doc.data(), doc.size(), elements);
    return elements[0].attributes[0].value.wideText();
}

class ScriptEncodingExact : public ::testing::TestWithParam<ScriptCharset> {
protected:
    XmlLibrarySession session;
};

TEST_P(ScriptEncodingExact, EveryCharacterReadsBackUnchanged) {
    std::u16string text = EveryCharacter();
    EXPECT_TRUE(ReadBack(GetParam(), text) == text);
}

TEST_P(ScriptEncodingExact, CharactersXmlCannotCarryBecomeTheReplacementCharacter) {
    EXPECT_TRUE(ReadBack(GetParam(), std::u16string(u"a\x01" u"b\xD800" u"c\xFFFE" u"d")) ==
                u"a\xFFFD" u"b\xFFFD" u"c\xFFFD" u"d");
}

// Texts are read in blocks of several characters: a character that needs a
// reference or is written differently is found at every place of texts of
// every length up to a few blocks, and the plain copy of a text is the
// general path's bytes or refused.
TEST_P(ScriptEncodingExact, EveryPlaceOfEveryLengthIsLookedAt) {
    ScriptEncoder encoder(GetParam());
    for (char16_t odd : {u'&', u'"', u'\\', u'\t', u'\xE9', u'\x65E5'}) {
        for (std::size_t size = 1; size <= 20; ++size) {
            for (std::size_t at = 0; at <= size; ++at) {
                std::u16string text(size, u'a');
                if (at < size) text[at] = odd;
                SCOPED_TRACE(testing::Message() << "character " << int(odd) << " at " << at << " of " << size);
                EXPECT_TRUE(ReadBack(GetParam(), text) == text);

                ScriptOutput general;
                encoder.appendEscaped(general, text);
                const std::string expected = general.take();
                std::string plain(size, '\0');
                char *end = encoder.writePlainEscaped(plain.data(), text);
                const std::string narrowed(text.begin(), text.end());
                if (end) EXPECT_EQ(std::string(plain.data(), end), expected);
                else EXPECT_NE(narrowed, expected);
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Charsets, ScriptEncodingExact,
                         ::testing::Values(ScriptCharset::Latin1, ScriptCharset::ShiftJis));

TEST(ScriptEncoding, ShiftJisWritesWhatItHoldsAsBytes) {
    XmlLibrarySession session;
    ScriptEncoder encoder(ScriptCharset::ShiftJis);
    ScriptOutput out;
    encoder.append(out, u"A\u65E5\uFF71\u00E9");  // ASCII, kanji, half-width katakana, é
    EXPECT_EQ(out.take(), "A\x93\xFA\xB1&#233;");
}

TEST(ScriptFormat, CompoundValuesSplitAtTheFirstEquals) {
    auto pieces = SplitCompound(u"x=1;;y=a=b;z;=e;");
    ASSERT_EQ(pieces.size(), 3u);
    EXPECT_TRUE(pieces[0] == std::pair(std::u16string_view(u"x"), std::u16string_view(u"1")));
    EXPECT_TRUE(pieces[1] == std::pair(std::u16string_view(u"y"), std::u16string_view(u"a=b")));
    EXPECT_TRUE(pieces[2] == std::pair(std::u16string_view(u""), std::u16string_view(u"e")));
}

TEST(ScriptFormat, CommentTextNeverHoldsTwoAdjacentHyphens) {
    EXPECT_TRUE(CommentText(u"a--b---c-") == u"a- -b- - -c-");
}

TEST(ScriptFormat, KeptIdsAreFoundExactlyAndOnlyThem) {
    // Every listed name of every list is found; ids that share a name's
    // length, differ in one unit or in case, or are a prefix, are not.
    for (const PropertyNames *names :
         {&TeamPropertyNames(), &EchoNodePropertyNames(), &NicPropertyNames(), &VlanPropertyNames()}) {
        for (std::u16string_view name : *names) {
            EXPECT_TRUE(names->contains(name));
            std::u16string changed(name);
            changed.back() = changed.back() == u'x' ? u'y' : u'x';
            EXPECT_FALSE(names->contains(changed));
            EXPECT_FALSE(names->contains(name.substr(0, name.size() - 1)));
            EXPECT_FALSE(names->contains(std::u16string(name) + u"s"));
        }
    }
    EXPECT_FALSE(NicPropertyNames().contains(u"speedduplex"));
    EXPECT_FALSE(NicPropertyNames().contains(u""));
    EXPECT_FALSE(NicPropertyNames().contains(std::u16string(40, u'S')));
    EXPECT_FALSE(VlanPropertyNames().contains(u"SpeedDuplex"));
}

}  // namespace
