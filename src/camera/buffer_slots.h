// The camera's nine image buffers and which of them a colour mode uses.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "camera/color_mode.h"
#include "output/image_buffer.h"

namespace tavlin::camera {

enum BufferSlot : size_t {
    kBuffer8 = 0,
    kBuffer16,
    kBuffer24,
    kBuffer32,
    kBuffer48,
    kBuffer64,
    kBufferScratch,
    kBufferDisplay,
    kBufferSpare,
    kBufferCount
};

using ImageBuffers = std::array<output::ImageBuffer, kBufferCount>;

// Raw frame: 16-bit for the modes with wide samples, else 8-bit.
inline BufferSlot RawSlot(int32_t colorMode) {
    return HasWideSamples(colorMode) ? kBuffer16 : kBuffer8;
}

// Output image of colour modes 0..5 (8, 16, 24, 32, 48, 64 bits).
inline BufferSlot OutputSlot(int32_t colorMode) {
    return colorMode >= 0 && colorMode <= 5 ? static_cast<BufferSlot>(colorMode) : kBuffer8;
}

inline bool ValidColorMode(int32_t colorMode) {
    return colorMode >= kGray8 && colorMode <= kColour64;
}

inline int32_t BitsPerPixel(int32_t colorMode) {
    static constexpr int32_t kBits[] = {8, 16, 24, 32, 48, 64};
    return ValidColorMode(colorMode) ? kBits[colorMode] : 0;
}

}  // namespace tavlin::camera
