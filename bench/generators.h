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

// A definitions document of about targetBytes shaped like the files vendors
// write: adapter definitions of several hundred properties (a thousand and
// more in the largest files) carrying every attribute, with display names of
// 15 to 30 characters and hints of 40 to 80, about a third enumerated (2 to
// 16 items each) and some driving others through dependency rules; panels
// naming every property, a few derived definitions, one definition in four
// with translated (non-ASCII) texts, CR LF line ends. With oneLarge, one
// definition holds most of the properties. The wildcard checksum lets the
// checksum pass run in full.
std::string RealisticDocument(std::size_t targetBytes, bool oneLarge);

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
