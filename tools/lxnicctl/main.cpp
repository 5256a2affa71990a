// lxnicctl: lists, shows and changes adapters, teams and VLANs through the
// configuration library, and saves and loads the configuration as a script.
//
// Exit codes: 0 success; 1 a command failed (the message names what failed
// and the library's result); 2 the command line is wrong.
#include <CLI/CLI.hpp>

#include <iostream>
#include <new>

#include "commands.h"
#include "library.h"

using namespace lxnicctl;

namespace {

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

std::vector<std::string> SplitList(const std::string &value) {
    std::vector<std::string> items;
    std::size_t start = 0;
    while (true) {
        std::size_t comma = value.find(',', start);
        std::string item = value.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (!item.empty()) items.push_back(item);
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return items;
}

}  // namespace

int main(int argc, char **argv) {
    CLI::App app{"Shows and changes the server's network adapters, teams and VLANs."};
    app.require_subcommand(1);
    app.fallthrough();

    Options options;
    app.add_option("--defs", options.definitions,
                   "Definitions file (default: the shipped lxnicdefs.xml beside the program)");
    app.add_option("--state", options.state,
                   "State file of the simulated server (sets LXNICIF_STATE)");

    bool json = false, all = false;

    CLI::App *list = app.add_subcommand("list", "Adapters, teams and VLANs as a tree");
    list->add_flag("--json", json, "JSON for scripts");

    std::string target, panel;
    CLI::App *show = app.add_subcommand("show", "A panel of an adapter, team or VLAN");
    show->add_option("TARGET", target, "Adapter number or name, team name, VLAN as PARENT/ID or name")->required();
    show->add_option("PANEL", panel, "Panel name (default: the main panels)");
    show->add_flag("--json", json, "JSON for scripts");
    show->add_flag("--all", all, "Also the properties the panel hides");

    std::vector<std::string> assignments;
    CLI::App *set = app.add_subcommand("set", "Change properties, following the dependency rules");
    set->add_option("TARGET", target, "Adapter, team or VLAN")->required();
    set->add_option("PROPERTY=VALUE", assignments, "New values (property id or display name)")->required();

    CLI::App *team = app.add_subcommand("team", "Create, dissolve and change teams");
    team->require_subcommand(1);
    team->fallthrough();
    std::string name, nic;
    std::string members;
    CLI::App *teamCreate = team->add_subcommand("create", "Create a team");
    teamCreate->add_option("NAME", name, "Team name")->required();
    teamCreate->add_option("--members", members, "Member adapters, numbers or names, separated by commas (1,3)")
        ->required();
    teamCreate->add_option("PROPERTY=VALUE", assignments, "Initial settings");
    CLI::App *teamDissolve = team->add_subcommand("dissolve", "Dissolve a team (its VLANs go with it)");
    teamDissolve->add_option("NAME", name, "Team name")->required();
    CLI::App *teamAdd = team->add_subcommand("add", "Add an adapter to a team");
    teamAdd->add_option("NAME", name, "Team name")->required();
    teamAdd->add_option("NIC", nic, "Adapter number or name")->required();
    CLI::App *teamRemove = team->add_subcommand("remove", "Take an adapter out of a team");
    teamRemove->add_option("NAME", name, "Team name")->required();
    teamRemove->add_option("NIC", nic, "Adapter number or name")->required();

    CLI::App *vlan = app.add_subcommand("vlan", "Add and remove VLANs");
    vlan->require_subcommand(1);
    vlan->fallthrough();
    std::string parent, vlanId, vlanName;
    CLI::App *vlanAdd = vlan->add_subcommand("add", "Add a VLAN to an adapter or a team");
    vlanAdd->add_option("PARENT", parent, "Adapter number or name, or team name")->required();
    vlanAdd->add_option("--id", vlanId, "VLAN id")->required();
    vlanAdd->add_option("--name", vlanName, "VLAN name");
    CLI::App *vlanRemove = vlan->add_subcommand("remove", "Remove a VLAN");
    vlanRemove->add_option("VLAN", target, "PARENT/ID, PARENT/NAME or the VLAN's name")->required();

    std::string file;
    bool full = false, addressComments = false, dryRun = false;
    CLI::App *save = app.add_subcommand("save", "Save the configuration as a script");
    save->add_option("FILE", file, "Script file")->required();
    save->add_flag("--full", full, "Full report with every property (not readable by load)");
    save->add_flag("--address-comments", addressComments, "Comment lines with the current addresses");
    CLI::App *load = app.add_subcommand("load", "Apply a script (NICs matched by number)");
    load->add_option("FILE", file, "Script file")->required();
    load->add_flag("--dry-run", dryRun, "Print the plan, change nothing");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError &e) {
        int code = app.exit(e);
        return code == 0 ? 0 : kExitUsage;
    }

    try {
        if (*list) ListCommand(options, json);
        if (*show) ShowCommand(options, target, panel, json, all);
        if (*set) SetCommand(options, target, assignments);
        if (*teamCreate) TeamCreateCommand(options, name, SplitList(members), assignments);
        if (*teamDissolve) TeamDissolveCommand(options, name);
        if (*teamAdd) TeamAddCommand(options, name, nic);
        if (*teamRemove) TeamRemoveCommand(options, name, nic);
        if (*vlanAdd) VlanAddCommand(options, parent, vlanId, vlanName);
        if (*vlanRemove) VlanRemoveCommand(options, target);
        if (*save) SaveCommand(options, file, full, addressComments);
        if (*load) LoadCommand(options, file, dryRun);
    } catch (const Failure &e) {
        std::cout << std::flush;
        std::cerr << "lxnicctl: " << e.what() << "\n";
        return kExitFailed;
    } catch (const std::bad_alloc &) {
        std::cerr << "lxnicctl: out of memory\n";
        return kExitFailed;
    } catch (const std::exception &e) {
        std::cerr << "lxnicctl: internal error: " << e.what() << "\n";
        return kExitFailed;
    }
    return 0;
}
