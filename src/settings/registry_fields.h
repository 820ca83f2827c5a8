// Moving settings fields in and out of open keys. Stored DWORDs are the fields' 32-bit patterns.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "settings/registry_store.h"
#include "settings/settings_keys.h"

namespace tavlin::settings {

// Reads the value into field when it exists; returns whether it did.
inline bool ReadField(const RegistryKey& key, const char* name, int32_t& field) {
    uint32_t stored = 0;
    if (key.QueryValue(name, stored) != RegResult::Success) return false;
    field = static_cast<int32_t>(stored);
    return true;
}

inline void WriteField(RegistryKey& key, const char* name, int32_t field) {
    key.SetValue(name, static_cast<uint32_t>(field));
}

// Missing values leave their fields unchanged.
template <typename Block, size_t N>
void ReadFields(const RegistryKey& key, const std::array<FieldBinding<Block>, N>& values,
                Block& block) {
    for (const auto& binding : values) ReadField(key, binding.name, block.*binding.field);
}

template <typename Block, size_t N>
void WriteFields(RegistryKey& key, const std::array<FieldBinding<Block>, N>& values,
                 const Block& block) {
    for (const auto& binding : values) WriteField(key, binding.name, block.*binding.field);
}

// Opens root\Camera_NN with the given access, creating both when writing. False when either is
// missing (reading) or cannot be created (writing).
inline bool OpenCameraKey(const RegistryStore& store, int cameraNumber, RegAccess access,
                          RegistryKey& root, RegistryKey& camera) {
    if (access == RegAccess::Read) {
        return store.OpenKey(kRootKey, access, root) == RegResult::Success &&
               root.OpenSubKey(CameraKeyName(cameraNumber), access, camera) == RegResult::Success;
    }
    return store.CreateKey(kRootKey, root) == RegResult::Success &&
           root.CreateSubKey(CameraKeyName(cameraNumber), camera) == RegResult::Success;
}

}  // namespace tavlin::settings
