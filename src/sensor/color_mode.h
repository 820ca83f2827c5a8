// The six colour modes an application chooses and the image depths they give. Tavlin_SetColorMode
// takes them as 8, 16, 24, 32, 48 and 64 bits per pixel; stored settings may hold any index, so an
// index is checked before use.
#pragma once

#include <cstdint>

namespace tavlin::sensor {

enum ColorMode : int32_t {
    kGray8 = 0,
    kGray16 = 1,  // 10 significant bits
    kColour24 = 2,
    kColour32 = 3,
    kColour48 = 4,
    kColour64 = 5,
};

inline constexpr int32_t kColorModeCount = 6;

// Significant bits of a raw sample: 10 in the 16-bit modes, 8 in the others.
inline constexpr int32_t kWideSampleBits = 10;
inline constexpr int32_t kNarrowSampleBits = 8;

constexpr bool ValidColorMode(int32_t mode) {
    return mode >= kGray8 && mode <= kColour64;
}

constexpr bool IsGrayMode(int32_t mode) {
    return mode == kGray8 || mode == kGray16;
}

// Modes whose raw frame has 16-bit samples (10 significant bits).
constexpr bool HasWideSamples(int32_t mode) {
    return mode == kGray16 || mode == kColour48 || mode == kColour64;
}

// Bits per pixel of the output image of a colour mode; 0 for an unknown mode.
constexpr int32_t BitsPerPixel(int32_t mode) {
    constexpr int32_t kBits[kColorModeCount] = {8, 16, 24, 32, 48, 64};
    return ValidColorMode(mode) ? kBits[mode] : 0;
}

// True for the depths of the six modes: the only ones images, files and bitmaps carry.
constexpr bool IsImageDepth(int32_t bitCount) {
    for (int32_t mode = 0; mode < kColorModeCount; ++mode) {
        if (BitsPerPixel(mode) == bitCount) return true;
    }
    return false;
}

}  // namespace tavlin::sensor
