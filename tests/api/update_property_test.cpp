// UpdateProperty through the C interface: the range and default an entry
// offers, rewritten from the linked-property rules or from its definition.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "lxniccfg.h"
#include "support/nicif_double.h"
#include "support/records.h"
#include "support/test_files.h"

using namespace testing_support;

namespace {

// Duplex is controlled by Speed (two rules) and by Mode; the third rule's
// link for Duplex is its second link, so only a scan of every link of every
// rule finds it. Flow's link has neither range nor default. Wol exists only
// in BASE; Plain has no range attribute.
const char *kDefinitions = R"(
<nic type="BASE">
  <property id="Wol" linkid="6" range="0-3" default="1"/>
</nic>
<nic type="ADP" derived="BASE">
  <property id="Speed" linkid="1" range="Auto|10|100" default="Auto"/>
  <property id="Duplex" linkid="2" range="Full|Half|Auto" default="Auto"/>
  <property id="Mode" linkid="4" range="On|Off" default="Off"/>
  <property id="Flow" linkid="5" range="On|Off" default="On"/>
  <property id="Plain" linkid="7" default="x"/>
  <sourceproperty name="Speed" value="10">
    <linkproperty name="Duplex" range="Half" default="Half"/>
  </sourceproperty>
  <sourceproperty name="Speed" value="100">
    <linkproperty name="Duplex" range="Full|Half" default="Full"/>
  </sourceproperty>
  <sourceproperty name="Mode" value="On">
    <linkproperty name="Flow"/>
    <linkproperty name="Duplex" range="Full" default="Full"/>
  </sourceproperty>
  <sourceproperty name="Mode" value="">
    <linkproperty name="Wol" range="0-0" default="0"/>
  </sourceproperty>
</nic>
</definitions>
)";

class UpdatePropertyTest : public ::testing::Test {
protected:
    void SetUp() override {
        nicif_double::Nic().reset();
        std::string path = dir_.write("defs.xml", WildcardDefinitions(kDefinitions));
        ASSERT_EQ(InitXml(W(path).c_str()), 0u);
        adapter_ = static_cast<AdapterEntry *>(std::calloc(1, sizeof(AdapterEntry)));
        adapter_->definitionType = Text("ADP");
    }
    void TearDown() override {
        FreeChanges(changes_);
        FreeNicList(nullptr, adapter_);
        CloseXml(0);
    }

    // Where a change's entry sits and its text: "settings:Id=text".
    std::vector<std::string> Changes() const {
        std::vector<std::string> out;
        for (const DependencyChange *c = changes_; c; c = c->next) {
            std::string place = "elsewhere";
            for (const PanelEntry *e = adapter_->settingsList; e; e = e->next)
                if (e == c->entry) place = "settings:" + Str(e->id);
            for (const PanelEntry *e = adapter_->advancedList; e; e = e->next)
                if (e == c->entry) place = "advanced:" + Str(e->id);
            out.push_back(place + "=" + Str(c->text));
        }
        return out;
    }

    TempDir dir_;
    AdapterEntry *adapter_ = nullptr;
    DependencyChange *changes_ = nullptr;
};

struct Case {
    const char *name;
    std::vector<EntrySpec> settings, advanced;
    EntrySpec entry;  // the entry refreshed (a free-standing one)
    std::string range, defaultValue;
    std::vector<std::string> changes;
};

TEST_F(UpdatePropertyTest, RewritesRangeAndDefaultFromRulesOrDefinitions) {
    const EntrySpec duplex{.id = "Duplex", .range = "old", .defaultValue = "old"};
    const std::vector<Case> cases = {
        {"a rule holds: the link's texts, the controlling entry reported",
         {{.id = "Speed", .selectedValue = "10", .defaultValue = "Auto"}}, {}, duplex,
         "Half", "Half", {"settings:Speed=Auto"}},
        {"settingsList is searched before advancedList",
         {{.id = "Speed", .selectedValue = "10", .defaultValue = "S"}},
         {{.id = "Speed", .selectedValue = "10", .defaultValue = "A"}}, duplex,
         "Half", "Half", {"settings:Speed=S"}},
        {"advancedList serves when settingsList has no match",
         {{.id = "Speed", .selectedValue = "Auto"}},
         {{.id = "Speed", .selectedValue = "10", .defaultValue = "A"}}, duplex,
         "Half", "Half", {"advanced:Speed=A"}},
        {"the first matching entry of a list is the controlling one",
         {{.id = "Speed", .selectedValue = "10", .defaultValue = "first"},
          {.id = "Speed", .selectedValue = "10", .defaultValue = "second"}},
         {}, duplex, "Half", "Half", {"settings:Speed=first"}},
        {"two rules hold: both apply in order, the later's texts remain",
         {{.id = "Speed", .selectedValue = "100", .defaultValue = "S"},
          {.id = "Mode", .selectedValue = "On", .defaultValue = "M"}},
         {}, duplex, "Full", "Full", {"settings:Speed=S", "settings:Mode=M"}},
        {"a link without range or default empties both",
         {{.id = "Mode", .selectedValue = "On"}}, {},
         {.id = "Flow", .range = "old", .defaultValue = "old"}, "(null)", "(null)",
         {"settings:Mode=(null)"}},
        {"no selectedValue never matches, not even an empty rule value",
         {{.id = "Mode"}}, {}, {.id = "Wol", .range = "old", .defaultValue = "old"},
         "0-3", "1", {}},
        {"an empty selectedValue matches an empty rule value",
         {{.id = "Mode", .selectedValue = ""}}, {}, {.id = "Wol", .range = "old", .defaultValue = "old"},
         "0-0", "0", {"settings:Mode=(null)"}},
        {"no rule holds: the definition's texts",
         {{.id = "Speed", .selectedValue = "Auto"}}, {}, duplex, "Full|Half|Auto", "Auto", {}},
        {"no rule holds, property only in the base definition",
         {}, {}, {.id = "Wol", .range = "old", .defaultValue = "old"}, "0-3", "1", {}},
        {"an attribute the definition lacks becomes NULL",
         {}, {}, {.id = "Plain", .range = "old", .defaultValue = "old"}, "(null)", "x", {}},
        {"an unknown property stays as it is",
         {}, {}, {.id = "Nowhere", .range = "old", .defaultValue = "old"}, "old", "old", {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        FreeEntries(adapter_->settingsList);
        FreeEntries(adapter_->advancedList);
        FreeChanges(changes_);
        changes_ = nullptr;
        adapter_->settingsList = EntryList(c.settings);
        adapter_->advancedList = EntryList(c.advanced);
        PanelEntry *entry = Entry(c.entry);
        EXPECT_EQ(UpdateProperty(adapter_, entry, &changes_), 0u);
        EXPECT_EQ(Str(entry->range), c.range);
        EXPECT_EQ(Str(entry->defaultValue), c.defaultValue);
        EXPECT_EQ(Changes(), c.changes);
        FreeEntries(entry);
    }
    EXPECT_TRUE(nicif_double::Nic().calls().empty());
}

TEST_F(UpdatePropertyTest, RefreshesAnEntryOfTheAdaptersOwnList) {
    adapter_->settingsList = EntryList({{.id = "Speed", .selectedValue = "10"},
                                     {.id = "Duplex", .range = "x", .defaultValue = "y"}});
    PanelEntry *duplex = adapter_->settingsList->next;
    ASSERT_EQ(UpdateProperty(adapter_, duplex, &changes_), 0u);
    EXPECT_EQ(Str(duplex->range), "Half");
    ASSERT_NE(changes_, nullptr);
    EXPECT_EQ(changes_->entry, adapter_->settingsList);
}

TEST_F(UpdatePropertyTest, UnknownDefinitionOrMissingArgumentsAnswer100AndTouchNothing) {
    PanelEntry *entry = Entry({.id = "Duplex", .range = "old", .defaultValue = "old"});
    auto *sentinel = reinterpret_cast<DependencyChange *>(0x1);
    DependencyChange *changes = sentinel;

    std::free(adapter_->definitionType);
    adapter_->definitionType = Text("OTHER");
    EXPECT_EQ(UpdateProperty(adapter_, entry, &changes), 100u);
    std::free(adapter_->definitionType);
    adapter_->definitionType = nullptr;
    EXPECT_EQ(UpdateProperty(adapter_, entry, &changes), 100u);
    EXPECT_EQ(changes, sentinel);
    EXPECT_EQ(Str(entry->range), "old");

    adapter_->definitionType = Text("ADP");
    EXPECT_EQ(UpdateProperty(nullptr, entry, &changes), 100u);
    EXPECT_EQ(UpdateProperty(adapter_, nullptr, &changes), 100u);
    EXPECT_EQ(UpdateProperty(adapter_, entry, nullptr), 100u);
    EXPECT_EQ(changes, sentinel);
    EXPECT_EQ(Str(entry->range), "old");
    FreeEntries(entry);
}

}  // namespace
