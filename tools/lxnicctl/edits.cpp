#include "edits.h"

#include <cerrno>
#include <cstdlib>
#include <map>

#include "consequences.h"
#include "console.h"
#include "library.h"
#include "output.h"
#include "plan.h"
#include "records.h"
#include "text.h"
#include "value_kinds.h"

namespace lxnicctl {

namespace {

std::vector<std::string> SplitChoices(const std::string &range) {
    std::vector<std::string> choices;
    std::size_t start = 0;
    while (true) {
        std::size_t bar = range.find('|', start);
        choices.push_back(range.substr(start, bar - start));
        if (bar == std::string::npos) break;
        start = bar + 1;
    }
    return choices;
}

bool ParseInteger(const std::string &text, long long &value) {
    if (text.empty()) return false;
    std::size_t i = (text[0] == '-') ? 1 : 0;
    if (i == text.size()) return false;
    for (std::size_t k = i; k < text.size(); ++k) {
        if (text[k] < '0' || text[k] > '9') return false;
    }
    errno = 0;
    char *end = nullptr;
    value = std::strtoll(text.c_str(), &end, 10);
    return errno == 0 && *end == '\0';
}

// "lo-hi" with whole numbers.
bool NumericRange(const std::string &range, long long &low, long long &high) {
    std::size_t dash = range.find('-', 1);
    if (dash == std::string::npos) return false;
    return ParseInteger(range.substr(0, dash), low) && ParseInteger(range.substr(dash + 1), high);
}

bool ReadOnly(const PanelEntry *entry) {
    std::string control = ToUtf8(entry->controlType);
    std::string link = ToUtf8(entry->linkId);
    return control == "static" || control == "button" || link.empty() || link == "-1";
}

std::string Name(const PanelEntry *entry) { return ToUtf8(entry->id); }

}  // namespace

bool IsWritable(const PanelEntry *entry) { return !ReadOnly(entry); }

Edit ParseAssignment(const std::string &text) {
    std::size_t equals = text.find('=');
    if (equals == std::string::npos || equals == 0) {
        throw UsageError("\"" + text + "\" is not PROPERTY=VALUE");
    }
    return {text.substr(0, equals), text.substr(equals + 1)};
}

PanelEntry *FindEditableEntry(Session &session, const Target &target, const std::string &property) {
    std::vector<PanelEntry *> candidates;
    for (const std::string &panel : target.editablePanels()) {
        for (PanelEntry *e : Entries(target.panel(session, panel, true))) candidates.push_back(e);
    }
    for (PanelEntry *e : candidates) {
        if (Name(e) == property) return e;
    }
    for (PanelEntry *e : candidates) {
        if (SameTextIgnoringCase(Name(e), property) ||
            SameTextIgnoringCase(ToUtf8(e->displayName), property)) {
            return e;
        }
    }
    std::string choices;
    for (PanelEntry *e : candidates) {
        if (!ReadOnly(e)) choices += (choices.empty() ? "" : ", ") + Name(e);
    }
    throw Failure(target.label + " has no property \"" + property + "\" that can be set (properties: " +
                  (choices.empty() ? "none" : choices) + ")");
}

std::string CheckValue(const Target &target, const PanelEntry *entry, const std::string &value) {
    const std::string where = Name(entry) + " of " + target.label;
    if (ReadOnly(entry)) throw Failure(where + " is read-only");
    std::string range = ToUtf8(entry->range);
    if (entry->range == nullptr || range.empty()) return value;
    long long low = 0, high = 0;
    if (range.find('|') != std::string::npos) {
        std::vector<std::string> choices = SplitChoices(range);
        for (const std::string &choice : choices) {
            if (choice == value) return choice;
        }
        for (const std::string &choice : choices) {
            if (SameTextIgnoringCase(choice, value)) return choice;
        }
        throw Failure("invalid value \"" + value + "\" for " + where + ": choose one of " +
                      ReadableRange(range));
    }
    if (NumericRange(range, low, high)) {
        long long number = 0;
        if (!ParseInteger(value, number)) {
            throw Failure("invalid value \"" + value + "\" for " + where + ": a whole number " +
                          range + " is needed");
        }
        if (number < low || number > high) {
            throw Failure("invalid value \"" + value + "\" for " + where + ": outside the range " + range);
        }
        long long step = 0;
        if (ParseInteger(ToUtf8(entry->step), step) && step > 1 && (number - low) % step != 0) {
            throw Failure("invalid value \"" + value + "\" for " + where + ": must be " +
                          std::to_string(low) + " plus a multiple of " + std::to_string(step));
        }
        return std::to_string(number);  // "0512" is 512
    }
    // A single text as the range: the only value allowed.
    if (value != range) {
        throw Failure("invalid value \"" + value + "\" for " + where + ": only \"" + range + "\" is allowed");
    }
    return value;
}

void ApplyRuleRanges(Session &session, const Target &target, PanelEntry *list) {
    if (target.kind != TargetKind::Adapter) return;
    for (const std::string &panel : target.editablePanels()) {
        SelectShownValues(target.panel(session, panel, true));
    }
    for (PanelEntry *entry : Entries(list)) {
        DependencyChange *sources = nullptr;
        uint32_t result = UpdateProperty(target.adapter, entry, &sources);
        FreeDependencyChanges(sources);
        Check("checking the rules for " + Name(entry) + " of " + target.label, "UpdateProperty", result);
    }
}

int ForceRuleValues(const Target &target, std::vector<PanelEntry *> pending,
                    const std::map<PanelEntry *, std::string> &wanted, std::ostream &out) {
    int marked = 0;
    std::map<PanelEntry *, int> forcedCount;
    while (!pending.empty()) {
        PanelEntry *changedEntry = pending.front();
        pending.erase(pending.begin());
        DependencyChange *changes = nullptr;
        uint32_t result = VerifyDependency(target.adapter, changedEntry, &changes, 0);
        struct Forced { PanelEntry *entry; std::string text; };
        std::vector<Forced> forced;
        for (DependencyChange *c = changes; c != nullptr; c = c->next) {
            if (c->entry != nullptr) forced.push_back({c->entry, ToUtf8(c->text)});
        }
        FreeDependencyChanges(changes);
        Check("checking the rules for " + Name(changedEntry) + " of " + target.label,
              "VerifyDependency", result);
        for (const Forced &f : forced) {
            if (ToUtf8(f.entry->selectedValue) == f.text) continue;
            if (auto fixed = wanted.find(f.entry); fixed != wanted.end()) {
                throw Failure(Name(f.entry) + " = \"" + fixed->second + "\" cannot be set together with " +
                              Name(changedEntry) + " = \"" + ToUtf8(changedEntry->selectedValue) +
                              "\": the rules force \"" + f.text + "\"");
            }
            if (++forcedCount[f.entry] > 8) {
                throw Failure("the dependency rules of " + target.label + " do not settle on a value for " +
                              Name(f.entry));
            }
            std::string before = ShownValue(f.entry);
            if (!f.entry->changed) ++marked;
            MarkChanged(f.entry, f.text);
            Plan::Current().change(out, target,
                                   {.object = target.label, .property = Name(f.entry), .from = before,
                                    .to = f.text, .forcedBy = Name(changedEntry),
                                    .forcedByValue = ToUtf8(changedEntry->selectedValue), .isNew = false,
                                    .cause = "forced"});
            pending.push_back(f.entry);
        }
    }
    return marked;
}

int StageEdits(Session &session, const Target &target, const std::vector<Edit> &edits,
               std::ostream &out, bool newObject, bool reportUnchanged) {
    // Everything on the editable panels offers its current value first, so
    // that the rules see the whole picture.
    for (const std::string &panel : target.editablePanels()) {
        SelectShownValues(target.panel(session, panel, true));
    }

    std::map<PanelEntry *, std::string> wanted;  // the user's own edits
    std::vector<PanelEntry *> order;
    for (const Edit &edit : edits) {
        PanelEntry *entry = FindEditableEntry(session, target, edit.property);
        std::string value = CheckKind(session, target, entry, edit.value, Name(entry) + " of " + target.label);
        value = CheckValue(target, entry, value);
        if (wanted.count(entry) != 0 && wanted[entry] != value) {
            throw Failure(Name(entry) + " is given twice with different values");
        }
        if (wanted.count(entry) == 0) order.push_back(entry);
        wanted[entry] = value;
        SetText(entry->selectedValue, value);
    }

    // A member's advanced setting that its team sets on all its members is
    // changed on the team: set on the member alone, the team's next change
    // would write the team's value back over it.
    if (target.kind == TargetKind::Adapter && target.adapter->teamHandle != 0) {
        for (PanelEntry *entry : order) {
            bool advanced = false;
            for (PanelEntry *e = target.adapter->advancedList; e != nullptr; e = e->next) advanced = advanced || e == entry;
            if (!advanced || ShownValue(entry) == wanted[entry]) continue;
            if (TeamEntry *team = TeamSetting(session, target.adapter, Name(entry))) {
                throw Failure(Name(entry) + " of " + target.label + " is a setting of its team: " + target.label +
                              " is a member of team \"" + TeamName(team) + "\", which sets " + Name(entry) +
                              " on all its members; change it there (lxnicctl set \"" + TeamName(team) + "\" " +
                              Name(entry) + "=...)");
            }
        }
    }

    int marked = 0;
    for (PanelEntry *entry : order) {
        std::string before = ShownValue(entry);
        if (!newObject && entry->value != nullptr && before == wanted[entry]) {
            if (reportUnchanged) out << "  " << Name(entry) << " is already \"" << Printable(before) << "\"\n";
            continue;
        }
        MarkChanged(entry, wanted[entry]);
        ++marked;
        Plan::Current().change(out, target,
                               {.object = target.label, .property = Name(entry), .from = before,
                                .to = wanted[entry], .forcedBy = "", .forcedByValue = "", .isNew = newObject});
    }
    if (target.kind != TargetKind::Adapter) return marked;

    // The ranges the rules leave for each edited property, given the values
    // of the others (UpdateProperty rewrites the entry's range).
    {
        for (PanelEntry *entry : order) {
            DependencyChange *sources = nullptr;
            uint32_t result = UpdateProperty(target.adapter, entry, &sources);
            std::string why;
            for (DependencyChange *c = sources; c != nullptr; c = c->next) {
                if (c->entry != nullptr) {
                    why += (why.empty() ? "" : ", ") + Name(c->entry) + " is \"" +
                           ToUtf8(c->entry->selectedValue) + "\"";
                }
            }
            FreeDependencyChanges(sources);
            Check("checking the rules for " + Name(entry) + " of " + target.label, "UpdateProperty", result);
            if (!why.empty()) {
                try {
                    CheckValue(target, entry, wanted[entry]);
                } catch (const Failure &) {
                    throw Failure("\"" + wanted[entry] + "\" is not allowed for " + Name(entry) + " of " +
                                  target.label + " while " + why + " (allowed: " +
                                  ReadableRange(ToUtf8(entry->range)) + ")");
                }
            }
        }
    }

    marked += ForceRuleValues(target, order, wanted, out);
    return marked;
}

}  // namespace lxnicctl
