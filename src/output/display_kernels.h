// Kernels of the preview: reducing the deep pixel formats to what a screen shows (8-bit gray or
// 24-bit colour, same size, no flip; run through ImageBuffer::Transfer with a SampleScale as the
// first parameter, null meaning 10 significant bits), and the nearest-neighbour scaling that fills
// the display buffer (run through ImageBuffer::StretchTransfer).
#pragma once

#include "imaging/kernel_types.h"

namespace tavlin::output {

// 16-bit gray to 8-bit gray.
int ReduceGrayKernel(uint8_t* dstBits, const uint8_t* srcBits, const imaging::Rect& src,
                     int32_t dstX, int32_t dstY, uint16_t dstBytesPerPixel,
                     uint16_t srcBytesPerPixel, int32_t dstStride, int32_t srcStride, void* param1,
                     void* param2);
// 32-bit to 24-bit: B, G, R kept, the fourth byte dropped.
int DropFourthByteKernel(uint8_t* dstBits, const uint8_t* srcBits, const imaging::Rect& src,
                         int32_t dstX, int32_t dstY, uint16_t dstBytesPerPixel,
                         uint16_t srcBytesPerPixel, int32_t dstStride, int32_t srcStride,
                         void* param1, void* param2);
// 48- or 64-bit to 24-bit: B, G, R reduced to 8 bits, a fourth word dropped.
int ReduceColourKernel(uint8_t* dstBits, const uint8_t* srcBits, const imaging::Rect& src,
                       int32_t dstX, int32_t dstY, uint16_t dstBytesPerPixel,
                       uint16_t srcBytesPerPixel, int32_t dstStride, int32_t srcStride,
                       void* param1, void* param2);

// Nearest neighbour over whole buffers with a vertical flip, so a top-first image lands bottom-up
// in a DIB. Steps fx = w / W, fy = h / H in single precision; destination row i reads source
// memory row h - 1 - min((int)(i * fy), h - 1), column j reads min((int)(j * fx), w - 1).
// One for 8-bit pixels, one for 24-bit pixels. Return 1; 0 for mismatched pixel sizes.
int ScaleFlip8Kernel(uint8_t* dstBits, const uint8_t* srcBits, const imaging::Rect& dst,
                     const imaging::Rect& src, imaging::Size dstSize, imaging::Size srcSize,
                     uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel, int32_t dstStride,
                     int32_t srcStride, void* param1, void* param2);
int ScaleFlip24Kernel(uint8_t* dstBits, const uint8_t* srcBits, const imaging::Rect& dst,
                      const imaging::Rect& src, imaging::Size dstSize, imaging::Size srcSize,
                      uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel, int32_t dstStride,
                      int32_t srcStride, void* param1, void* param2);

}  // namespace tavlin::output
