// The shapes image work is run through: typed stages (a StageRun and their parameter block), and
// the two kernel shapes of ImageBuffer::Transfer and ImageBuffer::StretchTransfer. Kernels and
// stages never allocate; rows are always stepped by the stride.
#pragma once

#include <cstddef>
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
// same buffer. Returns 1. The shape ImageBuffer::Transfer hands over; imaging stages are typed
// (Stage below) and reach this shape through AsKernel.
using ConversionKernel = int (*)(uint8_t* dstBits, const uint8_t* srcBits, const Rect& src,
                                 int32_t dstX, int32_t dstY, uint16_t dstBytesPerPixel,
                                 uint16_t srcBytesPerPixel, int32_t dstStride, int32_t srcStride,
                                 void* param1, void* param2);

// A whole image in memory: rows of `stride` bytes, numbered as they lie in memory.
struct ImageView {
    uint8_t* bits = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    int32_t stride = 0;
    uint16_t bytesPerPixel = 0;
};

// What one stage call works on: the rectangle `src` (memory rows and columns) of the source goes
// to the destination from column dstX of memory row dstY, row by row. Source and destination may
// be the same memory.
struct StageRun {
    uint8_t* dstBits = nullptr;
    int32_t dstStride = 0;
    uint16_t dstBytesPerPixel = 0;
    const uint8_t* srcBits = nullptr;
    int32_t srcStride = 0;
    uint16_t srcBytesPerPixel = 0;
    Rect src;
    int32_t dstX = 0;
    int32_t dstY = 0;

    const uint8_t* SrcOrigin() const {
        return srcBits + static_cast<std::ptrdiff_t>(src.top) * srcStride +
               static_cast<std::ptrdiff_t>(src.left) * srcBytesPerPixel;
    }
    uint8_t* DstOrigin() const {
        return dstBits + static_cast<std::ptrdiff_t>(dstY) * dstStride +
               static_cast<std::ptrdiff_t>(dstX) * dstBytesPerPixel;
    }
};

// The parameter block of stages that take none.
struct NoBlock {};

// An image stage: a run and its parameter block (null: the stage refuses with 0, except for
// stages on NoBlock, which never read it). Results as for ConversionKernel.
template <typename Block>
using Stage = int (*)(const StageRun& run, Block* block);

// The ConversionKernel shape of a stage, for ImageBuffer::Transfer; param1 is the block.
template <typename Block, Stage<Block> stage>
int StageKernel(uint8_t* dstBits, const uint8_t* srcBits, const Rect& src, int32_t dstX,
                int32_t dstY, uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel,
                int32_t dstStride, int32_t srcStride, void* param1, void* /*param2*/) {
    const StageRun run{dstBits, dstStride, dstBytesPerPixel,
                       srcBits, srcStride, srcBytesPerPixel,
                       src,     dstX,      dstY};
    return stage(run, static_cast<Block*>(param1));
}

template <auto stage>
struct AsKernelOf;
template <typename Block, Stage<Block> stage>
struct AsKernelOf<stage> {
    static constexpr ConversionKernel kKernel = &StageKernel<Block, stage>;
};

// AsKernel<AdjustGamma> is AdjustGamma in the ConversionKernel shape.
template <auto stage>
inline constexpr ConversionKernel AsKernel = AsKernelOf<stage>::kKernel;

// Scales src (within a source of srcSize) into dst (within a destination of dstSize).
using ScalingKernel = int (*)(uint8_t* dstBits, const uint8_t* srcBits, const Rect& dst,
                              const Rect& src, Size dstSize, Size srcSize,
                              uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel,
                              int32_t dstStride, int32_t srcStride, void* param1, void* param2);

}  // namespace tavlin::imaging
