#include "settings/settings_keys.h"

#include <cstdio>

#include "settings/filter_catalogue.h"

namespace tavlin::settings {

std::string CameraKeyName(int cameraNumber) {
    char name[32];
    std::snprintf(name, sizeof name, "Camera_%02d", cameraNumber);
    return name;
}

std::string PresetKeyName(int presetIndex) {
    char name[32];
    std::snprintf(name, sizeof name, "Size_%02d", presetIndex);
    return name;
}

AnalogSettings DefaultAnalogSettings(const MirrorFlags& deviceMirrors) {
    AnalogSettings analog;
    analog.globalGain = kDefaultGain;
    analog.colorGainG1 = kDefaultGain;
    analog.colorGainR = kDefaultGain;
    analog.colorGainB = kDefaultGain;
    analog.colorGainG2 = kDefaultGain;
    analog.exposure = kDefaultExposure;
    analog.mirrorV = deviceMirrors.vertical;
    analog.mirrorH = deviceMirrors.horizontal;
    analog.autoIris = 0;
    return analog;
}

void ApplyDefaultImageFilter(FilterSettings& filter) {
    ApplyFilterDefaults(filter, FilterBlock::Image);
}

}  // namespace tavlin::settings
