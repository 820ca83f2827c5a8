// Names of the settings keys and values below HKEY_CURRENT_USER, and their defaults.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "settings/settings_types.h"

namespace tavlin::settings {

inline constexpr const char* kRootKey = "Software\\Korvel\\Tavlin410QZVKESdk";
inline constexpr int kMaxSizePresets = 100;

// "Camera_%02d" and "Size_%02d".
std::string CameraKeyName(int cameraNumber);
std::string PresetKeyName(int presetIndex);

// A stored value and the field it fills.
template <typename Block>
struct FieldBinding {
    const char* name;
    int32_t Block::*field;
};

inline constexpr std::array<FieldBinding<SizePreset>, 7> kPresetValues{{
    {"TH", &SizePreset::totalWidth},
    {"TV", &SizePreset::totalHeight},
    {"EH", &SizePreset::width},
    {"EV", &SizePreset::height},
    {"EHS", &SizePreset::startX},
    {"EVS", &SizePreset::startY},
    {"Buf", &SizePreset::bufferCount},
}};

inline constexpr const char* kSizeValue = "Size";
inline constexpr const char* kColorValue = "Color";
inline constexpr const char* kSubSampleValue = "SubSample";
inline constexpr const char* kWaitTimeValue = "WaitTime";
inline constexpr const char* kClockValue = "Clock";

// The camera key's format values (the preset selector "Size" is separate).
inline constexpr std::array<FieldBinding<FormatSettings>, 4> kFormatValues{{
    {kColorValue, &FormatSettings::colorMode},
    {kSubSampleValue, &FormatSettings::subSample},
    {kWaitTimeValue, &FormatSettings::waitTime},
    {kClockValue, &FormatSettings::clockMode},
}};
inline constexpr const char* kGainKey = "Gain";
inline constexpr const char* kFilterKey = "Filter";
inline constexpr const char* kGrayKey = "Gray";

// In load and save order: the order matters for the carry-over of missing values.
inline constexpr std::array<FieldBinding<AnalogSettings>, 9> kAnalogValues{{
    {"Global", &AnalogSettings::globalGain},
    {"ColorG1", &AnalogSettings::colorGainG1},
    {"ColorR", &AnalogSettings::colorGainR},
    {"ColorB", &AnalogSettings::colorGainB},
    {"ColorG2", &AnalogSettings::colorGainG2},
    {"Exposure", &AnalogSettings::exposure},
    {"V_Mirror", &AnalogSettings::mirrorV},
    {"H_Mirror", &AnalogSettings::mirrorH},
    {"AutoIris", &AnalogSettings::autoIris},
}};

inline constexpr std::array<FieldBinding<FilterSettings>, 10> kFilterValues{{
    {"Brightness", &FilterSettings::brightness},
    {"Contrast", &FilterSettings::contrast},
    {"Hue", &FilterSettings::hue},
    {"Saturation", &FilterSettings::saturation},
    {"Sharpness", &FilterSettings::sharpness},
    {"R_Gain", &FilterSettings::bayerGainR},
    {"G_Gain", &FilterSettings::bayerGainG},
    {"B_Gain", &FilterSettings::bayerGainB},
    {"Gamma", &FilterSettings::gamma},
    {"BayerMode", &FilterSettings::bayerMode},
}};

inline constexpr std::array<FieldBinding<GraySettings>, 9> kGrayValues{{
    {"Mode", &GraySettings::grayMode},
    {"GainR1", &GraySettings::grayGainR},
    {"GainG1", &GraySettings::grayGainG1},
    {"GainG2", &GraySettings::grayGainG2},
    {"GainB1", &GraySettings::grayGainB},
    {"OffsetR1", &GraySettings::grayOffsetR},
    {"OffsetG1", &GraySettings::grayOffsetG1},
    {"OffsetG2", &GraySettings::grayOffsetG2},
    {"OffsetB1", &GraySettings::grayOffsetB},
}};

// What a fresh account's first camera key holds.
inline constexpr int32_t kDefaultSizeIndex = 0;
inline constexpr FormatSettings kStoredFormatDefaults{2, 0, 1, 2};

// Used when a camera's key has no "Gain": the sensor's own defaults.
inline constexpr int32_t kDefaultGain = 14;
inline constexpr int32_t kDefaultExposure = 1049;
AnalogSettings DefaultAnalogSettings(const MirrorFlags& deviceMirrors);

// Used when a camera's key has no "Filter" (the gray defaults: filter_catalogue.h).
void ApplyDefaultImageFilter(FilterSettings& filter);

}  // namespace tavlin::settings
