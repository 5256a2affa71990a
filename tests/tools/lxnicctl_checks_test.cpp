// Every input of lxnicctl is valid or refused with a message that names the
// value and says what would be accepted, and the state file is left as it
// was: names and identities, values by their kind, targets that could mean
// more than one object, scripts and files.
#include "tools/lxnicctl_fixture.h"

using testing::HasSubstr;
using testing::Not;

namespace {

using namespace lxnicctl_test;

struct Refusal {
    std::vector<std::string> arguments;
    std::string message;
};

class LxnicctlChecksTest : public LxnicctlTest {
protected:
    // Each case exits with 1, says the message and changes nothing.
    void expectRefused(const std::vector<Refusal> &cases) {
        const std::string before = ReadFile(state);
        for (const Refusal &c : cases) {
            SCOPED_TRACE(c.message);
            CtlRun run = ctl(c.arguments);
            EXPECT_EQ(run.exitCode, 1) << run.out;
            EXPECT_THAT(run.err, HasSubstr(c.message));
            EXPECT_EQ(ReadFile(state), before);
        }
    }

    std::string script(const std::string &name, const std::string &body) {
        return dir.write(name, "<teamingconfig>" + body + "</teamingconfig>");
    }
};

TEST_F(LxnicctlChecksTest, NamesAndIdentitiesHoldWhereverTheValueComesFrom) {
    ok({"team", "create", "Team 2", "--members", "4"});
    ok({"vlan", "add", "eth2", "--id", "11"});
    const std::string seventy(70, 'x');
    expectRefused({
        {{"team", "create", "Team 1", "--members", "5"}, "there is already a team \"Team 1\""},
        {{"set", "Team 2", "TeamName=Team 1"}, "there is already a team \"Team 1\""},
        {{"load", script("same-name.xml", "<team relnics='5'><property id='TeamName' value='New'/></team>"
                                          "<team relnics='6'><property id='TeamName' value='New'/></team>")},
         "there is already a team \"New\""},
        {{"set", "Team 2", "TeamName=eth0"}, "it is the name of an adapter"},
        {{"team", "create", "7", "--members", "5"}, "a team name cannot be a number"},
        {{"set", "Team 2", "TeamName=team:x"}, "cannot begin with \"team:\""},
        {{"set", "Team 2", "TeamName=Team 2 "}, "does not begin or end with a space"},
        {{"set", "Team 2", "TeamName="}, "a team name cannot be empty"},
        {{"set", "Team 2", "TeamName=" + seventy}, "at most 64 characters (this has 70)"},
        {{"set", "Team 2", "TeamName=A\aB"}, "invalid value \"A\\x07B\" for TeamName of team \"Team 2\": it holds a "
                                             "control character"},
        // An overlong encoding of a space: once stored as "Team 1", now refused.
        {{"set", "Team 2", "TeamName=Team\xC0\xA0" "1"}, "it is not valid UTF-8"},
        {{"load", script("bad-name.xml", "<team relnics='5'><property id='TeamName' value='a&#10;b'/></team>")},
         "holds a control character"},

        {{"vlan", "add", "eth2", "--id", "010"}, "eth2 already has VLAN 10"},
        {{"set", "eth2/11", "VlanId=0010"}, "eth2 already has VLAN 10"},
        {{"load", script("same-id.xml", "<nic/><nic/><nic><vlan><property id='VlanId' value='12'/></vlan>"
                                        "<vlan><property id='VlanId' value='012'/></vlan></nic>")},
         "eth2 already has VLAN 12"},
        {{"vlan", "add", "eth2", "--id", "4095"}, "outside the range 1-4094"},
        {{"vlan", "add", "eth2", "--id", "ten"}, "a VLAN id is a whole number 1-4094"},
        {{"vlan", "add", "eth2", "--id", "12", "--name", "Sales"}, "eth2 already has a VLAN named \"Sales\" (VLAN 10)"},
        {{"set", "eth2/11", "VlanName=20"}, "a VLAN name cannot be a number"},
    });
    // The same id written differently names the same VLAN.
    EXPECT_THAT(ok({"show", "eth2/010"}), HasSubstr("VLAN 10 on eth2"));
}

TEST_F(LxnicctlChecksTest, FreeTextPropertiesAreCheckedByWhatTheyHold) {
    ok({"set", "eth0", "NetworkAddress=001b21aabbcc"});
    EXPECT_EQ(adapterState(1001)["properties"]["12"], "00:1B:21:AA:BB:CC");
    ok({"set", "eth1", "NetworkAddress=00-1b-21-aa-bb-cd"});
    EXPECT_EQ(adapterState(1002)["properties"]["12"], "00:1B:21:AA:BB:CD");
    ok({"set", "Team 1", "EchoNodeIPAddress=192.0.2.7", "RouterPathIPAddress=2001:DB8::1", "PreferredPrimaryNIC=2"});
    json team = json::parse(ReadFile(state))["teams"][0]["properties"];
    EXPECT_EQ(team["121"], "192.0.2.7");
    EXPECT_EQ(team["123"], "2001:db8::1");
    EXPECT_EQ(team["103"], "eth1");  // a member by number is kept by name

    expectRefused({
        {{"set", "eth0", "NetworkAddress=01:00:5E:00:00:01"}, "a multicast address cannot be an adapter's address"},
        {{"set", "eth0", "NetworkAddress=00:1B:21:AA:BB"}, "a MAC address is 12 hex digits"},
        {{"set", "eth0", "NetworkAddress=00:1B-21:AA:BB:CC"}, "a MAC address is 12 hex digits"},
        {{"set", "eth0", "NetworkAddress=000000000000"}, "the all-zero address is not an address"},
        {{"set", "Team 1", "TeamNetworkAddress=zz:1B:21:AA:BB:CC"}, "a MAC address is 12 hex digits"},
        {{"set", "Team 1", "EchoNodeIPAddress=10.0.0.256"}, "an IP address is IPv4 (192.0.2.7) or IPv6"},
        {{"set", "Team 1", "EchoNodeIPAddress=010.0.0.1"}, "an IP address is IPv4"},
        {{"set", "Team 1", "RouterPathIPAddress=2001:db8:::1"}, "an IP address is IPv4"},
        {{"set", "Team 1", "EchoNodeIPAddress=0.0.0.0"}, "not the address of a host"},
        {{"set", "Team 1", "PreferredPrimaryNIC=eth2"}, "it must name a member of the team (1 eth0, 2 eth1)"},
        {{"set", "eth0", "ReceiveBuffers=81"}, "must be 80 plus a multiple of 8"},
    });
}

TEST_F(LxnicctlChecksTest, APreferredPrimaryThatLeavesTheTeamIsClearedAndSaidSo) {
    ok({"team", "add", "Team 1", "eth2"});
    std::string out = ok({"team", "remove", "Team 1", "eth0"});
    EXPECT_THAT(out, HasSubstr("PreferredPrimaryNIC: \"eth0\" -> \"\""));
    EXPECT_THAT(out, HasSubstr("eth0 was the preferred primary; the team has none now"));
    EXPECT_EQ(json::parse(ReadFile(state))["teams"][0]["properties"]["103"], "");
}

TEST_F(LxnicctlChecksTest, ATargetThatCouldMeanMoreThanOneObjectIsRefusedWithTheCandidates) {
    // Two teams of one name and a team named like an adapter, as another
    // front end or a hand-edited state file may leave them.
    ok({"team", "create", "Twin", "--members", "4"});
    ok({"team", "create", "Other", "--members", "5"});
    ok({"team", "create", "Third", "--members", "6"});
    json doc = json::parse(ReadFile(state));
    doc["teams"][2]["properties"]["100"] = "Twin";
    doc["teams"][3]["properties"]["100"] = "eth2";
    dir.write("state.json", doc.dump(2));

    expectRefused({
        {{"team", "dissolve", "Twin"},
         "\"Twin\" is ambiguous: it names team \"Twin\" (handle:4001), team \"Twin\" (handle:4002); say which"},
        {{"team", "remove", "Twin", "eth3"}, "\"Twin\" is ambiguous"},
        {{"show", "eth2"}, "\"eth2\" is ambiguous: it names eth2 (nic:3), team \"eth2\" (team:eth2)"},
        {{"vlan", "add", "eth2", "--id", "5"}, "\"eth2\" is ambiguous"},
        {{"set", "eth2", "SpeedDuplex=Auto Negotiation"}, "\"eth2\" is ambiguous"},
        {{"vlan", "remove", "vlan:eth2/10"}, "\"eth2\" is ambiguous"},
        {{"load", script("twin.xml", "<team relnics='4'><property id='OpMode' value='Adaptive Load Balancing'/>"
                                     "<property id='TeamName' value='Twin'/></team>")},
         "the script's team 1 is named \"Twin\", which 2 teams of this server are called"},
    });
    EXPECT_THAT(ok({"show", "team:eth2", "TeamingControls"}), HasSubstr("team \"eth2\": TeamingControls"));
    EXPECT_THAT(ok({"show", "nic:eth2"}), HasSubstr("eth2: Settings"));
    ok({"vlan", "remove", "vlan:nic:eth2/10"});
    ok({"team", "dissolve", "handle:4002"});
    EXPECT_EQ(listJson()["teams"].size(), 3u);
}

TEST_F(LxnicctlChecksTest, NamesAreShownEscapedInTablesAndPlainInJson) {
    ok({"set", "eth2", "FlowControl=Rx Enabled"});
    json doc = json::parse(ReadFile(state));
    doc["teams"][0]["properties"]["100"] = "Evil\x1b[2J\xC2\x9B" "1";  // ESC and CSI (U+009B)
    dir.write("state.json", doc.dump(2));
    std::string list = ok({"list"});
    EXPECT_THAT(list, HasSubstr("Evil\\x1b[2J\\u009b1"));
    EXPECT_THAT(list, Not(HasSubstr("\x1b")));
    EXPECT_EQ(listJson()["teams"][0]["name"], "Evil\x1b[2J\xC2\x9B" "1");
}

TEST_F(LxnicctlChecksTest, ScriptsThatCannotBeReadAsMeantAreRefusedOrWarnedAbout) {
    ok({"set", "eth2", "FlowControl=Rx Enabled"});
    expectRefused({
        {{"load", script("nested.xml", "<nic><property id='SpeedDuplex' value='Auto Negotiation'/>"
                                       "<nic><property id='FlowControl' value='Disabled'/></nic></nic>")},
         "Unexpected or invalid XML Element: <nic>"},
        {{"load", script("team-in-team.xml", "<team relnics='4'><team relnics='5'/></team>")},
         "Unexpected or invalid XML Element: <team>"},
        {{"load", script("version.xml", "<version UtilityVersion='9.0' ScriptVersion='9.9'/><nic/>")},
         "is of script version \"9.9\", which this program does not know (it reads version 3.1)"},
    });
    // A property the adapter does not have is left out, and said so even
    // under --quiet.
    CtlRun run = ctl({"-q", "load", script("unknown.xml", "<nic><property id='Bogus' value='1'/></nic>")});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_THAT(run.err, HasSubstr("warning: the script sets Bogus, which eth0 does not have that can be set"));
}

TEST_F(LxnicctlChecksTest, FilesThatCannotBeReadOrWrittenSayWhy) {
    ok({"set", "eth2", "FlowControl=Rx Enabled"});
    std::string notAFolder = dir.write("plain.txt", "x");
    expectRefused({
        {{"save", dir.path() + "/missing/config.xml"}, "failed: no such folder: " + dir.path() + "/missing"},
        {{"save", notAFolder + "/config.xml"}, "failed: not a folder: " + notAFolder},
        {{"save", dir.path()}, "failed: Is a directory"},
        {{"save", state}, "refusing to save over " + state + ": it is the server's state file"},
        {{"load", dir.path()}, "Is a directory"},
        {{"load", dir.path() + "/none.xml"}, "No such file or directory"},
        {{"--defs", dir.path() + "/none.xml", "list"}, "(No such file or directory)"},
    });
}

}  // namespace
