// The size preset and stream format a camera starts with.
#include "settings/registry_fields.h"
#include "settings/registry_settings.h"
#include "settings/registry_store.h"
#include "settings/settings_keys.h"

namespace tavlin::settings {

namespace {

// A fresh account: the root, this camera's key with the format defaults, and preset 0.
void CreateDefaultTree(int cameraNumber, const RegistryStore& store) {
    RegistryKey root;
    RegistryKey camera;
    RegistryKey preset;
    if (!OpenCameraKey(store, cameraNumber, RegAccess::AllAccess, root, camera) ||
        camera.CreateSubKey(PresetKeyName(0), preset) != RegResult::Success) {
        return;
    }
    WriteFields(preset, kPresetValues, SizePreset{});
    WriteField(camera, kSizeValue, kDefaultSizeIndex);
    WriteFields(camera, kFormatValues, kStoredFormatDefaults);
    // The caller reports false either way; a failed write shows up as a missing tree next time.
    (void)camera.Flush();
}

}  // namespace

bool LoadSizePreset(int cameraNumber, SizePreset& preset, const RegistryStore& store) {
    RegistryKey root;
    if (store.OpenKey(kRootKey, RegAccess::Read, root) != RegResult::Success) {
        CreateDefaultTree(cameraNumber, store);
        return false;
    }
    RegistryKey camera;
    if (root.OpenSubKey(CameraKeyName(cameraNumber), RegAccess::Read, camera) !=
        RegResult::Success) {
        return false;
    }
    int32_t sizeIndex = 0;
    if (!ReadField(camera, kSizeValue, sizeIndex)) return false;
    RegistryKey selected;
    if (camera.OpenSubKey(PresetKeyName(sizeIndex), RegAccess::Read, selected) !=
        RegResult::Success) {
        return false;
    }
    ReadFields(selected, kPresetValues, preset);
    return true;
}

bool LoadFormat(int cameraNumber, FormatSettings& format, const RegistryStore& store) {
    RegistryKey root;
    RegistryKey camera;
    if (!OpenCameraKey(store, cameraNumber, RegAccess::Read, root, camera)) return false;
    ReadFields(camera, kFormatValues, format);
    return true;
}

}  // namespace tavlin::settings
