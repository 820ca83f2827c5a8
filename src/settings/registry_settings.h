// Loading and saving a camera's settings in the per-user registry, under
// "Software\Korvel\Tavlin410QZVKESdk\Camera_NN". Each routine opens and closes its own keys (so
// every call sees the store as it is now) and reports only true or false; a save reaches the
// store file as one atomic rewrite, and returns false when it did not.
//
// Stored values are loaded as they are, without range checks: the camera object judges them
// when it uses them. Callable from any thread; processes may load and save at the same time.
#pragma once

#include "settings/registry_store.h"
#include "settings/settings_types.h"

namespace tavlin::settings {

// Loads the preset that the camera key's "Size" selects. On an account without the settings
// root, creates the root, the camera key with its format defaults and preset "Size_00" with the
// preset defaults, and returns false with preset untouched. Also false when the camera key, its
// "Size" or the selected preset is missing; a missing preset value leaves its field unchanged.
bool LoadSizePreset(int cameraNumber, SizePreset& preset,
                    const RegistryStore& store = RegistryStore::ForCurrentUser());

// Loads "Color", "SubSample", "WaitTime", "Clock"; missing values leave their fields unchanged.
// False when the root or camera key is missing.
bool LoadFormat(int cameraNumber, FormatSettings& format,
                const RegistryStore& store = RegistryStore::ForCurrentUser());

// Without a "Gain" key, sets the sensor defaults and the device's mirror flags. With one, reads
// the nine values in order through one temporary that starts at 0, so a missing value repeats
// the one before it. Always true.
bool LoadAnalog(int cameraNumber, const MirrorFlags& deviceMirrors, AnalogSettings& analog,
                const RegistryStore& store = RegistryStore::ForCurrentUser());
bool SaveAnalog(int cameraNumber, const AnalogSettings& analog,
                const RegistryStore& store = RegistryStore::ForCurrentUser());

// The image filter values of "Filter". Without the key: the defaults, white balance off, false.
bool LoadFilter(int cameraNumber, FilterSettings& filter,
                const RegistryStore& store = RegistryStore::ForCurrentUser());
bool SaveFilter(int cameraNumber, const FilterSettings& filter,
                const RegistryStore& store = RegistryStore::ForCurrentUser());

// The gray filter values of "Gray". Without the key: the defaults and false.
bool LoadGray(int cameraNumber, GraySettings& gray,
              const RegistryStore& store = RegistryStore::ForCurrentUser());
bool SaveGray(int cameraNumber, const GraySettings& gray,
              const RegistryStore& store = RegistryStore::ForCurrentUser());

}  // namespace tavlin::settings
