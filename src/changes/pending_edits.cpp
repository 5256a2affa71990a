#include "changes/pending_edits.h"

#include "adapters/records.h"
#include "definitions/catalog.h"

namespace lxniccfg {

namespace {

constexpr uint32_t kFailed = 100;

// The first entry of the list named `name` whose selectedValue equals value.
PanelEntry *FindControlling(PanelEntry *list, const DualString &name, const DualString &value) {
    for (PanelEntry *e = list; e; e = e->next) {
        if (!e->selectedValue) continue;
        if (DualString(e->id).equals(name) && DualString(e->selectedValue).equals(value)) return e;
    }
    return nullptr;
}

PanelEntry *FindControlling(const AdapterEntry &adapter, const SourceProperty &source) {
    if (PanelEntry *e = FindControlling(adapter.settingsList, source.name, source.value)) return e;
    return FindControlling(adapter.advancedList, source.name, source.value);
}

// The chain being built, released unless handed out.
struct PendingChanges {
    ListBuilder<DependencyChange> list;
    ~PendingChanges() { FreeDependencyChanges(list.head()); }
};

}  // namespace

uint32_t UpdateProperty(AdapterEntry &adapter, PanelEntry &entry, DependencyChange **changes) {
    const NicDefinition *definition = FindDefinition(DualString(adapter.definitionType));
    if (!definition) return kFailed;
    const DualString id(entry.id);

    // Built aside and handed out only when complete, so a failure part-way
    // leaves nothing behind.
    PendingChanges applied;
    for (const SourceProperty &source : definition->sources) {
        for (const LinkProperty &link : source.links) {
            if (!link.name.equals(id)) continue;
            PanelEntry *controlling = FindControlling(adapter, source);
            if (!controlling) continue;
            DependencyChange *change = NewRecord<DependencyChange>();
            applied.list.append(change);
            change->entry = controlling;
            change->text = CopyText(controlling->defaultValue);
            SetText(entry.range, CopyText(link.range));
            SetText(entry.defaultValue, CopyText(link.defaultValue));
            break;  // one applying link per rule
        }
    }

    DependencyChange *head = applied.list.release();
    *changes = head;
    if (!head) {
        if (const PropertyDef *property = FindProperty(*definition, id)) {
            SetText(entry.range, CopyText(property->range));
            SetText(entry.defaultValue, CopyText(property->defaultValue));
        }
    }
    return 0;
}

}  // namespace lxniccfg
