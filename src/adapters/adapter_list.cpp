#include "adapters/adapter_list.h"

#include <cstdlib>
#include <new>
#include <string_view>
#include <unordered_map>

#include "adapters/records.h"
#include "changes/write_essentials.h"
#include "nicif/nicif.h"

namespace lxniccfg {

namespace {

constexpr uint32_t kFailed = 100;
constexpr uint8_t kAdapterTeamKind = 1;

// The inline label of an adapter element: up to its NUL, and never past the
// end of the element when the library leaves it unterminated.
std::u16string_view InlineLabel(const NicIfAdapterElement &element) {
    constexpr std::size_t capacity = sizeof(element.label) / sizeof(element.label[0]);
    std::size_t length = 0;
    while (length < capacity && element.label[length]) ++length;
    return {element.label, length};
}

void FreeVlanList(VlanEntry *vlan) {
    while (vlan) {
        VlanEntry *next = vlan->next;
        std::free(vlan);
        vlan = next;
    }
}

// The lists being built; released unless handed out.
class NicLists {
public:
    ~NicLists() {
        FreeTeamList(teams.release());
        FreeAdapterList(adapters.release());
    }
    ListBuilder<AdapterEntry> adapters;
    ListBuilder<TeamEntry> teams;
};

// Frees the arrays NicIfEnumerate handed out. An array is the caller's to
// release whenever the library handed one out, whatever its count.
class EnumeratedArrays {
public:
    ~EnumeratedArrays() {
        std::free(nics);
        std::free(teams);
        std::free(vlans);
    }
    void *nics = nullptr;
    void *teams = nullptr;
    void *vlans = nullptr;
    uint32_t nicCount = 0, teamCount = 0, vlanCount = 0;
};

}  // namespace

void FreeAdapterList(AdapterEntry *adapter) {
    while (adapter) {
        AdapterEntry *next = adapter->next;
        std::free(adapter->name);
        std::free(adapter->definitionType);
        std::free(adapter->label);
        FreeVlanList(adapter->vlans);
        std::free(adapter);
        adapter = next;
    }
}

void FreeTeamList(TeamEntry *team) {
    while (team) {
        TeamEntry *next = team->next;
        std::free(team->teamText);
        std::free(team->definitionType);
        for (TeamMemberLink *member = team->members; member;) {
            TeamMemberLink *following = member->next;
            std::free(member);
            member = following;
        }
        FreeVlanList(team->vlans);
        std::free(team);
        team = next;
    }
}

void BuildNicList(const NicIfAdapterElement *nics, uint32_t nicCount,
                  const NicIfTeamElement *teams, uint32_t teamCount,
                  const NicIfVlanElement *vlans, uint32_t vlanCount, TeamEntry *&teamList,
                  AdapterEntry *&adapterList) {
    if (!nics) nicCount = 0;
    if (!teams) teamCount = 0;
    if (!vlans) vlanCount = 0;
    NicLists lists;
    uint32_t nicsTaken = 0, teamsTaken = 0;
    try {
        while (nicsTaken < nicCount) {
            const NicIfAdapterElement &element = nics[nicsTaken];
            AdapterEntry *adapter = NewRecord<AdapterEntry>();
            adapter->handle = element.handle;
            adapter->definitionType = element.definitionType;
            adapter->name = element.name;
            lists.adapters.append(adapter);  // owns the texts from here on
            ++nicsTaken;
            adapter->status = element.status;
            adapter->info1 = element.info1;
            adapter->teamHandle = element.teamHandle;
            adapter->info2 = element.info2;
            adapter->activeInTeam = element.activeInTeam;
            adapter->number = nicsTaken;
            adapter->label = CopyText(DualString(InlineLabel(element)));
        }
        while (teamsTaken < teamCount) {
            const NicIfTeamElement &element = teams[teamsTaken];
            if (element.kind != kAdapterTeamKind) {
                std::free(element.teamText);
                ++teamsTaken;
                continue;
            }
            TeamEntry *team = NewRecord<TeamEntry>();
            team->handle = element.handle;
            team->teamText = element.teamText;
            lists.teams.append(team);  // owns the text from here on
            ++teamsTaken;
            team->teamInfo1 = element.teamInfo1;
            team->teamInfo2 = element.teamInfo2;
            team->definitionType = CopyText(TeamDefinitionType());
            TeamMemberLink **tail = &team->members;
            for (AdapterEntry *adapter = lists.adapters.head(); adapter; adapter = adapter->next) {
                if (adapter->teamHandle != team->handle) continue;
                TeamMemberLink *member = NewRecord<TeamMemberLink>();
                member->adapter = adapter;
                member->adapterHandle = adapter->handle;
                *tail = member;
                tail = &member->next;
            }
        }
    } catch (...) {
        for (uint32_t i = nicsTaken; i < nicCount; ++i) {
            std::free(nics[i].definitionType);
            std::free(nics[i].name);
        }
        for (uint32_t i = teamsTaken; i < teamCount; ++i) std::free(teams[i].teamText);
        throw;
    }
    // Where the next VLAN of each parent goes (the first adapter, else the
    // first team, with that handle), so that attaching every VLAN costs the
    // same however many there are.
    std::unordered_map<uint64_t, VlanEntry **> tails;
    for (AdapterEntry *adapter = lists.adapters.head(); adapter; adapter = adapter->next)
        tails.emplace(adapter->handle, &adapter->vlans);
    for (TeamEntry *team = lists.teams.head(); team; team = team->next) tails.emplace(team->handle, &team->vlans);
    for (uint32_t i = 0; i < vlanCount; ++i) {
        const NicIfVlanElement &element = vlans[i];
        auto tail = tails.find(element.parentHandle);
        if (tail == tails.end()) continue;  // a VLAN of nothing listed is dropped
        VlanEntry *vlan = NewRecord<VlanEntry>();
        vlan->handle = element.handle;
        *tail->second = vlan;
        tail->second = &vlan->next;
    }
    teamList = lists.teams.release();
    adapterList = lists.adapters.release();
}

uint32_t GetNicList(uint64_t listOption, TeamEntry *&teams, AdapterEntry *&adapters) {
    teams = nullptr;
    adapters = nullptr;
    EnumeratedArrays arrays;
    uint32_t code = NicIfEnumerate(&arrays.nics, &arrays.nicCount, &arrays.teams,
                                   &arrays.teamCount, &arrays.vlans, &arrays.vlanCount,
                                   listOption);
    if (code != 0) {
        // A failed enumeration hands nothing out.
        arrays.nics = arrays.teams = arrays.vlans = nullptr;
        return code;
    }
    try {
        BuildNicList(static_cast<const NicIfAdapterElement *>(arrays.nics), arrays.nicCount,
                     static_cast<const NicIfTeamElement *>(arrays.teams), arrays.teamCount,
                     static_cast<const NicIfVlanElement *>(arrays.vlans), arrays.vlanCount, teams,
                     adapters);
    } catch (const std::bad_alloc &) {
        return kFailed;
    }
    return 0;
}

}  // namespace lxniccfg
