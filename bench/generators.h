// Generated inputs of the benchmarks.
#pragma once

#include <cstddef>
#include <string>

#include "lxniccfg.h"

namespace bench {

// A definitions document of about targetBytes: 64 adapter definitions, each
// with its settings and advanced panels, properties (every fourth one
// enumerated, some texts not ASCII) and enumerations. It carries the
// wildcard checksum, so that the checksum pass runs in full and passes.
std::string DefinitionsDocument(std::size_t targetBytes);

// One adapter definition (a <nic> element) of the given type, with
// `properties` properties (linkid i+1, id "Prop<i>") and an advanced panel
// of `items` items spread evenly over them.
std::string PanelDefinitions(const std::string &type, int properties, int items);

// Records as a front end holds them: NICs 1..nics, teams of nics/teams
// members each, vlans VLANs spread evenly over the teams.
struct Configuration {
    Configuration(int nics, int teams, int vlans);
    ~Configuration();
    Configuration(const Configuration &) = delete;
    Configuration &operator=(const Configuration &) = delete;

    TeamEntry *teams = nullptr;
    AdapterEntry *nics = nullptr;
};

}  // namespace bench
