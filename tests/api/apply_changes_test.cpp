// ApplyChanges through the C interface: the changed entries of every
// adapter's panel lists written in slot order, the skip rules, the folding
// of results and the adapters registered for the commit pass.
#include <gtest/gtest.h>

#include "api/apply_test_support.h"

using namespace apply_test;
using namespace testing_support;
using nicif_double::Nic;

namespace {

const char *kDefinitions = R"(
<nic type="BASE">
  <property id="BaseOnly" linkid="9"/>
</nic>
<nic type="ADP" derived="BASE">
  <property id="Speed" linkid="2" enum="1"/>
  <property id="Mtu" linkid="5"/>
  <property id="Name" linkid="6"/>
  <enumeration id="Speed">
    <enumitem enumid="0" enumvalue="Auto"/>
    <enumitem enumid="1" enumvalue="10 Mbps"/>
  </enumeration>
</nic>
<nic type="TEAM">
  <property id="TeamName" linkid="3"/>
</nic>
)";

class ApplyChangesTest : public ApplyFixture {
protected:
    ApplyChangesTest() : ApplyFixture(kDefinitions) {}

    uint32_t Apply() { return ApplyChanges(&records_.adapters); }
};

EntrySpec Changed(const char *id, const char *linkId, const char *newValue) {
    return {.id = id, .linkId = linkId, .newValue = newValue, .changed = 1};
}

TEST_F(ApplyChangesTest, WritesEveryChangedEntryInSlotOrderAndRegistersTheAdapter) {
    AdapterEntry *a = records_.adapter(2101);
    a->settingsList = EntryList({Changed("Mtu", "5", "1500")});
    a->advancedList = EntryList({
        Changed("Speed", "2", "10 Mbps"),                                    // mapped to its raw value
        {.id = "Mtu", .linkId = "5", .newValue = "9000"},                    // not changed
        {.id = "Mtu", .linkId = "5", .changed = 1},                          // no newValue
        {.linkId = "5", .newValue = "1", .changed = 1},                      // no id
        {.id = "Mtu", .linkId = "5", .newValue = "1", .changed = 2},         // changed is not 1
        Changed("BaseOnly", "9", "b"),                                       // found in the base
    });
    a->iscsiAddressList = EntryList({Changed("Name", "6", "addr")});
    a->iscsiSettingsList2 = EntryList({Changed("Name", "6", "iscsi2")});
    a->iscsiSettingsList = EntryList({Changed("Name", "6", "iscsi1")});
    a->teamSettingsList = EntryList({Changed("Name", "6", "member")});
    a->statisticsList1 = EntryList({Changed("Name", "6", "never")});  // not a configurable panel
    records_.adapter(2102)->settingsList = EntryList({Changed("Mtu", "5", "")});

    EXPECT_EQ(Apply(), 0u);
    EXPECT_EQ(log(), (Calls{
                         "NicIfSetAdapterProperty(2101, 2, \"1\", 4)",
                         "NicIfSetAdapterProperty(2101, 9, \"b\", 4)",
                         "NicIfSetAdapterProperty(2101, 6, \"addr\", 10)",
                         "NicIfSetAdapterProperty(2101, 6, \"iscsi2\", 14)",
                         "NicIfSetAdapterProperty(2101, 6, \"iscsi1\", 14)",
                         "NicIfSetAdapterProperty(2101, 5, \"1500\", 10)",
                         "NicIfSetAdapterProperty(2101, 6, \"member\", 14)",
                         "NicIfSetAdapterProperty(2102, 5, \"\", 2)",
                     }));
    EXPECT_EQ(Registered(), RegisteredWith({2101, 2102}));

    // The records are left as they are: a second call sends the same again.
    Nic().clearCalls();
    EXPECT_EQ(Apply(), 0u);
    EXPECT_EQ(log().size(), 8u);
}

TEST_F(ApplyChangesTest, AdaptersOfOneHandleAreRegisteredOnceAndFailedWritesNotAtAll) {
    records_.adapter(2111)->settingsList = EntryList({Changed("Mtu", "5", "1")});
    records_.adapter(2111)->settingsList = EntryList({Changed("Mtu", "5", "2")});
    records_.adapter(2112)->settingsList = EntryList({Changed("Mtu", "5", "3")});
    records_.adapter(2113)->settingsList = EntryList({Changed("Mtu", "5", "4")});
    Nic().respond("NicIfSetAdapterProperty", 2112, 3);
    Nic().respond("NicIfSetAdapterProperty", 2113, 7);
    EXPECT_EQ(Apply(), 5u * 65536 + 3);
    EXPECT_EQ(Registered(), RegisteredWith({2111, 2113}));
}

struct FoldCase {
    const char *name;
    void (*script)();
    uint32_t result;
    Calls calls;
};

// Two adapters: 2121 with an advancedList (Speed, Mtu) and a
// teamSettingsList (Name); 2122 with a settingsList (Mtu, Name).
TEST_F(ApplyChangesTest, FoldsResultsFirstErrorWins) {
    const Calls all = {
        "NicIfSetAdapterProperty(2121, 2, \"0\", 4)", "NicIfSetAdapterProperty(2121, 5, \"1\", 4)",
        "NicIfSetAdapterProperty(2121, 6, \"t\", 4)", "NicIfSetAdapterProperty(2122, 5, \"2\", 4)",
        "NicIfSetAdapterProperty(2122, 6, \"n\", 4)",
    };
    const std::vector<FoldCase> cases = {
        {"all succeed", [] {}, 0u, all},
        {"a 7 in advancedList is a notice",
         [] { Nic().respond("NicIfSetAdapterProperty", 2121, 2, 7); }, 7u, all},
        {"a 7 only in teamSettingsList is plain success",
         [] { Nic().respond("NicIfSetAdapterProperty", 2121, 6, 7); }, 0u, all},
        {"3 is reported with the property number; writing goes on",
         [] { Nic().respond("NicIfSetAdapterProperty", 2121, 5, 3); }, 5u * 65536 + 3, all},
        {"the first error wins over later ones and over notices",
         [] {
             Nic().respond("NicIfSetAdapterProperty", 2121, 2, 7);
             Nic().respond("NicIfSetAdapterProperty", 2121, 5, 42);
             Nic().respond("NicIfSetAdapterProperty", 2122, 5, 3);
         },
         42u, all},
        {"an error in teamSettingsList counts",
         [] { Nic().respond("NicIfSetAdapterProperty", 2121, 6, 9); }, 9u, all},
    };
    AdapterEntry *a = records_.adapter(2121);
    a->advancedList = EntryList({Changed("Speed", "2", "Auto"), Changed("Mtu", "5", "1")});
    a->teamSettingsList = EntryList({Changed("Name", "6", "t")});
    records_.adapter(2122)->settingsList = EntryList({Changed("Mtu", "5", "2"), Changed("Name", "6", "n")});
    for (const FoldCase &c : cases) {
        SCOPED_TRACE(c.name);
        Nic().reset();
        c.script();
        EXPECT_EQ(Apply(), c.result);
        EXPECT_EQ(log(), c.calls);
    }
}

TEST_F(ApplyChangesTest, AListStopsAtAnEntryItCannotWrite) {
    AdapterEntry *a = records_.adapter(2131);
    a->advancedList = EntryList({Changed("Mtu", "5", "1"), {.id = "Mtu", .newValue = "x", .changed = 1},
                                 Changed("Mtu", "5", "never")});
    a->settingsList = EntryList({Changed("Unknown", "77", "x"), Changed("Mtu", "5", "never")});
    a->teamSettingsList = EntryList({Changed("TeamName", "3", "x"), Changed("Mtu", "5", "never")});
    records_.adapter(2132)->settingsList = EntryList({Changed("Mtu", "5", "2")});
    EXPECT_EQ(Apply(), 100u);
    EXPECT_EQ(log(), (Calls{"NicIfSetAdapterProperty(2131, 5, \"1\", 4)",
                            "NicIfSetAdapterProperty(2132, 5, \"2\", 4)"}));
    EXPECT_EQ(Registered(), RegisteredWith({2131, 2132}));
}

TEST_F(ApplyChangesTest, AnUnmappableValueIs100AndTheListGoesOn) {
    AdapterEntry *a = records_.adapter(2141);
    // The library's error comes first, yet the unmappable value replaces it.
    a->settingsList = EntryList({Changed("Mtu", "5", "1"), Changed("Speed", "2", "0"),
                                 Changed("Mtu", "5", "2")});
    Nic().respondInTurn("NicIfSetAdapterProperty", {3, 0});
    EXPECT_EQ(Apply(), 100u);
    EXPECT_EQ(log(), (Calls{"NicIfSetAdapterProperty(2141, 5, \"1\", 4)",
                            "NicIfSetAdapterProperty(2141, 5, \"2\", 4)"}));
}

TEST_F(ApplyChangesTest, AnAdapterWithoutDefinitionsIs100AndTheOthersAreApplied) {
    records_.adapter(2151)->settingsList = EntryList({Changed("Mtu", "5", "1")});
    records_.adapter(2152, "OTHER")->settingsList = EntryList({Changed("Mtu", "5", "x")});
    records_.adapter(2153, nullptr)->settingsList = EntryList({Changed("Mtu", "5", "x")});
    records_.adapter(2154)->settingsList = EntryList({Changed("Mtu", "5", "2")});
    // 2151's error is replaced by the missing definition; 2154's is not kept.
    Nic().respond("NicIfSetAdapterProperty", 2151, 3);
    Nic().respond("NicIfSetAdapterProperty", 2154, 8);
    EXPECT_EQ(Apply(), 100u);
    EXPECT_EQ(log(), (Calls{"NicIfSetAdapterProperty(2151, 5, \"1\", 4)",
                            "NicIfSetAdapterProperty(2154, 5, \"2\", 4)"}));
}

TEST_F(ApplyChangesTest, EmptyListAndMissingArguments) {
    AdapterEntry *none = nullptr;
    EXPECT_EQ(ApplyChanges(&none), 0u);
    EXPECT_EQ(ApplyChanges(nullptr), 100u);
    EXPECT_TRUE(log().empty());
}

TEST_F(ApplyChangesTest, WithoutDefinitionsEveryAdapterIs100) {
    records_.adapter(2161)->settingsList = EntryList({Changed("Mtu", "5", "1")});
    CloseXml(0);
    Nic().clearCalls();
    EXPECT_EQ(Apply(), 100u);
    EXPECT_TRUE(log().empty());
}

}  // namespace
