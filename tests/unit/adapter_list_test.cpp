// BuildNicList on arrays the test double cannot hand out.
#include <gtest/gtest.h>

#include <string>

#include "adapters/adapter_list.h"
#include "adapters/records.h"

using namespace lxniccfg;

TEST(BuildNicList, AnUnterminatedLabelStopsAtTheEndOfTheElement) {
    NicIfAdapterElement element{};
    element.handle = 1;
    element.definitionType = CopyText(u"A");
    for (char16_t &c : element.label) c = u'x';
    TeamEntry *teams = nullptr;
    AdapterEntry *adapters = nullptr;
    BuildNicList(&element, 1, nullptr, 0, nullptr, 0, teams, adapters);
    ASSERT_NE(adapters, nullptr);
    EXPECT_EQ(std::u16string(adapters->label), std::u16string(41, u'x'));
    EXPECT_EQ(teams, nullptr);
    FreeAdapterList(adapters);
}
