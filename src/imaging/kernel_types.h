// The two kernel shapes every image stage is run through (ImageBuffer::Transfer and
// ImageBuffer::StretchTransfer). Kernels receive raw pointers, strides and bytes per pixel and
// never allocate; rows are always stepped by the stride.
#pragma once

#include <cstdint>

namespace tavlin::imaging {

struct Rect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    int32_t Width() const { return right - left; }
    int32_t Height() const { return bottom - top; }
};

struct Size {
    int32_t width = 0;
    int32_t height = 0;
};

// Processes src.Width() columns of src.Height() rows: memory row src.top + r of the source is
// written to memory row dstY + r of the destination, starting at column dstX, unless the kernel
// says it flips (then it reads source row src.bottom - 1 - r). Source and destination may be the
// same buffer. Returns 1.
using ConversionKernel = int (*)(uint8_t* dstBits, const uint8_t* srcBits, const Rect& src,
                                 int32_t dstX, int32_t dstY, uint16_t dstBytesPerPixel,
                                 uint16_t srcBytesPerPixel, int32_t dstStride, int32_t srcStride,
                                 void* param1, void* param2);

// Scales src (within a source of srcSize) into dst (within a destination of dstSize).
using ScalingKernel = int (*)(uint8_t* dstBits, const uint8_t* srcBits, const Rect& dst,
                              const Rect& src, Size dstSize, Size srcSize,
                              uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel,
                              int32_t dstStride, int32_t srcStride, void* param1, void* param2);

}  // namespace tavlin::imaging
