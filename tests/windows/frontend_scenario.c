/*
 * A front end as one is written for Windows: it loads lxniccfg.dll, reaches
 * every function by its ordinal alone and runs a whole scenario against the
 * NIC interface library it finds (the simulated lxnicif.dll): list the
 * adapters, read a panel, change a setting whose rule forces another one,
 * create a team with a VLAN, save the configuration as a script and read it
 * back. It is plain C with the platform's wchar_t texts.
 *
 *   lxniccfg_frontend DEFINITIONS_FILE
 *
 * The simulated server's state goes to a temporary file (LXNICIF_STATE).
 * Prints each step; exits with 0 when every step did what it should.
 */
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include "lxniccfg.h"

typedef uint32_t (*GetNicListFn)(uint64_t, TeamEntry **, AdapterEntry **);
typedef uint32_t (*GetPanelDataFn)(AdapterEntry *, const lx_wchar *, PanelEntry **);
typedef uint32_t (*ApplyChangesFn)(AdapterEntry **);
typedef uint32_t (*InitXmlFn)(const lx_wchar *);
typedef void (*CloseXmlFn)(uint8_t);
typedef uint32_t (*VerifyDependencyFn)(AdapterEntry *, PanelEntry *, DependencyChange **, uint8_t);
typedef uint32_t (*GetTeamPanelDataFn)(void *, const lx_wchar *, PanelEntry **);
typedef uint32_t (*ApplyTeamsFn)(TeamEntry **, AdapterEntry **);
typedef uint32_t (*GetSinglePropertyFn)(uint64_t, const lx_wchar *, const lx_wchar *, lx_wchar **);
typedef uint32_t (*ReadXmlScriptFileFn)(ScriptConfig **, const lx_wchar *, char **);
typedef uint32_t (*WriteXmlScriptFileFn)(TeamEntry *, AdapterEntry *, const lx_wchar *, uint8_t, uint8_t);

static HMODULE library;
static int failures;

/* The function at an ordinal, as the generic function pointer type that
 * converts to any other. */
typedef void (*Function)(void);
static Function Ordinal(int ordinal) {
    FARPROC function = GetProcAddress(library, (LPCSTR)(ULONG_PTR)ordinal);
    if (!function) {
        printf("FAIL: no function at ordinal %d\n", ordinal);
        exit(1);
    }
    return (Function)function;
}

static void Check(int ok, const char *what, uint32_t result) {
    printf("%s %s (result %u)\n", ok ? "ok  " : "FAIL", what, result);
    if (!ok) ++failures;
}

static wchar_t *Copy(const wchar_t *text) {
    size_t size = (wcslen(text) + 1) * sizeof(wchar_t);
    wchar_t *copy = malloc(size);
    memcpy(copy, text, size);
    return copy;
}

static void SetText(lx_wchar **field, const wchar_t *text) {
    free(*field);
    *field = Copy(text);
}

static PanelEntry *Find(PanelEntry *list, const wchar_t *id) {
    for (; list; list = list->next)
        if (list->id && wcscmp(list->id, id) == 0) return list;
    return NULL;
}

/* Every entry offers its shown value as the selected one, as a front end
 * does before the rules run. */
static void SelectShown(PanelEntry *list) {
    for (; list; list = list->next) {
        const lx_wchar *shown = list->value ? list->value : list->derivedValue;
        if (!list->selectedValue && shown) SetText(&list->selectedValue, shown);
    }
}

static void MarkChanged(PanelEntry *entry, const wchar_t *value) {
    SetText(&entry->selectedValue, value);
    SetText(&entry->newValue, value);
    entry->changed = 1;
}

static void FreeEntries(PanelEntry *entry) {
    while (entry) {
        PanelEntry *next = entry->next;
        lx_wchar **texts[] = {&entry->linkId, &entry->id, &entry->range, &entry->step, &entry->lowest,
                              &entry->defaultValue, &entry->displayName, &entry->hint, &entry->controlType,
                              &entry->derivedValue, &entry->value, &entry->newValue, &entry->selectedValue,
                              &entry->rangeType};
        for (size_t i = 0; i < sizeof texts / sizeof texts[0]; ++i) free(*texts[i]);
        free(entry);
        entry = next;
    }
}

static void FreeVlans(VlanEntry *vlan) {
    while (vlan) {
        VlanEntry *next = vlan->next;
        FreeEntries(vlan->identificationList);
        FreeEntries(vlan->connectionInfoList);
        FreeEntries(vlan->connectionStatsList);
        free(vlan);
        vlan = next;
    }
}

static void FreeNicList(TeamEntry *team, AdapterEntry *nic) {
    while (team) {
        TeamEntry *next = team->next;
        TeamMemberLink *link = team->members;
        while (link) {
            TeamMemberLink *after = link->next;
            free(link);
            link = after;
        }
        FreeEntries(team->controlsList);
        FreeEntries(team->settingsList);
        FreeEntries(team->advancedList);
        FreeEntries(team->redundancyList);
        FreeVlans(team->vlans);
        free(team->teamText);
        free(team->definitionType);
        free(team);
        team = next;
    }
    while (nic) {
        AdapterEntry *next = nic->next;
        FreeEntries(nic->settingsList);
        FreeEntries(nic->advancedList);
        FreeVlans(nic->vlans);
        free(nic->name);
        free(nic->definitionType);
        free(nic->label);
        free(nic);
        nic = next;
    }
}

static AdapterEntry *Adapter(AdapterEntry *list, const wchar_t *name) {
    for (; list; list = list->next)
        if (list->name && wcscmp(list->name, name) == 0) return list;
    return NULL;
}

static int Count(void *head) {
    int n = 0;
    for (void **item = head; item; item = *item) ++n; /* every record starts with next */
    return n;
}

int main(int argc, char **argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: lxniccfg_frontend DEFINITIONS_FILE\n");
        return 2;
    }
    wchar_t definitions[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, argv[1], -1, definitions, MAX_PATH);

    /* The simulated server keeps its state in a file of our own. */
    wchar_t temp[MAX_PATH], state[MAX_PATH], script[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    swprintf(state, MAX_PATH, L"%lsfrontend-%lu.json", temp, GetCurrentProcessId());
    swprintf(script, MAX_PATH, L"%lsfrontend-%lu.xml", temp, GetCurrentProcessId());
    SetEnvironmentVariableW(L"LXNICIF_STATE", state);
    _wputenv_s(L"LXNICIF_STATE", state);

    library = LoadLibraryW(L"lxniccfg.dll");
    if (!library) {
        printf("FAIL: lxniccfg.dll cannot be loaded (error %lu)\n", GetLastError());
        return 1;
    }
    GetNicListFn getNicList = (GetNicListFn)Ordinal(1);
    GetPanelDataFn getPanelData = (GetPanelDataFn)Ordinal(2);
    ApplyChangesFn applyChanges = (ApplyChangesFn)Ordinal(3);
    InitXmlFn initXml = (InitXmlFn)Ordinal(4);
    CloseXmlFn closeXml = (CloseXmlFn)Ordinal(5);
    VerifyDependencyFn verifyDependency = (VerifyDependencyFn)Ordinal(7);
    GetTeamPanelDataFn getTeamPanelData = (GetTeamPanelDataFn)Ordinal(9);
    ApplyTeamsFn applyTeamProperties = (ApplyTeamsFn)Ordinal(11);
    ApplyTeamsFn applyTeamConfiguration = (ApplyTeamsFn)Ordinal(12);
    GetSinglePropertyFn getSingleProperty = (GetSinglePropertyFn)Ordinal(16);
    ReadXmlScriptFileFn readScript = (ReadXmlScriptFileFn)Ordinal(20);
    WriteXmlScriptFileFn writeScript = (WriteXmlScriptFileFn)Ordinal(21);

    uint32_t result = initXml(definitions);
    Check(result == 0, "InitXml loads the definitions", result);

    TeamEntry *teams = NULL;
    AdapterEntry *adapters = NULL;
    result = getNicList(0, &teams, &adapters);
    Check(result == 0 && Count(adapters) >= 5 && Count(teams) == 1, "GetNicList lists adapters and a team", result);
    AdapterEntry *eth0 = Adapter(adapters, L"eth0");
    Check(eth0 != NULL, "eth0 is listed", 0);
    if (!eth0) return 1;

    /* A panel, and a change whose rule forces another value. */
    result = getPanelData(eth0, L"Settings", &eth0->settingsList);
    PanelEntry *speed = Find(eth0->settingsList, L"SpeedDuplex");
    Check(result == 0 && speed && speed->value, "GetPanelData reads eth0's Settings", result);
    result = getPanelData(eth0, L"Advanced", &eth0->advancedList);
    Check(result == 0, "GetPanelData reads eth0's Advanced", result);
    SelectShown(eth0->settingsList);
    SelectShown(eth0->advancedList);
    PanelEntry *jumbo = Find(eth0->advancedList, L"JumboFrames");
    if (!speed || !jumbo) return 1;
    /* Half duplex at 10 Mbps, then jumbo frames: the rules force the speed
     * back to auto-negotiation. */
    MarkChanged(speed, L"10 Mbps Half Duplex");
    MarkChanged(jumbo, L"9014 Bytes");
    DependencyChange *forced = NULL;
    result = verifyDependency(eth0, jumbo, &forced, 0);
    int forcedSpeed = 0;
    for (DependencyChange *c = forced; c; c = c->next) {
        if (c->entry && c->text && c->entry == speed && wcscmp(c->text, L"Auto Negotiation") == 0) {
            MarkChanged(c->entry, c->text);
            forcedSpeed = 1;
        }
    }
    while (forced) {
        DependencyChange *next = forced->next;
        free(forced->text);
        free(forced);
        forced = next;
    }
    Check(result == 0 && forcedSpeed, "VerifyDependency forces SpeedDuplex for jumbo frames", result);
    result = applyChanges(&adapters);
    Check(result == 0 || result == 7, "ApplyChanges writes eth0's settings", result);

    /* A new team of eth3 and eth4 with a VLAN. */
    AdapterEntry *a = Adapter(adapters, L"eth3"), *b = Adapter(adapters, L"eth4");
    Check(a && b && !a->teamHandle && !b->teamHandle, "eth3 and eth4 are in no team", 0);
    if (!a || !b) return 1;
    TeamEntry *team = calloc(1, sizeof *team);
    team->isNew = 1;
    team->definitionType = Copy(L"TEAM");
    TeamMemberLink *first = calloc(1, sizeof *first), *second = calloc(1, sizeof *second);
    first->adapter = a;
    first->adapterHandle = a->handle;
    first->isAdded = 1;
    first->next = second;
    second->adapter = b;
    second->adapterHandle = b->handle;
    second->isAdded = 1;
    team->members = first;
    getPanelData(a, L"Advanced", &a->advancedList);
    getPanelData(b, L"Advanced", &b->advancedList);
    result = getTeamPanelData(team, L"TeamingControls", &team->controlsList);
    result |= getTeamPanelData(team, L"TeamSettings", &team->settingsList);
    result |= getTeamPanelData(team, L"TeamAdvanced", &team->advancedList);
    Check(result == 0, "GetTeamPanelData reads the new team's panels", result);
    SelectShown(team->controlsList);
    SelectShown(team->settingsList);
    SelectShown(team->advancedList);
    PanelEntry *teamName = Find(team->settingsList, L"TeamName");
    if (!teamName) teamName = Find(team->controlsList, L"TeamName");
    Check(teamName != NULL, "the team has a TeamName", 0);
    if (!teamName) return 1;
    MarkChanged(teamName, L"Team 2");

    VlanEntry *vlan = calloc(1, sizeof *vlan);
    vlan->isNew = 1;
    result = getTeamPanelData(vlan, L"Vlan", &vlan->identificationList);
    PanelEntry *vlanId = Find(vlan->identificationList, L"VlanId");
    PanelEntry *vlanName = Find(vlan->identificationList, L"VlanName");
    Check(result == 0 && vlanId && vlanName, "GetTeamPanelData reads the new VLAN's panel", result);
    if (!vlanId || !vlanName) return 1;
    SelectShown(vlan->identificationList);
    MarkChanged(vlanId, L"30");
    MarkChanged(vlanName, L"Storage");
    team->vlans = vlan;

    TeamEntry **last = &teams;
    while (*last) last = &(*last)->next;
    *last = team;
    result = applyTeamConfiguration(&teams, &adapters);
    Check((result == 0 || result == 7 || result == 16) && team->handle != 0 && vlan->handle != 0,
          "ApplyTeamConfigurationChanges creates the team and its VLAN", result);
    result = applyTeamProperties(&teams, &adapters);
    Check(result == 0 || result == 7, "ApplyTeamPropertyChanges commits", result);

    /* What the server holds now. */
    uint64_t eth0Handle = eth0->handle;
    lx_wchar *type = Copy(eth0->definitionType);
    FreeNicList(teams, adapters);
    teams = NULL;
    adapters = NULL;
    result = getNicList(0, &teams, &adapters);
    int found = 0;
    for (TeamEntry *t = teams; t; t = t->next)
        if (t->teamText && wcscmp(t->teamText, L"Team 2") == 0 && Count(t->vlans) == 1 && Count(t->members) == 2)
            found = 1;
    Check(result == 0 && Count(teams) == 2 && found, "GetNicList shows Team 2 with its members and VLAN", result);
    lx_wchar *value = NULL;
    result = getSingleProperty(eth0Handle, type, L"JumboFrames", &value);
    Check(result == 0 && value && wcscmp(value, L"9014 Bytes") == 0, "eth0 keeps its jumbo frames", result);
    free(value);
    value = NULL;
    result = getSingleProperty(eth0Handle, type, L"SpeedDuplex", &value);
    Check(result == 0 && value && wcscmp(value, L"Auto Negotiation") == 0, "eth0 keeps the speed the rule forced",
          result);
    free(value);
    free(type);

    /* The configuration as a script, and read back. */
    for (TeamEntry *t = teams; t; t = t->next) {
        getTeamPanelData(t, L"TeamingControls", &t->controlsList);
        getTeamPanelData(t, L"TeamSettings", &t->settingsList);
        for (VlanEntry *v = t->vlans; v; v = v->next) getTeamPanelData(v, L"Vlan", &v->identificationList);
    }
    for (AdapterEntry *n = adapters; n; n = n->next) getPanelData(n, L"Settings", &n->settingsList);
    result = writeScript(teams, adapters, script, 0, 0);
    Check(result == 0, "WriteXmlScriptFile saves the configuration", result);
    FILE *file = _wfopen(script, L"rb");
    char text[256] = {0};
    size_t n = file ? fread(text, 1, sizeof text - 1, file) : 0;
    if (file) fclose(file);
    const char *declaration = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n\r\n<teamingconfig>\r\n";
    Check(n > 0 && strncmp(text, declaration, strlen(declaration)) == 0,
          "the script starts with its declaration and CR LF", 0);
    ScriptConfig *config = NULL;
    char *message = NULL;
    result = readScript(&config, script, &message);
    int scriptTeams = 0, scriptVlans = 0;
    if (config) {
        for (ScriptTeam *t = config->teams; t; t = t->next) {
            ++scriptTeams;
            for (ScriptVlan *v = t->vlans; v; v = v->next) ++scriptVlans;
        }
    }
    Check(result == 0 && config && Count(config->nics) == Count(adapters) && scriptTeams == 2 && scriptVlans == 2 &&
              config->version && wcscmp(config->version->utilityVersion, L"1.0.0") == 0,
          "ReadXmlScriptFile reads it back, with lxnicui.dll's version", result);
    if (message) printf("     message: %s\n", message);
    free(message);
    /* The tree is released with free, record by record. */
    if (config) {
        while (config->teams) {
            ScriptTeam *t = config->teams;
            config->teams = t->next;
            while (t->properties) {
                ScriptProperty *p = t->properties;
                t->properties = p->next;
                free(p->id);
                free(p->value);
                free(p);
            }
            while (t->vlans) {
                ScriptVlan *v = t->vlans;
                t->vlans = v->next;
                while (v->properties) {
                    ScriptProperty *p = v->properties;
                    v->properties = p->next;
                    free(p->id);
                    free(p->value);
                    free(p);
                }
                free(v);
            }
            free(t->relnics);
            free(t);
        }
        while (config->nics) {
            ScriptNic *nic = config->nics;
            config->nics = nic->next;
            while (nic->properties) {
                ScriptProperty *p = nic->properties;
                nic->properties = p->next;
                free(p->id);
                free(p->value);
                free(p);
            }
            free(nic);
        }
        if (config->version) {
            free(config->version->utilityVersion);
            free(config->version->scriptVersion);
            free(config->version);
        }
        free(config);
    }

    FreeNicList(teams, adapters);
    closeXml(0);
    FreeLibrary(library);
    DeleteFileW(script);
    DeleteFileW(state);
    wchar_t lock[MAX_PATH];
    swprintf(lock, MAX_PATH, L"%ls.lock", state);
    DeleteFileW(lock);
    printf("%s\n", failures ? "the scenario FAILED" : "the scenario passed");
    return failures ? 1 : 0;
}
