// The state file: where it is, what is refused, and that a refused file is
// never written over.
#include <cstdlib>
#include <filesystem>

#include "sim_support.h"

using namespace sim_test;

using StateFileTest = SimTest;

TEST_F(StateFileTest, RefusesABrokenOrNewerFileAndLeavesItUntouched) {
    // A valid file to break in several ways.
    ASSERT_EQ(Write(Kind::Adapter, kEth0, 8, "512"), 0u);
    ASSERT_EQ(NicIfApplyPass2(kEth0), 0u);
    nlohmann::json good = stateJson();

    auto newer = good;
    newer["format"] = 2;
    auto twoTeams = good;
    twoTeams["teams"].push_back({{"handle", 3999}, {"members", {1001}}});
    auto orphanVlan = good;
    orphanVlan["vlans"][0]["parent"] = 999;
    auto emptyTeam = good;
    emptyTeam["teams"][0]["members"] = nlohmann::json::array();
    auto wrongTeamField = good;
    wrongTeamField["adapters"][3]["team"] = 2001;
    auto badValue = good;
    badValue["adapters"][0]["properties"]["3"] = nlohmann::json::array();
    auto noFormat = good;
    noFormat.erase("format");
    auto reusedHandle = good;
    reusedHandle["vlans"][0]["handle"] = 1001;

    const std::pair<const char *, std::string> files[] = {
        {"not JSON", "{\"format\": 1, \"adapters\": ["},
        {"empty", ""},
        {"newer format", newer.dump()},
        {"adapter in two teams", twoTeams.dump()},
        {"VLAN without parent", orphanVlan.dump()},
        {"team without member", emptyTeam.dump()},
        {"adapter naming a team that does not list it", wrongTeamField.dump()},
        {"property value of the wrong type", badValue.dump()},
        {"no format", noFormat.dump()},
        {"handle used twice", reusedHandle.dump()},
    };
    for (const auto &[what, bytes] : files) {
        writeState(bytes);
        NicIfClose(0);
        EXPECT_EQ(Enumerate().code, 6u) << what;
        EXPECT_EQ(Write(Kind::Adapter, kEth0, 8, "1024"), 6u) << what;
        EXPECT_EQ(NicIfApplyPass2(kEth0), 6u) << what;
        EXPECT_EQ(NicIfApplyConfigChanges(0, 0), 6u) << what;
        EXPECT_EQ(Read(Kind::Adapter, kEth0, 8).first, 6u) << what;
        EXPECT_EQ(readState(), bytes) << what;
    }

    // Repaired, it is read again after NicIfClose.
    writeState(good.dump());
    NicIfClose(0);
    EXPECT_EQ(Read(Kind::Adapter, kEth0, 8).second, "512");
}

TEST_F(StateFileTest, AnOlderFormatAndHandEditedValuesAreRead) {
    ASSERT_EQ(NicIfApplyConfigChanges(0, 0), 0u);
    ASSERT_EQ(Write(Kind::Adapter, kEth0, 8, "512"), 0u);
    ASSERT_EQ(NicIfApplyPass2(kEth0), 0u);
    nlohmann::json doc = stateJson();
    doc["adapters"][1]["status"] = "active";
    doc["adapters"][0]["properties"]["11"] = 7;  // a number where a text is expected
    doc["adapters"][0]["label"] = "A label much longer than the forty characters of the record";
    writeState(doc.dump());
    NicIfClose(0);
    Inventory inv = Enumerate();
    ASSERT_EQ(inv.code, 0u);
    EXPECT_EQ(inv.team(kTeam1)->status, 0u);
    EXPECT_EQ(inv.adapter(kEth0)->label, "A label much longer than the forty chara");
    EXPECT_EQ(Read(Kind::Adapter, kEth0, 11).second, "7");
}

TEST_F(StateFileTest, WithoutLxnicifStateTheFileLivesInTheXdgStateDirectory) {
    unsetenv("LXNICIF_STATE");
    std::string xdg = dir() + "/xdg";
    setenv("XDG_STATE_HOME", xdg.c_str(), 1);
    NicIfClose(0);
    ASSERT_EQ(Write(Kind::Adapter, kEth0, 8, "512"), 0u);
    ASSERT_EQ(NicIfApplyPass2(kEth0), 0u);
    unsetenv("XDG_STATE_HOME");
    EXPECT_TRUE(std::filesystem::exists(xdg + "/lxnicif/state.json"));
    EXPECT_FALSE(stateExists());
}

TEST_F(StateFileTest, TheSavedFileIsReadableJsonWithTeamsOnBothSides) {
    ASSERT_EQ(NicIfApplyConfigChanges(0, 0), 0u) << "nothing staged: nothing to save";
    EXPECT_FALSE(stateExists());
    ASSERT_EQ(Write(Kind::Team, kTeam1, 100, "Team \"A\" & <B>"), 0u);
    ASSERT_EQ(NicIfApplyPass2(kTeam1), 0u);
    nlohmann::json doc = stateJson();
    EXPECT_EQ(doc["format"], 1);
    EXPECT_EQ(doc["nextHandle"], 4001);
    EXPECT_EQ(doc["adapters"][0]["team"], 2001);
    EXPECT_EQ(doc["adapters"][2]["team"], 0);
    EXPECT_EQ(doc["adapters"][1]["status"], "not active");
    EXPECT_EQ(doc["teams"][0]["members"], nlohmann::json({1001, 1002}));
    EXPECT_EQ(doc["teams"][0]["properties"]["100"], "Team \"A\" & <B>");
    // Texts outside ASCII travel through the file unchanged.
    ASSERT_EQ(Write(Kind::Vlan, kSalesVlan, 201, "販売 \xF0\x9F\x93\x88"), 0u);
    ASSERT_EQ(NicIfApplyPass2(kSalesVlan), 0u);
    NicIfClose(0);
    EXPECT_EQ(Read(Kind::Vlan, kSalesVlan, 201).second, "販売 \xF0\x9F\x93\x88");
}
