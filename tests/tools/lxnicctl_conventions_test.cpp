// lxnicctl's command-line conventions: exit codes, the --json error object,
// --quiet, --brief, --version, --verbose, info and panels.
#include <sstream>

#include "tools/lxnicctl_fixture.h"

using testing::AllOf;
using testing::HasSubstr;
using testing::Not;
using testing::StartsWith;

namespace {

using namespace lxnicctl_test;

TEST_F(LxnicctlTest, UsageErrorsExitWithTwoAndSayWhatIsWrong) {
    ok({"set", "eth2", "FlowControl=Rx Enabled"});  // the state file exists from here on
    const std::string before = ReadFile(state);
    struct Case {
        std::vector<std::string> arguments;
        std::string message;
    };
    const Case cases[] = {
        {{"lsit"}, "unknown command \"lsit\"; did you mean \"list\"?"},
        {{"team", "dissolv", "Team 1"}, "unknown command \"team dissolv\"; did you mean \"team dissolve\"?"},
        {{"vlan"}, "\"vlan\" needs a command (add, remove)"},
        {{}, "a command is needed (list, show"},
        {{"--bogus", "list"}, "--bogus"},
        {{"set", "eth0", "SpeedDuplex"}, "\"SpeedDuplex\" is not PROPERTY=VALUE"},
        {{"set", "eth0"}, "PROPERTY=VALUE is required"},
        {{"team", "create", "", "--members", "4"}, "NAME: must not be empty"},
        {{"team", "create", "T", "--members", "4,,5"}, "--members \"4,,5\" has an empty item"},
        {{"save", ""}, "FILE: must not be empty"},
        {{"load", ""}, "FILE: must not be empty"},
        {{"--defs", "", "list"}, "--defs: must not be empty"},
        {{"vlan", "add", "eth2", "--id", ""}, "--id: must not be empty"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.message);
        CtlRun run = ctl(c.arguments);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_THAT(run.err, AllOf(StartsWith("lxnicctl: "), HasSubstr(c.message)));
        EXPECT_EQ(run.out, "");

        std::vector<std::string> withJson = c.arguments;
        withJson.push_back("--json");
        run = ctl(withJson);
        EXPECT_EQ(run.exitCode, 2);
        json error = json::parse(run.out)["error"];
        EXPECT_THAT(error["message"].get<std::string>(), HasSubstr(c.message));
        EXPECT_EQ(error["exitCode"], 2);
        EXPECT_TRUE(error["call"].is_null());
        EXPECT_TRUE(error["result"].is_null());
        EXPECT_EQ(ReadFile(state), before);
    }

    CtlRun emptyState = raw({"--state", "", "list"});
    EXPECT_EQ(emptyState.exitCode, 2);
    EXPECT_THAT(emptyState.err, HasSubstr("--state: must not be empty"));
}

TEST_F(LxnicctlTest, JsonErrorObjectNamesTheFailingCallItsResultAndMeaning) {
    std::string corrupt = dir.write("corrupt.json", "{\"format\": 1, \"adapters\": [");
    CtlRun run = ctl({"list", "--json"}, corrupt);
    EXPECT_EQ(run.exitCode, 1);
    json error = json::parse(run.out)["error"];
    EXPECT_EQ(error["call"], "GetNicList");
    EXPECT_EQ(error["result"], 6);
    EXPECT_THAT(error["meaning"].get<std::string>(), HasSubstr("state file was refused"));
    EXPECT_THAT(error["message"].get<std::string>(), HasSubstr("listing the adapters, teams and VLANs failed"));
    EXPECT_EQ(error["exitCode"], 1);
    EXPECT_THAT(run.err, HasSubstr("lxnicctl: listing the adapters, teams and VLANs failed"));

    // A refused value: no call failed.
    run = ctl({"--json", "set", "eth0", "SpeedDuplex=fast"});
    EXPECT_EQ(run.exitCode, 1);
    error = json::parse(run.out)["error"];
    EXPECT_TRUE(error["call"].is_null());
    EXPECT_THAT(error["message"].get<std::string>(), HasSubstr("invalid value \"fast\""));
}

TEST_F(LxnicctlTest, EveryCommandSpeaksJson) {
    json set = json::parse(ok({"set", "eth2", "JumboFrames=9014 Bytes", "SpeedDuplex=Auto Negotiation", "--json"}));
    EXPECT_EQ(set["changed"], true);
    EXPECT_EQ(set["target"], "eth2");
    ASSERT_EQ(set["changes"].size(), 1u);
    EXPECT_EQ(set["changes"][0], json({{"object", "eth2"}, {"property", "JumboFrames"}, {"from", "Disabled"},
                                       {"to", "9014 Bytes"}, {"forcedBy", nullptr}, {"cause", "requested"}}));
    EXPECT_EQ(set["steps"][0]["call"], "ApplyChanges");
    EXPECT_EQ(set["steps"][0]["result"], 7);  // takes effect at the restart

    json same = json::parse(ok({"--json", "set", "eth2", "JumboFrames=9014 Bytes"}));
    EXPECT_EQ(same["changed"], false);

    json created = json::parse(ok({"--json", "team", "create", "Team 2", "--members", "4,5"}));
    EXPECT_EQ(created["changed"], true);
    json vlan = json::parse(ok({"--json", "vlan", "add", "Team 2", "--id", "30"}));
    EXPECT_EQ(vlan["changed"], true);
    for (const std::vector<std::string> &arguments :
         {std::vector<std::string>{"show", "eth0"}, {"panels", "eth0"}, {"info"}, {"save", dir.path() + "/s.xml"}}) {
        std::vector<std::string> withJson = arguments;
        withJson.push_back("--json");
        EXPECT_NO_THROW(json::parse(ok(withJson))) << arguments[0];
    }
}

TEST_F(LxnicctlTest, QuietBriefVersionAndVerbose) {
    CtlRun quiet = ctl({"-q", "set", "eth2", "FlowControl=Rx Enabled"});
    EXPECT_EQ(quiet.exitCode, 0);
    EXPECT_EQ(quiet.out, "");
    EXPECT_EQ(adapterState(1003)["properties"]["2"], "1");

    std::string brief = ok({"list", "--brief"});
    EXPECT_THAT(brief, Not(HasSubstr("├─")));
    EXPECT_THAT(brief, Not(HasSubstr("NAME")));
    EXPECT_THAT(brief, HasSubstr("eth0       adapter  Active      1 VeltraneGE team Team 1\n"));
    EXPECT_THAT(brief, HasSubstr("eth2/10    vlan     -           Sales\n"));
    EXPECT_THAT(brief, HasSubstr("Team 1/20  vlan     -           Backup\n"));
    EXPECT_THAT(ok({"-b", "show", "eth0", "Settings"}), StartsWith("SpeedDuplex     Auto Negotiation\n"));

    CtlRun version = raw({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, "lxnicctl 1.0.0\n");

    CtlRun verbose = ctl({"-v", "list"});
    EXPECT_THAT(verbose.err, HasSubstr("lxnicctl: state file: " + state));
    EXPECT_THAT(ok({"info"}), HasSubstr("state file   " + state));
    json info = json::parse(ok({"info", "--json"}));
    EXPECT_EQ(info["stateFile"], state);
    EXPECT_EQ(info["stateFileExists"], true);
}

TEST_F(LxnicctlTest, PanelsListsEachPanelWithItsPropertiesAndShowGivesTheStep) {
    std::string panels = ok({"panels", "eth3"});
    EXPECT_THAT(panels, HasSubstr("eth3: Settings\nPROPERTY        NAME\nSpeedDuplex     Speed & Duplex\n"));
    EXPECT_THAT(panels, HasSubstr("eth3: Information\n"));
    EXPECT_THAT(panels, HasSubstr("SfpModule         SFP+ Module"));
    EXPECT_THAT(panels, Not(HasSubstr("DebugTraceMask")));  // hidden
    EXPECT_THAT(ok({"panels", "eth3", "--all"}), HasSubstr("DebugTraceMask"));
    json teamPanels = json::parse(ok({"panels", "Team 1", "--json"}));
    EXPECT_EQ(teamPanels["panels"][0]["name"], "TeamingControls");
    EXPECT_EQ(teamPanels["panels"][0]["properties"][0],
              json({{"id", "TeamName"}, {"displayName", "Team Name"}}));

    EXPECT_THAT(ok({"show", "eth0", "Advanced"}), HasSubstr("80-2048 step 8"));
    EXPECT_THAT(ok({"show", "eth2/10"}), Not(HasSubstr("step 1")));
}

}  // namespace

namespace {

TEST_F(LxnicctlTest, AFailingStepEndsItsLineBeforeTheErrorIsShown) {
    // The server cannot save its file there: the commit of step 3 fails.
    CtlRun run = ctl({"--state-dir", dir.path() + "/checkpoints", "set", "eth2", "FlowControl=Rx Enabled"},
                     "/proc/lxnicctl-none/state.json");
    EXPECT_EQ(run.exitCode, 1);
    ASSERT_FALSE(run.out.empty());
    EXPECT_EQ(run.out.back(), '\n');
    EXPECT_THAT(run.out, testing::EndsWith("[3/3] committing everything at once (ApplyConfigChanges)\n"));
    // Every message is a line of its own.
    std::istringstream lines(run.err);
    for (std::string line; std::getline(lines, line);) {
        EXPECT_THAT(line, testing::AnyOf(StartsWith("lxnicctl: "), StartsWith("lxnicif: "))) << line;
    }
    EXPECT_THAT(run.err, HasSubstr("lxnicctl: committing everything at once failed: "
                                   "ApplyConfigChanges answered result 6"));
    EXPECT_THAT(run.err, HasSubstr("nothing was applied: the server is as it was before the command"));
}

}  // namespace
