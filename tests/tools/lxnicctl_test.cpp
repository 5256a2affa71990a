// lxnicctl run as a process on a temporary state file of the simulated
// server, as a person or a script would run it.
#include "tools/lxnicctl_fixture.h"

using testing::HasSubstr;
using testing::Not;

namespace {

using namespace lxnicctl_test;

TEST_F(LxnicctlTest, ListShowsTeamsWithMembersAndVlansUnderTheirParents) {
    std::string out = ok({"list"});
    EXPECT_THAT(out, HasSubstr("Team 1"));
    EXPECT_THAT(out, HasSubstr("1  ├─ eth0"));
    EXPECT_THAT(out, HasSubstr("2  ├─ eth1"));
    EXPECT_THAT(out, HasSubstr("└─ VLAN 20 \"Backup\""));
    EXPECT_THAT(out, HasSubstr("Disabled"));  // eth5's status

    json list = listJson();
    ASSERT_EQ(list["adapters"].size(), 6u);
    EXPECT_EQ(list["adapters"][2]["name"], "eth2");
    EXPECT_EQ(list["adapters"][2]["vlans"][0]["id"], "10");
    EXPECT_EQ(list["adapters"][2]["vlans"][0]["name"], "Sales");
    EXPECT_EQ(list["teams"][0]["members"], json::array({1, 2}));
    EXPECT_EQ(list["teams"][0]["status"], "Degraded");
    // Looking changes nothing: the server writes its file only at a commit.
    EXPECT_FALSE(std::filesystem::exists(state));
}

TEST_F(LxnicctlTest, ShowFindsTargetsByNumberNameTeamAndVlan) {
    EXPECT_THAT(ok({"show", "1"}), HasSubstr("SpeedDuplex     Speed & Duplex"));
    EXPECT_THAT(ok({"show", "eth3", "information"}), HasSubstr("SfpModule"));
    EXPECT_THAT(ok({"show", "Team 1", "TeamingControls"}), HasSubstr("Adapter Fault Tolerance"));
    EXPECT_THAT(ok({"show", "eth2/10"}), HasSubstr("Sales"));
    EXPECT_THAT(ok({"show", "Team 1/Backup"}), HasSubstr("20"));
    EXPECT_THAT(ok({"show", "Sales"}), HasSubstr("VLAN 10 on eth2"));

    json shown = json::parse(ok({"show", "eth0", "Advanced", "--json"}));
    const json &advanced = shown["panels"]["Advanced"];
    ASSERT_FALSE(advanced.empty());
    EXPECT_EQ(advanced[1]["id"], "JumboFrames");
    EXPECT_EQ(advanced[1]["value"], "Disabled");
    EXPECT_EQ(advanced[1]["range"], "Disabled|4088 Bytes|9014 Bytes");
    for (const json &entry : advanced) EXPECT_NE(entry["id"], "DebugTraceMask");  // hidden
    EXPECT_THAT(ok({"show", "eth0", "Advanced", "--all"}), HasSubstr("DebugTraceMask"));
}

TEST_F(LxnicctlTest, SetAppliesAndCommitsAndPrintsWhatTheRulesForce) {
    std::string out = ok({"set", "eth2", "SpeedDuplex=10 Mbps Half Duplex", "receive buffers=512"});
    EXPECT_THAT(out, HasSubstr("SpeedDuplex: \"Auto Negotiation\" -> \"10 Mbps Half Duplex\""));
    EXPECT_THAT(out, HasSubstr("[1/3]"));
    EXPECT_EQ(adapterState(1003)["properties"]["1"], "1");
    EXPECT_EQ(adapterState(1003)["properties"]["8"], "512");

    out = ok({"set", "eth2", "JumboFrames=9014 bytes"});
    EXPECT_THAT(out, HasSubstr("SpeedDuplex: \"10 Mbps Half Duplex\" -> \"Auto Negotiation\" "
                               "(forced by JumboFrames = \"9014 Bytes\")"));
    EXPECT_THAT(out, HasSubstr("takes effect when the object restarts"));
    EXPECT_EQ(adapterState(1003)["properties"]["3"], "9014");
    EXPECT_EQ(adapterState(1003)["properties"]["1"], "0");

    // While jumbo frames are on, the slow speeds are neither shown nor taken.
    EXPECT_THAT(ok({"show", "eth2", "Settings"}), HasSubstr("Auto Negotiation, 1000 Mbps Full Duplex  "));
    std::string before = ReadFile(state);
    CtlRun refused = ctl({"set", "eth2", "SpeedDuplex=10 Mbps Half Duplex"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_THAT(refused.err, HasSubstr("not allowed for SpeedDuplex of eth2 while JumboFrames is \"9014 Bytes\""));
    EXPECT_EQ(ReadFile(state), before);

    EXPECT_THAT(ok({"set", "eth2", "JumboFrames=9014 Bytes"}), HasSubstr("no changes"));
}

TEST_F(LxnicctlTest, TeamSettingsAndVlanNamesAreSetAndCommitted) {
    ok({"set", "Team 1", "OpMode=Adaptive Load Balancing", "RxPathValidationInterval=10"});
    ok({"set", "eth2/10", "VlanName=Sales EU"});
    json stateFile = json::parse(ReadFile(state));
    EXPECT_EQ(stateFile["teams"][0]["properties"]["101"], "1");
    EXPECT_EQ(stateFile["teams"][0]["properties"]["106"], "10");
    EXPECT_EQ(listJson()["adapters"][2]["vlans"][0]["name"], "Sales EU");
}

TEST_F(LxnicctlTest, TeamsAndVlansAreCreatedChangedAndRemoved) {
    std::string out = ok({"team", "create", "Team 2", "--members", "4,eth4", "OpMode=Static Link Aggregation"});
    EXPECT_THAT(out, HasSubstr("team \"Team 2\" created"));
    ok({"vlan", "add", "Team 2", "--id", "30", "--name", "Storage"});
    ok({"team", "add", "Team 2", "6"});

    json list = listJson();
    ASSERT_EQ(list["teams"].size(), 2u);
    EXPECT_EQ(list["teams"][1]["name"], "Team 2");
    EXPECT_EQ(list["teams"][1]["members"], json::array({4, 5, 6}));
    EXPECT_EQ(list["teams"][1]["vlans"][0]["id"], "30");
    EXPECT_EQ(list["teams"][1]["vlans"][0]["name"], "Storage");
    EXPECT_THAT(ok({"show", "Team 2", "TeamingControls"}), HasSubstr("Static Link Aggregation"));

    ok({"team", "remove", "Team 2", "eth5"});
    ok({"vlan", "remove", "Team 2/30"});
    ok({"team", "dissolve", "Team 1"});
    list = listJson();
    ASSERT_EQ(list["teams"].size(), 1u);
    EXPECT_EQ(list["teams"][0]["members"], json::array({4, 5}));
    EXPECT_TRUE(list["teams"][0]["vlans"].empty());
    EXPECT_EQ(list["adapters"][0]["team"], nullptr);
    EXPECT_THAT(ok({"list"}), Not(HasSubstr("Backup")));  // went with Team 1
}

TEST_F(LxnicctlTest, StructuralMistakesAreRefusedBeforeAnythingIsWritten) {
    ok({"set", "eth0", "SpeedDuplex=100 Mbps Full Duplex"});  // the file exists from here on
    const std::string before = ReadFile(state);
    struct Case {
        std::vector<std::string> arguments;
        std::string message;
    };
    const Case cases[] = {
        {{"team", "create", "Team 2", "--members", "1,4"}, "eth0 is already a member of team \"Team 1\""},
        {{"team", "create", "Team 1", "--members", "4"}, "there is already a team \"Team 1\""},
        {{"team", "remove", "Team 1", "eth2"}, "eth2 is not a member of team \"Team 1\""},
        {{"team", "add", "Team 1", "eth9"}, "no adapter \"eth9\""},
        {{"vlan", "add", "eth2", "--id", "10"}, "eth2 already has VLAN 10"},
        {{"vlan", "add", "eth2", "--id", "5000"}, "outside the range 1-4094"},
        {{"vlan", "remove", "eth2"}, "not a VLAN"},
    };
    for (const Case &c : cases) {
        CtlRun run = ctl(c.arguments);
        EXPECT_EQ(run.exitCode, 1) << c.message;
        EXPECT_THAT(run.err, HasSubstr(c.message));
        EXPECT_EQ(ReadFile(state), before) << c.message;
    }
}

TEST_F(LxnicctlTest, FailuresNameWhatFailedAndLeaveTheStateFileAsItWas) {
    TempDir scripts;
    std::string unknownNic = scripts.write("unknown-nic.xml",
        "<teamingconfig><team relnics='1 9'><property id='TeamName' value='T'/></team></teamingconfig>");
    std::string sevenNics = "<teamingconfig>";
    for (int i = 0; i < 7; ++i) sevenNics += "<nic><property id='SpeedDuplex' value='Auto Negotiation'/></nic>";
    std::string tooManyNics = scripts.write("seven.xml", sevenNics + "</teamingconfig>");
    std::string rejected = scripts.write("rejected.xml", "<teamingconfig><bogus/></teamingconfig>");

    ok({"set", "eth2", "FlowControl=Rx Enabled"});
    const std::string valid = ReadFile(state);
    std::string corrupt = dir.write("corrupt.json", "{\"format\": 1, \"adapters\": [");

    struct Case {
        std::vector<std::string> arguments;
        std::string stateFile;
        std::string message;
    };
    const Case cases[] = {
        {{"list"}, corrupt, "GetNicList answered result 6 (NIC interface library: the server's state file was refused"},
        {{"set", "eth0", "SpeedDuplex=Auto Negotiation"}, corrupt, "GetNicList answered result 6"},
        {{"show", "eth7"}, state, "no adapter, team or VLAN \"eth7\""},
        {{"set", "Team 3", "OpMode=x"}, state, "no adapter, team or VLAN \"Team 3\""},
        {{"set", "eth0", "SpeedDuplex=fast"}, state, "invalid value \"fast\" for SpeedDuplex of eth0: choose one of"},
        {{"set", "eth0", "ReceiveBuffers=4"}, state, "outside the range 80-2048"},
        {{"set", "eth0", "Statistics=1"}, state, "eth0 has no property \"Statistics\" that can be set"},
        {{"load", unknownNic}, state, "the script's team 1 names NIC 9, but this server has no adapter with that number"},
        {{"load", tooManyNics}, state, "NIC 7 is unknown"},
        {{"load", rejected}, state, "ReadXmlScriptFile answered result 100 (the script was rejected): "
                                    "Unexpected or invalid XML Element: <bogus>"},
        {{"load", scripts.path() + "/missing.xml"}, state, "result 106 (the file cannot be opened)"},
    };
    for (const Case &c : cases) {
        const std::string before = ReadFile(c.stateFile);
        CtlRun run = ctl(c.arguments, c.stateFile);
        EXPECT_EQ(run.exitCode, 1) << c.message;
        EXPECT_THAT(run.err, HasSubstr("lxnicctl: "));
        EXPECT_THAT(run.err, HasSubstr(c.message));
        EXPECT_EQ(ReadFile(c.stateFile), before) << c.message;
    }
    EXPECT_EQ(ReadFile(state), valid);

    CtlRun badDefinitions = ctl({"--defs", dir.path() + "/none.xml", "list"});
    EXPECT_EQ(badDefinitions.exitCode, 1);
    EXPECT_THAT(badDefinitions.err, HasSubstr("InitXml answered result 102 (definitions file missing or unreadable)"));
    EXPECT_EQ(ctl({"set", "eth0"}).exitCode, 2);  // no PROPERTY=VALUE
}

TEST_F(LxnicctlTest, SavedScriptLoadsIntoAFreshServer) {
    ok({"set", "eth2", "SpeedDuplex=100 Mbps Full Duplex"});
    ok({"team", "create", "Team 2", "--members", "4,5", "LoadBalAlgorithm=IP Address"});
    ok({"vlan", "add", "Team 2", "--id", "30", "--name", "Storage"});
    ok({"vlan", "add", "eth5", "--id", "7"});
    std::string script = dir.path() + "/config.xml";
    EXPECT_THAT(ok({"save", script}), HasSubstr("configuration saved"));
    std::string text = ReadFile(script);
    EXPECT_THAT(text, HasSubstr("<team relnics='4 5'>"));
    EXPECT_THAT(text, HasSubstr("UtilityVersion='1.0.0'"));

    std::string fresh = dir.path() + "/fresh.json";
    std::string plan = ok({"load", script, "--dry-run"}, fresh);
    EXPECT_THAT(plan, HasSubstr("new team \"Team 2\" with 4 (eth3) 5 (eth4)"));
    EXPECT_THAT(plan, HasSubstr("SpeedDuplex: \"Auto Negotiation\" -> \"100 Mbps Full Duplex\""));
    EXPECT_THAT(plan, HasSubstr("dry run: nothing applied"));
    EXPECT_FALSE(std::filesystem::exists(fresh));

    EXPECT_THAT(ok({"load", script}, fresh), HasSubstr("script applied"));
    json original = listJson(), loaded = listJson(fresh);
    ASSERT_EQ(loaded["teams"].size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(loaded["teams"][i]["name"], original["teams"][i]["name"]);
        EXPECT_EQ(loaded["teams"][i]["members"], original["teams"][i]["members"]);
        EXPECT_EQ(loaded["teams"][i]["vlans"][0]["id"], original["teams"][i]["vlans"][0]["id"]);
        EXPECT_EQ(loaded["teams"][i]["vlans"][0]["name"], original["teams"][i]["vlans"][0]["name"]);
    }
    EXPECT_EQ(loaded["adapters"][5]["vlans"][0]["id"], "7");
    EXPECT_THAT(ok({"show", "Team 2", "TeamingControls"}, fresh), HasSubstr("IP Address"));
    EXPECT_THAT(ok({"show", "eth2"}, fresh), HasSubstr("100 Mbps Full Duplex"));
    EXPECT_THAT(ok({"load", script}, fresh), HasSubstr("no changes"));

    ok({"save", dir.path() + "/full.xml", "--full", "--address-comments"});
    EXPECT_THAT(ReadFile(dir.path() + "/full.xml"), HasSubstr("<!-- <property id='CurrentAddress'"));
}

}  // namespace
