// VerifyDependency through the C interface, with rules loaded from a
// definitions file.
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "lxniccfg.h"
#include "support/nicif_double.h"
#include "support/records.h"
#include "support/test_files.h"

using namespace testing_support;

namespace {

// NICA: Speed controls Duplex and Buffers; Mode controls Flow (a link
// without range). NICB (derived from BASE) has a rule whose controlled
// property is defined only in BASE and one whose controlled property is
// defined nowhere.
const char *kDefinitions = R"(
<nic type="NICA">
  <property id="Speed" linkid="1" range="Auto|10|100" default="Auto" dependency="2"/>
  <property id="Duplex" linkid="2" range="Full|Half|Auto" default="Auto" dependency="1"/>
  <property id="Buffers" linkid="3" range="0-100" default="50" dependency="1"/>
  <property id="Mode" linkid="4" range="On|Off" default="Off" dependency="2"/>
  <property id="Flow" linkid="5" range="On|Off" default="On" dependency="1"/>
  <sourceproperty name="Speed" value="10">
    <linkproperty name="Duplex" range="Half" default="Half"/>
    <linkproperty name="Buffers" range="0-20" default="10"/>
  </sourceproperty>
  <sourceproperty name="Speed" value="100">
    <linkproperty name="Duplex" range="Full|Half" default="Full"/>
  </sourceproperty>
  <sourceproperty name="Mode" value="On">
    <linkproperty name="Flow" default="Off"/>
  </sourceproperty>
</nic>
<nic type="BASE">
  <property id="Wol" linkid="6" range="0-3" default="1"/>
</nic>
<nic type="NICB" derived="BASE">
  <property id="Source" linkid="7" dependency="2"/>
  <property id="Ghostly" linkid="8" dependency="2"/>
  <sourceproperty name="Source" value="1">
    <linkproperty name="Wol" range="0-0" default="0"/>
  </sourceproperty>
  <sourceproperty name="Ghostly" value="1">
    <linkproperty name="Ghost" range="0-0" default="0"/>
  </sourceproperty>
</nic>
</definitions>
)";

class VerifyDependencyTest : public ::testing::Test {
protected:
    void SetUp() override {
        nicif_double::Nic().reset();
        std::string path = dir_.write("defs.xml", WildcardDefinitions(kDefinitions));
        ASSERT_EQ(InitXml(W(path).c_str()), 0u);
        adapter_ = static_cast<AdapterEntry *>(std::calloc(1, sizeof(AdapterEntry)));
        adapter_->definitionType = Text("NICA");
    }
    void TearDown() override {
        FreeChanges(changes_);
        FreeNicList(nullptr, adapter_);
        CloseXml(0);
    }

    // Where an entry of the adapter sits, as "settings:Id" or "advanced:Id".
    std::string Place(const PanelEntry *entry) const {
        for (const PanelEntry *e = adapter_->settingsList; e; e = e->next)
            if (e == entry) return "settings:" + Str(e->id);
        for (const PanelEntry *e = adapter_->advancedList; e; e = e->next)
            if (e == entry) return "advanced:" + Str(e->id);
        return "elsewhere";
    }
    // The changes as "place=text".
    std::vector<std::string> Changes() const {
        std::vector<std::string> out;
        for (const DependencyChange *c = changes_; c; c = c->next)
            out.push_back(Place(c->entry) + "=" + Str(c->text));
        return out;
    }
    // Runs VerifyDependency for the entry of the adapter named `changedId`
    // (a free-standing entry when the adapter has none).
    uint32_t Verify(const std::string &changedId, uint8_t allRules = 0) {
        PanelEntry *changed = Entry({.id = changedId});
        uint32_t result = VerifyDependency(adapter_, changed, &changes_, allRules);
        FreeEntries(changed);
        return result;
    }

    TempDir dir_;
    AdapterEntry *adapter_ = nullptr;
    DependencyChange *changes_ = nullptr;
};

struct RuleCase {
    const char *name;
    std::vector<EntrySpec> settings, advanced;
    const char *changedId;
    uint8_t allRules;
    std::vector<std::string> expected;
};

TEST_F(VerifyDependencyTest, ReportsForcedEntriesWithTheirTexts) {
    const std::vector<RuleCase> cases = {
        {"rule holds, both controlled entries outside: rule order, link order",
         {{.id = "Speed", .selectedValue = "10"}, {.id = "Duplex", .selectedValue = "Full"}},
         {{.id = "Buffers", .selectedValue = "50"}},
         "Speed", 0, {"settings:Duplex=Half", "advanced:Buffers=10"}},
        {"rule holds, everything inside (bounds inclusive)",
         {{.id = "Speed", .selectedValue = "10"}, {.id = "Duplex", .selectedValue = "Half"}},
         {{.id = "Buffers", .selectedValue = "20"}},
         "Speed", 0, {}},
        {"numeric just above the bound",
         {{.id = "Speed", .selectedValue = "10"}, {.id = "Duplex", .selectedValue = "Half"}},
         {{.id = "Buffers", .selectedValue = "21"}},
         "Speed", 0, {"advanced:Buffers=10"}},
        {"a choice of a list range is inside, another text is not",
         {{.id = "Speed", .selectedValue = "100"}, {.id = "Duplex", .selectedValue = "Auto"}},
         {},
         "Speed", 0, {"settings:Duplex=Full"}},
        {"controlled entry without selectedValue is reset",
         {{.id = "Speed", .selectedValue = "10"}, {.id = "Duplex"}},
         {{.id = "Buffers", .selectedValue = "0"}},
         "Speed", 0, {"settings:Duplex=Half"}},
        {"controlling value found in advancedList",
         {{.id = "Duplex", .selectedValue = "Full"}},
         {{.id = "Speed", .selectedValue = "10"}},
         "Speed", 0, {"settings:Duplex=Half"}},
        {"advancedList tried when settingsList is inside",
         {{.id = "Speed", .selectedValue = "10"}, {.id = "Duplex", .selectedValue = "Half"}},
         {{.id = "Duplex", .selectedValue = "Full"}},
         "Speed", 0, {"advanced:Duplex=Half"}},
        {"settingsList outside: advancedList not consulted",
         {{.id = "Speed", .selectedValue = "10"}, {.id = "Duplex", .selectedValue = "Full"}},
         {{.id = "Duplex", .selectedValue = "Full"}},
         "Speed", 0, {"settings:Duplex=Half"}},
        {"value no rule names: last rule's links fall back to their definitions",
         {{.id = "Speed", .selectedValue = "Auto"}, {.id = "Duplex", .selectedValue = "Quarter"}},
         {{.id = "Buffers", .selectedValue = "500"}},
         "Speed", 0, {"settings:Duplex=Auto"}},
        {"fallback with everything inside its definition range",
         {{.id = "Speed", .selectedValue = "Auto"}, {.id = "Duplex", .selectedValue = "Auto"}},
         {},
         "Speed", 0, {}},
        {"link without range: a selected value is reset",
         {{.id = "Mode", .selectedValue = "On"}, {.id = "Flow", .selectedValue = "Off"}},
         {},
         "Mode", 0, {"settings:Flow=Off"}},
        {"link without range: no selected value, nothing to reset",
         {{.id = "Mode", .selectedValue = "On"}, {.id = "Flow"}},
         {},
         "Mode", 0, {}},
        {"no rule for the changed property",
         {{.id = "Speed", .selectedValue = "10"}, {.id = "Duplex", .selectedValue = "Full"}},
         {},
         "Duplex", 0, {}},
        {"allRules: every rule, whatever the changed property holds, no fallback",
         {{.id = "Speed", .selectedValue = "Auto"}, {.id = "Duplex", .selectedValue = "Quarter"},
          {.id = "Flow", .selectedValue = "On"}},
         {{.id = "Buffers", .selectedValue = "50"}},
         "Duplex", 1,
         {"settings:Duplex=Half", "advanced:Buffers=10", "settings:Duplex=Full", "settings:Flow=Off"}},
    };
    for (const RuleCase &c : cases) {
        SCOPED_TRACE(c.name);
        FreeEntries(adapter_->settingsList);
        FreeEntries(adapter_->advancedList);
        FreeChanges(changes_);
        changes_ = nullptr;
        adapter_->settingsList = EntryList(c.settings);
        adapter_->advancedList = EntryList(c.advanced);
        ASSERT_EQ(Verify(c.changedId, c.allRules), 0u);
        EXPECT_EQ(Changes(), c.expected);
    }
}

TEST_F(VerifyDependencyTest, FallbackUsesTheBaseDefinition) {
    std::free(adapter_->definitionType);
    adapter_->definitionType = Text("NICB");
    adapter_->settingsList = EntryList({{.id = "Source", .selectedValue = "2"},
                                        {.id = "Wol", .selectedValue = "7"}});
    ASSERT_EQ(Verify("Source"), 0u);
    EXPECT_EQ(Changes(), std::vector<std::string>{"settings:Wol=1"});
}

TEST_F(VerifyDependencyTest, FailuresLeaveTheOutPointerAlone) {
    DependencyChange sentinel{};
    // A fallback property defined nowhere.
    std::free(adapter_->definitionType);
    adapter_->definitionType = Text("NICB");
    adapter_->settingsList = EntryList({{.id = "Ghostly", .selectedValue = "2"}});
    changes_ = &sentinel;
    EXPECT_EQ(Verify("Ghostly"), 100u);
    EXPECT_EQ(changes_, &sentinel);
    // The rule applies: the controlled property's definition is not needed.
    FreeEntries(adapter_->settingsList);
    adapter_->settingsList = EntryList({{.id = "Ghostly", .selectedValue = "1"}});
    changes_ = nullptr;
    EXPECT_EQ(Verify("Ghostly"), 0u);
    EXPECT_EQ(changes_, nullptr);

    // Unknown definition type, and no definition type at all.
    std::free(adapter_->definitionType);
    adapter_->definitionType = Text("NOPE");
    changes_ = &sentinel;
    EXPECT_EQ(Verify("Speed"), 100u);
    std::free(adapter_->definitionType);
    adapter_->definitionType = nullptr;
    EXPECT_EQ(Verify("Speed"), 100u);
    EXPECT_EQ(changes_, &sentinel);
    changes_ = nullptr;
}

TEST_F(VerifyDependencyTest, NullArgumentsAndNoDefinitions) {
    PanelEntry *changed = Entry({.id = "Speed"});
    DependencyChange *out = nullptr;
    EXPECT_EQ(VerifyDependency(nullptr, changed, &out, 0), 100u);
    EXPECT_EQ(VerifyDependency(adapter_, nullptr, &out, 0), 100u);
    EXPECT_EQ(VerifyDependency(adapter_, changed, nullptr, 0), 100u);
    EXPECT_EQ(out, nullptr);
    CloseXml(0);
    EXPECT_EQ(VerifyDependency(adapter_, changed, &out, 1), 100u);
    FreeEntries(changed);
}

}  // namespace
