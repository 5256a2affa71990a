// SetSingleProperty, SetSingleTeamProperty, SetSingleRawTeamProperty and
// ApplyConfigChanges through the C interface, against the test double.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lxniccfg.h"
#include "support/nicif_double.h"
#include "support/test_files.h"

using nicif_double::Nic;
using testing_support::TempDir;
using testing_support::W;
using testing_support::WildcardDefinitions;
using Calls = std::vector<std::string>;

namespace {

// "Speed" is enumerated ("Auto" twice, to show the first item wins),
// "BaseOnly" exists only in the base both ADP and TEAM derive from.
const char *kDefinitions = R"(
<nic type="BASE">
  <property id="BaseOnly" linkid="9"/>
</nic>
<nic type="ADP" derived="BASE">
  <property id="Speed" linkid="2" enum="1" default="Auto"/>
  <property id="Name" linkid="42"/>
  <enumeration id="Speed">
    <enumitem enumid="0" enumvalue="Auto"/>
    <enumitem enumid="1" enumvalue="10 Mbps"/>
    <enumitem enumid="5" enumvalue="Auto"/>
  </enumeration>
</nic>
<nic type="TEAM" derived="BASE">
  <property id="TeamMode" linkid="7" enum="1" default="Smart"/>
  <property id="TeamName" linkid="3"/>
  <enumeration id="TeamMode">
    <enumitem enumid="4" enumvalue="Smart"/>
    <enumitem enumid="6" enumvalue="Fault Tolerance"/>
  </enumeration>
</nic>
)";

class SingleWrites : public ::testing::Test {
protected:
    void SetUp() override {
        Nic().reset();
        Load(kDefinitions);
    }
    void TearDown() override { CloseXml(0); }

    void Load(const std::string &body) {
        CloseXml(0);
        std::string path = dir_.write("defs.xml", WildcardDefinitions(body + "</definitions>"));
        ASSERT_EQ(InitXml(W(path).c_str()), 0u);
        Nic().clearCalls();
    }

    static uint32_t Adapter(const std::string &id, const std::string &value, uint8_t reg = 0,
                            const std::string &type = "ADP") {
        return SetSingleProperty(17, W(type).c_str(), W(id).c_str(), W(value).c_str(), reg);
    }
    static uint32_t Team(const std::string &id, const std::string &value) {
        return SetSingleTeamProperty(30, W(id).c_str(), W(value).c_str());
    }

    TempDir dir_;
};

TEST_F(SingleWrites, PassesTheValueBufferWithItsSizeInBytes) {
    EXPECT_EQ(Adapter("Name", "abc"), 0u);
    EXPECT_EQ(Adapter("Name", ""), 0u);
    EXPECT_EQ(Adapter("Name", "Ünïcödé"), 0u);
    EXPECT_EQ(Team("TeamName", "Team A"), 0u);
    EXPECT_EQ(Nic().calls(), (Calls{
                                 "NicIfSetAdapterProperty(17, 42, \"abc\", 8)",
                                 "NicIfSetAdapterProperty(17, 42, \"\", 2)",
                                 "NicIfSetAdapterProperty(17, 42, \"Ünïcödé\", 16)",
                                 "NicIfSetTeamProperty(30, 3, \"Team A\", 14)",
                             }));
}

TEST_F(SingleWrites, EnumeratedTextsGoOutAsTheRawValueOfTheirFirstItem) {
    EXPECT_EQ(Adapter("Speed", "Auto"), 0u);
    EXPECT_EQ(Adapter("Speed", "10 Mbps"), 0u);
    EXPECT_EQ(Team("TeamMode", "Fault Tolerance"), 0u);
    EXPECT_EQ(Nic().calls(), (Calls{
                                 "NicIfSetAdapterProperty(17, 2, \"0\", 4)",
                                 "NicIfSetAdapterProperty(17, 2, \"1\", 4)",
                                 "NicIfSetTeamProperty(30, 7, \"6\", 4)",
                             }));
}

TEST_F(SingleWrites, ARawValueOrUnknownTextOfAnEnumeratedPropertyIsRefused) {
    EXPECT_EQ(Adapter("Speed", "1"), 100u);      // an enumid, not a shown text
    EXPECT_EQ(Adapter("Speed", "auto"), 100u);   // case matters
    EXPECT_EQ(Team("TeamMode", "4"), 100u);
    EXPECT_TRUE(Nic().calls().empty());
    // The raw write passes the caller's value on untouched, enum or not.
    const char16_t raw[] = u"4";
    EXPECT_EQ(SetSingleRawTeamProperty(30, u"TeamMode", raw, 0), 0u);
    EXPECT_EQ(Nic().lastRawValue(), raw);
    EXPECT_EQ(Nic().calls(), Calls{"NicIfSetTeamProperty(30, 7, raw, 4294967295)"});
}

TEST_F(SingleWrites, AdapterWritesFollowTheBaseChainTeamWritesDoNot) {
    const char16_t raw[] = u"x";
    EXPECT_EQ(Adapter("BaseOnly", "v"), 0u);
    EXPECT_EQ(Team("BaseOnly", "v"), 100u);
    EXPECT_EQ(SetSingleRawTeamProperty(30, u"BaseOnly", raw, 1), 100u);
    EXPECT_EQ(Nic().calls(), Calls{"NicIfSetAdapterProperty(17, 9, \"v\", 4)"});
}

TEST_F(SingleWrites, RawWritesGoToTheVlanOrTheTeam) {
    uint32_t raw = 1234;
    EXPECT_EQ(SetSingleRawTeamProperty(31, u"TeamName", &raw, 1), 0u);
    EXPECT_EQ(Nic().lastRawValue(), &raw);
    EXPECT_EQ(SetSingleRawTeamProperty(30, u"TeamName", &raw, 0), 0u);
    EXPECT_EQ(Nic().calls(), (Calls{
                                 "NicIfSetVlanProperty(31, 3, raw, 4294967295)",
                                 "NicIfSetTeamProperty(30, 3, raw, 4294967295)",
                             }));
}

TEST_F(SingleWrites, LibraryAnswersAreFolded) {
    struct Case {
        uint32_t answer, adapter, team;  // property 42 for the adapter, 3 for the team
    };
    for (Case c : std::vector<Case>{{0, 0, 0},
                                    {7, 0, 0},
                                    {3, 42 * 65536 + 3, 3 * 65536 + 3},
                                    {1, 1, 1},
                                    {5, 5, 5},
                                    {0x30003, 0x30003, 0x30003}}) {
        SCOPED_TRACE(c.answer);
        Nic().respond("NicIfSetAdapterProperty", c.answer);
        Nic().respond("NicIfSetTeamProperty", c.answer);
        Nic().respond("NicIfSetVlanProperty", c.answer);
        uint32_t raw = 0;
        EXPECT_EQ(Adapter("Name", "v", 1), c.adapter);
        EXPECT_EQ(Team("TeamName", "v"), c.team);
        EXPECT_EQ(SetSingleRawTeamProperty(30, u"TeamName", &raw, 0), c.team);
        EXPECT_EQ(SetSingleRawTeamProperty(31, u"TeamName", &raw, 1), c.team);
    }
    // The example numbers: property 42 answering 3 is 2752515.
    Nic().respond("NicIfSetAdapterProperty", 3);
    EXPECT_EQ(Adapter("Name", "v"), 2752515u);
}

TEST_F(SingleWrites, MissingDefinitionsPropertiesOrArgumentsGive100WithoutACall) {
    const char16_t raw[] = u"x";
    EXPECT_EQ(Adapter("Name", "v", 1, "OTHER"), 100u);
    EXPECT_EQ(Adapter("Nope", "v"), 100u);
    EXPECT_EQ(Team("Nope", "v"), 100u);
    EXPECT_EQ(SetSingleRawTeamProperty(30, u"Nope", raw, 0), 100u);
    EXPECT_EQ(SetSingleProperty(17, nullptr, u"Name", u"v", 1), 100u);
    EXPECT_EQ(SetSingleProperty(17, u"ADP", nullptr, u"v", 1), 100u);
    EXPECT_EQ(SetSingleProperty(17, u"ADP", u"Name", nullptr, 1), 100u);
    EXPECT_EQ(SetSingleTeamProperty(30, nullptr, u"v"), 100u);
    EXPECT_EQ(SetSingleTeamProperty(30, u"TeamName", nullptr), 100u);
    EXPECT_EQ(SetSingleRawTeamProperty(30, nullptr, raw, 0), 100u);
    EXPECT_EQ(SetSingleRawTeamProperty(30, u"TeamName", nullptr, 0), 100u);
    EXPECT_TRUE(Nic().calls().empty());
}

TEST_F(SingleWrites, WithoutLoadedDefinitionsOrTeamDefinitionEveryWriteGives100) {
    const char16_t raw[] = u"x";
    Load(R"(<nic type="ADP"><property id="Name" linkid="42"/></nic>)");
    EXPECT_EQ(Team("Name", "v"), 100u);
    EXPECT_EQ(SetSingleRawTeamProperty(30, u"Name", raw, 1), 100u);
    EXPECT_EQ(Adapter("Name", "v"), 0u);
    CloseXml(0);
    Nic().clearCalls();
    EXPECT_EQ(Adapter("Name", "v"), 100u);
    EXPECT_EQ(Team("TeamName", "v"), 100u);
    EXPECT_EQ(SetSingleRawTeamProperty(30, u"TeamName", raw, 0), 100u);
    EXPECT_TRUE(Nic().calls().empty());
}

TEST(ApplyConfigChanges, PassesThrough) {
    Nic().reset();
    Nic().respond("NicIfApplyConfigChanges", 55, 9);
    EXPECT_EQ(ApplyConfigChanges(55, 0x80000001u), 9u);
    EXPECT_EQ(ApplyConfigChanges(56, 0), 0u);
    EXPECT_EQ(Nic().calls(), (Calls{"NicIfApplyConfigChanges(55, 2147483649)",
                                    "NicIfApplyConfigChanges(56, 0)"}));
}

}  // namespace
