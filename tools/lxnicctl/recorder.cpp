#include "recorder.h"

#include "plan.h"
#include "records.h"
#include "targets.h"
#include "text.h"

namespace lxnicctl {

namespace recorder {

namespace {

bool g_reading = false;
std::vector<ReadWrite> g_writes;

}  // namespace

void StartReading() {
    g_writes.clear();
    g_reading = true;
}

void StopReading() { g_reading = false; }

const std::vector<ReadWrite> &WritesWhileReading() { return g_writes; }

bool Reading() { return g_reading; }
void Note(ReadWrite write) { g_writes.push_back(std::move(write)); }

}  // namespace recorder

namespace {

// The entry of a property number among the panel lists a record holds.
PanelEntry *EntryNumbered(std::initializer_list<PanelEntry *> lists, uint32_t property) {
    for (PanelEntry *list : lists) {
        for (PanelEntry *e = list; e != nullptr; e = e->next) {
            if (e->linkId != nullptr && ToUtf8(e->linkId) == std::to_string(property)) return e;
        }
    }
    return nullptr;
}

}  // namespace

void AddReadResets(Session &session, const std::function<std::ostream &(const std::string &)> &sectionOf) {
    for (const recorder::ReadWrite &w : recorder::WritesWhileReading()) {
        Target target;
        PanelEntry *entry = nullptr;
        bool found = false;
        for (AdapterEntry *a = session.adapters(); a != nullptr && !found; a = a->next) {
            if (w.kind == recorder::Kind::Adapter && a->handle == w.handle) {
                target = TargetOf(a);
                entry = EntryNumbered({a->settingsList, a->advancedList, a->informationList, a->statisticsList1},
                                      w.property);
                found = true;
            }
            for (VlanEntry *v = a->vlans; v != nullptr && !found; v = v->next) {
                if (w.kind == recorder::Kind::Vlan && v->handle == w.handle) {
                    target = VlanTargetOf(session, TargetOf(a), v);
                    entry = EntryNumbered({v->identificationList}, w.property);
                    found = true;
                }
            }
        }
        for (TeamEntry *t = session.teams(); t != nullptr && !found; t = t->next) {
            if (w.kind == recorder::Kind::Team && t->handle == w.handle) {
                target = TargetOf(t);
                entry = EntryNumbered({t->controlsList, t->settingsList, t->advancedList, t->redundancyList,
                                       t->discProtocolList, t->informationList1},
                                      w.property);
                found = true;
            }
            for (VlanEntry *v = t->vlans; v != nullptr && !found; v = v->next) {
                if (w.kind == recorder::Kind::Vlan && v->handle == w.handle) {
                    target = VlanTargetOf(session, TargetOf(t), v);
                    entry = EntryNumbered({v->identificationList}, w.property);
                    found = true;
                }
            }
        }
        if (!found) continue;
        std::string property = entry != nullptr ? ToUtf8(entry->id) : "property " + std::to_string(w.property);
        std::string shown = entry != nullptr ? ShownValue(entry) : w.written;
        Plan::Current().change(sectionOf(target.label), target,
                               {.object = target.label, .property = property, .from = w.found, .to = shown,
                                .forcedBy = "", .forcedByValue = "", .isNew = false, .cause = "reset",
                                .team = "", .raw = w.found});
    }
}

}  // namespace lxnicctl
