// The analog, image filter and gray filter settings saved at release and device change.
#include "settings/filter_catalogue.h"
#include "settings/registry_fields.h"
#include "settings/registry_settings.h"
#include "settings/registry_store.h"
#include "settings/settings_keys.h"

namespace tavlin::settings {

namespace {

bool OpenSettingsKey(const RegistryStore& store, int cameraNumber, const char* name,
                     RegAccess access, RegistryKey& root, RegistryKey& camera, RegistryKey& key) {
    if (!OpenCameraKey(store, cameraNumber, access, root, camera)) return false;
    if (access == RegAccess::Read) {
        return camera.OpenSubKey(name, access, key) == RegResult::Success;
    }
    return camera.CreateSubKey(name, key) == RegResult::Success;
}

template <typename Block, size_t N>
bool SaveBlock(int cameraNumber, const char* keyName,
               const std::array<FieldBinding<Block>, N>& values, const Block& block,
               const RegistryStore& store) {
    RegistryKey root;
    RegistryKey camera;
    RegistryKey key;
    if (!OpenSettingsKey(store, cameraNumber, keyName, RegAccess::AllAccess, root, camera, key)) {
        return false;
    }
    WriteFields(key, values, block);
    return key.Flush() == RegResult::Success;
}

}  // namespace

bool LoadAnalog(int cameraNumber, const MirrorFlags& deviceMirrors, AnalogSettings& analog,
                const RegistryStore& store) {
    RegistryKey root;
    RegistryKey camera;
    RegistryKey gain;
    if (!OpenSettingsKey(store, cameraNumber, kGainKey, RegAccess::Read, root, camera, gain)) {
        analog = DefaultAnalogSettings(deviceMirrors);
        return true;
    }
    // One temporary carries over: a missing value takes the one read before it.
    int32_t carried = 0;
    for (const auto& binding : kAnalogValues) {
        ReadField(gain, binding.name, carried);
        analog.*binding.field = carried;
    }
    return true;
}

bool SaveAnalog(int cameraNumber, const AnalogSettings& analog, const RegistryStore& store) {
    return SaveBlock(cameraNumber, kGainKey, kAnalogValues, analog, store);
}

bool LoadFilter(int cameraNumber, FilterSettings& filter, const RegistryStore& store) {
    RegistryKey root;
    RegistryKey camera;
    RegistryKey key;
    if (!OpenSettingsKey(store, cameraNumber, kFilterKey, RegAccess::Read, root, camera, key)) {
        ApplyDefaultImageFilter(filter);
        filter.whiteBalance = WhiteBalanceState{};
        return false;
    }
    ReadFields(key, kFilterValues, filter);
    return true;
}

bool SaveFilter(int cameraNumber, const FilterSettings& filter, const RegistryStore& store) {
    return SaveBlock(cameraNumber, kFilterKey, kFilterValues, filter, store);
}

bool LoadGray(int cameraNumber, GraySettings& gray, const RegistryStore& store) {
    RegistryKey root;
    RegistryKey camera;
    RegistryKey key;
    if (!OpenSettingsKey(store, cameraNumber, kGrayKey, RegAccess::Read, root, camera, key)) {
        gray = kDefaultGraySettings;
        return false;
    }
    ReadFields(key, kGrayValues, gray);
    return true;
}

bool SaveGray(int cameraNumber, const GraySettings& gray, const RegistryStore& store) {
    return SaveBlock(cameraNumber, kGrayKey, kGrayValues, gray, store);
}

}  // namespace tavlin::settings
