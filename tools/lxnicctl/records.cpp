#include "records.h"

#include <cstdlib>
#include <new>

#include "text.h"

namespace lxnicctl {

namespace {

template <typename T>
T *NewRecord() {
    void *memory = std::calloc(1, sizeof(T));
    if (memory == nullptr) throw std::bad_alloc();
    return static_cast<T *>(memory);
}

void FreeMembers(TeamMemberLink *members) {
    while (members != nullptr) {
        TeamMemberLink *next = members->next;
        std::free(members);
        members = next;
    }
}

void FreeScriptProperties(ScriptProperty *properties) {
    while (properties != nullptr) {
        ScriptProperty *next = properties->next;
        std::free(properties->id);
        std::free(properties->value);
        std::free(properties);
        properties = next;
    }
}

void FreeScriptVlans(ScriptVlan *vlans) {
    while (vlans != nullptr) {
        ScriptVlan *next = vlans->next;
        FreeScriptProperties(vlans->properties);
        std::free(vlans);
        vlans = next;
    }
}

}  // namespace

void FreePanelList(PanelEntry *list) {
    while (list != nullptr) {
        PanelEntry *next = list->next;
        for (lx_wchar *text : {list->linkId, list->id, list->range, list->step, list->lowest,
                               list->defaultValue, list->displayName, list->hint, list->controlType,
                               list->derivedValue, list->value, list->newValue,
                               list->selectedValue, list->rangeType}) {
            std::free(text);
        }
        std::free(list);
        list = next;
    }
}

void FreeDependencyChanges(DependencyChange *changes) {
    while (changes != nullptr) {
        DependencyChange *next = changes->next;
        std::free(changes->text);
        std::free(changes);
        changes = next;
    }
}

void FreeVlans(VlanEntry *vlans) {
    while (vlans != nullptr) {
        VlanEntry *next = vlans->next;
        for (PanelEntry *list : {vlans->connectionInfoList, vlans->connectionStatsList,
                                 vlans->identificationList}) {
            FreePanelList(list);
        }
        std::free(vlans->definitionType);
        std::free(vlans);
        vlans = next;
    }
}

void FreeAdapters(AdapterEntry *adapters) {
    while (adapters != nullptr) {
        AdapterEntry *next = adapters->next;
        for (PanelEntry *list :
             {adapters->settingsList, adapters->advancedList, adapters->statisticsList1,
              adapters->statisticsList2, adapters->statisticsList3, adapters->informationList,
              adapters->connectionInfoList, adapters->connectionStatsList,
              adapters->teamSettingsList, adapters->iscsiSettingsList, adapters->iscsiAddressList,
              adapters->iscsiReportList1, adapters->iscsiReportList2, adapters->iscsiReportList3,
              adapters->iscsiSettingsList2, adapters->wsdList1, adapters->wsdList2,
              adapters->wsdList3, adapters->wsdList4, adapters->toeStatisticsList}) {
            FreePanelList(list);
        }
        FreeVlans(adapters->vlans);
        std::free(adapters->name);
        std::free(adapters->definitionType);
        std::free(adapters->label);
        std::free(adapters);
        adapters = next;
    }
}

void FreeTeams(TeamEntry *teams) {
    while (teams != nullptr) {
        TeamEntry *next = teams->next;
        for (PanelEntry *list :
             {teams->controlsList, teams->settingsList, teams->advancedList,
              teams->connectionInfoList, teams->connectionStatsList, teams->informationList1,
              teams->informationList2, teams->statisticsList1, teams->statisticsList2,
              teams->redundancyList, teams->discProtocolList, teams->toeStatisticsList,
              teams->reserved11}) {
            FreePanelList(list);
        }
        FreeMembers(teams->members);
        FreeVlans(teams->vlans);
        std::free(teams->teamText);
        std::free(teams->definitionType);
        std::free(teams);
        teams = next;
    }
}

void FreeScriptConfig(ScriptConfig *config) {
    if (config == nullptr) return;
    for (ScriptTeam *team = config->teams; team != nullptr;) {
        ScriptTeam *next = team->next;
        FreeScriptProperties(team->properties);
        FreeScriptVlans(team->vlans);
        std::free(team->relnics);
        std::free(team);
        team = next;
    }
    for (ScriptNic *nic = config->nics; nic != nullptr;) {
        ScriptNic *next = nic->next;
        FreeScriptProperties(nic->properties);
        FreeScriptVlans(nic->vlans);
        std::free(nic);
        nic = next;
    }
    if (config->version != nullptr) {
        std::free(config->version->utilityVersion);
        std::free(config->version->scriptVersion);
        std::free(config->version);
    }
    std::free(config);
}

TeamEntry *NewTeamRecord() {
    TeamEntry *team = NewRecord<TeamEntry>();
    team->isNew = 1;
    team->definitionType = MallocText("TEAM");
    return team;
}

VlanEntry *NewVlanRecord() {
    VlanEntry *vlan = NewRecord<VlanEntry>();
    vlan->isNew = 1;
    return vlan;
}

TeamMemberLink *NewMemberLink(AdapterEntry *adapter) {
    TeamMemberLink *link = NewRecord<TeamMemberLink>();
    link->adapter = adapter;
    link->adapterHandle = adapter->handle;
    link->isAdded = 1;
    return link;
}

PanelEntry *CopyEntry(const PanelEntry *entry) {
    PanelEntry *copy = NewRecord<PanelEntry>();
    *copy = *entry;
    copy->next = nullptr;
    for (lx_wchar **text : {&copy->linkId, &copy->id, &copy->range, &copy->step, &copy->lowest,
                            &copy->defaultValue, &copy->displayName, &copy->hint, &copy->controlType,
                            &copy->derivedValue, &copy->value, &copy->newValue, &copy->selectedValue,
                            &copy->rangeType}) {
        if (*text != nullptr) *text = MallocText(ToUtf8(*text));
    }
    return copy;
}

void SetText(lx_wchar *&field, const std::string &utf8) {
    lx_wchar *copy = MallocText(utf8);
    std::free(field);
    field = copy;
}

PanelEntry *FindEntry(PanelEntry *list, const std::string &id) {
    for (PanelEntry *entry = list; entry != nullptr; entry = entry->next) {
        if (entry->id != nullptr && ToUtf8(entry->id) == id) return entry;
    }
    return nullptr;
}

std::vector<PanelEntry *> Entries(PanelEntry *list) {
    std::vector<PanelEntry *> entries;
    for (PanelEntry *entry = list; entry != nullptr; entry = entry->next) entries.push_back(entry);
    return entries;
}

std::string ShownValue(const PanelEntry *entry) {
    if (entry->value != nullptr) return ToUtf8(entry->value);
    if (entry->derivedValue != nullptr) return ToUtf8(entry->derivedValue);
    return {};
}

void SelectShownValues(PanelEntry *list) {
    for (PanelEntry *entry = list; entry != nullptr; entry = entry->next) {
        if (entry->selectedValue == nullptr && (entry->value != nullptr || entry->derivedValue != nullptr)) {
            SetText(entry->selectedValue, ShownValue(entry));
        }
    }
}

void MarkChanged(PanelEntry *entry, const std::string &value) {
    SetText(entry->selectedValue, value);
    SetText(entry->newValue, value);
    entry->changed = 1;
}

}  // namespace lxnicctl
