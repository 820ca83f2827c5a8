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
    return ValidColorMode(colorMode) ? static_cast<BufferSlot>(colorMode) : kBuffer8;
}

}  // namespace tavlin::camera
