// The six colour modes an application chooses and the image depths they give.
#pragma once

#include <cstdint>

namespace tavlin::sensor {

enum ColorMode : int32_t {
    kGray8 = 0,
    kGray16 = 1,
    kColor24 = 2,
    kColor32 = 3,
    kColor48 = 4,
    kColor64 = 5,
};

inline constexpr int32_t kColorModeCount = 6;

constexpr bool ValidColorMode(int32_t mode) {
    return mode >= 0 && mode < kColorModeCount;
}

// Bits per pixel of the output image of a colour mode; 0 for an unknown mode.
constexpr int32_t BitsPerPixel(int32_t mode) {
    constexpr int32_t kBits[kColorModeCount] = {8, 16, 24, 32, 48, 64};
    return ValidColorMode(mode) ? kBits[mode] : 0;
}

// The modes whose raw frames carry 10-bit samples in 16-bit words.
constexpr bool HasWideRaw(int32_t mode) {
    return mode == kGray16 || mode == kColor48 || mode == kColor64;
}

// True for the depths of the six modes: the only ones images, files and bitmaps carry.
constexpr bool IsImageDepth(int32_t bitCount) {
    for (int32_t mode = 0; mode < kColorModeCount; ++mode) {
        if (BitsPerPixel(mode) == bitCount) return true;
    }
    return false;
}

}  // namespace tavlin::sensor
