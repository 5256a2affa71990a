#include "adapters/panel_data.h"

#include <array>

#include "adapters/panel_entry.h"
#include "adapters/records.h"
#include "changes/write_essentials.h"
#include "definitions/catalog.h"
#include "nicif/nicif.h"

namespace lxniccfg {

namespace {

constexpr uint32_t kFailed = 100;
constexpr uint32_t kNoEntries = 104;

// The panels GetPanelData serves, in the order the names are compared.
constexpr std::array kAdapterPanels = {
    PanelSlot::Settings,          PanelSlot::Information,        PanelSlot::ConnectionInfo,
    PanelSlot::ConnectionStats,   PanelSlot::Statistics,         PanelSlot::AdvStatsActivity,
    PanelSlot::AdvStatsXmitErrors, PanelSlot::AdvStatsRcvErrors, PanelSlot::Advanced,
    PanelSlot::Diagnostics,       PanelSlot::AdapterTeam,        PanelSlot::AdapterTeamStatus,
    PanelSlot::AdapterUtilization, PanelSlot::iSCSIStatistics,   PanelSlot::iSCSIToeStatistics,
    PanelSlot::iSCSIInformation,  PanelSlot::iSCSIAdvanced,      PanelSlot::iSCSIIP,
    PanelSlot::iSCSIVlan,         PanelSlot::RegistryValues,     PanelSlot::ProtRegistryValues,
    PanelSlot::TaskOffload,       PanelSlot::ToeTaskOffload,     PanelSlot::RssTaskOffload,
    PanelSlot::AdvRedAdapterTeamStatus, PanelSlot::DiscProtocolsAdapterData,
    PanelSlot::WSDStatistics,     PanelSlot::WSDPerformance,     PanelSlot::WSDAddresses,
    PanelSlot::WSDInformation,    PanelSlot::ToeStatistics,
};

// A panel list under construction; released unless handed out.
class EntryList {
public:
    ~EntryList() { FreePanelList(builder_.release()); }
    void append(PanelEntry *entry) { builder_.append(entry); }
    PanelEntry *release() { return builder_.release(); }

private:
    ListBuilder<PanelEntry> builder_;
};

// The result of a value read: unset until a library read is made or an item
// fails; remembers whether it holds a library error.
class ReadResult {
public:
    void libraryReadMade() {
        if (!value_) value_ = 0;
    }
    void failed() {
        value_ = kFailed;
        libraryError_ = false;
    }
    void failedUnlessLibraryError() {
        if (!libraryError_) value_ = kFailed;
    }
    void libraryRefused(uint32_t linkNumber, uint32_t code) {
        value_ = PropertyCode(linkNumber, code);
        libraryError_ = true;
    }
    uint32_t final() const { return value_.value_or(kFailed); }

private:
    std::optional<uint32_t> value_;
    bool libraryError_ = false;
};

}  // namespace

std::optional<PanelSlot> AdapterPanelSlot(const DualString &requestName) {
    for (PanelSlot slot : kAdapterPanels)
        if (requestName.equals(kPanelSlotNames[static_cast<std::size_t>(slot)].requestName))
            return slot;
    return std::nullopt;
}

uint32_t ReadAdapterPanelValues(const NicDefinition &definition, const Panel &panel,
                                const AdapterEntry &adapter, PanelEntry *&list) {
    EntryList entries;
    ReadResult result;
    for (const PanelItem &item : panel.items) {
        if (item.value.isNone()) continue;
        const PropertyDef *property = FindProperty(definition, item.value);
        if (!property) {
            result.failed();
            continue;
        }
        PanelEntryHolder entry(FillPanelEntry(*property));
        if (property->linkid.isNone()) {
            entries.append(entry.release());
            continue;
        }
        if (IsUnheldProperty(*property)) {
            if (property->defaultValue.isNone()) result.failedUnlessLibraryError();
            else entry->value = CopyText(property->defaultValue);
            entries.append(entry.release());
            continue;
        }
        result.libraryReadMade();
        uint32_t number = PropertyNumber(*property);
        DualString read;
        uint32_t code = ReadPropertyValue(NicIfGetAdapterProperty, adapter.handle, number, read);
        if (code == kNicIfNotSupported) continue;  // the adapter lacks the property
        if (code != kNicIfDone) {
            result.libraryRefused(number, code);
            entries.append(entry.release());
            continue;
        }
        if (IsEnumerated(*property)) {
            std::optional<DualString> shown =
                TranslateAdapterEnumValue(definition, *property, adapter.handle, read);
            if (!shown) {
                list = nullptr;
                return kFailed;
            }
            read = std::move(*shown);
        }
        entry->value = CopyText(read);
        entries.append(entry.release());
    }
    list = entries.release();
    return result.final();
}

uint32_t ReadDiagnosticsPanel(const NicDefinition &definition, const Panel &panel,
                              PanelEntry *&list) {
    EntryList entries;
    uint32_t result = 0;
    bool any = false;
    for (const PanelItem &item : panel.items) {
        if (item.value.isNone()) continue;
        const PropertyDef *property = FindProperty(definition, item.value);
        if (!property) {
            result = kFailed;
            continue;
        }
        entries.append(FillPanelEntry(*property));
        any = true;
    }
    list = entries.release();
    return any ? result : kNoEntries;
}

uint32_t GetAdapterPanelData(const AdapterEntry &adapter, const DualString &panelName,
                             PanelEntry *&list) {
    const NicDefinition *definition = FindDefinition(adapter.definitionType);
    if (!definition) return kFailed;
    std::optional<PanelSlot> slot = AdapterPanelSlot(panelName);
    if (!slot) return kFailed;
    const Panel *panel = definition->panel(*slot);
    if (!panel) return kFailed;
    PanelEntry *entries = nullptr;
    uint32_t result = *slot == PanelSlot::Diagnostics
                          ? ReadDiagnosticsPanel(*definition, *panel, entries)
                          : ReadAdapterPanelValues(*definition, *panel, adapter, entries);
    if (entries) list = entries;
    return result;
}

}  // namespace lxniccfg
