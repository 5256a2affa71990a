// Changes that can be trusted: every write shown before it is made, all or
// nothing whatever fails or is killed, checkpoints that undo and rollback
// restore, a watchdog that rolls back an unconfirmed change, diff and verify.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <set>
#include <thread>

#include "lxnicctl_fixture.h"

namespace {

using namespace lxnicctl_test;
using testing::HasSubstr;
using testing::Not;

class SafetyTest : public LxnicctlTest {
protected:
    std::string stateDir = state + ".lxnicctl";

    // lxnicctl with extra environment variables ("NAME=value").
    CtlRun ctlWith(const std::vector<std::string> &environment, const std::vector<std::string> &arguments) {
        std::string command = "env";
        for (const std::string &variable : environment) command += " " + Quote(variable);
        command += " " + std::string(LXNICCTL_PATH) + " --state " + Quote(state);
        for (const std::string &argument : arguments) command += " " + Quote(argument);
        std::string errFile = dir.path() + "/stderr.txt";
        command += " 2>" + Quote(errFile);
        FILE *pipe = popen(command.c_str(), "r");
        std::string out;
        char buffer[4096];
        while (std::size_t n = fread(buffer, 1, sizeof buffer, pipe)) out.append(buffer, n);
        int status = pclose(pipe);
        int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return {code, out, ReadFile(errFile)};
    }

    json stateJson() { return json::parse(ReadFile(state)); }

    json teamState(const std::string &name) {
        const json doc = stateJson();
        for (const json &team : doc["teams"]) {
            if (team["properties"]["100"] == name) return team;
        }
        return nullptr;
    }

    // Waits (up to a minute) until the condition holds.
    static bool WaitFor(const std::function<bool()> &condition) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!condition()) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return true;
    }

    std::vector<std::string> temporaries() {
        std::vector<std::string> found;
        for (const auto &entry : std::filesystem::directory_iterator(dir.path())) {
            std::string name = entry.path().filename().string();
            if (name.find(".tmp-") != std::string::npos) found.push_back(name);
        }
        return found;
    }
};

// The change of `property` on `object` in a command's --json report, or null.
json ChangeOf(const json &report, const std::string &object, const std::string &property) {
    for (const json &c : report["changes"]) {
        if (c["object"] == object && c["property"] == property) return c;
    }
    return nullptr;
}

TEST_F(SafetyTest, ATeamsAdvancedSettingIsChangedOnTheTeamAndEveryMemberWriteIsShown) {
    ok({"set", "eth2", "FlowControl=Rx Enabled"});  // the state file exists from here on
    const std::string before = ReadFile(state);
    CtlRun refused = ctl({"set", "eth0", "JumboFrames=9014 Bytes"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_THAT(refused.err, HasSubstr("JumboFrames of eth0 is a setting of its team: eth0 is a member of team "
                                       "\"Team 1\", which sets JumboFrames on all its members"));
    EXPECT_EQ(ReadFile(state), before);

    std::string out = ok({"set", "Team 1", "JumboFrames=9014 Bytes"});
    EXPECT_THAT(out, HasSubstr("eth0:\n  JumboFrames: \"Disabled\" -> \"9014 Bytes\" (set by team \"Team 1\" on its members)"));
    EXPECT_THAT(out, HasSubstr("eth1:\n  JumboFrames: \"Disabled\" -> \"9014 Bytes\" (set by team \"Team 1\" on its members)"));
    EXPECT_EQ(adapterState(1001)["properties"]["3"], "9014");
    EXPECT_EQ(adapterState(1002)["properties"]["3"], "9014");

    // Another front end leaves a member's value apart from the team's. A
    // change of an unrelated team setting leaves it as it is ...
    json doc = stateJson();
    doc["adapters"][1]["properties"]["3"] = "1514";
    dir.write("state.json", doc.dump(2));
    out = ok({"set", "Team 1", "OpMode=Adaptive Load Balancing"});
    EXPECT_THAT(out, Not(HasSubstr("eth1")));
    EXPECT_EQ(adapterState(1002)["properties"]["3"], "1514");
    // ... and a change of an advanced setting shows the member value the
    // library writes back with it.
    json changed = json::parse(ok({"--json", "set", "Team 1", "RSSEnabled=Disabled"}));
    EXPECT_EQ(adapterState(1002)["properties"]["3"], "9014");
    const json shown = ChangeOf(changed, "eth1", "JumboFrames");
    ASSERT_FALSE(shown.is_null()) << changed.dump(2);
    EXPECT_EQ(shown["cause"], "team");
    EXPECT_EQ(shown["team"], "Team 1");
    EXPECT_EQ(shown["from"], "Disabled");
    EXPECT_EQ(shown["to"], "9014 Bytes");
}

TEST_F(SafetyTest, AMemberRewrittenByItsTeamFollowsItsOwnDependencyRules) {
    // Jumbo frames need a gigabit link: the team's value makes eth0's rules
    // force its speed, which is planned under eth0 and written before it.
    ok({"set", "eth0", "SpeedDuplex=10 Mbps Half Duplex"});
    json done = json::parse(ok({"--json", "set", "Team 1", "JumboFrames=9014 Bytes"}));
    const json forced = ChangeOf(done, "eth0", "SpeedDuplex");
    ASSERT_FALSE(forced.is_null()) << done.dump(2);
    EXPECT_EQ(forced["from"], "10 Mbps Half Duplex");
    EXPECT_EQ(forced["to"], "Auto Negotiation");
    EXPECT_EQ(forced["cause"], "forced");
    EXPECT_EQ(forced["forcedBy"]["property"], "JumboFrames");
    EXPECT_EQ(done["verified"], true);
    EXPECT_EQ(adapterState(1001)["properties"]["1"], "0");  // Auto Negotiation
    EXPECT_EQ(adapterState(1001)["properties"]["3"], "9014");
    // eth1 allowed the value already: nothing of it is forced.
    EXPECT_TRUE(ChangeOf(done, "eth1", "SpeedDuplex").is_null());
}

TEST_F(SafetyTest, ANewTeamStartsWithWhatItsMembersHoldAndRewritesNoMember) {
    // The ten-gigabit adapters hold jumbo frames; the team profile's default
    // is "Disabled".
    std::string out = ok({"team", "create", "Storage", "--members", "4,5"});
    EXPECT_THAT(out, HasSubstr("JumboFrames = \"9014 Bytes\" (what its members hold)"));
    EXPECT_THAT(out, Not(HasSubstr("set by team")));
    EXPECT_EQ(teamState("Storage")["properties"]["3"], "9014");
    EXPECT_THAT(ok({"show", "Storage", "TeamAdvanced"}), HasSubstr("9014 Bytes"));
    out = ok({"set", "Storage", "LoadBalAlgorithm=IP Address"});
    EXPECT_THAT(out, Not(HasSubstr("eth3")));
    EXPECT_EQ(adapterState(1004)["properties"]["3"], "9014");
}

TEST_F(SafetyTest, AScriptsNewTeamKeepsWhatItsMembersHoldAndShowsEveryMemberItRewrites) {
    // The script's team carries one advanced value its members hold and one
    // they do not: only the second is written, and the plan names both
    // members it rewrites.
    std::string script = dir.write("team.xml",
        "<teamingconfig><nic/><nic/><nic/><nic/><nic/>"
        "<team relnics='4 5'><property id='TeamName' value='Storage'/>"
        "<property id='JumboFrames' value='9014 Bytes'/><property id='RSSEnabled' value='Disabled'/></team>"
        "</teamingconfig>");
    json plan = json::parse(ok({"--json", "load", script, "--dry-run"}));
    std::set<std::string> rewritten;
    for (const json &c : plan["changes"]) {
        if (c["cause"] == "team") rewritten.insert(c["object"].get<std::string>() + " " + c["property"].get<std::string>());
    }
    EXPECT_EQ(rewritten, (std::set<std::string>{"eth3 RSSEnabled", "eth4 RSSEnabled"})) << plan.dump(2);
    std::string out = ok({"load", script});
    EXPECT_THAT(out, HasSubstr("eth3:\n  RSSEnabled: \"Enabled\" -> \"Disabled\" (set by team \"Storage\" on its members)"));
    EXPECT_EQ(teamState("Storage")["properties"]["3"], "9014");
    EXPECT_EQ(adapterState(1004)["properties"]["3"], "9014");
    EXPECT_THAT(ok({"load", script}), HasSubstr("no changes"));
}

TEST_F(SafetyTest, AValueOutsideItsEnumerationIsResetInPlainSight) {
    ok({"set", "eth2", "FlowControl=Rx Enabled"});
    json doc = stateJson();
    doc["adapters"][2]["properties"]["1"] = "5";  // no enumeration item has 5
    dir.write("state.json", doc.dump(2));
    const std::string before = ReadFile(state);
    ok({"show", "eth2"});
    EXPECT_EQ(ReadFile(state), before) << "looking writes nothing";
    std::string out = ok({"set", "eth2", "FlowControl=Tx Enabled"});
    EXPECT_THAT(out, HasSubstr("SpeedDuplex: \"5\" -> \"Auto Negotiation\" (reset: \"5\" is not one of its values)"));
    EXPECT_EQ(adapterState(1003)["properties"]["1"], "0");
}

TEST_F(SafetyTest, LoadLeavesPlaceholdersAloneAndASavedConfigurationLoadsBackWithoutChanges) {
    ok({"set", "eth2", "NetworkAddress=00:1B:21:AA:BB:CC"});
    ok({"set", "Team 1", "TeamNetworkAddress=00:1B:21:AA:BB:CD", "LoadBalAlgorithm=IP Address"});
    ok({"team", "create", "Storage", "--members", "4,5"});
    ok({"vlan", "add", "Storage", "--id", "30", "--name", "iSCSI"});
    const std::string script = dir.path() + "/config.xml";
    ok({"save", script});
    const std::string before = ReadFile(state);
    std::string out = ok({"load", script});
    EXPECT_THAT(out, HasSubstr("no changes"));
    EXPECT_EQ(ReadFile(state), before);
    EXPECT_EQ(adapterState(1003)["properties"]["12"], "00:1B:21:AA:BB:CC");

    EXPECT_THAT(ok({"diff", script}), HasSubstr("in sync"));
    ok({"set", "eth2", "SpeedDuplex=100 Mbps Full Duplex"});
    ok({"vlan", "add", "eth3", "--id", "7"});
    CtlRun differs = ctl({"diff", script});
    EXPECT_EQ(differs.exitCode, 1);
    EXPECT_THAT(differs.out, HasSubstr("SpeedDuplex: \"100 Mbps Full Duplex\" -> \"Auto Negotiation\""));
    EXPECT_THAT(differs.out, HasSubstr("VLAN 7 on eth3"));
    json diff = json::parse(ctl({"diff", script, "--json"}).out);
    EXPECT_EQ(diff["inSync"], false);
    EXPECT_EQ(diff["changes"][0]["object"], "eth2");
    EXPECT_EQ(diff["onlyOnServer"], json::array({"VLAN 7 on eth3"}));
    EXPECT_EQ(ctl({"verify", script}).exitCode, 1);
}

TEST_F(SafetyTest, DiffAndVerifyThatCannotCompareExitTwoNeverOne) {
    // 1 means "the server differs"; a comparison that could not be made must
    // not read as one.
    ok({"checkpoint", "create"});
    const std::string broken = dir.write("broken.xml", "<teamingconfig><nic><property");
    const std::string tooMany = dir.write("many.xml", "<teamingconfig><nic/><nic/><nic/><nic/><nic/><nic/><nic/>"
                                                      "<nic/><nic/></teamingconfig>");
    const std::vector<std::vector<std::string>> cases = {
        {"diff", dir.path() + "/missing.xml"}, {"diff", broken}, {"diff", tooMany},
        {"verify", broken},                    {"verify", "99"},
    };
    for (const auto &arguments : cases) {
        SCOPED_TRACE(arguments[0] + " " + arguments[1]);
        CtlRun run = ctl(arguments);
        EXPECT_EQ(run.exitCode, 2) << run.err;
        EXPECT_THAT(run.err, HasSubstr("lxnicctl: "));
        std::vector<std::string> withJson = arguments;
        withJson.push_back("--json");
        run = ctl(withJson);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_EQ(json::parse(run.out)["error"]["exitCode"], 2);
    }
    EXPECT_EQ(ctl({"set", "eth2", "FlowControl=Bogus"}).exitCode, 1) << "other commands still fail with 1";
}

TEST_F(SafetyTest, ADryRunRunsEveryCheckTheLoadRuns) {
    ok({"set", "eth2", "FlowControl=Rx Enabled"});
    // This server takes fewer VLAN ids than the definitions allow: only the
    // server can tell.
    json doc = stateJson();
    std::string bad = dir.write("bad.xml",
        "<teamingconfig><nic/><nic/><nic><vlan><property id='VlanId' value='11'/></vlan>"
        "<vlan><property id='VlanId' value='12'/></vlan></nic></teamingconfig>");
    doc["vlanProfile"]["allowed"]["200"] = json::array({"10", "11", "20"});
    dir.write("state.json", doc.dump(2));
    const std::string restricted = ReadFile(state);
    CtlRun dry = ctl({"load", bad, "--dry-run"});
    CtlRun real = ctl({"load", bad});
    EXPECT_EQ(dry.exitCode, 1);
    EXPECT_EQ(real.exitCode, 1);
    const std::string message = "creating and removing teams, members and VLANs failed: "
                                "ApplyTeamConfigurationChanges answered result 3";
    EXPECT_THAT(dry.err, HasSubstr(message));
    EXPECT_THAT(real.err, HasSubstr(message));
    EXPECT_THAT(real.err, HasSubstr("nothing was applied"));
    EXPECT_EQ(ReadFile(state), restricted);

    std::string good = dir.write("good.xml",
        "<teamingconfig><nic/><nic/><nic><vlan><property id='VlanId' value='11'/></vlan></nic></teamingconfig>");
    json plan = json::parse(ok({"--json", "load", good, "--dry-run"}));
    EXPECT_EQ(plan["dryRun"], true);
    EXPECT_EQ(plan["changed"], false);
    EXPECT_EQ(plan["structure"], json::array({{{"action", "create VLAN"}, {"object", "VLAN 11 on eth2"}}}));
    EXPECT_EQ(ReadFile(state), restricted);
    EXPECT_THAT(ok({"load", good}), HasSubstr("script applied"));
}

TEST_F(SafetyTest, EveryChangeTakesACheckpointThatUndoAndRollbackRestore) {
    const json initial = listJson();
    ok({"set", "eth2", "FlowControl=Rx Enabled"});
    ok({"team", "dissolve", "Team 1"});
    ok({"vlan", "add", "eth3", "--id", "7", "--name", "Lab"});
    json list = json::parse(ok({"checkpoint", "list", "--json"}));
    ASSERT_EQ(list["checkpoints"].size(), 3u);
    EXPECT_EQ(list["checkpoints"][1]["command"],
              "lxnicctl --state " + state + " team dissolve 'Team 1'");

    std::string out = ok({"undo"});
    EXPECT_THAT(out, HasSubstr("removing VLAN 7 on eth3"));
    EXPECT_TRUE(listJson()["adapters"][3]["vlans"].empty());
    // Undoing the dissolution makes the team again, with its members and
    // its VLAN.
    out = ok({"checkpoint", "rollback", "2"});
    EXPECT_THAT(out, HasSubstr("new team \"Team 1\" with 1 (eth0) 2 (eth1)"));
    json back = listJson();
    ASSERT_EQ(back["teams"].size(), 1u);
    EXPECT_EQ(back["teams"][0]["members"], json::array({1, 2}));
    EXPECT_EQ(back["teams"][0]["vlans"][0]["name"], "Backup");
    EXPECT_EQ(ctl({"verify", "2"}).exitCode, 0);

    ok({"checkpoint", "rollback", "1"});
    EXPECT_EQ(ctl({"verify", "1"}).exitCode, 0);
    CtlRun differs = ctl({"verify", "3", "--json"});
    EXPECT_EQ(differs.exitCode, 1);
    EXPECT_EQ(json::parse(differs.out)["inSync"], false);
    json now = listJson();
    for (std::size_t i = 0; i < initial["adapters"].size(); ++i) {
        EXPECT_EQ(now["adapters"][i]["vlans"].size(), initial["adapters"][i]["vlans"].size());
    }
    EXPECT_EQ(adapterState(1003)["properties"]["2"], "0");

    // A checkpoint taken by hand stays; of the others the last ten do.
    json made = json::parse(ok({"--json", "checkpoint", "create"}));
    std::string kept = made["checkpoint"]["id"];
    for (int i = 0; i < 6; ++i) ok({"set", "eth2", i % 2 == 0 ? "FlowControl=Tx Enabled" : "FlowControl=Disabled"});
    list = json::parse(ok({"checkpoint", "list", "--json"}));
    int automatic = 0;
    bool manual = false;
    for (const json &c : list["checkpoints"]) {
        automatic += c["automatic"].get<bool>() ? 1 : 0;
        manual = manual || c["id"] == kept;
    }
    EXPECT_EQ(automatic, 10);
    EXPECT_TRUE(manual);
    EXPECT_THAT(ok({"checkpoint", "show", kept}), HasSubstr("FlowControl"));
    ok({"checkpoint", "delete", kept});
    EXPECT_EQ(ctl({"checkpoint", "show", kept}).exitCode, 1);
    // An id is never given twice, also when the newest checkpoint is gone.
    std::string newest = json::parse(ok({"--json", "checkpoint", "create"}))["checkpoint"]["id"];
    ok({"checkpoint", "delete", newest});
    EXPECT_NE(json::parse(ok({"--json", "checkpoint", "create"}))["checkpoint"]["id"], newest);
}

TEST_F(SafetyTest, ACommandThatFailedWithoutChangingAnythingLeavesUndoToTheChangeBefore) {
    ok({"set", "eth2", "FlowControl=Rx Enabled"});
    ok({"set", "eth2", "FlowControl=Tx Enabled"});
    const std::string checkpoints = ok({"checkpoint", "list"});
    // Nothing applied (a transaction dropped), and applied then rolled back
    // (a library without transactions).
    for (const std::string transactions : {"1", "0"}) {
        SCOPED_TRACE("transactions " + transactions);
        CtlRun failed = ctlWith({"LXNICIF_TRANSACTIONS=" + transactions, "LXNICIF_FAULT=fail:2"},
                                {"load", dir.write("change.xml", "<teamingconfig><nic/><nic/><nic><property "
                                                                 "id='FlowControl' value='Disabled'/></nic>"
                                                                 "<nic><vlan><property id='VlanId' value='30'/>"
                                                                 "</vlan></nic></teamingconfig>")});
        EXPECT_EQ(failed.exitCode, 1);
        EXPECT_THAT(failed.err, HasSubstr("is dropped (\"lxnicctl undo\" undoes the change before)"));
        EXPECT_EQ(adapterState(1003)["properties"]["2"], "2");
        EXPECT_EQ(ok({"checkpoint", "list"}), checkpoints);
    }
    EXPECT_THAT(ok({"undo"}), HasSubstr("FlowControl: \"Tx Enabled\" -> \"Rx Enabled\""));
    EXPECT_EQ(adapterState(1003)["properties"]["2"], "1");
}

TEST_F(SafetyTest, AFailureOrAKillAtAnyCommitStepLeavesTheServerAsBeforeOrAsAfter) {
    ok({"set", "eth2", "FlowControl=Rx Enabled"});
    const std::string before = ReadFile(state);
    const std::string script = dir.write("change.xml",
        "<teamingconfig><nic/><nic/><nic/><nic><property id='SpeedDuplex' value='1000 Mbps Full Duplex'/>"
        "<vlan><property id='VlanId' value='30'/></vlan></nic></teamingconfig>");
    auto kind = [&] {
        json s = stateJson();
        bool vlan = s["vlans"].size() == 3, speed = s["adapters"][3]["properties"]["1"] == "6";
        return vlan && speed ? "after" : !vlan && !speed ? "before" : "half";
    };
    for (const std::string transactions : {"1", "0"}) {
        for (const std::string fault : {"fail", "abort"}) {
            bool completed = false;
            for (int step = 1; step <= 40 && !completed; ++step) {
                SCOPED_TRACE(fault + ":" + std::to_string(step) + " transactions " + transactions);
                dir.write("state.json", before);
                CtlRun run = ctlWith({"LXNICIF_TRANSACTIONS=" + transactions,
                                      "LXNICIF_FAULT=" + fault + ":" + std::to_string(step)},
                                     {"load", script});
                completed = run.exitCode == 0;
                if (transactions == "1" || fault == "fail") {
                    // A failed command says what it left; the server holds
                    // the old state or the new.
                    EXPECT_NE(std::string(kind()), "half");
                    if (run.exitCode == 1) {
                        EXPECT_EQ(std::string(kind()), "before") << run.err;
                        EXPECT_THAT(run.err, testing::AnyOf(HasSubstr("nothing was applied"),
                                                            HasSubstr("was rolled back")));
                    }
                }
                // What a command killed while a library without transactions
                // committed left, the next changing command rolls back first.
                if (transactions == "0" && fault == "abort") {
                    CtlRun next = ctl({"set", "eth2", "FlowControl=Rx Enabled"});
                    EXPECT_EQ(next.exitCode, 0) << next.err;
                }
                EXPECT_NE(std::string(kind()), "half");
                if (completed) {
                    EXPECT_EQ(std::string(kind()), "after");
                }
            }
            EXPECT_TRUE(completed);
        }
    }
    // A commit after the kills clears what they left beside the state file.
    ok({"set", "eth2", "FlowControl=Disabled"});
    EXPECT_TRUE(temporaries().empty());
}

TEST_F(SafetyTest, AClosedOutputPipeOrAKillAtAnyMomentNeverLeavesAHalfChange) {
    ok({"set", "eth2", "FlowControl=Rx Enabled"});
    const std::string before = ReadFile(state);
    const std::string script = dir.write("change.xml",
        "<teamingconfig><nic/><nic/><nic/><nic><property id='SpeedDuplex' value='1000 Mbps Full Duplex'/>"
        "<vlan><property id='VlanId' value='30'/></vlan></nic></teamingconfig>");
    auto kind = [&] {
        json s = stateJson();
        bool vlan = s["vlans"].size() == 3, speed = s["adapters"][3]["properties"]["1"] == "6";
        return std::string(vlan && speed ? "after" : !vlan && !speed ? "before" : "half");
    };
    // The reader goes away after the first byte.
    std::string command = std::string(LXNICCTL_PATH) + " --state " + Quote(state) + " load " + Quote(script) +
                          " 2>/dev/null";
    FILE *pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    ASSERT_NE(fgetc(pipe), EOF);
    int status = pclose(pipe);
    EXPECT_TRUE(WIFEXITED(status)) << "the closed pipe ended the command";
    EXPECT_EQ(kind(), "after");

    // Killed at moments spread over the command's run.
    for (int delay : {0, 5, 10, 20, 35, 50, 80, 120, 200, 300}) {
        SCOPED_TRACE("killed after " + std::to_string(delay) + " ms");
        dir.write("state.json", before);
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            int null = open("/dev/null", O_WRONLY);
            dup2(null, 1);
            dup2(null, 2);
            execl(LXNICCTL_PATH, LXNICCTL_PATH, "--state", state.c_str(), "load", script.c_str(), nullptr);
            _exit(127);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(delay));
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
        EXPECT_NE(kind(), "half");
        EXPECT_EQ(ctl({"set", "eth2", "FlowControl=Rx Enabled"}).exitCode, 0);
        EXPECT_NE(kind(), "half");
    }
    ok({"set", "eth2", "FlowControl=Disabled"});
    EXPECT_TRUE(temporaries().empty());
}

TEST_F(SafetyTest, ConcurrentCommandsTakeTurnsAndAWaitingCommandSaysForWhom) {
    constexpr int kCommands = 20;
    std::vector<FILE *> pipes;
    for (int i = 0; i < kCommands; ++i) {
        std::string command = std::string(LXNICCTL_PATH) + " --state " + Quote(state) + " --wait 600 vlan add eth3 --id " +
                              std::to_string(100 + i) + " 2>&1";
        pipes.push_back(popen(command.c_str(), "r"));
    }
    int succeeded = 0;
    for (FILE *pipe : pipes) {
        char buffer[4096];
        while (fread(buffer, 1, sizeof buffer, pipe) > 0) {
        }
        int status = pclose(pipe);
        succeeded += WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 1 : 0;
    }
    EXPECT_EQ(succeeded, kCommands);
    std::set<uint64_t> handles;
    const json doc = stateJson();
    for (const json &v : doc["vlans"]) {
        if (v["parent"] == 1004) handles.insert(v["handle"].get<uint64_t>());
    }
    EXPECT_EQ(handles.size(), static_cast<std::size_t>(kCommands));

    // This test holds the server's lock as another command would.
    int fd = open((stateDir + "/lock").c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(flock(fd, LOCK_EX), 0);
    std::string holder = "pid " + std::to_string(getpid()) + "\ncommand lxnicctl load big.xml\n";
    ASSERT_EQ(ftruncate(fd, 0), 0);
    ASSERT_EQ(pwrite(fd, holder.data(), holder.size(), 0), static_cast<ssize_t>(holder.size()));
    const std::string before = ReadFile(state);
    CtlRun waiting = ctl({"--wait", "2", "set", "eth2", "FlowControl=Tx Enabled"});
    close(fd);
    EXPECT_EQ(waiting.exitCode, 1);
    EXPECT_THAT(waiting.err, HasSubstr("waiting for the server's lock held by process " + std::to_string(getpid()) +
                                       " (lxnicctl load big.xml)"));
    EXPECT_THAT(waiting.err, HasSubstr("gave up after waiting 2 s for the server's lock"));
    EXPECT_EQ(ReadFile(state), before);
}

TEST_F(SafetyTest, AnUnconfirmedChangeIsRolledBackByAWatchdogThatOutlivesTheCommand) {
    ok({"set", "eth2", "FlowControl=Rx Enabled"});
    const std::string result = stateDir + "/watchdog-result.json";

    // Not confirmed: the watchdog restores the state before the change.
    json out = json::parse(ok({"--json", "--rollback-after", "1", "set", "eth2", "FlowControl=Tx Enabled"}));
    int watchdog = out["rollbackAfter"]["watchdog"];
    std::ifstream stat("/proc/" + std::to_string(watchdog) + "/stat");
    std::string fields;
    std::getline(stat, fields);
    if (!fields.empty()) {
        // pid (comm) state ppid pgrp session: a session of its own.
        std::istringstream words(fields.substr(fields.rfind(')') + 2));
        std::string state_, ppid, group, session;
        words >> state_ >> ppid >> group >> session;
        EXPECT_EQ(session, std::to_string(watchdog));
    }
    ASSERT_TRUE(WaitFor([&] { return std::filesystem::exists(result); }));
    ASSERT_TRUE(WaitFor([&] { return adapterState(1003)["properties"]["2"] == "1"; }));
    EXPECT_EQ(json::parse(ReadFile(result))["outcome"], "rolled back");
    EXPECT_EQ(ctl({"confirm"}).exitCode, 1);

    // Confirmed in time: the change stays.
    ok({"--rollback-after", "600", "set", "eth2", "FlowControl=Tx Enabled"});
    CtlRun blocked = ctl({"--wait", "1", "set", "eth3", "FlowControl=Disabled"});
    EXPECT_EQ(blocked.exitCode, 1);
    EXPECT_THAT(blocked.err, HasSubstr("the change waits for confirmation"));
    EXPECT_THAT(ok({"confirm"}), HasSubstr("confirmed"));
    EXPECT_EQ(adapterState(1003)["properties"]["2"], "2");
    EXPECT_EQ(json::parse(ReadFile(result))["outcome"], "confirmed");

    // Undo while it waits: rolled back at once.
    ok({"--rollback-after", "600", "set", "eth2", "FlowControl=Disabled"});
    EXPECT_THAT(ok({"undo"}), HasSubstr("rolled back"));
    EXPECT_EQ(adapterState(1003)["properties"]["2"], "2");
    EXPECT_EQ(ctl({"confirm"}).exitCode, 1);

    // A command that changes nothing has nothing to guard, and says so.
    for (const std::vector<std::string> &idle :
         {std::vector<std::string>{"set", "eth2", "FlowControl=Tx Enabled"}, std::vector<std::string>{"list"}}) {
        std::vector<std::string> args = {"--rollback-after", "600"};
        args.insert(args.end(), idle.begin(), idle.end());
        CtlRun run = ctl(args);
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_THAT(run.err, HasSubstr("--rollback-after had nothing to guard: nothing was changed"));
    }
    EXPECT_EQ(ctl({"confirm"}).exitCode, 1);
}

TEST_F(SafetyTest, AChangeWhoseWatchdogWasKilledIsNeverLeftUnconfirmedAndUnguarded) {
    ok({"set", "eth2", "FlowControl=Rx Enabled"});
    // Starts an unconfirmed change and kills its watchdog, as an out-of-memory
    // killer or a restart would.
    auto orphan = [&](int seconds, const std::string &value) {
        json out = json::parse(ok({"--json", "--rollback-after", std::to_string(seconds), "set", "eth2",
                                   "FlowControl=" + value}));
        pid_t watchdog = out["rollbackAfter"]["watchdog"];
        kill(watchdog, SIGKILL);
        // Gone once the server's lock is free (a zombie may linger).
        EXPECT_TRUE(WaitFor([&] {
            int fd = open((stateDir + "/lock").c_str(), O_RDWR);
            bool free = fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0;
            if (fd >= 0) close(fd);
            return free;
        }));
        return out["rollbackAfter"]["deadline"].get<std::string>();
    };
    auto flowControl = [&] { return adapterState(1003)["properties"]["2"].get<std::string>(); };

    // Before its deadline another change is refused, as while the watchdog
    // waited; confirm keeps the change.
    orphan(600, "Tx Enabled");
    CtlRun refused = ctl({"set", "eth2", "SpeedDuplex=100 Mbps Full Duplex"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_THAT(refused.err, HasSubstr("its rollback watchdog (process "));
    EXPECT_THAT(refused.err, HasSubstr("\"lxnicctl confirm\" keeps the change, \"lxnicctl undo\" rolls it back"));
    EXPECT_THAT(ok({"confirm"}), HasSubstr("confirmed"));
    EXPECT_EQ(flowControl(), "2");
    EXPECT_EQ(ctl({"confirm"}).exitCode, 1);

    // Undo rolls it back at once.
    orphan(600, "Disabled");
    EXPECT_THAT(ok({"undo"}), HasSubstr("rolled back to checkpoint"));
    EXPECT_EQ(flowControl(), "2");

    // After its deadline the next changing command restores it first, and
    // confirm comes too late. A short deadline can pass before the kill
    // lands when this process runs slowly (as under valgrind); then the
    // watchdog itself has rolled back, and the next try gives it longer.
    auto orphanPastDeadline = [&] {
        for (int seconds = 1; seconds <= 16; seconds *= 2) {
            orphan(seconds, "Disabled");
            if (flowControl() == "2") continue;
            std::this_thread::sleep_for(std::chrono::seconds(seconds) + std::chrono::milliseconds(1100));
            return true;
        }
        return false;
    };
    ASSERT_TRUE(orphanPastDeadline());
    CtlRun next = ctl({"set", "eth2", "SpeedDuplex=100 Mbps Full Duplex"});
    EXPECT_EQ(next.exitCode, 0) << next.err;
    EXPECT_THAT(next.err, HasSubstr("as the watchdog would have"));
    EXPECT_EQ(flowControl(), "2");
    ASSERT_TRUE(orphanPastDeadline());
    CtlRun late = ctl({"confirm"});
    EXPECT_EQ(late.exitCode, 1);
    EXPECT_THAT(late.err, HasSubstr("too late"));
    EXPECT_EQ(flowControl(), "2");
    EXPECT_EQ(json::parse(ReadFile(stateDir + "/watchdog-result.json"))["outcome"], "rolled back");
}

TEST_F(SafetyTest, AHangUpOrAKillWhileARollbackAfterChangeCommitsNeverLeavesItUnguarded) {
    ok({"set", "eth2", "FlowControl=Rx Enabled"});
    const std::string before = ReadFile(state);
    std::string vlans;
    for (int id = 100; id < 400; ++id) vlans += "<vlan><property id='VlanId' value='" + std::to_string(id) + "'/></vlan>";
    const std::string script = dir.write("change.xml",
        "<teamingconfig><nic/><nic/><nic/><nic><property id='SpeedDuplex' value='1000 Mbps Full Duplex'/>" + vlans +
        "</nic></teamingconfig>");
    auto unchanged = [&] {
        json s = stateJson();
        return s["vlans"].size() == 2 && s["adapters"][3]["properties"]["1"] != "6";
    };
    auto lockFree = [&] {
        int fd = open((stateDir + "/lock").c_str(), O_RDWR);
        bool free = fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0;
        if (fd >= 0) close(fd);
        return free;
    };
    // The connection goes (a hang-up) at moments spread over the command's
    // run; it is never confirmed, so once the lock is free the server holds
    // what it held before.
    for (int delay : {20, 60, 100, 150, 200, 300, 450, 700}) {
        SCOPED_TRACE("hang-up after " + std::to_string(delay) + " ms");
        dir.write("state.json", before);
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            int null = open("/dev/null", O_WRONLY);
            dup2(null, 1);
            dup2(null, 2);
            execl(LXNICCTL_PATH, LXNICCTL_PATH, "--state", state.c_str(), "--rollback-after", "1", "load",
                  script.c_str(), nullptr);
            _exit(127);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(delay));
        kill(child, SIGHUP);
        int status = 0;
        waitpid(child, &status, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ASSERT_TRUE(WaitFor(lockFree));
        EXPECT_TRUE(unchanged());
    }

    // Killed at every commit step, the moment after the commit included: past
    // the deadline the next changing command finds the change unguarded and
    // restores the state before it.
    bool completed = false;
    for (int step = 1; step <= 40 && !completed; ++step) {
        SCOPED_TRACE("killed at commit step " + std::to_string(step));
        dir.write("state.json", before);
        CtlRun run = ctlWith({"LXNICIF_FAULT=abort:" + std::to_string(step)}, {"--rollback-after", "1", "load", script});
        completed = run.exitCode == 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(1100));
        ASSERT_TRUE(WaitFor(lockFree));
        CtlRun next = ctl({"set", "eth2", "FlowControl=Rx Enabled"});
        EXPECT_EQ(next.exitCode, 0) << next.err;
        EXPECT_TRUE(unchanged());
    }
    EXPECT_TRUE(completed);
}

}  // namespace
