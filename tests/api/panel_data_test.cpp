// GetPanelData through the C interface, against the test double.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lxniccfg.h"
#include "support/nicif_double.h"
#include "support/records.h"
#include "support/test_files.h"

using nicif_double::Nic;
using testing_support::FreeEntries;
using testing_support::Ids;
using testing_support::Str;
using testing_support::TempDir;
using testing_support::W;
using testing_support::WildcardDefinitions;
using Calls = std::vector<std::string>;

namespace {

constexpr uint64_t kHandle = 17;
PanelEntry *const kUntouched = reinterpret_cast<PanelEntry *>(0x1);

AdapterEntry Adapter(const lx_wchar *definitionType) {
    AdapterEntry adapter{};
    adapter.handle = kHandle;
    adapter.definitionType = const_cast<lx_wchar *>(definitionType);
    return adapter;
}

// "Speed" (link 2) is enumerated with the default "Auto"; "Name" (link 42)
// and "Mtu" (link 5) are plain; "Fixed" is not held by the library;
// "BaseOnly" (link 9) lives in the base definition.
const char *kProperties = R"(
  <property id="Speed" linkid="2" enum="1" default="Auto" range="0-3" step="1"
            lowest="0" displayname="Link Speed" hint="Speed hint" controltype="combo"
            rangetype="list" dependency="2" teamproperty="" hide="true" compound="true"
            splevel="7abc" vbdrestart="1"/>
  <property id="Duplex" linkid="3" dependency="1"/>
  <property id="Name" linkid="42"/>
  <property id="Mtu" linkid="5"/>
  <property id="Fixed" linkid="-1" default="fixed value"/>
  <property id="FixedNoDefault" linkid="-1"/>
  <property id="Plain" linkid="-1" default="0" enum="1"/>
  <enumeration id="Speed">
    <enumitem enumid="0" enumvalue="Auto"/>
    <enumitem enumid="1" enumvalue="10 Mbps"/>
  </enumeration>
  <sourceproperty name="Speed" value="x"><linkproperty name="Duplex" range="" default=""/></sourceproperty>
)";

class PanelData : public ::testing::Test {
protected:
    void SetUp() override { Nic().reset(); }
    void TearDown() override {
        FreeEntries(list_ == kUntouched ? nullptr : list_);
        CloseXml(0);
    }

    // Loads ADP (derived from BASE) with the given panels.
    void Load(const std::string &panels, const std::string &properties = kProperties) {
        std::string body = R"(<nic type="BASE"><property id="BaseOnly" linkid="9"/></nic>)"
                           R"(<nic type="ADP" derived="BASE">)" +
                           properties + panels + "</nic></definitions>";
        std::string path = dir_.write("defs.xml", WildcardDefinitions(body));
        CloseXml(0);  // InitXml loads only what it is given after a close
        ASSERT_EQ(InitXml(W(path).c_str()), 0u);
        Nic().clearCalls();
    }
    static std::string Panel(const std::string &name, const std::vector<std::string> &items) {
        std::string text = "<panel name=\"" + name + "\">";
        for (const std::string &item : items) text += "<panelitem>" + item + "</panelitem>";
        return text + "</panel>";
    }

    uint32_t Get(const std::string &panel) {
        return GetPanelData(&adapter_, W(panel).c_str(), &list_);
    }
    std::vector<std::string> Values() const {
        std::vector<std::string> v;
        for (PanelEntry *e = list_; e && e != kUntouched; e = e->next) v.push_back(Str(e->value));
        return v;
    }

    TempDir dir_;
    AdapterEntry adapter_ = Adapter(u"ADP");
    PanelEntry *list_ = kUntouched;
};

TEST_F(PanelData, EntriesCarryTheDefinitionAndTheCurrentValues) {
    Load(Panel("settings", {"Speed", "Name", "Fixed", "BaseOnly"}));
    Nic().value("NicIfGetAdapterProperty", kHandle, 2, u"1");
    Nic().value("NicIfGetAdapterProperty", kHandle, 42, u"eth0", /*mustFree=*/false);
    Nic().value("NicIfGetAdapterProperty", kHandle, 9, u"from base");
    ASSERT_EQ(Get("Settings"), 0u);
    EXPECT_EQ(Nic().calls(), (Calls{"NicIfGetAdapterProperty(17, 2)",
                                    "NicIfGetAdapterProperty(17, 42)",
                                    "NicIfGetAdapterProperty(17, 9)"}));
    EXPECT_EQ(Ids(list_), (std::vector<std::string>{"Speed", "Name", "Fixed", "BaseOnly"}));
    EXPECT_EQ(Values(), (std::vector<std::string>{"10 Mbps", "eth0", "fixed value", "from base"}));

    const PanelEntry &speed = *list_;
    EXPECT_EQ(Str(speed.linkId), "2");
    EXPECT_EQ(Str(speed.range), "0-3");
    EXPECT_EQ(Str(speed.step), "1");
    EXPECT_EQ(Str(speed.lowest), "0");
    EXPECT_EQ(Str(speed.defaultValue), "Auto");
    EXPECT_EQ(Str(speed.displayName), "Link Speed");
    EXPECT_EQ(Str(speed.hint), "Speed hint");
    EXPECT_EQ(Str(speed.controlType), "combo");
    EXPECT_EQ(Str(speed.rangeType), "list");
    EXPECT_EQ(speed.dependencyFlags, 2);
    EXPECT_EQ(speed.isTeamProperty, 1);  // set, even though empty
    EXPECT_EQ(speed.hide, 1);
    EXPECT_EQ(speed.compound, 1);
    EXPECT_EQ(speed.spLevel, 7);
    EXPECT_EQ(speed.vbdRestart, 1);
    EXPECT_EQ(speed.derivedValue, nullptr);
    EXPECT_EQ(speed.newValue, nullptr);
    EXPECT_EQ(speed.selectedValue, nullptr);

    const PanelEntry &name = *speed.next;  // attributes the definition lacks stay NULL
    EXPECT_EQ(name.range, nullptr);
    EXPECT_EQ(name.defaultValue, nullptr);
    EXPECT_EQ(name.rangeType, nullptr);
    EXPECT_EQ(name.isTeamProperty, 0);
    EXPECT_EQ(name.dependencyFlags, 0);
    EXPECT_EQ(name.hide, 0);
}

TEST_F(PanelData, ResultsFollowTheReadsMade) {
    struct Case {
        const char *name;
        std::vector<std::string> items;
        std::vector<std::pair<uint32_t, uint32_t>> answers;  // link id, code
        uint32_t result;
        std::vector<std::string> ids;
    };
    const std::vector<Case> cases = {
        {"only unheld properties read nothing", {"Fixed", "Plain"}, {}, 100, {"Fixed", "Plain"}},
        {"unheld without default, then a good read", {"FixedNoDefault", "Name"}, {{42, 0}}, 100,
         {"FixedNoDefault", "Name"}},
        {"a good read, then unheld without default", {"Name", "FixedNoDefault"}, {{42, 0}}, 100,
         {"Name", "FixedNoDefault"}},
        {"a library error is kept over a missing default", {"Mtu", "FixedNoDefault"}, {{5, 6}},
         5 * 65536 + 6, {"Mtu", "FixedNoDefault"}},
        {"the later of two failures wins", {"Mtu", "Name", "BaseOnly"}, {{5, 6}, {42, 3}, {9, 0}},
         42 * 65536 + 3, {"Mtu", "Name", "BaseOnly"}},
        {"an undefined property, the others delivered", {"Name", "Nope", "Mtu"}, {{42, 0}, {5, 0}},
         100, {"Name", "Mtu"}},
        {"a failure after an undefined property", {"Nope", "Mtu"}, {{5, 9}}, 5 * 65536 + 9,
         {"Mtu"}},
        {"unsupported properties disappear", {"Name", "Mtu"}, {{42, 1}, {5, 0}}, 0, {"Mtu"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Nic().reset();
        Load(Panel("advanced", c.items));
        for (auto [link, code] : c.answers)
            Nic().valueWithCode("NicIfGetAdapterProperty", kHandle, link, code, u"v");
        list_ = kUntouched;
        EXPECT_EQ(Get("Advanced"), c.result);
        EXPECT_EQ(Ids(list_ == kUntouched ? nullptr : list_), c.ids);
        FreeEntries(list_ == kUntouched ? nullptr : list_);
        list_ = kUntouched;
    }
}

TEST_F(PanelData, FailedReadsLeaveTheEntryWithoutValue) {
    Load(Panel("statistics", {"Name", "Mtu", "Fixed"}));
    Nic().valueWithCode("NicIfGetAdapterProperty", kHandle, 42, 4, u"ignored");
    Nic().valueWithCode("NicIfGetAdapterProperty", kHandle, 5, 0, std::nullopt);
    EXPECT_EQ(Get("Statistics"), 42u * 65536 + 4);
    EXPECT_EQ(Values(), (std::vector<std::string>{"(null)", "(null)", "fixed value"}));
}

TEST_F(PanelData, AnOnlyUnsupportedPropertyLeavesTheListUntouched) {
    Load(Panel("information", {"Name"}));
    Nic().valueWithCode("NicIfGetAdapterProperty", kHandle, 42, 1, u"dropped");
    EXPECT_EQ(Get("Information"), 0u);
    EXPECT_EQ(list_, kUntouched);
}

TEST_F(PanelData, AValueOutsideTheEnumerationIsResetToTheDefault) {
    Load(Panel("settings", {"Name", "Speed"}));
    Nic().value("NicIfGetAdapterProperty", kHandle, 42, u"eth0");
    Nic().value("NicIfGetAdapterProperty", kHandle, 2, u"9", /*mustFree=*/false);
    Nic().respond("NicIfSetAdapterProperty", 7);  // a notice counts as written
    EXPECT_EQ(Get("Settings"), 0u);
    EXPECT_EQ(Nic().calls(), (Calls{"NicIfGetAdapterProperty(17, 42)",
                                    "NicIfGetAdapterProperty(17, 2)",
                                    "NicIfSetAdapterProperty(17, 2, \"0\", 4)"}));
    EXPECT_EQ(Values(), (std::vector<std::string>{"eth0", "Auto"}));
}

TEST_F(PanelData, AnUntranslatableValueEndsTheReadWithNothingDelivered) {
    struct Case {
        const char *name, *properties;
        uint32_t writeAnswer;
        Calls writes;
    };
    const std::string noDefault =
        R"(<property id="Name" linkid="42"/><property id="Speed" linkid="2" enum="1"/>
           <enumeration id="Speed"><enumitem enumid="0" enumvalue="Auto"/></enumeration>)";
    const std::string defaultNotInEnumeration =
        R"(<property id="Name" linkid="42"/><property id="Speed" linkid="2" enum="1" default="Fast"/>
           <enumeration id="Speed"><enumitem enumid="0" enumvalue="Auto"/></enumeration>)";
    const std::vector<Case> cases = {
        {"the default cannot be written", kProperties, 3,
         {"NicIfSetAdapterProperty(17, 2, \"0\", 4)"}},
        {"the property has no default", noDefault.c_str(), 0, {}},
        {"the default has no raw value", defaultNotInEnumeration.c_str(), 0, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Nic().reset();
        Load(Panel("settings", {"Name", "Speed"}), c.properties);
        Nic().value("NicIfGetAdapterProperty", kHandle, 42, u"eth0");
        Nic().value("NicIfGetAdapterProperty", kHandle, 2, u"9");
        Nic().respond("NicIfSetAdapterProperty", c.writeAnswer);
        EXPECT_EQ(Get("Settings"), 100u);
        EXPECT_EQ(list_, kUntouched);
        EXPECT_EQ(Nic().calls("NicIfSetAdapterProperty"), c.writes);
    }
}

TEST_F(PanelData, DiagnosticsListsEntriesWithoutReadingValues) {
    Load(Panel("diagnostics", {"Name", "Speed"}) + Panel("settings", {"Nope"}) +
         Panel("advanced", {"Name", "Nope"}));
    // Panels of the same name later in the file replace earlier ones, so
    // one file cannot hold two diagnostics panels: the failing and empty
    // cases below use reloads.
    EXPECT_EQ(Get("Diagnostics"), 0u);
    EXPECT_EQ(Ids(list_), (std::vector<std::string>{"Name", "Speed"}));
    EXPECT_EQ(Values(), (std::vector<std::string>{"(null)", "(null)"}));
    EXPECT_TRUE(Nic().calls().empty());
    FreeEntries(list_);
    list_ = kUntouched;

    Load(Panel("diagnostics", {"Nope", "Name"}));
    EXPECT_EQ(Get("Diagnostics"), 100u);
    EXPECT_EQ(Ids(list_), std::vector<std::string>{"Name"});
    FreeEntries(list_);
    list_ = kUntouched;

    for (const std::string &panel : {Panel("diagnostics", {}), Panel("diagnostics", {"Nope"})}) {
        Load(panel);
        EXPECT_EQ(Get("Diagnostics"), 104u);
        EXPECT_EQ(list_, kUntouched);
    }
}

TEST_F(PanelData, EveryAdapterPanelNameReachesItsPanel) {
    const std::vector<std::pair<std::string, std::string>> names = {
        {"Settings", "settings"}, {"Information", "information"},
        {"ConnectionInfo", "ConnectionInfo"}, {"ConnectionStats", "ConnectionStats"},
        {"Statistics", "statistics"}, {"AdvStatsActivity", "AdvStatsActivity"},
        {"AdvStatsXmitErrors", "AdvStatsXmitErrors"}, {"AdvStatsRcvErrors", "AdvStatsRcvErrors"},
        {"Advanced", "advanced"}, {"AdapterTeam", "AdapterTeam"},
        {"AdapterTeamStatus", "AdapterTeamStatus"}, {"AdapterUtilization", "AdapterUtilization"},
        {"iSCSIStatistics", "iSCSIStatistics"}, {"iSCSIToeStatistics", "iSCSIToeStatistics"},
        {"iSCSIInformation", "iSCSIInformation"}, {"iSCSIAdvanced", "iSCSIAdvanced"},
        {"iSCSIIP", "iSCSIIP"}, {"iSCSIVlan", "iSCSIVlan"}, {"RegistryValues", "RegistryValues"},
        {"ProtRegistryValues", "ProtRegistryValues"}, {"TaskOffload", "TaskOffload"},
        {"ToeTaskOffload", "ToeTaskOffload"}, {"RSSTaskOffload", "RssTaskOffload"},
        {"AdvRedAdapterTeamStatus", "AdvRedAdapterTeamStatus"},
        {"DiscProtocolsAdapterData", "DiscProtocolsAdapterData"},
        {"WSDStatistics", "WSDStatistics"}, {"WSDPerformance", "WSDPerformance"},
        {"WSDAddresses", "WSDAddresses"}, {"WSDInformation", "WSDInformation"},
        {"ToeStatistics", "ToeStatistics"},
    };
    // Each panel shows a property of its own, so a mix-up shows.
    std::string properties, panels;
    for (std::size_t i = 0; i < names.size(); ++i) {
        std::string id = "P" + std::to_string(i);
        properties += "<property id=\"" + id + "\" linkid=\"-1\" default=\"" + names[i].first + "\"/>";
        panels += Panel(names[i].second, {id});
    }
    Load(panels, properties);
    for (std::size_t i = 0; i < names.size(); ++i) {
        SCOPED_TRACE(names[i].first);
        list_ = kUntouched;
        EXPECT_EQ(Get(names[i].first), 100u);  // no library read was made
        EXPECT_EQ(Values(), std::vector<std::string>{names[i].first});
        FreeEntries(list_ == kUntouched ? nullptr : list_);
        list_ = kUntouched;
    }
}

TEST_F(PanelData, UnknownDefinitionsPanelsAndArgumentsGive100) {
    Load(Panel("settings", {"Name"}) + Panel("TeamSettings", {"Name"}) +
         Panel("RssTaskOffload", {"Name"}));
    for (const char *name : {"settings", "SETTINGS", "TeamSettings", "RssTaskOffload", "Advanced", ""}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(Get(name), 100u);
        EXPECT_EQ(list_, kUntouched);
    }
    AdapterEntry other = Adapter(nullptr);
    EXPECT_EQ(GetPanelData(&other, u"Settings", &list_), 100u);
    other = Adapter(u"OTHER");
    EXPECT_EQ(GetPanelData(&other, u"Settings", &list_), 100u);
    EXPECT_EQ(list_, kUntouched);
    EXPECT_EQ(GetPanelData(nullptr, u"Settings", &list_), 100u);
    EXPECT_EQ(GetPanelData(&adapter_, nullptr, &list_), 100u);
    EXPECT_EQ(GetPanelData(&adapter_, u"Settings", nullptr), 100u);
    EXPECT_TRUE(Nic().calls().empty());

    CloseXml(0);  // nothing loaded
    EXPECT_EQ(Get("Settings"), 100u);
    EXPECT_EQ(list_, kUntouched);
    EXPECT_EQ(Nic().calls(), Calls{"NicIfClose(0)"});
}

}  // namespace
