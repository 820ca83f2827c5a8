#include "settings/preset_list.h"

#include <algorithm>

#include "settings/registry_fields.h"

namespace tavlin::settings {

namespace {

// Reads presets in order up to the first missing key; returns how many there were.
int ReadPresets(const RegistryKey& camera, std::array<SizePreset, kMaxSizePresets>& presets) {
    int count = 0;
    for (; count < kMaxSizePresets; ++count) {
        RegistryKey key;
        if (camera.OpenSubKey(PresetKeyName(count), RegAccess::Read, key) != RegResult::Success) {
            break;
        }
        ReadFields(key, kPresetValues, presets[static_cast<size_t>(count)]);
    }
    return count;
}

}  // namespace

bool LoadPresetList(int cameraNumber, PresetList& list, const RegistryStore& store) {
    RegistryKey root;
    RegistryKey camera;
    if (!OpenCameraKey(store, cameraNumber, RegAccess::Read, root, camera)) return false;
    list.presetCount = ReadPresets(camera, list.presets);
    ReadField(camera, kSizeValue, list.sizeIndex);
    ReadField(camera, kColorValue, list.colorIndex);
    ReadField(camera, kSubSampleValue, list.subSampleIndex);
    ReadField(camera, kWaitTimeValue, list.waitTimeValue);
    ReadField(camera, kClockValue, list.clockIndex);
    return true;
}

bool SavePresetList(int cameraNumber, const PresetList& list, const RegistryStore& store) {
    RegistryKey root;
    RegistryKey camera;
    if (!OpenCameraKey(store, cameraNumber, RegAccess::AllAccess, root, camera)) return false;
    const int count = std::clamp<int32_t>(list.presetCount, 0, kMaxSizePresets);
    for (int i = 0; i < count; ++i) {
        RegistryKey key;
        if (camera.CreateSubKey(PresetKeyName(i), key) != RegResult::Success) break;
        WriteFields(key, kPresetValues, list.presets[static_cast<size_t>(i)]);
    }
    WriteField(camera, kSizeValue, list.sizeIndex);
    WriteField(camera, kColorValue, list.colorIndex);
    WriteField(camera, kSubSampleValue, list.subSampleIndex);
    WriteField(camera, kWaitTimeValue, list.waitTimeValue);
    WriteField(camera, kClockValue, list.clockIndex);
    return camera.Flush() == RegResult::Success;
}

bool FindSizePreset(int cameraNumber, int32_t width, int32_t height, SizePreset& found,
                    const RegistryStore& store) {
    RegistryKey root;
    RegistryKey camera;
    if (!OpenCameraKey(store, cameraNumber, RegAccess::Read, root, camera)) return false;
    std::array<SizePreset, kMaxSizePresets> presets{};
    const int count = ReadPresets(camera, presets);
    const auto end = presets.begin() + count;
    const auto match = std::find_if(presets.begin(), end, [&](const SizePreset& preset) {
        return preset.width == width && preset.height == height;
    });
    if (match == end) return false;
    found = *match;
    return true;
}

}  // namespace tavlin::settings
