#include "output/display_kernels.h"

#include <algorithm>
#include <cstring>

#include "output/sample_rows.h"

namespace tavlin::output {

namespace {

SampleScale ScaleFrom(void* param) {
    return param != nullptr ? *static_cast<const SampleScale*>(param) : SampleScale{};
}

// Runs a row converter over the rectangle, row for row.
template <class ConvertRow>
int EachRow(uint8_t* dstBits, const uint8_t* srcBits, const imaging::Rect& src, int32_t dstX,
            int32_t dstY, uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel, int32_t dstStride,
            int32_t srcStride, ConvertRow convert) {
    const int32_t width = src.Width();
    for (int32_t r = 0; r < src.Height(); ++r) {
        const uint8_t* in = srcBits + static_cast<size_t>(src.top + r) * srcStride +
                            static_cast<size_t>(src.left) * srcBytesPerPixel;
        uint8_t* out = dstBits + static_cast<size_t>(dstY + r) * dstStride +
                       static_cast<size_t>(dstX) * dstBytesPerPixel;
        convert(in, out, width);
    }
    return 1;
}

// Source index for destination index i at step `step`, kept inside 0..limit - 1.
inline int32_t Nearest(int32_t i, float step, int32_t limit) {
    const auto s = static_cast<int32_t>(static_cast<float>(i) * step);
    return std::clamp(s, 0, limit - 1);
}

template <int kBytes>
int ScaleFlip(uint8_t* dstBits, const uint8_t* srcBits, imaging::Size dstSize,
              imaging::Size srcSize, uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel,
              int32_t dstStride, int32_t srcStride) {
    if (dstBytesPerPixel != kBytes || srcBytesPerPixel != kBytes || dstSize.width <= 0 ||
        dstSize.height <= 0 || srcSize.width <= 0 || srcSize.height <= 0) {
        return 0;
    }
    const float fx = static_cast<float>(srcSize.width) / static_cast<float>(dstSize.width);
    const float fy = static_cast<float>(srcSize.height) / static_cast<float>(dstSize.height);
    for (int32_t i = 0; i < dstSize.height; ++i) {
        const int32_t sy = Nearest(i, fy, srcSize.height);
        const uint8_t* in = srcBits + static_cast<size_t>(srcSize.height - sy - 1) * srcStride;
        uint8_t* out = dstBits + static_cast<size_t>(i) * dstStride;
        for (int32_t j = 0; j < dstSize.width; ++j, out += kBytes) {
            std::memcpy(out, in + static_cast<size_t>(Nearest(j, fx, srcSize.width)) * kBytes,
                        kBytes);
        }
    }
    return 1;
}

}  // namespace

int ReduceGrayKernel(uint8_t* dstBits, const uint8_t* srcBits, const imaging::Rect& src,
                     int32_t dstX, int32_t dstY, uint16_t dstBytesPerPixel,
                     uint16_t srcBytesPerPixel, int32_t dstStride, int32_t srcStride, void* param1,
                     void*) {
    if (dstBytesPerPixel != 1 || srcBytesPerPixel != 2) return 0;
    const SampleScale scale = ScaleFrom(param1);
    return EachRow(dstBits, srcBits, src, dstX, dstY, dstBytesPerPixel, srcBytesPerPixel, dstStride,
                   srcStride, [scale](const uint8_t* in, uint8_t* out, int32_t width) {
                       ReduceGrayRow(in, out, width, scale);
                   });
}

int DropFourthByteKernel(uint8_t* dstBits, const uint8_t* srcBits, const imaging::Rect& src,
                         int32_t dstX, int32_t dstY, uint16_t dstBytesPerPixel,
                         uint16_t srcBytesPerPixel, int32_t dstStride, int32_t srcStride, void*,
                         void*) {
    if (dstBytesPerPixel != 3 || srcBytesPerPixel != 4) return 0;
    return EachRow(
        dstBits, srcBits, src, dstX, dstY, dstBytesPerPixel, srcBytesPerPixel, dstStride, srcStride,
        [](const uint8_t* in, uint8_t* out, int32_t width) { CopyBgrRow(in, 4, out, width); });
}

int ReduceColourKernel(uint8_t* dstBits, const uint8_t* srcBits, const imaging::Rect& src,
                       int32_t dstX, int32_t dstY, uint16_t dstBytesPerPixel,
                       uint16_t srcBytesPerPixel, int32_t dstStride, int32_t srcStride,
                       void* param1, void*) {
    if (dstBytesPerPixel != 3 || (srcBytesPerPixel != 6 && srcBytesPerPixel != 8)) return 0;
    const SampleScale scale = ScaleFrom(param1);
    return EachRow(dstBits, srcBits, src, dstX, dstY, dstBytesPerPixel, srcBytesPerPixel, dstStride,
                   srcStride,
                   [scale, srcBytesPerPixel](const uint8_t* in, uint8_t* out, int32_t width) {
                       ReduceBgrRow(in, srcBytesPerPixel, out, width, scale);
                   });
}

int ScaleFlip8Kernel(uint8_t* dstBits, const uint8_t* srcBits, const imaging::Rect&,
                     const imaging::Rect&, imaging::Size dstSize, imaging::Size srcSize,
                     uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel, int32_t dstStride,
                     int32_t srcStride, void*, void*) {
    return ScaleFlip<1>(dstBits, srcBits, dstSize, srcSize, dstBytesPerPixel, srcBytesPerPixel,
                        dstStride, srcStride);
}

int ScaleFlip24Kernel(uint8_t* dstBits, const uint8_t* srcBits, const imaging::Rect&,
                      const imaging::Rect&, imaging::Size dstSize, imaging::Size srcSize,
                      uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel, int32_t dstStride,
                      int32_t srcStride, void*, void*) {
    return ScaleFlip<3>(dstBits, srcBits, dstSize, srcSize, dstBytesPerPixel, srcBytesPerPixel,
                        dstStride, srcStride);
}

}  // namespace tavlin::output
