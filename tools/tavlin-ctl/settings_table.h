// Camera settings by name: which exports read and write each, its range and unit.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace ctl {

struct Setting {
    const char* name;
    const char* range;    // what the setter accepts, as text; null: the filter catalogue's
    const char* unit;     // "" when the value has none (filter ids: the catalogue's)
    const char* exports;  // the exports behind it
    const char* meaning;
    // Read into *value (text); false when the SDK refused.
    bool (*get)(int32_t camera, std::string* value);
    // Write the value given as text; false when the SDK refused or the text is no value
    // (*parsed tells which).
    bool (*set)(int32_t camera, const std::string& value, bool* parsed);
    // The Tavlin_SetFilterValue id behind it; 0 for settings with exports of their own.
    int32_t filterId = 0;
};

// The accepted values and unit; for filter ids as the library's catalogue describes them.
std::string RangeText(const Setting& setting);
std::string UnitText(const Setting& setting);

std::span<const Setting> Settings();

// By name, ignoring case, '-' and '_' ("Colour_Mode" is not a name, "color-mode" is).
const Setting* FindSetting(const std::string& name);

}  // namespace ctl
