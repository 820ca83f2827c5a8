// The camera settings that persist per camera number, as plain blocks the camera object embeds.
// Member defaults are those of a freshly constructed camera object, before anything is loaded.
#pragma once

#include <cstdint>

#include "sensor/sensor_geometry.h"

namespace tavlin::settings {

// Sensor and capture window of one size preset.
struct SizePreset {
    int32_t totalWidth = sensor::kSensorWidth;
    int32_t totalHeight = sensor::kSensorHeight;
    int32_t width = sensor::kSensorWidth;
    int32_t height = sensor::kSensorHeight;
    int32_t startX = 0;
    int32_t startY = 0;
    int32_t bufferCount = 4;
};

struct FormatSettings {
    int32_t colorMode = 0;  // output format index 0..5
    int32_t subSample = 0;  // 0 full, 1..3 for 1/2, 1/4, 1/8
    int32_t waitTime = 10;  // milliseconds between polls of the acquisition loop
    int32_t clockMode = 0;  // sensor clock selection
};

// The sensor's analog settings, in the order they are stored.
struct AnalogSettings {
    int32_t globalGain = 0;
    int32_t colorGainG1 = 0;
    int32_t colorGainR = 0;
    int32_t colorGainB = 0;
    int32_t colorGainG2 = 0;
    int32_t exposure = 0;
    int32_t mirrorV = 0;
    int32_t mirrorH = 0;
    int32_t autoIris = 0;
};

// The device object's own mirror flags, which stand in for missing stored ones.
struct MirrorFlags {
    int32_t vertical = 0;
    int32_t horizontal = 0;
};

struct GraySettings {
    int32_t grayMode = 0;
    int32_t grayGainR = 0;
    int32_t grayGainG1 = 0;
    int32_t grayGainG2 = 0;
    int32_t grayGainB = 0;
    int32_t grayOffsetR = 0;
    int32_t grayOffsetG1 = 0;
    int32_t grayOffsetG2 = 0;
    int32_t grayOffsetB = 0;
};

// Automatic white balance: bayerGainAuto measures every converted frame; with both once marks
// set as well the measurement runs once and clears all three.
struct WhiteBalanceState {
    int32_t bayerGainAuto = 0;
    int32_t onceMarkA = 0;
    int32_t onceMarkB = 0;
};

// Software filter values, all 0 until loaded.
struct FilterSettings {
    int32_t brightness = 0;
    int32_t contrast = 0;
    int32_t hue = 0;
    int32_t saturation = 0;
    int32_t sharpness = 0;
    int32_t bayerGainR = 0;
    int32_t bayerGainG = 0;
    int32_t bayerGainB = 0;
    int32_t gamma = 0;
    int32_t bayerMode = 0;
    GraySettings gray;
    WhiteBalanceState whiteBalance;
    int32_t grayAutoRequest = 0;  // pending one-shot automatic gray measurements
};

}  // namespace tavlin::settings
