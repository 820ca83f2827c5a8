// Parameter blocks handed to the stage kernels as their first parameter. Each is a run of int32
// values in a fixed order, so the pipeline can fill them from the settings of one frame.
#pragma once

#include <cstdint>

#include "bayer_phase.h"
#include "filter_values.h"

namespace tavlin::imaging {

// Samples wider than 8 bits carry this many significant bits, right-aligned.
inline constexpr int32_t kWideSampleBits = 10;

// Colour conversion: phase and white-balance gains in percent (green is not applied).
struct ColorConversionBlock {
    int32_t phase = 0;
    int32_t gainR = 100;
    int32_t gainG = 100;
    int32_t gainB = 100;
};

// White-balance measurement: the kernel overwrites the three slots with the measured gains
// (limited to 0..400) when the frame allows a measurement, and leaves them alone otherwise.
struct WhiteBalanceBlock {
    int32_t blue = 100;
    int32_t green = 100;
    int32_t red = 100;
    int32_t phase = 0;
};

// Gray filter. The gain of cell position (0,0) is G1, (0,1) R, (1,0) B and (1,1) G2.
struct GrayBlock {
    int32_t phase = 0;
    int32_t gainR = 128;
    int32_t gainG1 = 128;
    int32_t gainG2 = 128;
    int32_t gainB = 128;
    int32_t offsetR = 0;
    int32_t offsetG1 = 0;
    int32_t offsetG2 = 0;
    int32_t offsetB = 0;
    int32_t significantBits = 8;
};

struct HueSaturationBlock {
    int32_t hue = 0;
    int32_t reserved = 0;
    int32_t saturation = 0;
    int32_t significantBits = kWideSampleBits;
};

// Gamma, contrast, sharpness and brightness.
struct SingleValueBlock {
    int32_t value = 0;
    int32_t significantBits = kWideSampleBits;
};

inline ColorConversionBlock MakeColorConversionBlock(const FilterValues& values, bool mirrorV,
                                                     bool mirrorH) {
    return {CorrectedPhase(values.bayerMode, mirrorV, mirrorH), values.bayerGainR,
            values.bayerGainG, values.bayerGainB};
}

// Starts the slots at the current gains, so a frame that cannot be measured keeps them.
inline WhiteBalanceBlock MakeWhiteBalanceBlock(const FilterValues& values, int32_t phase) {
    return {values.bayerGainB, values.bayerGainG, values.bayerGainR, phase};
}

inline GrayBlock MakeGrayBlock(const FilterValues& values, int32_t phase, int32_t significantBits) {
    return {phase,
            values.grayGainR,
            values.grayGainG1,
            values.grayGainG2,
            values.grayGainB,
            values.grayOffsetR,
            values.grayOffsetG1,
            values.grayOffsetG2,
            values.grayOffsetB,
            significantBits};
}

// Kernels accept any bit count but work within 8..16.
inline int32_t ClampSignificantBits(int32_t bits) {
    return bits < 8 ? 8 : (bits > 16 ? 16 : bits);
}

}  // namespace tavlin::imaging
