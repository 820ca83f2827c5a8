// The camera's nine image buffers and which of them a colour mode uses.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "output/image_buffer.h"
#include "sensor/color_mode.h"

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

using sensor::BitsPerPixel;
using sensor::ValidColorMode;

// Raw frame: 16-bit words for the modes with 10-bit samples, bytes for the others.
inline BufferSlot RawSlot(int32_t colorMode) {
    return sensor::HasWideRaw(colorMode) ? kBuffer16 : kBuffer8;
}

// Output image of colour modes 0..5 (8, 16, 24, 32, 48, 64 bits).
inline BufferSlot OutputSlot(int32_t colorMode) {
    return ValidColorMode(colorMode) ? static_cast<BufferSlot>(colorMode) : kBuffer8;
}

}  // namespace tavlin::camera
