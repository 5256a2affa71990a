#include "adapters/records.h"

namespace lxniccfg {

void FreePanelEntry(PanelEntry *entry) {
    if (!entry) return;
    for (lx_wchar *text : {entry->linkId, entry->id, entry->range, entry->step, entry->lowest,
                           entry->defaultValue, entry->displayName, entry->hint, entry->controlType,
                           entry->derivedValue, entry->value, entry->newValue, entry->selectedValue,
                           entry->rangeType})
        std::free(text);
    std::free(entry);
}

void FreePanelList(PanelEntry *head) {
    while (head) {
        PanelEntry *next = head->next;
        FreePanelEntry(head);
        head = next;
    }
}

void FreeDependencyChanges(DependencyChange *head) {
    while (head) {
        DependencyChange *next = head->next;
        std::free(head->text);
        std::free(head);
        head = next;
    }
}

lx_wchar *CopyText(const lx_wchar *text) {
    if (!text) return nullptr;
    return mallocWideCopy(std::u16string_view(text, wideLength(text)));
}

}  // namespace lxniccfg
