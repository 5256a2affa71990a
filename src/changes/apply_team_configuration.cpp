#include "changes/apply_team_configuration.h"

#include <cstring>
#include <new>
#include <optional>

#include "changes/changed_object_registry.h"
#include "changes/write_essentials.h"
#include "definitions/catalog.h"
#include "nicif/nicif.h"

namespace lxniccfg {

namespace {

constexpr uint32_t kFailed = 100;
constexpr uint32_t kSecondNotice = 16;
constexpr uint32_t kNoMembers = 0xFFFFFFFFu;
constexpr uint32_t kCreationFailed = 5;

// The panel-list words of a TeamEntry or VlanEntry the initial settings
// are gathered from, in order; word 10 is the advanced list.
constexpr int kRecordWords[] = {8, 22, 26, 9, 11, 17, 14, 15, 16, 18, 19, 20, 10, 21, 27};
constexpr int kAdvancedWord = 10;
constexpr int kDefinitionTypeWord = 4;

static_assert(sizeof(TeamEntry) == sizeof(VlanEntry));
static_assert(offsetof(TeamEntry, definitionType) == 8 * (kDefinitionTypeWord - 1));
static_assert(offsetof(VlanEntry, definitionType) == 8 * (kDefinitionTypeWord - 1));
static_assert(offsetof(TeamEntry, advancedList) == 8 * (kAdvancedWord - 1));

// Word n (counted from 1) of a TeamEntry or VlanEntry, read as a pointer.
template <class T>
T *Word(const void *record, int n) {
    T *value;
    std::memcpy(&value, static_cast<const unsigned char *>(record) + 8 * (n - 1), sizeof value);
    return value;
}

bool IsPending(const PanelEntry &entry) {
    return entry.changed == 1 && entry.id && entry.newValue;
}

// The result folding of this operation: the first error, the notice (7) and
// the second notice (16, where a step takes it as one).
class Results {
public:
    void add(uint32_t code, bool secondNoticeAllowed) {
        if (code == 0) return;
        if (code == kNicIfNotice) notice_ = true;
        else if (code == kSecondNotice && secondNoticeAllowed) secondNotice_ = true;
        else if (!error_) error_ = code;
    }
    uint32_t result() const {
        if (error_) return *error_;
        if (secondNotice_) return kSecondNotice;
        return notice_ ? kNicIfNotice : 0;
    }

private:
    std::optional<uint32_t> error_;
    bool notice_ = false;
    bool secondNotice_ = false;
};

void RegisterMembers(const TeamEntry &team) {
    for (const TeamMemberLink *m = team.members; m; m = m->next)
        if (m->isRemoved == 0) RegisterChanged(m->adapterHandle);
}

// Creates one VLAN under parent; the owner's registration follows.
void CreateVlan(VlanEntry &vlan, uint64_t parent, uint8_t parentIsTeam, Results &results) {
    PropertyRecords records;
    uint32_t built = BuildPropertyRecords(&vlan, records);
    if (built != 0) {
        results.add(built, false);
        return;
    }
    if (records.count() == 0) return;
    uint64_t created = 0;
    uint32_t code = NicIfCreateVlan(records.data(), records.count(), parent, vlan.vlanParameter,
                                    parentIsTeam, &created);
    if (code == 0 || code == kNicIfNotice) vlan.handle = created;
    results.add(code, false);
}

}  // namespace

PropertyRecords::~PropertyRecords() {
    for (PropertyRecord &r : records_) std::free(r.value);
}

void PropertyRecords::append(uint32_t propertyNumber, const DualString &value) {
    records_.reserve(records_.size() + 1);
    const std::u16string wide = value.wideText();
    lx_wchar *copy = mallocWideCopy(wide);
    if (!copy) throw std::bad_alloc();
    PropertyRecord record{};
    record.propertyNumber = propertyNumber;
    record.value = copy;
    record.size = static_cast<uint32_t>((wide.size() + 1) * sizeof(lx_wchar));
    records_.push_back(record);
}

uint32_t CollectRecords(const NicDefinition &definition, PanelEntry *list, bool advanced,
                        PropertyRecords &records) {
    uint32_t result = 0;
    for (PanelEntry *entry = list; entry; entry = entry->next) {
        if (!IsPending(*entry)) continue;
        if (!entry->linkId || (advanced && !entry->range)) return kFailed;
        uint32_t number = PropertyNumber(DualString(entry->linkId));
        const PropertyDef *property = FindOwnProperty(definition, DualString(entry->id));
        if (!property) return kFailed;

        DualString value(entry->newValue);
        if (!property->enumName.isNone()) {
            std::optional<DualString> raw = ToRawValue(definition, *property, value);
            if (!raw) {
                result = kFailed;
                continue;
            }
            value = *raw;
        } else if (advanced && entry->derivationBlocked == 1) {
            DualString rangeType(entry->rangeType);
            if (IsEnforcedRangeType(rangeType)) {
                // The value to enforce; without one there is nothing sound
                // to create the team with.
                if (!entry->lowest) return kFailed;
                value = DualString(entry->lowest);
            }
        }
        records.append(number, value);
    }
    return result;
}

uint32_t BuildPropertyRecords(const void *teamOrVlan, PropertyRecords &records) {
    const lx_wchar *type = Word<const lx_wchar>(teamOrVlan, kDefinitionTypeWord);
    const NicDefinition *definition = type ? FindDefinition(DualString(type)) : FindTeamDefinition();
    if (!definition) return kFailed;
    for (int word : kRecordWords) {
        PanelEntry *list = Word<PanelEntry>(teamOrVlan, word);
        if (!list) continue;
        uint32_t code = CollectRecords(*definition, list, word == kAdvancedWord, records);
        if (code != 0) return code;
    }
    return 0;
}

uint32_t ApplyTeamConfigurationChanges(TeamEntry *teams, AdapterEntry *adapters) {
    Results results;

    for (TeamEntry *team = teams; team; team = team->next)
        if (team->isNew == 0 && team->isDeleted == 1)
            results.add(NicIfDissolveTeam(team->handle, 1), true);

    for (TeamEntry *team = teams; team; team = team->next) {
        if (team->isNew != 0 || team->isDeleted != 0) continue;
        for (TeamMemberLink *m = team->members; m; m = m->next)
            if (m->isAdded == 0 && m->isRemoved == 1)
                results.add(NicIfRemoveTeamMember(m->adapterHandle, 0, team->handle), true);
    }

    for (AdapterEntry *adapter = adapters; adapter; adapter = adapter->next)
        for (VlanEntry *vlan = adapter->vlans; vlan; vlan = vlan->next)
            if (vlan->isDeleted != 0) {
                results.add(NicIfDeleteVlan(vlan->handle), false);
                RegisterChanged(adapter->handle);
            }

    for (TeamEntry *team = teams; team; team = team->next) {
        if (team->isDeleted != 0) continue;
        for (VlanEntry *vlan = team->vlans; vlan; vlan = vlan->next)
            if (vlan->isDeleted != 0) {
                results.add(NicIfDeleteVlan(vlan->handle), false);
                RegisterMembers(*team);
            }
    }

    for (TeamEntry *team = teams; team; team = team->next) {
        if (team->isNew != 1 || team->isDeleted != 0) continue;
        std::vector<uint64_t> members;
        for (const TeamMemberLink *m = team->members; m; m = m->next)
            if (m->isAdded == 1 && m->isRemoved == 0) members.push_back(m->adapterHandle);
        if (members.empty()) return kNoMembers;
        PropertyRecords records;
        if (BuildPropertyRecords(team, records) != 0 || records.count() == 0) continue;
        uint64_t created = 0;
        uint32_t code = NicIfCreateTeam(records.data(), records.count(), members.data(),
                                        static_cast<uint32_t>(members.size()), &created);
        if (code == 0 || code == kNicIfNotice || code == kSecondNotice) team->handle = created;
        else team->teamInfo1 = kCreationFailed;
        results.add(code, true);
    }

    for (TeamEntry *team = teams; team; team = team->next) {
        if (team->isNew != 0 || team->isDeleted != 0) continue;
        for (TeamMemberLink *m = team->members; m; m = m->next)
            if (m->isAdded == 1) results.add(NicIfAddTeamMember(m->adapterHandle, team->handle), true);
    }

    for (AdapterEntry *adapter = adapters; adapter; adapter = adapter->next)
        for (VlanEntry *vlan = adapter->vlans; vlan; vlan = vlan->next)
            if (vlan->isNew != 0) {
                CreateVlan(*vlan, adapter->handle, 0, results);
                RegisterChanged(adapter->handle);
            }

    for (TeamEntry *team = teams; team; team = team->next) {
        if (team->isDeleted != 0) continue;
        for (VlanEntry *vlan = team->vlans; vlan; vlan = vlan->next)
            if (vlan->isNew != 0) {
                CreateVlan(*vlan, team->handle, 1, results);
                RegisterMembers(*team);
            }
    }

    return results.result();
}

}  // namespace lxniccfg
