// The lxnicctl commands. Each opens its own session with the library, reports
// through the console (console.h) and throws a Failure on error.
#pragma once

#include <string>
#include <vector>

#include "session.h"

namespace lxnicctl {

void ListCommand(const Options &options);
void ShowCommand(const Options &options, const std::string &target, const std::string &panel, bool all);
void PanelsCommand(const Options &options, const std::string &target, bool all);
void InfoCommand(const Options &options);
void SetCommand(const Options &options, const std::string &target,
                const std::vector<std::string> &assignments);

void TeamCreateCommand(const Options &options, const std::string &name,
                       const std::vector<std::string> &members,
                       const std::vector<std::string> &assignments);
void TeamDissolveCommand(const Options &options, const std::string &name);
void TeamAddCommand(const Options &options, const std::string &name, const std::string &nic);
void TeamRemoveCommand(const Options &options, const std::string &name, const std::string &nic);
void VlanAddCommand(const Options &options, const std::string &parent, const std::string &id,
                    const std::string &name);
void VlanRemoveCommand(const Options &options, const std::string &vlan);

void SaveCommand(const Options &options, const std::string &file, bool full, bool addressComments);
void LoadCommand(const Options &options, const std::string &file, bool dryRun);
void DiffCommand(const Options &options, const std::string &file);

// Checkpoints, rollback, confirmation and verification (cmd_safety.cpp).
void CheckpointCreateCommand(const Options &options);
void CheckpointListCommand(const Options &options);
void CheckpointShowCommand(const Options &options, const std::string &id);
void CheckpointRollbackCommand(const Options &options, const std::string &id);
void CheckpointDeleteCommand(const Options &options, const std::string &id);
void UndoCommand(const Options &options);
void ConfirmCommand(const Options &options);
void VerifyCommand(const Options &options, const std::string &against);
void PersistCommand(const Options &options, const std::string &folder);

}  // namespace lxnicctl
