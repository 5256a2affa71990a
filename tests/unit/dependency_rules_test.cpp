// The value and condition tests of the dependency rules.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "rules/dependency_rules.h"
#include "support/records.h"

using namespace lxniccfg;
using namespace testing_support;

namespace {

DualString D(const char *text) { return text ? DualString::fromUtf8(text) : DualString(); }

TEST(OutsideRange, OneEntryAgainstARange) {
    struct Case {
        const char *range;     // nullptr: no range
        const char *selected;  // nullptr: no selectedValue
        bool outside;
    };
    const std::vector<Case> cases = {
        {nullptr, "x", true},        // no range: any selected value is outside
        {nullptr, nullptr, false},
        {"0-100", nullptr, true},    // a range but nothing selected
        {"0-100", "150", true},
        {"0-100", "100", false},     // bounds are inclusive
        {"0-100", "0", false},
        {"10-100", "9", true},
        {"0-100", "abc", true},      // not a number: must occur in the range text
        {"0-100", "-100", false},    // ... and it does
        {"5|10", "7", false},        // digits against a list: read as the interval 5 to 10
        {"5|10", "11", true},
        {"5|10", "4", true},
        {"Auto|10", "10", false},    // low bound "Auto" reads as 0
        {"Auto|10", "20", true},
        {"100", "100", false},       // no separator: the whole text is both bounds
        {"100", "99", true},
        {"On|Off", "On", false},
        {"On|Off", "Maybe", true},
        {"On|Off", "n|O", false},    // a substring of the range text is inside
        {"On|Off", "", false},       // the empty text is inside every range
        {"0-100", "", false},
        {"", "5", true},             // an empty range: bounds 0 and 0
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.range ? c.range : "(none)") + " / " +
                     (c.selected ? c.selected : "(none)"));
        PanelEntry *list = EntryList({{.id = "Other", .selectedValue = "zzz"}, {.id = "P"}});
        if (c.selected) list->next->selectedValue = Text(c.selected);
        PanelEntry *found = nullptr;
        EXPECT_EQ(OutsideRange(list, D("P"), D(c.range), &found), c.outside);
        EXPECT_EQ(found, list->next);
        FreeEntries(list);
    }
}

TEST(OutsideRange, EveryEntryOfTheIdIsTestedAndTheLastIsFound) {
    PanelEntry *list = EntryList({{.id = "P", .selectedValue = "500"},
                                  {.id = "Q", .selectedValue = "1"},
                                  {.id = "P", .selectedValue = "5"}});
    PanelEntry *found = nullptr;
    EXPECT_TRUE(OutsideRange(list, D("P"), D("0-10"), &found));
    EXPECT_EQ(found, list->next->next);
    found = nullptr;
    EXPECT_FALSE(OutsideRange(list, D("R"), D("0-10"), &found));
    EXPECT_EQ(found, nullptr);
    EXPECT_FALSE(OutsideRange(nullptr, D("P"), D("0-10"), &found));
    // A name that is none names no entry.
    EXPECT_FALSE(OutsideRange(list, DualString(), D("0-10"), &found));
    FreeEntries(list);
}

TEST(HoldsValue, MatchesIdAndSelectedValueExactly) {
    PanelEntry *list = EntryList({{.id = "Speed"},
                                  {.id = "Mode", .selectedValue = "On"},
                                  {.id = "Speed", .selectedValue = "10"}});
    EXPECT_TRUE(HoldsValue(list, D("Speed"), D("10")));
    EXPECT_TRUE(HoldsValue(list, D("Mode"), D("On")));
    EXPECT_FALSE(HoldsValue(list, D("Mode"), D("on")));   // case-sensitive
    EXPECT_FALSE(HoldsValue(list, D("Mode"), D("O")));    // whole text
    EXPECT_FALSE(HoldsValue(list, D("Speed"), D("")));    // no selectedValue never matches
    EXPECT_FALSE(HoldsValue(list, D("Speed"), DualString()));
    EXPECT_FALSE(HoldsValue(nullptr, D("Speed"), D("10")));
    FreeEntries(list);
}

}  // namespace
