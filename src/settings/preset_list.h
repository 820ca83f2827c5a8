// All size presets of a camera with its format values, as the stream format dialog edits them,
// and the preset search of the capture-window setter.
#pragma once

#include <array>
#include <cstdint>

#include "settings/registry_store.h"
#include "settings/settings_keys.h"
#include "settings/settings_types.h"

namespace tavlin::settings {

struct PresetList {
    std::array<SizePreset, kMaxSizePresets> presets{};
    int32_t presetCount = 0;  // presets 0 .. presetCount - 1 are in use
    int32_t sizeIndex = 0;    // "Size": the selected preset
    int32_t colorIndex = 2;   // "Color"
    int32_t subSampleIndex = 0;
    int32_t waitTimeValue = 1;
    int32_t clockIndex = 2;
};

// Reads "Size_00", "Size_01", ... up to the first missing one (at most 100), then the five camera
// values; missing values leave what list holds. False, with list untouched, when the root or
// camera key is missing.
bool LoadPresetList(int cameraNumber, PresetList& list,
                    const RegistryStore& store = RegistryStore::ForCurrentUser());

// Writes presets 0 .. presetCount - 1 (a count outside 0..100 is clamped) and the five camera
// values; higher-numbered presets already stored are left as they are. False when nothing could
// be written.
bool SavePresetList(int cameraNumber, const PresetList& list,
                    const RegistryStore& store = RegistryStore::ForCurrentUser());

// The first stored preset whose "EH" and "EV" equal width and height. False when there is none,
// or no settings key for the camera.
bool FindSizePreset(int cameraNumber, int32_t width, int32_t height, SizePreset& found,
                    const RegistryStore& store = RegistryStore::ForCurrentUser());

}  // namespace tavlin::settings
