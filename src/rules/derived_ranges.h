// Derived ranges: a team property's range, default and shown value worked
// out from the entries its member adapters hold for the same property (the
// members' advancedList as the front end keeps it).
//
// Use, for each property of the team's "TeamAdvanced" panel, with one
// DerivationContext for the whole panel read:
//
//   DerivationContext context;
//   for each entry built for the team:
//       switch (ScanMembers(team, *entry, context)) {
//       case MemberScan::Complete:   // every member has the property
//           Derive(context, DualString(entry->id));
//           CopyDerivedTexts(context, *entry);
//           break;
//       case MemberScan::Partial:    // some members lack it
//       case MemberScan::NoMember:   // no member has it
//           ...
//       }
//
// Nothing here takes the export lock or touches the members' records.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "lxniccfg.h"
#include "util/dual_string.h"
#include "util/value_node.h"

namespace lxniccfg {

class NicDefinition;

// How the members' values of a property combine, from its "rangetype"
// text (exact): "binary", "numeric_low", "numeric_high", "list", "bit_and",
// "bit_or". Any other text, or none, derives nothing.
enum class RangeKind : int32_t {
    None = 0,
    Binary = 1,       // two values; the team shows the lowest one unless all members agree
    NumericLow = 2,   // common numeric range; the smallest member value
    NumericHigh = 3,  // common numeric range; the largest member value
    List = 4,         // the choices every member offers
    BitAnd = 5,       // bit masks AND-ed
    BitOr = 6,        // bit masks OR-ed
};

RangeKind RangeKindOf(const DualString &rangeType);

// One member adapter's entry for one property, copied from its PanelEntry.
struct MemberView {
    DualString id;
    DualString linkId;
    DualString range;
    DualString defaultValue;
    DualString value;  // the entry's selectedValue; the empty text when it has none
    DualString lowest;
    RangeKind kind = RangeKind::None;
    uint8_t hide = 0;
    uint8_t compound = 0;
    int32_t spLevel = 0;
    // Bounds of a numeric or bit-mask range: the number before the first
    // '-' and the one after it; -1 when not parsed.
    int32_t high = -1;
    int32_t low = -1;
    // The allowed values of a list property, in the member's order: text,
    // number (the leading digits of the text, or the enumeration's enumid)
    // and an occurrence count of 1.
    int32_t tokenCount = 0;
    std::unique_ptr<ValueNode> tokens;
};

// The state of one team panel read. The views are shared by all properties
// of the read (told apart by id); the token chains and the results are
// those of the property derived last.
struct DerivationContext {
    // Every member token of the property, one node per number, in ascending
    // order of number; count = how many member tokens had that number (the
    // text is that of the first one).
    std::unique_ptr<ValueNode> tokens;
    // The tokens whose count equals the number of member views, ascending.
    std::unique_ptr<ValueNode> common;
    int32_t commonCount = 0;
    std::vector<MemberView> views;  // in the order built

    // Results of Derive; none where nothing was derived (the entry then
    // keeps its own text).
    DualString range;
    DualString defaultValue;
    DualString derivedValue;

    // Empties the token chains and the results (not the views).
    void startProperty();
};

// What ScanMembers found.
enum class MemberScan : int {
    Complete = 0,  // every member (or no member at all) has a usable entry
    Partial = 1,   // some members have none, at least one has
    NoMember = 2,  // no member has a usable entry
};

// Appends a MemberView for every member of the team (in member order,
// skipping removed members and links without an adapter) whose advancedList
// has a usable entry with the id of `property`. An entry is usable unless its
// dependencyFlags has the bit of value 2 and the member adapter's rules,
// applied all at once, would force changes; then a later entry of the same id
// is looked for. The view's range is parsed against the member's own
// definition (found by its definitionType); a member without a loaded
// definition counts as having the entry, but gives no view.
MemberScan ScanMembers(const TeamEntry &team, const PanelEntry &property, DerivationContext &context);

// Derives the range, default and shown value of the property `id` from its
// views (each view combined by its own kind, the results formatted by the
// kind of the last one) into context.range, .defaultValue and .derivedValue.
// Never fails: what cannot be derived stays none.
void Derive(DerivationContext &context, const DualString &id);

// Replaces the entry's derivedValue, defaultValue and range with a copy of
// each derived result that exists (releasing the old texts).
void CopyDerivedTexts(const DerivationContext &context, PanelEntry &entry);

// A view of one member entry with its range parsed against the member's
// definition (exposed for tests and for readers that build views themselves).
MemberView MakeMemberView(const PanelEntry &entry, const NicDefinition &definition);

}  // namespace lxniccfg
