// Kernels that work on the raw sensor buffer itself, before any filter: moving a packed frame to
// its row stride, and measuring the mean brightness of a window for automatic exposure and gain.
// All run through ImageBuffer::Transfer with the raw buffer as source and destination and take
// no parameter block.
#pragma once

#include "imaging/kernel_types.h"

namespace tavlin::imaging {

// Moves rows that were written packed (row r of the rectangle at r x width x bytes per pixel from
// the start of the source) to destination memory row dstY + r, column dstX, last row first so the
// move works in place. Width and row count come from the rectangle. Fill bytes at row ends keep
// whatever they held. Returns 1; 0 (nothing touched) for null buffers, a stride shorter than the
// packed row, or a sample size other than the kernel's (1 byte for 8, 2 bytes for 16).
int Restride8(uint8_t* dstBits, const uint8_t* srcBits, const Rect& src, int32_t dstX, int32_t dstY,
              uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel, int32_t dstStride,
              int32_t srcStride, void* param1, void* param2);
int Restride16(uint8_t* dstBits, const uint8_t* srcBits, const Rect& src, int32_t dstX,
               int32_t dstY, uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel,
               int32_t dstStride, int32_t srcStride, void* param1, void* param2);

// Mean of the source samples inside the rectangle (memory rows), truncated, 0..255; 0 for an
// empty window. 16-bit samples count with the top 8 of their 10 significant bits, (v >> 2) & 255.
int WindowMean8(uint8_t* dstBits, const uint8_t* srcBits, const Rect& src, int32_t dstX,
                int32_t dstY, uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel,
                int32_t dstStride, int32_t srcStride, void* param1, void* param2);
int WindowMean16(uint8_t* dstBits, const uint8_t* srcBits, const Rect& src, int32_t dstX,
                 int32_t dstY, uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel,
                 int32_t dstStride, int32_t srcStride, void* param1, void* param2);

}  // namespace tavlin::imaging
