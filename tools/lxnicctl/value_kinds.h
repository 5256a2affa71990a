// What a property's value holds, where the definitions' range does not say:
// a table of property ids and their kinds. Every value given on the command
// line or in a script passes the check of its kind before anything is
// written; the check gives the value in its canonical form.
//
//   id                   kind        empty  accepted
//   TeamName             team name   no     up to 64 characters, unique among the teams, not a
//                                           number or an adapter's name
//   VlanName             VLAN name   yes    up to 64 characters, unique among the VLANs of
//                                           its parent, not a number
//   VlanId               VLAN id     no     a whole number 1-4094 ("010" is 10), unique on its parent
//   NetworkAddress       MAC         yes    12 hex digits, with or without ':' or '-', unicast;
//   TeamNetworkAddress   MAC         yes      kept as 00:1B:21:AA:BB:CC
//   EchoNodeIPAddress    IP address  yes    IPv4 (192.0.2.7) or IPv6 (2001:db8::7)
//   RouterPathIPAddress  IP address  yes
//   PreferredPrimaryNIC  member      yes    an adapter of the team (number or name); kept as
//                                           its name
//
// Every other property takes what its range allows; and every value, of
// whatever kind, must be valid UTF-8 without control characters.
#pragma once

#include <string>

#include "lxniccfg.h"
#include "targets.h"

namespace lxnicctl {

enum class ValueKind { Text, TeamName, VlanName, VlanId, MacAddress, IpAddress, MemberReference };

struct ValueKindRow {
    const char *id;
    ValueKind kind;
    bool emptyAllowed;
    const char *what;  // how a message names such a value
};

// The kind of a property id (Text for ids not in the table).
const ValueKindRow &KindOf(const std::string &propertyId);

// The longest team or VLAN name the NIC interface library takes.
inline constexpr std::size_t kMaxNameLength = 64;

// The value in its canonical form, or a Failure that names the value and
// says what would be accepted. `where` names the property and the object
// in messages ("TeamName of team \"Team 1\"").
std::string CheckKind(Session &session, const Target &target, const PanelEntry *entry, const std::string &value,
                      const std::string &where);

// Checks that do not need the server: valid UTF-8, no control characters.
// Empty when the text is fine, otherwise what is wrong with it.
std::string TextProblem(const std::string &text);

}  // namespace lxnicctl
