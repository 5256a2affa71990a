// lxnicdefs run as a process, as a person would run it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <sys/wait.h>

#include "support/test_files.h"

using testing::HasSubstr;
using testing_support::ReadFile;
using testing_support::TempDir;

namespace {

struct ToolRun {
    int exitCode;
    std::string output;  // standard output and standard error
};

ToolRun Lxnicdefs(const std::string &arguments) {
    std::string command = std::string(LXNICDEFS_PATH) + " " + arguments + " 2>&1";
    FILE *pipe = popen(command.c_str(), "r");
    std::string output;
    char buffer[4096];
    while (std::size_t n = fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, n);
    int status = pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

std::string Quote(const std::string &path) { return "'" + path + "'"; }

const std::string kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";
const std::string kBody =
    "\r\n<nic type=\"A\">\r\n  <property id=\"S\" linkid=\"1\" dependency=\"2\"/>\r\n"
    "  <property id=\"T\" linkid=\"2\" dependency=\"1\"/>\r\n"
    "  <sourceproperty name=\"S\" value=\"1\"><linkproperty name=\"T\"/></sourceproperty>\r\n"
    "</nic>\r\n</definitions>\r\n";

}  // namespace

TEST(Lxnicdefs, StampRewritesOnlyTheChecksum) {
    TempDir dir;
    std::string original = kDeclaration + "<definitions version='2' csum='000000-000000'>" + kBody;
    std::string file = dir.write("my defs.xml", original);

    ToolRun before = Lxnicdefs("check " + Quote(file));
    EXPECT_EQ(before.exitCode, 1);
    EXPECT_THAT(before.output, HasSubstr("stored:   000000-000000"));
    EXPECT_THAT(before.output, HasSubstr("DOES NOT MATCH"));
    EXPECT_THAT(before.output, HasSubstr("InitXml:  101"));

    ToolRun stamp = Lxnicdefs("stamp " + Quote(file));
    EXPECT_EQ(stamp.exitCode, 0) << stamp.output;
    std::string stamped = ReadFile(file);
    ASSERT_EQ(stamped.size(), original.size());
    std::size_t at = original.find("000000-000000");
    EXPECT_EQ(stamped.substr(0, at), original.substr(0, at));
    EXPECT_EQ(stamped.substr(at + 13), original.substr(at + 13));  // CR LF and all kept

    ToolRun after = Lxnicdefs("check " + Quote(file));
    EXPECT_EQ(after.exitCode, 0) << after.output;
    EXPECT_THAT(after.output, HasSubstr("checksum: matches"));
    EXPECT_THAT(after.output, HasSubstr("load:     0 (loads: 1 definition (A))"));
    EXPECT_THAT(Lxnicdefs("stamp " + Quote(file)).output, HasSubstr("is up to date"));
}

TEST(Lxnicdefs, CheckExplainsWhyAFileDoesNotLoad) {
    TempDir dir;
    ToolRun parse = Lxnicdefs("check " + dir.write("a.xml", "<definitions csum='112233-224466'>\n<nic>\n<x></nic>"));
    EXPECT_EQ(parse.exitCode, 1);
    EXPECT_THAT(parse.output, HasSubstr("checksum: wildcard"));
    EXPECT_THAT(parse.output, HasSubstr("load:     100 (does not load: line 3, column"));

    ToolRun links = Lxnicdefs("check " + dir.write("b.xml", "<definitions csum='112233-224466'>"
                                                        "<nic type='A'><property id='T' linkid='2' dependency='1'/></nic></definitions>"));
    EXPECT_EQ(links.exitCode, 1);
    EXPECT_THAT(links.output, HasSubstr("inconsistent links in definition \"A\": property \"T\""));
}

TEST(Lxnicdefs, FailuresGiveAMessageAndANonZeroExit) {
    TempDir dir;
    struct Case { std::string arguments; std::string message; };
    const Case cases[] = {
        {"check " + dir.path() + "/missing.xml", "cannot read"},
        {"stamp " + dir.path() + "/missing.xml", "cannot read"},
        {"stamp " + dir.write("c.xml", "<definitions>x</definitions>"), "no csum='...' attribute"},
        {"stamp " + dir.write("d.xml", "<definitions csum='0' version='2'>x</definitions>"),
         "after the csum value"},
        {"", "subcommand is required"},
        {"frobnicate x", "subcommand is required"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.arguments);
        ToolRun run = Lxnicdefs(c.arguments);
        EXPECT_NE(run.exitCode, 0);
        EXPECT_THAT(run.output, HasSubstr(c.message));
    }
}

TEST(Lxnicdefs, UsageErrorsExitWithTwoAndStampRefusesAFileThatDoesNotLoad) {
    TempDir dir;
    for (const std::string &arguments : {std::string(""), std::string("frobnicate x"), std::string("check"),
                                         std::string("check ''"), std::string("stamp --bogus x")}) {
        EXPECT_EQ(Lxnicdefs(arguments).exitCode, 2) << arguments;
    }
    ToolRun version = Lxnicdefs("--version");
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.output, "lxnicdefs 1.0.0\n");

    const std::string broken = "<definitions csum='000000-000000'>\n<nic type='A'>\n<x></nic></definitions>";
    std::string file = dir.write("broken.xml", broken);
    ToolRun refused = Lxnicdefs("stamp " + Quote(file));
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_THAT(refused.output, HasSubstr("does not load (line 3, column"));
    EXPECT_THAT(refused.output, HasSubstr("it was not stamped"));
    EXPECT_EQ(ReadFile(file), broken);

    ToolRun forced = Lxnicdefs("stamp --force " + Quote(file));
    EXPECT_EQ(forced.exitCode, 0);
    EXPECT_THAT(forced.output, HasSubstr("WARNING: " + file + " was stamped with --force but DOES NOT LOAD"));
    EXPECT_NE(ReadFile(file), broken);

    ToolRun missing = Lxnicdefs("check " + Quote(dir.path() + "/none/defs.xml"));
    EXPECT_THAT(missing.output, HasSubstr("cannot read " + dir.path() + "/none/defs.xml: no such folder"));
}
