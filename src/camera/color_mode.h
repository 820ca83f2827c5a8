// The camera's colour modes by index (Tavlin_SetColorMode takes them as 8, 16, 24, 32, 48 and 64
// bits per pixel); stored settings may hold any index, so an index is checked before use.
#pragma once

#include <cstdint>

namespace tavlin::camera {

enum ColorMode : int32_t {
    kGray8 = 0,
    kGray16 = 1,  // 10 significant bits
    kColour24 = 2,
    kColour32 = 3,
    kColour48 = 4,
    kColour64 = 5,
};

inline bool IsGrayMode(int32_t colorMode) {
    return colorMode == kGray8 || colorMode == kGray16;
}

// Modes whose raw frame has 16-bit samples.
inline bool HasWideSamples(int32_t colorMode) {
    return colorMode == kGray16 || colorMode == kColour48 || colorMode == kColour64;
}

}  // namespace tavlin::camera
