// lxnicctl: lists, shows and changes adapters, teams and VLANs through the
// configuration library, and saves and loads the configuration as a script.
// The commands are the rows of the command table (command_table.cpp); the
// exit codes are the rows of tools/common/exit_codes.h.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstring>
#include <iostream>
#include <map>
#include <new>

#include "change.h"
#include "command_table.h"
#include "console.h"
#include "exit_codes.h"
#include "library.h"
#include "platform.h"
#include "watchdog.h"

#ifndef LXNICCTL_VERSION
#define LXNICCTL_VERSION "1.0.0"
#endif

using namespace lxnicctl;
using namespace lxtools;

namespace {

const char *const kFooter =
    "Targets: an adapter by number (1) or name (eth0), a team by name (\"Team 1\"), a VLAN as\n"
    "PARENT/ID or PARENT/NAME (eth2/10, \"Team 1/Backup\") or by its name alone when that is\n"
    "unique. Where a name could mean more than one object, say which: nic:1, nic:eth0,\n"
    "team:NAME, vlan:PARENT/ID.\n"
    "\n"
    "--json prints one JSON object on standard output, also when the command fails:\n"
    "{\"error\": {\"message\", \"call\", \"result\", \"meaning\", \"exitCode\"}}.\n"
    "\n"
    "diff and verify exit as diff does: 0 in sync, 1 the server differs, 2 they could not\n"
    "compare (the script or checkpoint refused, a library call failed).\n";

std::size_t EditDistance(const std::string &a, const std::string &b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// When the command line names a command that does not exist, the message that
// says so and offers the closest one; empty otherwise.
std::string UnknownCommand(CLI::App &app, int argc, char **argv) {
    CLI::App *level = &app;
    for (int i = 1; i < argc; ++i) {
        std::string word = argv[i];
        if (word == "--") break;
        if (!word.empty() && word[0] == '-') {
            // An option that takes a value takes the next word, unless given as --opt=value.
            if (word.find('=') == std::string::npos) {
                const CLI::Option *option = level->get_option_no_throw(word);
                for (CLI::App *up = level; option == nullptr && up->get_parent() != nullptr;) {
                    up = up->get_parent();
                    option = up->get_option_no_throw(word);
                }
                if (option != nullptr && option->get_items_expected_max() > 0) ++i;
            }
            continue;
        }
        std::vector<CLI::App *> subcommands = level->get_subcommands([](CLI::App *) { return true; });
        if (subcommands.empty()) return {};
        for (CLI::App *sub : subcommands) {
            if (sub->get_name() == word) {
                level = sub;
                word.clear();
                break;
            }
        }
        if (word.empty()) continue;
        std::string best;
        std::size_t bestDistance = 3;
        for (CLI::App *sub : subcommands) {
            std::size_t d = EditDistance(word, sub->get_name());
            if (word.size() >= 2 && sub->get_name().rfind(word, 0) == 0) d = std::min(d, std::size_t{1});
            if (d < bestDistance) {
                best = sub->get_name();
                bestDistance = d;
            }
        }
        std::string prefix = level == &app ? "" : level->get_name() + " ";
        std::string message = "unknown command \"" + prefix + word + "\"";
        if (!best.empty()) return message + "; did you mean \"" + prefix + best + "\"?";
        std::string names;
        for (CLI::App *sub : subcommands) names += (names.empty() ? "" : ", ") + sub->get_name();
        return message + " (commands: " + names + ")";
    }
    std::vector<CLI::App *> subcommands = level->get_subcommands([](CLI::App *) { return true; });
    if (subcommands.empty()) return {};
    std::string names;
    for (CLI::App *sub : subcommands) names += (names.empty() ? "" : ", ") + sub->get_name();
    if (level == &app) return "a command is needed (" + names + ")";
    return "\"" + level->get_name() + "\" needs a command (" + names + ")";
}

bool WantsJson(int argc, char **argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0) return false;
        if (std::strcmp(argv[i], "--json") == 0) return true;
    }
    return false;
}

}  // namespace

int main(int argc, char **argv) {
    // The rollback watchdog is this program started again by a changing
    // command; it is no command of the command line.
    if (argc >= 2 && std::strcmp(argv[1], kWatchdogCommand) == 0) return RunWatchdog(argc, argv);
    // A reader that goes away (lxnicctl ... | head) must not end a change
    // half way: writes to the closed pipe fail, the change goes on.
    platform::IgnoreBrokenPipe();
    SetCommandLine(argc, argv);

    CLI::App app{"Shows and changes the server's network adapters, teams and VLANs."};
    app.name("lxnicctl");
    app.require_subcommand(1);
    app.fallthrough();
    app.footer(std::string(kFooter) + "\n" + ExitCodeHelp());
    app.set_help_all_flag("--help-all", "Help for every command and its options");
    app.set_version_flag("-V,--version", "lxnicctl " LXNICCTL_VERSION);

    Options options;
    OutputOptions output;
    app.add_option("--defs", options.definitions,
                   "Definitions file (default: the shipped lxnicdefs.xml, lxnicdefs-linux.xml with --backend "
                   "linux, beside the program)")
        ->type_name("FILE")
        ->check(NotEmpty());
    app.add_option("--state", options.state, "State file of the simulated server (sets LXNICIF_STATE)")
        ->type_name("FILE")
        ->check(NotEmpty());
    app.add_option("--state-dir", options.stateDir,
                   "Where checkpoints and the server's lock are kept (default: beside the state file, "
                   "\"<state file>.lxnicctl\", or /var/lib/lxnicctl with --backend linux; also "
                   "LXNICCTL_STATE_DIR)")
        ->type_name("DIR")
        ->check(NotEmpty());
    app.add_option("--wait", options.waitSeconds,
                   "Seconds a changing command waits for the server's lock held by another (default 60)")
        ->type_name("SECONDS")
        ->check(CLI::Range(0, 86400));
    app.add_option("--rollback-after", options.rollbackAfter,
                   "Changing commands: restore the state before the change unless \"lxnicctl confirm\" runs "
                   "within SECONDS")
        ->type_name("SECONDS")
        ->check(CLI::Range(1, 86400));
    app.add_flag("--dry-run", options.dryRun,
                 "Changing commands: show the plan and run every check, change nothing");
    app.add_option("--backend", options.backend,
                   "NIC interface library: sim (the simulated server, default) or linux (this machine's "
                   "interfaces; sets LXNICIF_BACKEND)")
        ->type_name("sim|linux")
        ->check(CLI::IsMember({"sim", "linux"}));
    app.add_flag("--json", output.json, "One JSON object on standard output, errors included");
    app.add_flag("-q,--quiet", output.quiet, "Nothing on standard output from changing commands; errors still shown");
    app.add_flag("-b,--brief", output.brief, "One line per object, no tree characters and no header");
    app.add_flag("-v,--verbose", output.verbose, "Say which definitions and state file are used");

    Arguments arguments;
    // Commands appear in --help in the order of the table; a group where its
    // first command is.
    std::map<std::string, CLI::App *> groups;
    auto group = [&](const std::string &name) {
        if (groups.count(name) == 0) {
            const CommandGroup *row = nullptr;
            for (const CommandGroup &g : CommandGroups()) row = g.name == name ? &g : row;
            CLI::App *sub = app.add_subcommand(name, row != nullptr ? row->help : "");
            sub->require_subcommand(1);
            sub->fallthrough();
            groups[name] = sub;
        }
        return groups[name];
    };
    std::vector<std::pair<CLI::App *, const CommandRow *>> commands;
    for (const CommandRow &row : Commands()) {
        CLI::App *parent = row.group[0] == '\0' ? &app : group(row.group);
        CLI::App *sub = parent->add_subcommand(row.name, row.help);
        sub->fallthrough();
        row.define(*sub, arguments);
        commands.emplace_back(sub, &row);
    }

    try {
        app.parse(argc, argv);
    } catch (const CLI::Success &e) {
        return app.exit(e);  // --help, --version
    } catch (const CLI::ParseError &e) {
        output.json = WantsJson(argc, argv);
        console::Configure(output);
        std::string message = UnknownCommand(app, argc, argv);
        if (message.empty()) message = e.what();
        console::Fail(kExitUsage, message + " (see lxnicctl --help)");
        return kExitUsage;
    }
    console::Configure(output);
    ChooseBackend(options);

    try {
        // Refused before anything changes where no watchdog can outlive the command.
        if (options.rollbackAfter > 0) {
            if (std::string why = platform::WatchdogUnavailable(); !why.empty())
                throw Failure("--rollback-after is not available here: " + why + "; nothing was changed");
        }
        for (auto &[sub, row] : commands) {
            if (sub->parsed()) row->run(options, arguments);
        }
        // A command that changed nothing leaves no change to guard.
        if (options.rollbackAfter > 0 && !console::Document().contains("rollbackAfter")) {
            console::Warning("--rollback-after had nothing to guard: nothing was changed");
        }
    } catch (const UsageError &e) {
        console::Fail(kExitUsage, e.what());
        return kExitUsage;
    } catch (const Failure &e) {
        console::Fail(console::FailureExitCode(), e.what(), e.call(), e.hasResult(), e.result(),
                      e.hasResult() ? ResultMeaning(e.call(), e.result()) : "");
        return console::FailureExitCode();
    } catch (const std::bad_alloc &) {
        console::Fail(console::FailureExitCode(), "out of memory");
        return console::FailureExitCode();
    } catch (const std::exception &e) {
        console::Fail(console::FailureExitCode(), std::string("internal error: ") + e.what());
        return console::FailureExitCode();
    }
    console::Finish();
    return console::ExitCode();
}
