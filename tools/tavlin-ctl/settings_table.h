// Camera settings by name: which exports read and write each, its range and unit.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace ctl {

struct Setting {
    const char* name;
    const char* range;    // what the setter accepts, as text
    const char* unit;     // "" when the value has none
    const char* exports;  // the exports behind it
    const char* meaning;
    // Read into *value (text); false when the SDK refused.
    bool (*get)(int32_t camera, std::string* value);
    // Write the value given as text; false when the SDK refused or the text is no value
    // (*parsed tells which).
    bool (*set)(int32_t camera, const std::string& value, bool* parsed);
};

std::span<const Setting> Settings();

// By name, ignoring case, '-' and '_' ("Colour_Mode" is not a name, "color-mode" is).
const Setting* FindSetting(const std::string& name);

}  // namespace ctl
