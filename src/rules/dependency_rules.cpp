#include "rules/dependency_rules.h"

#include <string>
#include <string_view>

#include "adapters/records.h"
#include "definitions/catalog.h"
#include "util/numbers.h"

namespace lxniccfg {
namespace {

// The UTF-8 form of a record text (the form every comparison uses).
std::string Narrow(const lx_wchar *text) { return toUtf8(std::u16string_view(text, wideLength(text))); }

bool IsNamed(const PanelEntry &entry, const DualString &name) {
    return entry.id && !name.isNone() && Narrow(entry.id) == name.narrowText();
}

bool AllDigits(const std::string &text) {
    if (text.empty()) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

// One entry against a range, as OutsideRange describes it.
bool EntryOutside(const PanelEntry &entry, const DualString &range) {
    if (range.isNone()) return entry.selectedValue != nullptr;
    if (!entry.selectedValue) return true;
    const std::string selected = Narrow(entry.selectedValue);
    const std::string &rangeText = range.narrowText();
    if (AllDigits(selected)) {
        std::string low = rangeText, high = rangeText;
        std::size_t split = rangeText.find_first_of("-|");
        if (split != std::string::npos) {
            low = rangeText.substr(0, split);
            high = rangeText.substr(split + 1);
        }
        int32_t number = textToInt(selected.c_str());
        return number < textToInt(low.c_str()) || number > textToInt(high.c_str());
    }
    return rangeText.find(selected) == std::string::npos;
}

// Owns a DependencyChange list while it is built.
class ChangeList {
public:
    ~ChangeList() { FreeDependencyChanges(list_.head()); }
    void append(PanelEntry *entry, const DualString &text) {
        DependencyChange *change = NewRecord<DependencyChange>();
        list_.append(change);  // owned from here on, also if the copy fails
        change->entry = entry;
        change->text = CopyText(text);
    }
    bool empty() const { return list_.head() == nullptr; }
    DependencyChange *release() { return list_.release(); }

private:
    ListBuilder<DependencyChange> list_;
};

}  // namespace

bool OutsideRange(PanelEntry *list, const DualString &name, const DualString &range,
                  PanelEntry **found) {
    bool outside = false;
    for (PanelEntry *entry = list; entry; entry = entry->next) {
        if (!IsNamed(*entry, name)) continue;
        *found = entry;
        if (EntryOutside(*entry, range)) outside = true;
    }
    return outside;
}

bool OutsideRange(const AdapterEntry &adapter, const DualString &name, const DualString &range,
                  PanelEntry **found) {
    return OutsideRange(adapter.settingsList, name, range, found) ||
           OutsideRange(adapter.advancedList, name, range, found);
}

bool HoldsValue(const PanelEntry *list, const DualString &name, const DualString &value) {
    if (value.isNone()) return false;
    for (const PanelEntry *entry = list; entry; entry = entry->next)
        if (entry->selectedValue && IsNamed(*entry, name) &&
            Narrow(entry->selectedValue) == value.narrowText())
            return true;
    return false;
}

bool HoldsValue(const AdapterEntry &adapter, const DualString &name, const DualString &value) {
    return HoldsValue(adapter.settingsList, name, value) ||
           HoldsValue(adapter.advancedList, name, value);
}

uint32_t VerifyDependencyRules(const AdapterEntry &adapter, const PanelEntry &changed,
                               bool allRules, DependencyChange **changes) {
    const NicDefinition *definition = FindDefinition(adapter.definitionType);
    if (!definition) return 100;
    const DualString changedId(changed.id);

    ChangeList result;
    bool applied = false;
    const SourceProperty *fallbackRule = nullptr;
    for (const SourceProperty &rule : definition->sources) {
        bool matches = false;
        if (rule.name.equals(changedId)) {
            matches = HoldsValue(adapter, rule.name, rule.value);
            if (!matches) fallbackRule = &rule;  // the last rule the property is not at
        }
        if (!matches && !allRules) continue;
        applied = true;
        for (const LinkProperty &link : rule.links) {
            PanelEntry *found = nullptr;
            if (OutsideRange(adapter, link.name, link.range, &found))
                result.append(found, link.defaultValue);
        }
    }

    // The changed property holds none of its rule values: what its rules
    // control goes back to the range and default of its own definition.
    if (!applied && fallbackRule) {
        for (const LinkProperty &link : fallbackRule->links) {
            const PropertyDef *property = FindProperty(*definition, link.name);
            if (!property) return 100;
            PanelEntry *found = nullptr;
            if (OutsideRange(adapter, link.name, property->range, &found))
                result.append(found, property->defaultValue);
        }
    }

    *changes = result.release();
    return 0;
}

bool RulesForceChanges(const AdapterEntry &adapter, const PanelEntry &entry) {
    DependencyChange *changes = nullptr;
    if (VerifyDependencyRules(adapter, entry, true, &changes) != 0) return false;
    bool forced = changes != nullptr;
    FreeDependencyChanges(changes);
    return forced;
}

}  // namespace lxniccfg
