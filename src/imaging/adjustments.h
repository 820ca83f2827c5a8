// The picture adjustment stages. Each is a ConversionKernel over an image of 1 (8-bit gray),
// 2 (16-bit gray), 3 or 4 (8-bit B, G, R channels) or 6 or 8 (16-bit channels) bytes per pixel,
// with source and destination of the same depth; a fourth channel is never touched. param1 is a
// HueSaturationBlock for the hue stage and a SingleValueBlock for the others; param2 is unused.
// The stages run whatever their setting; which of them a frame needs, and in which order, is
// decided by PlanAdjustments (adjustment_plan.h). They return 0 and change nothing for depths
// they do not handle or a missing block.
#pragma once

#include "kernel_types.h"

namespace tavlin::imaging {

// Colour depths only.
int AdjustHueSaturation(uint8_t* dstBits, const uint8_t* srcBits, const Rect& src, int32_t dstX,
                        int32_t dstY, uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel,
                        int32_t dstStride, int32_t srcStride, void* param1, void* param2);

int AdjustGamma(uint8_t* dstBits, const uint8_t* srcBits, const Rect& src, int32_t dstX,
                int32_t dstY, uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel,
                int32_t dstStride, int32_t srcStride, void* param1, void* param2);

int AdjustContrast(uint8_t* dstBits, const uint8_t* srcBits, const Rect& src, int32_t dstX,
                   int32_t dstY, uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel,
                   int32_t dstStride, int32_t srcStride, void* param1, void* param2);

// Reads a copy of the image (the source) and writes the image; the two outermost rows and
// columns are left as they are. Refuses (0) to run with the source on the destination, where
// the blur would read samples it has already changed.
int AdjustSharpness(uint8_t* dstBits, const uint8_t* srcBits, const Rect& src, int32_t dstX,
                    int32_t dstY, uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel,
                    int32_t dstStride, int32_t srcStride, void* param1, void* param2);

int AdjustBrightness(uint8_t* dstBits, const uint8_t* srcBits, const Rect& src, int32_t dstX,
                     int32_t dstY, uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel,
                     int32_t dstStride, int32_t srcStride, void* param1, void* param2);

}  // namespace tavlin::imaging
