#include <gtest/gtest.h>

#include <cstdlib>

#include "util/dual_string.h"
#include "util/numbers.h"
#include "util/ptr_list.h"
#include "util/value_node.h"

using namespace lxniccfg;

TEST(DualString, NarrowIsUtf8AndWideIsKept) {
    DualString text(u"Geschwindigkeit \u00fc \u6f22 \U0001F600");
    EXPECT_STREQ(text.narrow(), "Geschwindigkeit \xc3\xbc \xe6\xbc\xa2 \xf0\x9f\x98\x80");
    EXPECT_EQ(text.wideText(), u"Geschwindigkeit \u00fc \u6f22 \U0001F600");
    EXPECT_EQ(DualString::fromUtf8(text.narrowText()).wideText(), text.wideText());
}

TEST(DualString, NoneIsDistinctFromEmptyAndEqualsNothing) {
    DualString none(static_cast<const char16_t *>(nullptr));
    EXPECT_TRUE(none.isNone());
    EXPECT_EQ(none.narrow(), nullptr);
    EXPECT_EQ(none.wideCopy(), nullptr);
    EXPECT_FALSE(none.equals(none));
    EXPECT_FALSE(none.equals(""));

    DualString empty(u"");
    char16_t *copy = empty.wideCopy();
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy[0], 0);  // a two-byte buffer holding only the terminator
    std::free(copy);
    EXPECT_TRUE(empty.equals(""));
}

TEST(DualString, ComparisonIsCaseSensitiveAndCopiesAreIndependent) {
    DualString word = DualString::fromNarrow("SpeedDuplex");
    DualString copy = word;
    EXPECT_TRUE(copy.equals(word));
    EXPECT_EQ(copy.wideText(), u"SpeedDuplex");
    EXPECT_FALSE(word.equals(DualString::fromNarrow("speedduplex")));
}

TEST(DualString, UnpairedSurrogatesBecomeReplacementCharacters) {
    const char16_t text[] = {u'a', 0xD800, u'b', 0xDC00, 0};
    EXPECT_EQ(DualString(text).narrowText(), "a\xef\xbf\xbd" "b\xef\xbf\xbd");
}

// The wide form handed back is the text as given, whatever the narrow form
// made of it, in every way it is read and after copies.
TEST(DualString, WideFormComesBackExactly) {
    const std::u16string texts[] = {
        u"", u"SpeedDuplex", u"D\u00e9lai \u00b5s \u6f22 \U0001F600", u"\uFFFD kept",
        std::u16string{u'a', 0xD800, u'b'}, std::u16string{0xDC00, u'\uFFFD', 0xDBFF},
        std::u16string{u'x', 0, u'y'}};
    for (const std::u16string &text : texts) {
        DualString original(std::u16string_view{text});
        DualString copy = original;
        for (const DualString *s : {&original, &copy}) {
            EXPECT_EQ(s->wideText(), text);
            char16_t *c = s->wideCopy();
            EXPECT_EQ(std::u16string(c), text.substr(0, text.find(u'\0')));
            std::free(c);
        }
    }
    EXPECT_EQ(DualString::fromUtf8("D\xc3\xa9lai \xff").wideText(), u"D\u00e9lai \uFFFD");
    EXPECT_EQ(DualString::fromNarrow("caf\xe9").narrowText(), "caf\xc3\xa9");
    EXPECT_EQ(DualString::fromNarrow("caf\xe9").wideText(), u"caf\u00e9");
}

TEST(Numbers, TextToIntReadsLikeAtoi) {
    struct Case { const char *text; int32_t value; };
    for (const Case &c : std::initializer_list<Case>{
             {"42", 42}, {"  -7x", -7}, {"+3", 3}, {"12abc", 12}, {"abc", 0}, {"", 0},
             {nullptr, 0}, {"99999999999", INT32_MAX}, {"-99999999999", INT32_MIN}}) {
        EXPECT_EQ(textToInt(c.text), c.value) << (c.text ? c.text : "(null)");
    }
}

TEST(PtrList, StoresCopiesInOrder) {
    PtrList<DualString> list;
    DualString item = DualString::fromNarrow("first");
    list.append(item);
    item = DualString::fromNarrow("changed");
    for (int i = 0; i < 10; ++i) list.append(DualString::fromNarrow(std::to_string(i)));
    ASSERT_EQ(list.count(), 11);
    EXPECT_EQ(list.at(0)->narrowText(), "first");  // as it was at append
    EXPECT_EQ(list.at(10)->narrowText(), "9");
    EXPECT_FALSE(list.at(11).has_value());
}

TEST(ValueNode, DeepCopyIsIndependentOfItsSource) {
    auto head = std::make_unique<ValueNode>();
    head->setText("a");
    head->setValue(1);
    auto second = std::make_unique<ValueNode>();
    second->setText("b");
    second->incrementCount();
    auto third = std::make_unique<ValueNode>();
    third->setText("c");
    third->setValue(3);
    second->setNext(std::move(third));
    head->setNext(std::move(second));

    std::unique_ptr<ValueNode> copy = head->deepCopy();
    head.reset();
    ASSERT_NE(copy->next(), nullptr);
    ASSERT_NE(copy->next()->next(), nullptr);
    EXPECT_EQ(copy->text(), "a");
    EXPECT_EQ(copy->next()->count(), 2);
    EXPECT_EQ(copy->next()->next()->value(), 3);
    EXPECT_EQ(copy->next()->next()->next(), nullptr);
    EXPECT_EQ(copy->copyOne()->next(), nullptr);

    copy->setNext(nullptr);  // destroys the chain behind
    EXPECT_EQ(copy->next(), nullptr);
}

TEST(ValueNode, LongChainsAreDestroyedWithoutRecursion) {
    auto head = std::make_unique<ValueNode>();
    ValueNode *tail = head.get();
    for (int i = 0; i < 1000000; ++i) {
        tail->setNext(std::make_unique<ValueNode>());
        tail = tail->next();
    }
    head.reset();
}
