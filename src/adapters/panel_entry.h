// Building PanelEntry records from property definitions, and the pieces every
// panel or single-value reader shares: reading a current value from the NIC
// interface library and translating an enumerated raw value into the text
// the front end shows.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "definitions/nic_definition.h"
#include "definitions/property_def.h"
#include "lxniccfg.h"
#include "util/dual_string.h"

namespace lxniccfg {

// A new zero-filled entry (malloc) holding fresh copies of the property's
// controltype, default, displayname, hint, linkid, lowest, id, range, step
// and rangetype (NULL where the property has none), isTeamProperty (1 when
// teamproperty is set), hide, compound, splevel, vbdrestart, and
// dependencyFlags (dependency read as atol reads it; 0 when absent). The
// value fields stay NULL. Throws std::bad_alloc and then leaks nothing.
PanelEntry *FillPanelEntry(const PropertyDef &property);

// Whether the property's values go through its enumeration.
inline bool IsEnumerated(const PropertyDef &property) { return !property.enumName.isNone(); }

// One of NicIfGetAdapterProperty, NicIfGetTeamProperty, NicIfGetVlanProperty.
using NicIfGetter = uint32_t (*)(uint64_t handle, uint32_t property, lx_wchar **value,
                                 uint8_t *mustFree);

// Reads a property's current value with getter. Returns the library's code;
// on 0 value receives a copy of the text it gave (none when it gave none).
// The library's own text is released with free exactly when its must-free
// flag says so, whatever the code.
uint32_t ReadPropertyValue(NicIfGetter getter, uint64_t handle, uint32_t propertyNumber,
                           DualString &value);

// Writes a property's default back to the object; returns the single
// write's result (0 when written).
using DefaultWriter = std::function<uint32_t(const DualString &defaultText)>;

// The text shown for the raw value of an enumerated property: the enumvalue
// of the first item, over the definition's own enumerations for the
// property's id, whose enumid equals raw. When none matches and the
// property has a default, writeDefault writes it back to the object; when
// that returns 0 the default text itself is shown. Otherwise (or without a
// default) the translation fails: nullopt.
std::optional<DualString> TranslateEnumValue(const NicDefinition &definition,
                                             const PropertyDef &property, const DualString &raw,
                                             const DefaultWriter &writeDefault);

// TranslateEnumValue for an adapter: the default is written with the single
// adapter write (definition's type, registerChange set).
std::optional<DualString> TranslateAdapterEnumValue(const NicDefinition &definition,
                                                    const PropertyDef &property, uint64_t adapter,
                                                    const DualString &raw);

// TranslateEnumValue for an adapter team: the default is written with the
// single team write.
std::optional<DualString> TranslateTeamEnumValue(const NicDefinition &definition,
                                                 const PropertyDef &property, uint64_t team,
                                                 const DualString &raw);

}  // namespace lxniccfg
