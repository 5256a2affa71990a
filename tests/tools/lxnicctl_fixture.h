// lxnicctl run as a process on a temporary state file of the simulated
// server, as a person or a script would run it: the fixture the lxnicctl
// test files share.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <sys/wait.h>
#include <vector>

#include "support/test_files.h"

namespace lxnicctl_test {

using nlohmann::json;
using testing_support::ReadFile;
using testing_support::TempDir;

struct CtlRun {
    int exitCode;
    std::string out;  // standard output
    std::string err;  // standard error
};

inline std::string Quote(const std::string &text) {
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

class LxnicctlTest : public testing::Test {
protected:
    TempDir dir;
    std::string state = dir.path() + "/state.json";

    // Runs lxnicctl with the arguments (each quoted) on the test's state file.
    CtlRun ctl(const std::vector<std::string> &arguments, const std::string &stateFile = "") {
        return raw({"--state", stateFile.empty() ? state : stateFile}, arguments);
    }

    // Runs lxnicctl with exactly these arguments (no --state added).
    CtlRun raw(const std::vector<std::string> &leading, const std::vector<std::string> &arguments = {}) {
        std::string command = std::string(LXNICCTL_PATH);
        for (const std::string &argument : leading) command += " " + Quote(argument);
        for (const std::string &argument : arguments) command += " " + Quote(argument);
        std::string errFile = dir.path() + "/stderr.txt";
        command += " 2>" + Quote(errFile);
        FILE *pipe = popen(command.c_str(), "r");
        std::string out;
        char buffer[4096];
        while (std::size_t n = fread(buffer, 1, sizeof buffer, pipe)) out.append(buffer, n);
        int status = pclose(pipe);
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out, ReadFile(errFile)};
    }

    // Runs a command that must succeed.
    std::string ok(const std::vector<std::string> &arguments, const std::string &stateFile = "") {
        CtlRun run = ctl(arguments, stateFile);
        EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
        return run.out;
    }

    json listJson(const std::string &stateFile = "") {
        return json::parse(ok({"list", "--json"}, stateFile));
    }

    json adapterState(uint64_t handle) {
        json stateFile = json::parse(ReadFile(state));
        for (const json &adapter : stateFile["adapters"]) {
            if (adapter["handle"] == handle) return adapter;
        }
        return nullptr;
    }
};

}  // namespace lxnicctl_test
