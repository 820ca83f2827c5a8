// The filter ids of Tavlin_SetFilterValue / Tavlin_GetFilterValue: one row per id with its name,
// the values the setter accepts, the value a camera without stored settings starts from, and
// where the value lives. The camera's setter and getter, the settings defaults, the extension
// exports (and through them tavlin-ctl and the Python package) all read this table.
#pragma once

#include <array>
#include <cstdint>
#include <limits>

#include "settings/settings_keys.h"
#include "settings/settings_types.h"

namespace tavlin::settings {

enum class FilterKind : uint8_t {
    Stored,      // a filter settings field: range check, then store
    PackedRgb,   // id 6: the three white balance gains, 8 bits each; any value
    Switch,      // id 10: any value, stored as 0 or 1
    GlobalGain,  // id 13: all four gains to the settings, the global register to the sensor
    ColourGain,  // ids 14..17: one gain to the settings and its sensor register
    Exposure,    // id 18: exposure lines to the settings and the sensor
};

// The settings block a value belongs to (saved and defaulted together).
enum class FilterBlock : uint8_t { Image, WhiteBalance, Analog, Gray, Pending };

// Where a value is kept in the filter settings; null for the sensor's values.
using FilterField = int32_t* (*)(FilterSettings&);

struct FilterInfo {
    int32_t id;
    const char* name;  // as the Python package names it
    FilterKind kind;
    FilterBlock block;
    int32_t minimum;  // what the setter accepts; sensor ids: the sensor's limits
    int32_t maximum;
    int32_t defaultValue;    // without stored settings
    const char* unit;        // "" when the value has none
    FilterField field;       // Stored and Switch rows
    int32_t sensorRegister;  // sensor rows: the register written and read back
    int32_t AnalogSettings::*analogField = nullptr;  // sensor rows: the stored copy
};

inline constexpr int32_t kAnyValueMin = std::numeric_limits<int32_t>::min();
inline constexpr int32_t kAnyValueMax = std::numeric_limits<int32_t>::max();
// The sensor's gain and exposure limits (the device object answers the same).
inline constexpr int32_t kSensorGainMax = 63;
inline constexpr int32_t kSensorShutterMax = 16383;
inline constexpr int32_t kDefaultBayerGain = 100;
inline constexpr int32_t kDefaultGamma = 100;
inline constexpr int32_t kDefaultBayerMode = 3;

#define TAVLIN_FILTER_FIELD(member) [](FilterSettings& f) { return &f.member; }

inline constexpr std::array<FilterInfo, 28> kFilterCatalogue{{
    {1, "brightness", FilterKind::Stored, FilterBlock::Image, -255, 255, 0, "",
     TAVLIN_FILTER_FIELD(brightness), 0},
    {2, "contrast", FilterKind::Stored, FilterBlock::Image, -127, 127, 0, "",
     TAVLIN_FILTER_FIELD(contrast), 0},
    {3, "hue", FilterKind::Stored, FilterBlock::Image, -360, 360, 0, "degrees",
     TAVLIN_FILTER_FIELD(hue), 0},
    {4, "saturation", FilterKind::Stored, FilterBlock::Image, -255, 255, 0, "",
     TAVLIN_FILTER_FIELD(saturation), 0},
    {5, "sharpness", FilterKind::Stored, FilterBlock::Image, 0, 30, 0, "",
     TAVLIN_FILTER_FIELD(sharpness), 0},
    {6, "bayer_gain_rgb", FilterKind::PackedRgb, FilterBlock::Image, kAnyValueMin, kAnyValueMax,
     kDefaultBayerGain | kDefaultBayerGain << 8 | kDefaultBayerGain << 16, "", nullptr, 0},
    {7, "bayer_gain_red", FilterKind::Stored, FilterBlock::Image, 0, 400, kDefaultBayerGain,
     "percent", TAVLIN_FILTER_FIELD(bayerGainR), 0},
    {8, "bayer_gain_green", FilterKind::Stored, FilterBlock::Image, 0, 400, kDefaultBayerGain,
     "percent", TAVLIN_FILTER_FIELD(bayerGainG), 0},
    {9, "bayer_gain_blue", FilterKind::Stored, FilterBlock::Image, 0, 400, kDefaultBayerGain,
     "percent", TAVLIN_FILTER_FIELD(bayerGainB), 0},
    {10, "bayer_gain_auto", FilterKind::Switch, FilterBlock::WhiteBalance, kAnyValueMin,
     kAnyValueMax, 0, "", TAVLIN_FILTER_FIELD(whiteBalance.bayerGainAuto), 0},
    {11, "gamma", FilterKind::Stored, FilterBlock::Image, 0, 200, kDefaultGamma, "percent",
     TAVLIN_FILTER_FIELD(gamma), 0},
    {12, "bayer_mode", FilterKind::Stored, FilterBlock::Image, 0, 3, kDefaultBayerMode, "",
     TAVLIN_FILTER_FIELD(bayerMode), 0},
    {13, "global_gain", FilterKind::GlobalGain, FilterBlock::Analog, 0, kSensorGainMax,
     kDefaultGain, "", nullptr, 53, &AnalogSettings::globalGain},
    {14, "color_gain_red", FilterKind::ColourGain, FilterBlock::Analog, 0, kSensorGainMax,
     kDefaultGain, "", nullptr, 45, &AnalogSettings::colorGainR},
    {15, "color_gain_green1", FilterKind::ColourGain, FilterBlock::Analog, 0, kSensorGainMax,
     kDefaultGain, "", nullptr, 43, &AnalogSettings::colorGainG1},
    {16, "color_gain_green2", FilterKind::ColourGain, FilterBlock::Analog, 0, kSensorGainMax,
     kDefaultGain, "", nullptr, 46, &AnalogSettings::colorGainG2},
    {17, "color_gain_blue", FilterKind::ColourGain, FilterBlock::Analog, 0, kSensorGainMax,
     kDefaultGain, "", nullptr, 44, &AnalogSettings::colorGainB},
    {18, "exposure_lines", FilterKind::Exposure, FilterBlock::Analog, 1, kSensorShutterMax,
     kDefaultExposure, "lines", nullptr, 9, &AnalogSettings::exposure},
    {19, "gray_mode", FilterKind::Stored, FilterBlock::Gray, 0, 2, 0, "",
     TAVLIN_FILTER_FIELD(gray.grayMode), 0},
    {20, "gray_gain_r", FilterKind::Stored, FilterBlock::Gray, 0, 255, 128, "",
     TAVLIN_FILTER_FIELD(gray.grayGainR), 0},
    {21, "gray_gain_g1", FilterKind::Stored, FilterBlock::Gray, 0, 255, 128, "",
     TAVLIN_FILTER_FIELD(gray.grayGainG1), 0},
    {22, "gray_gain_g2", FilterKind::Stored, FilterBlock::Gray, 0, 255, 128, "",
     TAVLIN_FILTER_FIELD(gray.grayGainG2), 0},
    {23, "gray_gain_b", FilterKind::Stored, FilterBlock::Gray, 0, 255, 128, "",
     TAVLIN_FILTER_FIELD(gray.grayGainB), 0},
    {24, "gray_offset_r", FilterKind::Stored, FilterBlock::Gray, -255, 255, 0, "",
     TAVLIN_FILTER_FIELD(gray.grayOffsetR), 0},
    {25, "gray_offset_g1", FilterKind::Stored, FilterBlock::Gray, -255, 255, 0, "",
     TAVLIN_FILTER_FIELD(gray.grayOffsetG1), 0},
    {26, "gray_offset_g2", FilterKind::Stored, FilterBlock::Gray, -255, 255, 0, "",
     TAVLIN_FILTER_FIELD(gray.grayOffsetG2), 0},
    {27, "gray_offset_b", FilterKind::Stored, FilterBlock::Gray, -255, 255, 0, "",
     TAVLIN_FILTER_FIELD(gray.grayOffsetB), 0},
    {28, "gray_auto", FilterKind::Stored, FilterBlock::Pending, 0, 1, 0, "",
     TAVLIN_FILTER_FIELD(grayAutoRequest), 0},
}};

#undef TAVLIN_FILTER_FIELD

// Sets the fields of one block to their defaults. Not constexpr: the sanitizer builds do not
// let a constant expression compare the field accessors with null.
inline void ApplyFilterDefaults(FilterSettings& filter, FilterBlock block) {
    for (const FilterInfo& row : kFilterCatalogue) {
        if (row.block == block && row.field != nullptr) *row.field(filter) = row.defaultValue;
    }
}

inline GraySettings DefaultGraySettings() {
    FilterSettings filter;
    ApplyFilterDefaults(filter, FilterBlock::Gray);
    return filter.gray;
}

// Used when a camera's key has no "Gray".
inline const GraySettings kDefaultGraySettings = DefaultGraySettings();

// The row of an id, or null for an id outside 1..28.
// Rows are in id order from 1 (checked below).
constexpr const FilterInfo* FindFilter(int32_t id) {
    if (id < 1 || id > static_cast<int32_t>(kFilterCatalogue.size())) return nullptr;
    return &kFilterCatalogue[static_cast<size_t>(id) - 1];
}

// Rows in id order from 1, each range non-empty and holding its default. (That the stored rows,
// and only they, have a field is checked by the unit tests: a constant expression may not look
// at the accessors in the sanitizer builds.)
constexpr bool FilterCatalogueIsWellFormed() {
    for (size_t i = 0; i < kFilterCatalogue.size(); ++i) {
        const FilterInfo& row = kFilterCatalogue[i];
        if (row.id != static_cast<int32_t>(i) + 1 || row.minimum > row.maximum) return false;
        if (row.defaultValue < row.minimum || row.defaultValue > row.maximum) return false;
    }
    return true;
}
static_assert(FilterCatalogueIsWellFormed());

}  // namespace tavlin::settings
