// Applying the structural changes the front end marked on its records:
// dissolving and creating teams, removing and adding members, deleting and
// creating VLANs.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "definitions/nic_definition.h"
#include "lxniccfg.h"
#include "lxnicif.h"

namespace lxniccfg {

// The initial settings of a team or VLAN to be created, as the array
// NicIfCreateTeam and NicIfCreateVlan take; each value is a malloc'ed copy
// owned (and released) by this object.
class PropertyRecords {
public:
    PropertyRecords() = default;
    ~PropertyRecords();
    PropertyRecords(const PropertyRecords &) = delete;
    PropertyRecords &operator=(const PropertyRecords &) = delete;

    // Appends a record with a copy of value; throws std::bad_alloc.
    void append(uint32_t propertyNumber, const DualString &value);

    const PropertyRecord *data() const { return records_.data(); }
    uint32_t count() const { return static_cast<uint32_t>(records_.size()); }

private:
    std::vector<PropertyRecord> records_;
};

// Adds a record for every changed entry of the list (with an id and a
// newValue), the property taken from the definition's own properties and an
// enumerated text mapped to its raw value. In the advanced list a blocked
// entry of range type "binary" or "list" contributes its lowest text
// instead (enumerated properties excepted). 100 at once for an entry without
// linkId (in the advanced list also without range or, when lowest is to be
// used, without lowest) or with an unknown id; 100 after the list when an
// enumerated text had no raw value; else 0.
uint32_t CollectRecords(const NicDefinition &definition, PanelEntry *list, bool advanced,
                        PropertyRecords &records);

// Gathers the initial settings of a TeamEntry or VlanEntry (the record is
// read by its panel-list words, which both kinds share) with the definition
// its definitionType names ("TEAM" when NULL): 100 without one, else the
// first non-zero result of a list, else 0.
uint32_t BuildPropertyRecords(const void *teamOrVlan, PropertyRecords &records);

// Carries out, in this order: dissolving teams, removing members, deleting
// the VLANs of adapters and of teams, creating teams, adding members,
// creating the VLANs of adapters and of teams. New handles are written back;
// a team whose creation failed gets teamInfo1 5. Adapters whose VLANs
// changed are registered as changed. Result: 0xFFFFFFFF at once when a team
// to be created has no member to add; else the first error (the library's
// code unchanged, 100 when a VLAN's settings cannot be gathered); else 16
// when dissolving, removing, creating a team or adding answered 16; else 7
// on a notice; else 0. Takes no lock.
uint32_t ApplyTeamConfigurationChanges(TeamEntry *teams, AdapterEntry *adapters);

}  // namespace lxniccfg
