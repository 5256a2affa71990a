// GetSingleProperty and GetSingleTeamProperty through the C interface,
// against the test double.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "lxniccfg.h"
#include "support/nicif_double.h"
#include "support/records.h"
#include "support/test_files.h"

using nicif_double::Nic;
using testing_support::Str;
using testing_support::TempDir;
using testing_support::W;
using testing_support::WildcardDefinitions;
using Calls = std::vector<std::string>;

namespace {

constexpr uint64_t kAdapter = 17;
constexpr uint64_t kTeam = 30;
lx_wchar *const kUntouched = reinterpret_cast<lx_wchar *>(0x1);

// The same properties for ADP (derived from BASE) and TEAM (derived from
// TEAMBASE): "Speed" (link 2) is enumerated with the default "Auto", "Mtu"
// (5) is plain, "Fixed" and "FixedNoDefault" are not held by the library,
// "NoLink" has no link id, and "BaseOnly" (9) lives in the base definition.
const char *kProperties = R"(
  <property id="Speed" linkid="2" enum="1" default="Auto"/>
  <property id="Mtu" linkid="5"/>
  <property id="Fixed" linkid="-1" default="fixed value"/>
  <property id="FixedNoDefault" linkid="-1"/>
  <property id="NoLink" default="x"/>
  <property id="Locked" linkid="6" enum="1"/>
  <enumeration id="Speed">
    <enumitem enumid="0" enumvalue="Auto"/>
    <enumitem enumid="1" enumvalue="10 Mbps"/>
  </enumeration>
  <enumeration id="Locked"><enumitem enumid="0" enumvalue="Off"/></enumeration>
)";

class SingleReads : public ::testing::Test {
protected:
    void SetUp() override {
        Nic().reset();
        std::string body = std::string(R"(<nic type="BASE"><property id="BaseOnly" linkid="9"/></nic>)"
                                       R"(<nic type="TEAMBASE"><property id="BaseOnly" linkid="9"/></nic>)"
                                       R"(<nic type="ADP" derived="BASE">)") +
                           kProperties + R"(</nic><nic type="TEAM" derived="TEAMBASE">)" +
                           kProperties + "</nic></definitions>";
        std::string path = dir_.write("defs.xml", WildcardDefinitions(body));
        ASSERT_EQ(InitXml(W(path).c_str()), 0u);
        Nic().clearCalls();
    }
    void TearDown() override {
        Release();
        CloseXml(0);
    }
    void Release() {
        if (value_ != kUntouched) std::free(value_);
        value_ = kUntouched;
    }

    // Reads id from the adapter (team false) or the team.
    uint32_t Read(bool team, const std::string &id) {
        Release();
        return team ? GetSingleTeamProperty(kTeam, W(id).c_str(), &value_)
                    : GetSingleProperty(kAdapter, u"ADP", W(id).c_str(), &value_);
    }
    std::string Value() const { return value_ == kUntouched ? "(untouched)" : Str(value_); }

    TempDir dir_;
    lx_wchar *value_ = kUntouched;
};

TEST_F(SingleReads, ValuesFollowThePanelRules) {
    struct Case {
        const char *name, *id;
        std::optional<std::pair<uint32_t, uint32_t>> answer;  // link id, code
        std::u16string text;
        uint32_t result;
        std::string value;
        bool read;  // a library read is made
    };
    const std::vector<Case> cases = {
        {"a plain value", "Mtu", {{5, 0}}, u"1500", 0, "1500", true},
        {"an enumerated value is translated", "Speed", {{2, 0}}, u"1", 0, "10 Mbps", true},
        {"an unheld property gives its default", "Fixed", {}, u"", 0, "fixed value", false},
        {"an unheld property without default", "FixedNoDefault", {}, u"", 100, "(null)", false},
        {"without link id a property is not looked up", "NoLink", {}, u"", 100, "(untouched)", false},
        {"an undefined property", "Nope", {}, u"", 100, "(untouched)", false},
        {"the library's 3 carries the link id", "Mtu", {{5, 3}}, u"x", 5 * 65536 + 3, "(null)", true},
        {"other codes pass unchanged", "Mtu", {{5, 2}}, u"x", 2, "(null)", true},
        {"not supported", "Mtu", {{5, 1}}, u"x", 1, "(null)", true},
    };
    for (bool team : {false, true}) {
        for (const Case &c : cases) {
            SCOPED_TRACE(std::string(team ? "team: " : "adapter: ") + c.name);
            Nic().reset();
            const char *function = team ? "NicIfGetTeamProperty" : "NicIfGetAdapterProperty";
            if (c.answer)
                Nic().valueWithCode(function, team ? kTeam : kAdapter, c.answer->first,
                                    c.answer->second, c.text);
            EXPECT_EQ(Read(team, c.id), c.result);
            EXPECT_EQ(Value(), c.value);
            EXPECT_EQ(Nic().calls().size(), c.read ? 1u : 0u);
        }
    }
}

TEST_F(SingleReads, TheAdapterReadSearchesTheBaseDefinitionsTheTeamReadDoesNot) {
    Nic().value("NicIfGetAdapterProperty", kAdapter, 9, u"from base");
    EXPECT_EQ(Read(false, "BaseOnly"), 0u);
    EXPECT_EQ(Value(), "from base");
    EXPECT_EQ(Read(true, "BaseOnly"), 100u);
    EXPECT_EQ(Value(), "(untouched)");
    EXPECT_EQ(Nic().calls(), Calls{"NicIfGetAdapterProperty(17, 9)"});
}

TEST_F(SingleReads, AValueTheLibraryKeepsIsDeliveredAsAFreshCopy) {
    for (bool team : {false, true}) {
        Nic().value(team ? "NicIfGetTeamProperty" : "NicIfGetAdapterProperty",
                    team ? kTeam : kAdapter, 5, u"kept", /*mustFree=*/false);
        EXPECT_EQ(Read(team, "Mtu"), 0u);
        EXPECT_EQ(Value(), "kept");  // released with free by the fixture
    }
}

TEST_F(SingleReads, AValueOutsideTheEnumerationIsResetToTheDefaultOrStopsTheRead) {
    // Written back: the default is shown.
    Nic().value("NicIfGetAdapterProperty", kAdapter, 2, u"9");
    Nic().value("NicIfGetTeamProperty", kTeam, 2, u"9");
    EXPECT_EQ(Read(false, "Speed"), 0u);
    EXPECT_EQ(Value(), "Auto");
    EXPECT_EQ(Read(true, "Speed"), 0u);
    EXPECT_EQ(Value(), "Auto");
    EXPECT_EQ(Nic().calls(), (Calls{"NicIfGetAdapterProperty(17, 2)",
                                    "NicIfSetAdapterProperty(17, 2, \"0\", 4)",
                                    "NicIfGetTeamProperty(30, 2)",
                                    "NicIfSetTeamProperty(30, 2, \"0\", 4)"}));

    // The write refused, or no default to write: nothing is delivered.
    Nic().respond("NicIfSetAdapterProperty", 3);
    Nic().respond("NicIfSetTeamProperty", 3);
    Nic().value("NicIfGetAdapterProperty", kAdapter, 6, u"9");
    Nic().value("NicIfGetTeamProperty", kTeam, 6, u"9");
    for (bool team : {false, true}) {
        SCOPED_TRACE(team ? "team" : "adapter");
        EXPECT_EQ(Read(team, "Speed"), 100u);
        EXPECT_EQ(Value(), "(untouched)");
        EXPECT_EQ(Read(team, "Locked"), 100u);
        EXPECT_EQ(Value(), "(untouched)");
    }
}

TEST_F(SingleReads, UnknownDefinitionsAndArgumentsGive100) {
    EXPECT_EQ(GetSingleProperty(kAdapter, u"OTHER", u"Mtu", &value_), 100u);
    EXPECT_EQ(GetSingleProperty(kAdapter, nullptr, u"Mtu", &value_), 100u);
    EXPECT_EQ(GetSingleProperty(kAdapter, u"ADP", nullptr, &value_), 100u);
    EXPECT_EQ(GetSingleProperty(kAdapter, u"ADP", u"Mtu", nullptr), 100u);
    EXPECT_EQ(GetSingleTeamProperty(kTeam, nullptr, &value_), 100u);
    EXPECT_EQ(GetSingleTeamProperty(kTeam, u"Mtu", nullptr), 100u);
    EXPECT_EQ(value_, kUntouched);
    EXPECT_TRUE(Nic().calls().empty());

    CloseXml(0);  // nothing loaded
    EXPECT_EQ(GetSingleProperty(kAdapter, u"ADP", u"Fixed", &value_), 100u);
    EXPECT_EQ(GetSingleTeamProperty(kTeam, u"Fixed", &value_), 100u);
    EXPECT_EQ(value_, kUntouched);
}

}  // namespace
