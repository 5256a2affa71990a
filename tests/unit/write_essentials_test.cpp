// The write-side pieces on their own: the changed-object registry's slots,
// the folding of several writes' results, and the registration done by the
// single adapter write (the registry is not visible through the C interface).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "adapters/records.h"
#include "changes/changed_object_registry.h"
#include "changes/write_essentials.h"
#include "lxniccfg.h"
#include "support/nicif_double.h"
#include "support/test_files.h"

using namespace lxniccfg;
using nicif_double::Nic;

TEST(ChangedObjectRegistry, KeepsOneSlotPerHandleAndDropsThe129th) {
    ChangedObjectRegistry registry;
    registry.registerChanged(5);
    registry.registerChanged(6);
    registry.registerChanged(5);
    registry.registerChanged(0);  // 0 marks a free slot: never registered
    EXPECT_EQ(std::vector<uint64_t>(registry.handles().begin(), registry.handles().end()),
              (std::vector<uint64_t>{5, 6}));
    for (uint64_t h = 100; registry.handles().size() < ChangedObjectRegistry::kSlots; ++h)
        registry.registerChanged(h);
    registry.registerChanged(99999);
    registry.registerChanged(6);
    EXPECT_EQ(registry.handles().size(), 128u);
    EXPECT_FALSE(registry.contains(99999));
    EXPECT_EQ(registry.handles()[0], 5u);
    EXPECT_EQ(registry.handles()[127], 100u + 125);
}

TEST(WriteResults, KeepsTheFirstErrorElseTheNotice) {
    struct Case {
        std::vector<std::pair<uint32_t, uint32_t>> writes;  // code, property number
        uint32_t result;
    };
    for (const Case &c : std::vector<Case>{
             {{}, 0},
             {{{0, 1}, {0, 2}}, 0},
             {{{0, 1}, {7, 2}, {0, 3}}, 7},
             {{{7, 1}, {3, 2}, {5, 3}}, 2 * 65536 + 3},
             {{{5, 1}, {3, 2}}, 5},
             {{{3, 42}}, 2752515},
             {{{3, 0xFFFFFFFFu}}, 0xFFFF0003u},  // "-1" wraps, it does not fault
         }) {
        WriteResults results;
        for (auto [code, number] : c.writes) results.add(code, number);
        EXPECT_EQ(results.result(), c.result);
    }
    WriteResults own;
    own.add(7, 1);
    own.addError(100);
    own.add(5, 2);
    EXPECT_EQ(own.result(), 100u);
}

TEST(ValueBuffer, CountsTheTerminator) {
    ValueBuffer three(u"abc");
    EXPECT_EQ(three.sizeInBytes(), 8u);
    EXPECT_EQ(std::u16string(three.data()), u"abc");
    EXPECT_EQ(ValueBuffer(u"").sizeInBytes(), 2u);
    EXPECT_EQ(PropertyNumber(DualString(u"-1")), 0xFFFFFFFFu);
    EXPECT_EQ(PropertyNumber(DualString(u"12abc")), 12u);
}

namespace {

class Registration : public ::testing::Test {
protected:
    void SetUp() override {
        Nic().reset();
        std::string body = R"(<nic type="ADP"><property id="Name" linkid="42"/>
            <property id="Speed" linkid="2" enum="1" default="Auto"/>
            <panel name="settings"><panelitem>Speed</panelitem></panel>
            <enumeration id="Speed"><enumitem enumid="0" enumvalue="Auto"/></enumeration></nic>
            <nic type="TEAM"><property id="Name" linkid="42"/></nic></definitions>)";
        std::string path = dir_.write("d.xml", testing_support::WildcardDefinitions(body));
        CloseXml(0);
        ASSERT_EQ(InitXml(testing_support::W(path).c_str()), 0u);
    }
    void TearDown() override { CloseXml(0); }
    testing_support::TempDir dir_;
};

}  // namespace

// Handles are unique per case: the registry keeps everything for the life
// of the process.
TEST_F(Registration, AdapterWritesRegisterUnlessThePropertyFailed) {
    struct Case {
        uint64_t handle;
        uint8_t registerChange;
        const char16_t *id;
        uint32_t answer;
        bool registered;
    };
    for (Case c : std::vector<Case>{{7001, 1, u"Name", 0, true},
                                    {7002, 1, u"Name", 7, true},
                                    {7003, 1, u"Name", 5, true},
                                    {7004, 1, u"Name", 3, false},
                                    {7005, 0, u"Name", 0, false},
                                    {7006, 1, u"Nope", 0, false}}) {
        SCOPED_TRACE(c.handle);
        Nic().respond("NicIfSetAdapterProperty", c.answer);
        SetSingleProperty(c.handle, u"ADP", c.id, u"v", c.registerChange);
        EXPECT_EQ(ChangedObjects().contains(c.handle), c.registered);
    }
    Nic().respond("NicIfSetTeamProperty", 0);
    EXPECT_EQ(SetSingleTeamProperty(7007, u"Name", u"v"), 0u);
    uint32_t raw = 0;
    EXPECT_EQ(SetSingleRawTeamProperty(7008, u"Name", &raw, 1), 0u);
    EXPECT_FALSE(ChangedObjects().contains(7007));
    EXPECT_FALSE(ChangedObjects().contains(7008));
}

TEST_F(Registration, ResettingAnOutOfRangeValueRegistersTheAdapter) {
    Nic().value("NicIfGetAdapterProperty", 7101, 2, u"9");
    AdapterEntry adapter{};
    adapter.handle = 7101;
    adapter.definitionType = const_cast<lx_wchar *>(u"ADP");
    PanelEntry *list = nullptr;
    ASSERT_EQ(GetPanelData(&adapter, u"Settings", &list), 0u);
    EXPECT_TRUE(ChangedObjects().contains(7101));
    FreePanelList(list);
}
