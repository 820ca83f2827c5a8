// The filter settings the image stages read. The camera fills one of these from its own settings
// before processing a frame; each field is read once per stage, so a concurrent change takes
// effect from the next frame.
#pragma once

#include <cstdint>

namespace tavlin::imaging {

struct FilterValues {
    // Picture adjustments (neutral: 0, 0, 0, 0, 0, 100).
    int32_t brightness = 0;
    int32_t contrast = 0;
    int32_t hue = 0;
    int32_t saturation = 0;
    int32_t sharpness = 0;
    // White balance in percent; green is kept and reported but never applied to pixels.
    int32_t bayerGainR = 100;
    int32_t bayerGainG = 100;
    int32_t bayerGainB = 100;
    int32_t gamma = 100;
    int32_t bayerMode = 3;
    // Gray filter: mode 0 "Bayer", 1 "Bayer convert", 2 "Grayscale"; gains in 1/128 units.
    int32_t grayMode = 0;
    int32_t grayGainR = 128;
    int32_t grayGainG1 = 128;
    int32_t grayGainG2 = 128;
    int32_t grayGainB = 128;
    int32_t grayOffsetR = 0;
    int32_t grayOffsetG1 = 0;
    int32_t grayOffsetG2 = 0;
    int32_t grayOffsetB = 0;
    // Automatic white balance: every frame with bayerGainAuto alone, once when both marks are set.
    int32_t bayerGainAuto = 0;
    int32_t onceMarkA = 0;
    int32_t onceMarkB = 0;
    // Frames still to measure for the gray gains; negative measures every frame.
    int32_t grayAutoRequest = 0;
};

}  // namespace tavlin::imaging
