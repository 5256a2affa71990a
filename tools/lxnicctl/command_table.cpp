#include "command_table.h"

#include "commands.h"
#include "library.h"

namespace lxnicctl {

namespace {

std::vector<std::string> SplitList(const std::string &value) {
    std::vector<std::string> items;
    std::size_t start = 0;
    while (true) {
        std::size_t comma = value.find(',', start);
        std::string item = value.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (item.empty()) throw UsageError("--members \"" + value + "\" has an empty item; name adapters as 1,3 or eth0,eth2");
        items.push_back(item);
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return items;
}

const char *const kTargetHelp =
    "Adapter (number, name or nic:N), team (name or team:NAME), VLAN (PARENT/ID, PARENT/NAME, "
    "vlan:PARENT/ID or its name alone)";

}  // namespace

const CLI::Validator &NotEmpty() {
    static const CLI::Validator validator(
        [](std::string &value) { return value.empty() ? std::string("must not be empty") : std::string(); },
        "");
    return validator;
}

const std::vector<CommandGroup> &CommandGroups() {
    static const std::vector<CommandGroup> groups = {
        {"team", "Create, dissolve and change teams"},
        {"vlan", "Add and remove VLANs"},
        {"checkpoint", "Complete pictures of the server, taken before every change, to restore"},
    };
    return groups;
}

const std::vector<CommandRow> &Commands() {
    static const std::vector<CommandRow> rows = {
        {"", "list", "Adapters, teams and VLANs as a tree",
         [](CLI::App &, Arguments &) {},
         [](const Options &o, const Arguments &) { ListCommand(o); }},
        {"", "show", "A panel of an adapter, team or VLAN",
         [](CLI::App &c, Arguments &a) {
             c.add_option("TARGET", a.target, kTargetHelp)->required()->check(NotEmpty());
             c.add_option("PANEL", a.panel, "Panel name (default: the main panels)");
             c.add_flag("--all", a.all, "Also the properties the panel hides");
         },
         [](const Options &o, const Arguments &a) { ShowCommand(o, a.target, a.panel, a.all); }},
        {"", "panels", "The panels of a target and the properties in each",
         [](CLI::App &c, Arguments &a) {
             c.add_option("TARGET", a.target, kTargetHelp)->required()->check(NotEmpty());
             c.add_flag("--all", a.all, "Also the properties the panels hide");
         },
         [](const Options &o, const Arguments &a) { PanelsCommand(o, a.target, a.all); }},
        {"", "info", "The program's version, the definitions file and the state file it uses",
         [](CLI::App &, Arguments &) {},
         [](const Options &o, const Arguments &) { InfoCommand(o); }},
        {"", "set", "Change properties, following the dependency rules",
         [](CLI::App &c, Arguments &a) {
             c.add_option("TARGET", a.target, kTargetHelp)->required()->check(NotEmpty());
             c.add_option("PROPERTY=VALUE", a.assignments, "New values (property id or display name)")->required();
         },
         [](const Options &o, const Arguments &a) { SetCommand(o, a.target, a.assignments); }},
        {"team", "create", "Create a team",
         [](CLI::App &c, Arguments &a) {
             c.add_option("NAME", a.name, "Team name")->required()->check(NotEmpty());
             c.add_option("--members", a.members, "Member adapters, numbers or names, separated by commas (1,3)")
                 ->required()
                 ->check(NotEmpty());
             c.add_option("PROPERTY=VALUE", a.assignments, "Initial settings");
         },
         [](const Options &o, const Arguments &a) {
             TeamCreateCommand(o, a.name, SplitList(a.members), a.assignments);
         }},
        {"team", "dissolve", "Dissolve a team (its VLANs go with it)",
         [](CLI::App &c, Arguments &a) {
             c.add_option("NAME", a.name, "Team name (or team:NAME)")->required()->check(NotEmpty());
         },
         [](const Options &o, const Arguments &a) { TeamDissolveCommand(o, a.name); }},
        {"team", "add", "Add an adapter to a team",
         [](CLI::App &c, Arguments &a) {
             c.add_option("NAME", a.name, "Team name (or team:NAME)")->required()->check(NotEmpty());
             c.add_option("NIC", a.nic, "Adapter number or name")->required()->check(NotEmpty());
         },
         [](const Options &o, const Arguments &a) { TeamAddCommand(o, a.name, a.nic); }},
        {"team", "remove", "Take an adapter out of a team",
         [](CLI::App &c, Arguments &a) {
             c.add_option("NAME", a.name, "Team name (or team:NAME)")->required()->check(NotEmpty());
             c.add_option("NIC", a.nic, "Adapter number or name")->required()->check(NotEmpty());
         },
         [](const Options &o, const Arguments &a) { TeamRemoveCommand(o, a.name, a.nic); }},
        {"vlan", "add", "Add a VLAN to an adapter or a team",
         [](CLI::App &c, Arguments &a) {
             c.add_option("PARENT", a.parent, "Adapter number or name, or team name")->required()->check(NotEmpty());
             c.add_option("--id", a.vlanId, "VLAN id, 1 to 4094")->required()->check(NotEmpty());
             c.add_option("--name", a.vlanName, "VLAN name");
         },
         [](const Options &o, const Arguments &a) { VlanAddCommand(o, a.parent, a.vlanId, a.vlanName); }},
        {"vlan", "remove", "Remove a VLAN",
         [](CLI::App &c, Arguments &a) {
             c.add_option("VLAN", a.target, "PARENT/ID, vlan:PARENT/ID, PARENT/NAME or the VLAN's name")
                 ->required()
                 ->check(NotEmpty());
         },
         [](const Options &o, const Arguments &a) { VlanRemoveCommand(o, a.target); }},
        {"", "save", "Save the configuration as a script",
         [](CLI::App &c, Arguments &a) {
             c.add_option("FILE", a.file, "Script file")->required()->check(NotEmpty());
             c.add_flag("--full", a.full, "Full report with every property (not readable by load)");
             c.add_flag("--address-comments", a.addressComments, "Comment lines with the current addresses");
         },
         [](const Options &o, const Arguments &a) { SaveCommand(o, a.file, a.full, a.addressComments); }},
        {"", "load", "Apply a script (NICs matched by number)",
         [](CLI::App &c, Arguments &a) {
             c.add_option("FILE", a.file, "Script file")->required()->check(NotEmpty());
             c.add_flag("--dry-run", a.dryRun, "Print the plan, change nothing");
         },
         [](const Options &o, const Arguments &a) { LoadCommand(o, a.file, a.dryRun); }},
        {"", "diff", "Compare a script with the server (exit 0 in sync, 1 not)",
         [](CLI::App &c, Arguments &a) {
             c.add_option("FILE", a.file, "Script file")->required()->check(NotEmpty());
         },
         [](const Options &o, const Arguments &a) { DiffCommand(o, a.file); }},
        {"", "verify", "Compare the server with a checkpoint or a script (exit 0 when it holds them, 1 not)",
         [](CLI::App &c, Arguments &a) {
             c.add_option("CHECKPOINT|FILE", a.file, "Checkpoint id, or a script file")->required()->check(NotEmpty());
         },
         [](const Options &o, const Arguments &a) { VerifyCommand(o, a.file); }},
        {"checkpoint", "create", "Save a checkpoint of the whole server now",
         [](CLI::App &, Arguments &) {},
         [](const Options &o, const Arguments &) { CheckpointCreateCommand(o); }},
        {"checkpoint", "list", "The checkpoints kept for this server",
         [](CLI::App &, Arguments &) {},
         [](const Options &o, const Arguments &) { CheckpointListCommand(o); }},
        {"checkpoint", "show", "What a checkpoint holds",
         [](CLI::App &c, Arguments &a) {
             c.add_option("ID", a.checkpoint, "Checkpoint id (see checkpoint list)")->required()->check(NotEmpty());
         },
         [](const Options &o, const Arguments &a) { CheckpointShowCommand(o, a.checkpoint); }},
        {"checkpoint", "rollback", "Restore a checkpoint (its own checkpoint is taken first)",
         [](CLI::App &c, Arguments &a) {
             c.add_option("ID", a.checkpoint, "Checkpoint id (see checkpoint list)")->required()->check(NotEmpty());
         },
         [](const Options &o, const Arguments &a) { CheckpointRollbackCommand(o, a.checkpoint); }},
        {"checkpoint", "delete", "Delete a checkpoint",
         [](CLI::App &c, Arguments &a) {
             c.add_option("ID", a.checkpoint, "Checkpoint id (see checkpoint list)")->required()->check(NotEmpty());
         },
         [](const Options &o, const Arguments &a) { CheckpointDeleteCommand(o, a.checkpoint); }},
        {"", "undo", "Restore the state before the last changing command",
         [](CLI::App &, Arguments &) {},
         [](const Options &o, const Arguments &) { UndoCommand(o); }},
        {"", "confirm", "Keep the change that --rollback-after would roll back",
         [](CLI::App &, Arguments &) {},
         [](const Options &o, const Arguments &) { ConfirmCommand(o); }},
        {"", "persist", "Write systemd-networkd files for the teams, VLANs and adapter settings (--backend linux)",
         [](CLI::App &c, Arguments &a) {
             c.add_option("FOLDER", a.file, "Folder for the files (e.g. /etc/systemd/network)")
                 ->required()
                 ->check(NotEmpty());
         },
         [](const Options &o, const Arguments &a) { PersistCommand(o, a.file); }},
    };
    return rows;
}

}  // namespace lxnicctl
