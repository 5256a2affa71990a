#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "util/compact_text.h"
#include "util/shared_text_batch.h"

using lxniccfg::CompactText;
using lxniccfg::DualString;

namespace {

// Every reading of the compact text agrees with the DualString it came from.
void ExpectSame(const CompactText &c, const DualString &d, const std::string &label) {
    SCOPED_TRACE(label);
    ASSERT_EQ(c.isNone(), d.isNone());
    EXPECT_EQ(static_cast<bool>(c), static_cast<bool>(d));
    if (d.isNone()) {
        EXPECT_EQ(c.narrow(), nullptr);
        EXPECT_EQ(c.wideCopy(), nullptr);
        EXPECT_TRUE(c.narrowText().empty());
        EXPECT_FALSE(c.equals(d));
        EXPECT_FALSE(c.equals(CompactText()));
        return;
    }
    EXPECT_EQ(c.narrowText(), d.narrowText());
    EXPECT_EQ(std::string(c.narrow()), std::string(d.narrow()).c_str());  // NUL-terminated in place
    EXPECT_EQ(c.narrow()[c.narrowText().size()], '\0');
    EXPECT_EQ(c.wideText(), d.wideText());
    char16_t *copy = c.wideCopy();
    EXPECT_EQ(std::u16string(copy), d.wideText());
    std::free(copy);
    EXPECT_TRUE(c.equals(d));
    EXPECT_TRUE(c.equals(std::string_view(d.narrowText())));
    EXPECT_TRUE(c.equals(CompactText(d)));
    const DualString back = c.toDualString();
    EXPECT_TRUE(back.equals(d));
    EXPECT_EQ(back.wideText(), d.wideText());
}

}  // namespace

TEST(CompactText, HoldsEveryTextAsDualStringDoesThroughCopiesAndMoves) {
    const std::u16string unpaired = u"a\xD800z";  // UTF-8 holds it as U+FFFD
    const std::vector<std::pair<std::string, DualString>> cases = {
        {"none", DualString()},
        {"empty", DualString::fromUtf8("")},
        {"one byte", DualString::fromUtf8("x")},
        {"6 bytes, the most kept in place", DualString::fromUtf8("abcdef")},
        {"7 bytes", DualString::fromUtf8("abcdefg")},
        {"6 bytes, not ASCII", DualString::fromUtf8("\xC3\xA9t\xC3\xA9s")},
        {"16 bytes", DualString::fromUtf8("abcdefghijklmnop")},
        {"long", DualString::fromUtf8(std::string(1000, 'q'))},
        {"not ASCII", DualString::fromUtf8("D\xC3\xA9lai \xC2\xB5s \xF0\x9F\x98\x80")},
        {"a real U+FFFD", DualString(std::u16string_view(u"x\xFFFDy"))},
        {"an unpaired surrogate", DualString(std::u16string_view(unpaired))},
        {"a long text with an unpaired surrogate",
         DualString(std::u16string_view(std::u16string(40, u'w') + u"\xDC00"))},
    };
    for (const auto &[label, text] : cases) {
        CompactText c(text);
        ExpectSame(c, text, label + ": from DualString");
        CompactText copied(c);
        ExpectSame(copied, text, label + ": copied");
        CompactText moved(std::move(copied));
        ExpectSame(moved, text, label + ": moved");
        EXPECT_TRUE(copied.isNone());  // NOLINT: a moved-from text is none
        CompactText assigned = DualString::fromUtf8("something else entirely, on the heap");
        assigned = c;
        ExpectSame(assigned, text, label + ": copy-assigned");
        assigned = assigned;  // NOLINT: self-assignment keeps the text
        ExpectSame(assigned, text, label + ": self-assigned");
        CompactText target = DualString::fromUtf8("short");
        target = std::move(assigned);
        ExpectSame(target, text, label + ": move-assigned");
        if (!text.isNone()) {
            const std::u16string wide = text.wideText();
            ExpectSame(CompactText::fromWide(wide.c_str()), DualString(wide.c_str()), label + ": from UTF-16");
            ExpectSame(CompactText::fromWide(std::u16string_view(wide)), DualString(wide.c_str()),
                       label + ": from UTF-16 of known length");
            // Made in an arena: read the same; a copy is the copier's own
            // and outlives the arena.
            lxniccfg::TextArena arena;
            CompactText placed = CompactText::fromWide(std::u16string_view(wide), &arena);
            ExpectSame(placed, DualString(wide.c_str()), label + ": in an arena");
            CompactText kept(placed);
            CompactText moved = std::move(placed);
            ExpectSame(moved, DualString(wide.c_str()), label + ": in an arena, moved");
            arena.clear();
            ExpectSame(kept, DualString(wide.c_str()), label + ": copied out of an arena");
        }
    }
    EXPECT_TRUE(CompactText::fromWide(nullptr).isNone());
}

TEST(CompactText, NoneAndEmptyStayApartAndComparisonsAreExact) {
    const CompactText none, empty = DualString::fromUtf8("");
    EXPECT_FALSE(none.equals(""));
    EXPECT_TRUE(empty.equals(""));
    EXPECT_FALSE(empty.equals(none));
    EXPECT_FALSE(CompactText(DualString::fromUtf8("Auto")).equals("auto"));
    EXPECT_FALSE(CompactText(DualString::fromUtf8("abcdefghijklmno")).equals("abcdefghijklmnop"));
    EXPECT_FALSE(CompactText(DualString::fromUtf8("abcdefghijklmnop")).equals("abcdefghijklmno"));
}

TEST(TextPool, EqualTextsShareOneRecordAndEveryTextReadsBackAsMade) {
    lxniccfg::TextArena arena;
    lxniccfg::TextPool pool(arena);
    // Enough distinct texts to grow the pool's table several times, each
    // made twice; among them texts in place, texts of equal length that
    // differ in their last byte, texts that are prefixes of others, texts not
    // ASCII, and a text with an unpaired surrogate (kept exactly, never shared).
    std::vector<std::u16string> texts;
    for (int i = 0; i < 5000; ++i) texts.push_back(u"Property" + std::u16string(static_cast<std::size_t>(i % 40), u'x') +
                                                   lxniccfg::fromUtf8(std::to_string(i)));
    texts.insert(texts.end(), {u"abc", u"abcdefg", u"abcdefh", u"abcdefgh", u"D\u00e9lai de r\u00e9ception",
                               u"tampon \u00e9\u00e9", std::u16string(40, u'w') + u"\xDC00", u""});
    std::vector<CompactText> first, second;
    for (const auto &text : texts) first.push_back(CompactText::fromWide(std::u16string_view(text), pool));
    for (const auto &text : texts) second.push_back(CompactText::fromWide(text.c_str(), pool));
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const DualString expected(std::u16string_view(texts[i]));
        ExpectSame(first[i], expected, "first of " + expected.narrowText());
        ExpectSame(second[i], expected, "second of " + expected.narrowText());
        if (first[i].narrowText().size() > 6 && first[i].narrowText().find("\xEF\xBF\xBD") == std::string::npos) {
            EXPECT_EQ(first[i].narrow(), second[i].narrow()) << expected.narrowText() << " is kept once";
        }
    }
    EXPECT_NE(first[texts.size() - 7].narrow(), first[texts.size() - 6].narrow());
}

TEST(TextPool, ATextSharedGivesItsRoomBack) {
    lxniccfg::TextArena arena;
    lxniccfg::TextPool pool(arena);
    const CompactText a = CompactText::fromWide(u"Interrupt Moderation Rate", pool);
    const CompactText again = CompactText::fromWide(u"Interrupt Moderation Rate", pool);
    const CompactText b = CompactText::fromWide(u"Receive Buffers", pool);
    EXPECT_EQ(again.narrow(), a.narrow());
    // b's record follows a's: a 4-byte header, the text, its NUL, rounded to 4.
    const std::size_t record = (4 + a.narrowText().size() + 1 + 3) & ~std::size_t{3};
    EXPECT_EQ(b.narrow(), a.narrow() + record);
    EXPECT_EQ(b.narrowText(), "Receive Buffers");
}

TEST(SharedTextBatch, TextsMadeTogetherReadAsMadeAloneAndShareWithThePool) {
    lxniccfg::TextArena arena;
    lxniccfg::TextPool pool(arena);
    lxniccfg::SharedTextBatch batch(pool);
    // Texts the pool already keeps, new ones (some equal within the batch),
    // texts in place, not ASCII, with an unpaired surrogate, empty and none,
    // in batches of uneven sizes, enough to grow the pool's table.
    std::vector<std::u16string> texts;
    for (int i = 0; i < 3000; ++i) texts.push_back(u"Display name " + lxniccfg::fromUtf8(std::to_string(i % 1700)));
    // Long texts: narrowed in several steps, one that grows the staging
    // buffer while it is narrowed, one too long for the pool.
    const std::u16string longText = std::u16string(200, u'a') + u"long";
    // (Texts at even positions are given as NUL-terminated strings.)
    texts.insert(texts.end(), {longText, u"-", std::u16string(3000, u'y'), u"-", std::u16string(20000, u'z'), longText});
    // Texts not ASCII, each twice: two and three bytes in UTF-8, a surrogate pair.
    const std::u16string notAscii[] = {u"D\u00e9bit r\u00e9duit", u"\u53d7\u4fe1\u30d0\u30c3\u30d5\u30a1", u"\U0001F600 face"};
    for (const auto &text : notAscii) texts.insert(texts.end(), {text, text});
    texts.insert(texts.end(), {u"abc", u"abcdefg", u"D\u00e9lai de r\u00e9ception", std::u16string(40, u'w') + u"\xDC00",
                               u"", u"Interrupt Moderation Rate"});
    const CompactText before = CompactText::fromWide(u"Interrupt Moderation Rate", pool);
    std::vector<CompactText> made(texts.size() + 1);
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (i % 2 == 0) batch.add(texts[i].c_str(), &made[i]);
        else batch.add(std::u16string_view(texts[i]), &made[i]);
        if (i % 13 == 12) batch.flush();
    }
    made.back() = CompactText::fromWide(u"placeholder text", pool);
    batch.add(static_cast<const char16_t *>(nullptr), &made.back());
    batch.flush();
    EXPECT_TRUE(made.back().isNone());
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const DualString expected(std::u16string_view(texts[i]));
        ExpectSame(made[i], expected, expected.narrowText());
        // Equal ASCII texts longer than 6 bytes have one record, also with
        // a text the pool made alone.
        if (i >= 1700 && i < 3000) {
            EXPECT_EQ(made[i].narrow(), made[i - 1700].narrow());
        }
    }
    EXPECT_EQ(made[texts.size() - 1].narrow(), before.narrow());
    EXPECT_EQ(made[3000].narrow(), made[3005].narrow());
    for (std::size_t i = 3006; i < 3012; i += 2) EXPECT_EQ(made[i].narrow(), made[i + 1].narrow()) << i;
    EXPECT_EQ(CompactText::fromWide(notAscii[0].c_str(), pool).narrow(), made[3006].narrow());
    EXPECT_EQ(CompactText::fromWide(u"Display name 5", pool).narrow(), made[5].narrow());

    // A later text for the same target wins, pending or not.
    CompactText target;
    batch.add(u"first pending text", &target);
    batch.add(u"second pending text", &target);
    batch.flush();
    EXPECT_EQ(target.narrowText(), "second pending text");
    batch.add(u"pending then short", &target);
    batch.add(u"short", &target);
    batch.flush();
    EXPECT_EQ(target.narrowText(), "short");
}
