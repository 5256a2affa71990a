// Building and releasing the library's C records as a front end does.
#pragma once

#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "lxniccfg.h"

namespace testing_support {

// A malloc'ed UTF-16 copy of a UTF-8 text (what a front end stores in records).
lx_wchar *Text(const std::string &utf8);
// UTF-8 of a record text; "(null)" for NULL.
std::string Str(const lx_wchar *text);

// The fields of a PanelEntry, by name, for building one in a test.
struct EntrySpec {
    std::string id;
    std::optional<std::string> linkId, value, selectedValue, newValue, range, defaultValue, lowest,
        rangeType, displayName, hint, derivedValue;
    uint8_t changed = 0;
    int32_t dependencyFlags = 0;
    uint8_t derivationBlocked = 0, noMemberValue = 0, compound = 0;
};

// A malloc'ed entry filled from the fields.
PanelEntry *Entry(const EntrySpec &fields);
// A list of entries in the given order.
PanelEntry *EntryList(std::initializer_list<EntrySpec> specs);
PanelEntry *EntryList(const std::vector<EntrySpec> &specs);

// Releases records the way a front end does (every text and node with free).
void FreeEntries(PanelEntry *head);
void FreeChanges(DependencyChange *head);
// Releases adapters, teams (with members) and the VLANs under both,
// including every panel list hung on their slots.
void FreeNicList(TeamEntry *teams, AdapterEntry *adapters);
void FreeScriptConfig(ScriptConfig *config);

// The ids of the entries of a list, in order.
std::vector<std::string> Ids(const PanelEntry *head);

}  // namespace testing_support
