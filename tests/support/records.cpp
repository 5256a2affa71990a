#include "support/records.h"

#include <cstdlib>
#include <cstring>

#include "support/nicif_double.h"

namespace testing_support {

lx_wchar *Text(const std::string &utf8) {
    std::u16string wide = nicif_double::Utf16(utf8);
    auto *copy = static_cast<lx_wchar *>(std::malloc((wide.size() + 1) * sizeof(lx_wchar)));
    std::memcpy(copy, wide.c_str(), (wide.size() + 1) * sizeof(lx_wchar));
    return copy;
}

std::string Str(const lx_wchar *text) { return text ? nicif_double::Utf8(text) : "(null)"; }

namespace {
lx_wchar *Opt(const std::optional<std::string> &text) { return text ? Text(*text) : nullptr; }
}  // namespace

PanelEntry *Entry(const EntrySpec &s) {
    auto *e = static_cast<PanelEntry *>(std::calloc(1, sizeof(PanelEntry)));
    e->id = s.id.empty() ? nullptr : Text(s.id);
    e->linkId = Opt(s.linkId);
    e->value = Opt(s.value);
    e->selectedValue = Opt(s.selectedValue);
    e->newValue = Opt(s.newValue);
    e->range = Opt(s.range);
    e->defaultValue = Opt(s.defaultValue);
    e->lowest = Opt(s.lowest);
    e->rangeType = Opt(s.rangeType);
    e->displayName = Opt(s.displayName);
    e->hint = Opt(s.hint);
    e->derivedValue = Opt(s.derivedValue);
    e->changed = s.changed;
    e->dependencyFlags = s.dependencyFlags;
    e->derivationBlocked = s.derivationBlocked;
    e->noMemberValue = s.noMemberValue;
    e->compound = s.compound;
    return e;
}

PanelEntry *EntryList(std::initializer_list<EntrySpec> specs) {
    PanelEntry *head = nullptr, **tail = &head;
    for (const EntrySpec &fields : specs) {
        *tail = Entry(fields);
        tail = &(*tail)->next;
    }
    return head;
}

PanelEntry *EntryList(const std::vector<EntrySpec> &specs) {
    PanelEntry *head = nullptr, **tail = &head;
    for (const EntrySpec &fields : specs) {
        *tail = Entry(fields);
        tail = &(*tail)->next;
    }
    return head;
}

void FreeEntries(PanelEntry *head) {
    while (head) {
        PanelEntry *next = head->next;
        for (lx_wchar *t : {head->linkId, head->id, head->range, head->step, head->lowest,
                            head->defaultValue, head->displayName, head->hint, head->controlType,
                            head->derivedValue, head->value, head->newValue, head->selectedValue,
                            head->rangeType})
            std::free(t);
        std::free(head);
        head = next;
    }
}

void FreeChanges(DependencyChange *head) {
    while (head) {
        DependencyChange *next = head->next;
        std::free(head->text);
        std::free(head);
        head = next;
    }
}

namespace {

// Every pointer-sized word of a record from word `first` on that may hold a
// panel list, freed as one.
void FreeListWords(void *record, std::initializer_list<int> words) {
    for (int word : words) {
        PanelEntry **slot = reinterpret_cast<PanelEntry **>(static_cast<char *>(record) + 8 * (word - 1));
        FreeEntries(*slot);
        *slot = nullptr;
    }
}

void FreeVlans(VlanEntry *vlan) {
    while (vlan) {
        VlanEntry *next = vlan->next;
        std::free(vlan->definitionType);
        FreeListWords(vlan, {7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 25, 26, 27});
        std::free(vlan);
        vlan = next;
    }
}

}  // namespace

void FreeNicList(TeamEntry *teams, AdapterEntry *adapters) {
    while (teams) {
        TeamEntry *next = teams->next;
        std::free(teams->teamText);
        std::free(teams->definitionType);
        for (TeamMemberLink *m = teams->members; m;) {
            TeamMemberLink *n = m->next;
            std::free(m);
            m = n;
        }
        FreeVlans(teams->vlans);
        FreeListWords(teams, {8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 24, 25, 26, 27});
        std::free(teams);
        teams = next;
    }
    while (adapters) {
        AdapterEntry *next = adapters->next;
        std::free(adapters->name);
        std::free(adapters->definitionType);
        std::free(adapters->label);
        FreeVlans(adapters->vlans);
        FreeListWords(adapters, {14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30,
                                 32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43, 44, 45});
        std::free(adapters);
        adapters = next;
    }
}

namespace {
void FreeProperties(ScriptProperty *p) {
    while (p) {
        ScriptProperty *n = p->next;
        std::free(p->id);
        std::free(p->value);
        std::free(p);
        p = n;
    }
}
void FreeScriptVlans(ScriptVlan *v) {
    while (v) {
        ScriptVlan *n = v->next;
        FreeProperties(v->properties);
        std::free(v);
        v = n;
    }
}
}  // namespace

void FreeScriptConfig(ScriptConfig *config) {
    if (!config) return;
    for (ScriptTeam *t = config->teams; t;) {
        ScriptTeam *n = t->next;
        FreeProperties(t->properties);
        std::free(t->relnics);
        FreeScriptVlans(t->vlans);
        std::free(t);
        t = n;
    }
    for (ScriptNic *nic = config->nics; nic;) {
        ScriptNic *n = nic->next;
        FreeProperties(nic->properties);
        FreeScriptVlans(nic->vlans);
        std::free(nic);
        nic = n;
    }
    if (config->version) {
        std::free(config->version->utilityVersion);
        std::free(config->version->scriptVersion);
        std::free(config->version);
    }
    std::free(config);
}

std::vector<std::string> Ids(const PanelEntry *head) {
    std::vector<std::string> ids;
    for (; head; head = head->next) ids.push_back(Str(head->id));
    return ids;
}

}  // namespace testing_support
