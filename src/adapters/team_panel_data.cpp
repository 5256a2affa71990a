#include "adapters/team_panel_data.h"

#include <array>
#include <deque>
#include <string>
#include <unordered_map>

#include "adapters/panel_entry.h"
#include "adapters/records.h"
#include "changes/write_essentials.h"
#include "definitions/catalog.h"
#include "nicif/nicif.h"
#include "rules/derived_ranges.h"

namespace lxniccfg {

namespace {

constexpr uint32_t kFailed = 100;
constexpr uint32_t kNoEntries = 104;

using Reader = TeamPanelReader;

// The panels GetTeamPanelData serves, in the order the names are compared.
constexpr std::array kTeamPanels = {
    TeamPanelKind{PanelSlot::TeamingControls, Reader::General, false},
    TeamPanelKind{PanelSlot::TeamSettings, Reader::General, false},
    TeamPanelKind{PanelSlot::AdvancedRedundancy, Reader::General, false},
    TeamPanelKind{PanelSlot::DiscProtocols, Reader::General, false},
    TeamPanelKind{PanelSlot::TeamInfo, Reader::Information, false},
    TeamPanelKind{PanelSlot::TeamConnectionInfo, Reader::General, false},
    TeamPanelKind{PanelSlot::TeamConnectionStats, Reader::General, false},
    TeamPanelKind{PanelSlot::TeamStatistics, Reader::General, false},
    TeamPanelKind{PanelSlot::TeamAdvanced, Reader::Derived, false},
    TeamPanelKind{PanelSlot::Vlan, Reader::General, true},
    TeamPanelKind{PanelSlot::VlanInfo, Reader::General, true},
    TeamPanelKind{PanelSlot::VlanConnectionInfo, Reader::General, true},
    TeamPanelKind{PanelSlot::VlanConnectionStats, Reader::General, true},
    TeamPanelKind{PanelSlot::VlanStatistics, Reader::General, true},
    TeamPanelKind{PanelSlot::TeamInfo1, Reader::General, false},
    TeamPanelKind{PanelSlot::TeamInfo2, Reader::General, false},
    TeamPanelKind{PanelSlot::TeamInfo3, Reader::General, false},
    TeamPanelKind{PanelSlot::TeamStatus1, Reader::General, false},
    TeamPanelKind{PanelSlot::TeamStatus2, Reader::General, false},
    TeamPanelKind{PanelSlot::TeamStatus3, Reader::General, false},
    TeamPanelKind{PanelSlot::TeamUtilization, Reader::General, false},
    TeamPanelKind{PanelSlot::RegistryValues, Reader::General, false},
    TeamPanelKind{PanelSlot::VlanRegistryValues, Reader::General, true},
    TeamPanelKind{PanelSlot::TaskOffload, Reader::General, false},
    TeamPanelKind{PanelSlot::ToeTaskOffload, Reader::General, false},
    TeamPanelKind{PanelSlot::RssTaskOffload, Reader::General, false},
    TeamPanelKind{PanelSlot::TeamRxStats, Reader::General, false},
    TeamPanelKind{PanelSlot::TeamTxStats, Reader::General, false},
    TeamPanelKind{PanelSlot::TeamToeStatistics, Reader::General, false},
};

// A panel list under construction; released unless handed out.
class EntryList {
public:
    ~EntryList() { FreePanelList(builder_.release()); }
    void append(PanelEntry *entry) { builder_.append(entry); }
    bool empty() const { return builder_.head() == nullptr; }
    PanelEntry *release() { return builder_.release(); }

private:
    ListBuilder<PanelEntry> builder_;
};

// Writes an enumerated property's default back to a VLAN: the VLAN's own
// write, with the value mapped to its raw form as every single write does.
uint32_t WriteVlanDefault(uint64_t vlan, const NicDefinition &definition,
                          const PropertyDef &property, const DualString &defaultText) {
    std::optional<DualString> raw = ToRawValue(definition, property, defaultText);
    if (!raw) return kFailed;
    ValueBuffer buffer(*raw);
    uint32_t number = PropertyNumber(property);
    return FoldSingleWrite(
        NicIfSetVlanProperty(vlan, number, buffer.data(), buffer.sizeInBytes()), number);
}

// The shown text of an enumerated value read from the team or VLAN. A value
// outside the enumeration is reset to the default on the object it was read
// from.
std::optional<DualString> TranslateValue(const NicDefinition &definition,
                                         const PropertyDef &property, const TeamPanelKind &kind,
                                         uint64_t handle, const DualString &raw) {
    if (!kind.vlanRead) return TranslateTeamEnumValue(definition, property, handle, raw);
    return TranslateEnumValue(definition, property, raw, [&](const DualString &defaultText) {
        return WriteVlanDefault(handle, definition, property, defaultText);
    });
}

// The member derivation of one "TeamAdvanced" entry.
void DeriveFromMembers(const TeamEntry &team, const PropertyDef &property, PanelEntry &entry,
                       DerivationContext &context) {
    switch (ScanMembers(team, entry, context)) {
    case MemberScan::Complete:
        Derive(context, property.id);
        CopyDerivedTexts(context, entry);
        break;
    case MemberScan::Partial:
        entry.derivationBlocked = 1;
        if (!property.lowest.isNone()) SetText(entry.derivedValue, CopyText(property.lowest));
        break;
    case MemberScan::NoMember:
        entry.derivationBlocked = 1;
        entry.noMemberValue = 1;
        break;
    }
}

// Moves a text from one field to another, releasing what the target held.
void MoveText(lx_wchar *&target, lx_wchar *&source) {
    SetText(target, source);
    source = nullptr;
}

}  // namespace

std::optional<TeamPanelKind> TeamPanelOf(const DualString &requestName) {
    for (const TeamPanelKind &kind : kTeamPanels)
        if (requestName.equals(kPanelSlotNames[static_cast<std::size_t>(kind.slot)].requestName))
            return kind;
    return std::nullopt;
}

const NicDefinition *TeamRecordDefinition(const TeamEntry &record) {
    if (!record.definitionType) return FindTeamDefinition();
    return FindDefinition(DualString(record.definitionType));
}

uint32_t ReadTeamPanel(const NicDefinition &definition, const Panel &panel,
                       const TeamPanelKind &kind, const TeamEntry &record, PanelEntry *&list) {
    const bool derived = kind.reader == Reader::Derived;
    // A team or VLAN still to be created has no values in the library yet:
    // every item reads as unheld.
    const bool notCreated = record.isNew == 1 && kind.reader != Reader::Information;
    const NicIfGetter getter = kind.vlanRead ? NicIfGetVlanProperty : NicIfGetTeamProperty;

    EntryList entries;
    std::optional<uint32_t> result;
    DerivationContext context;
    list = nullptr;
    for (const PanelItem &item : panel.items) {
        if (item.value.isNone()) continue;
        const PropertyDef *property = FindOwnProperty(definition, item.value);
        if (!property) {
            if (derived) return kFailed;
            result = kFailed;
            continue;
        }
        PanelEntryHolder entry(FillPanelEntry(*property));
        if (notCreated && !result) result = 0;
        if (!notCreated && property->linkid.isNone()) {
            entries.append(entry.release());  // no value, nothing derived
            continue;
        }
        if (notCreated || IsUnheldProperty(*property)) {
            if (!derived) entry->value = CopyText(property->defaultValue);
        } else {
            if (!result) result = 0;
            uint32_t number = PropertyNumber(*property);
            DualString read;
            uint32_t code = ReadPropertyValue(getter, record.handle, number, read);
            if (code == kNicIfDone) {
                if (IsEnumerated(*property)) {
                    std::optional<DualString> shown =
                        TranslateValue(definition, *property, kind, record.handle, read);
                    if (!shown) return kFailed;
                    read = std::move(*shown);
                }
                entry->value = CopyText(read);
            } else if (code == kNicIfNotSupported) {
                if (!derived) continue;  // the object lacks the property
            } else {
                result = PropertyCode(number, code);
            }
        }
        if (derived) DeriveFromMembers(record, *property, *entry.get(), context);
        entries.append(entry.release());
    }
    const bool empty = entries.empty();
    list = entries.release();
    if (empty && kind.reader != Reader::General) return kNoEntries;
    return result.value_or(kFailed);
}

uint32_t GetTeamPanelData(const TeamEntry &record, const DualString &panelName, PanelEntry *&list) {
    const NicDefinition *definition = TeamRecordDefinition(record);
    if (!definition) return kFailed;
    std::optional<TeamPanelKind> kind = TeamPanelOf(panelName);
    if (!kind) return kFailed;
    const Panel *panel = definition->panel(kind->slot);
    if (!panel) return kFailed;
    PanelEntry *entries = nullptr;
    uint32_t result = ReadTeamPanel(*definition, *panel, *kind, record, entries);
    if (entries) list = entries;
    return result;
}

uint32_t UpdateTeamPanelData(const TeamEntry &record, const DualString &panelName,
                             PanelEntry *list) {
    const NicDefinition *definition = TeamRecordDefinition(record);
    if (!definition) return kFailed;
    std::optional<TeamPanelKind> kind = TeamPanelOf(panelName);
    if (!kind || kind->reader != Reader::Derived) return kFailed;
    const Panel *panel = definition->panel(kind->slot);
    if (!panel) return kFailed;

    PanelEntry *head = nullptr;
    uint32_t result = ReadTeamPanel(*definition, *panel, *kind, record, head);
    PanelListHolder fresh(head);

    // The fresh entries of each id, in list order: the caller's n-th entry
    // of an id takes the n-th fresh one, so a list that lost or gained
    // entries still gets each property's own texts.
    std::unordered_map<std::u16string, std::deque<PanelEntry *>> byId;
    for (PanelEntry *entry = fresh.get(); entry; entry = entry->next)
        if (entry->id) byId[std::u16string(entry->id)].push_back(entry);
    for (PanelEntry *entry = list; entry; entry = entry->next) {
        if (!entry->id) continue;
        auto found = byId.find(std::u16string(entry->id));
        if (found == byId.end() || found->second.empty()) continue;
        PanelEntry *source = found->second.front();
        found->second.pop_front();
        MoveText(entry->defaultValue, source->defaultValue);
        MoveText(entry->derivedValue, source->derivedValue);
        MoveText(entry->range, source->range);
        entry->derivationBlocked = source->derivationBlocked;
        entry->noMemberValue = source->noMemberValue;
    }
    return result;
}

}  // namespace lxniccfg
