// The plan of a changing command: every value it is about to write, whoever
// causes it (the command's own values, the values a dependency rule forces,
// the values a team's advanced settings write to its members, the values
// reset because they lay outside their enumeration), and every team, member
// and VLAN it creates or removes. The plan is shown before anything is
// written, read back after the commit, and is the report of --json
// ("changes" and "structure").
#pragma once

#include <cstdint>
#include <memory>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <vector>

#include "console.h"
#include "targets.h"

namespace lxnicctl {

struct PlannedValue {
    Target target;
    console::ValueChange change;
    // Filled in after the apply (a new object has its handle then).
    uint64_t handle = 0;
};

struct PlannedStructure {
    std::string action;  // "create team", "dissolve team", "add member", "remove member",
                         // "create VLAN", "remove VLAN"
    std::string object;  // team "Team 2", VLAN 30 on eth3
    std::string member;  // add and remove member: the adapter
    Target target;       // the team or VLAN (for a member: the team)
    AdapterEntry *adapter = nullptr;  // add and remove member
    // Filled in after the apply, for the read-back once the records are gone.
    uint64_t handle = 0;
    int adapterNumber = 0;
    nlohmann::json toJson() const;
    std::string text() const;
};

class Plan {
public:
    // The plan of this run of lxnicctl. Its values and structure are in the
    // --json document under "changes" and "structure".
    static Plan &Current();

    // While one exists, Current() is a plan of its own whose lines are kept
    // in the document's `key` ({"changes", "structure"}): the rollback of a
    // failed command reports there, beside the command's own plan.
    class Scope {
    public:
        explicit Scope(const std::string &key);
        ~Scope();
        Scope(const Scope &) = delete;
        Scope &operator=(const Scope &) = delete;

    private:
        Plan *previous_;
        std::unique_ptr<Plan> plan_;
    };

    // Records a value change and prints its line.
    void change(std::ostream &out, const Target &target, const console::ValueChange &change);
    // Records a creation or removal (its line is the command's own).
    void structure(PlannedStructure item);

    const std::vector<PlannedValue> &values() const { return values_; }
    const std::vector<PlannedStructure> &structures() const { return structures_; }
    bool empty() const { return values_.empty() && structures_.empty(); }

    // Notes every object's handle and member's number (call after the apply,
    // while the records are there: new teams and VLANs have handles then).
    void resolveHandles();

private:
    nlohmann::json &list(const char *name);

    std::string key_;  // empty: the document's top level
    std::vector<PlannedValue> values_;
    std::vector<PlannedStructure> structures_;
};

}  // namespace lxnicctl
