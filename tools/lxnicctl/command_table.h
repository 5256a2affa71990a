// The command table of lxnicctl: one row per command, with the arguments it
// takes and the function that carries it out. Adding a command is adding a
// row (and its function in a cmd_*.cpp file).
#pragma once

#include <CLI/CLI.hpp>

#include <functional>
#include <string>
#include <vector>

#include "session.h"

namespace lxnicctl {

// Every argument a command can take; each command fills the ones it names.
struct Arguments {
    std::string target, panel, name, nic, members, parent, vlanId, vlanName, file, checkpoint;
    std::vector<std::string> assignments;
    bool all = false, full = false, addressComments = false, dryRun = false, force = false;
};

struct CommandRow {
    const char *group;  // "" for a top-level command, else "team" or "vlan"
    const char *name;
    const char *help;
    std::function<void(CLI::App &, Arguments &)> define;
    std::function<void(const Options &, const Arguments &)> run;
};

const std::vector<CommandRow> &Commands();

// Groups of commands ("team", "vlan") and their help.
struct CommandGroup {
    const char *name;
    const char *help;
};
const std::vector<CommandGroup> &CommandGroups();

// A validator for arguments that must not be empty (a name, a path).
const CLI::Validator &NotEmpty();

}  // namespace lxnicctl
