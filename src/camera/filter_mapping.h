// The stored filter settings as the image stages read them.
#pragma once

#include "imaging/filter_values.h"
#include "settings/settings_types.h"

namespace tavlin::camera {

inline imaging::FilterValues ToFilterValues(const settings::FilterSettings& f) {
    imaging::FilterValues v;
    v.brightness = f.brightness;
    v.contrast = f.contrast;
    v.hue = f.hue;
    v.saturation = f.saturation;
    v.sharpness = f.sharpness;
    v.bayerGainR = f.bayerGainR;
    v.bayerGainG = f.bayerGainG;
    v.bayerGainB = f.bayerGainB;
    v.gamma = f.gamma;
    v.bayerMode = f.bayerMode;
    v.grayMode = f.gray.grayMode;
    v.grayGainR = f.gray.grayGainR;
    v.grayGainG1 = f.gray.grayGainG1;
    v.grayGainG2 = f.gray.grayGainG2;
    v.grayGainB = f.gray.grayGainB;
    v.grayOffsetR = f.gray.grayOffsetR;
    v.grayOffsetG1 = f.gray.grayOffsetG1;
    v.grayOffsetG2 = f.gray.grayOffsetG2;
    v.grayOffsetB = f.gray.grayOffsetB;
    v.bayerGainAuto = f.whiteBalance.bayerGainAuto;
    v.onceMarkA = f.whiteBalance.onceMarkA;
    v.onceMarkB = f.whiteBalance.onceMarkB;
    v.grayAutoRequest = f.grayAutoRequest;
    return v;
}

}  // namespace tavlin::camera
