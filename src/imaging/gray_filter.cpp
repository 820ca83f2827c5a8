#include "gray_filter.h"

#include <algorithm>
#include <array>
#include <cstddef>

#include "bayer_phase.h"

namespace tavlin::imaging {
namespace {

constexpr int32_t kUnityGain = 128;

int32_t SampleMaximum(uint16_t bytesPerPixel, int32_t significantBits) {
    return bytesPerPixel == 1 ? 255 : (1 << ClampSignificantBits(significantBits)) - 1;
}

// Gains and offsets by cell position [row][column].
struct CellTable {
    int64_t gain[2][2];
    int64_t offset[2][2];
};

CellTable CellsOf(const GrayBlock& b) {
    return {{{b.gainG1, b.gainR}, {b.gainB, b.gainG2}},
            {{b.offsetG1, b.offsetR}, {b.offsetB, b.offsetG2}}};
}

template <typename Sample>
const Sample* SourceRow(const uint8_t* origin, int32_t stride, int32_t y) {
    return reinterpret_cast<const Sample*>(origin + static_cast<ptrdiff_t>(y) * stride);
}

struct CellSums {
    uint64_t sum[2][2] = {};
    uint64_t count[2][2] = {};
};

// Saturated and black samples say nothing about a position's sensitivity.
template <typename Sample>
CellSums SumByCell(const uint8_t* origin, int32_t stride, int32_t width, int32_t height,
                   int32_t phase, int32_t maximum) {
    CellSums sums;
    for (int32_t y = 0; y < height; ++y) {
        const Sample* row = SourceRow<Sample>(origin, stride, y);
        uint64_t sum[2] = {};
        uint64_t count[2] = {};
        for (int32_t x = 0; x < width; ++x) {
            const int32_t v = row[x];
            const bool counts = v != 0 && v < maximum;
            sum[x & 1] += counts ? v : 0;
            count[x & 1] += counts ? 1 : 0;
        }
        const int32_t r = CellRow(phase, y);
        for (int32_t parity = 0; parity < 2; ++parity) {
            const int32_t c = CellColumn(phase, parity);
            sums.sum[r][c] += sum[parity];
            sums.count[r][c] += count[parity];
        }
    }
    return sums;
}

template <typename Sample>
void GainOffsetRows(uint8_t* dstOrigin, int32_t dstStride, const uint8_t* srcOrigin,
                    int32_t srcStride, int32_t width, int32_t height, int32_t phase,
                    const CellTable& cells, int32_t maximum) {
    for (int32_t y = 0; y < height; ++y) {
        const Sample* in = SourceRow<Sample>(srcOrigin, srcStride, y);
        auto* out = reinterpret_cast<Sample*>(dstOrigin + static_cast<ptrdiff_t>(y) * dstStride);
        const int32_t r = CellRow(phase, y);
        const int32_t c0 = CellColumn(phase, 0);
        const int64_t gain[2] = {cells.gain[r][c0], cells.gain[r][c0 ^ 1]};
        const int64_t offset[2] = {cells.offset[r][c0], cells.offset[r][c0 ^ 1]};
        for (int32_t x = 0; x < width; ++x) {
            const int64_t v = offset[x & 1] + gain[x & 1] * in[x] / kUnityGain;
            out[x] = static_cast<Sample>(std::clamp<int64_t>(v, 0, maximum));
        }
    }
}

template <typename Sample>
void LuminanceRows(uint8_t* dstOrigin, int32_t dstStride, const uint8_t* srcOrigin,
                   int32_t srcStride, int32_t width, int32_t height, int32_t srcStep) {
    for (int32_t y = 0; y < height; ++y) {
        const Sample* in = SourceRow<Sample>(srcOrigin, srcStride, y);
        auto* out = reinterpret_cast<Sample*>(dstOrigin + static_cast<ptrdiff_t>(y) * dstStride);
        for (int32_t x = 0; x < width; ++x) {
            const Sample* pixel = in + static_cast<ptrdiff_t>(x) * srcStep;
            const int32_t blue = pixel[0];
            const int32_t green = pixel[1];
            const int32_t red = pixel[2];
            out[x] = static_cast<Sample>((red * 30 + green * 59 + blue * 11) / 100);
        }
    }
}

template <typename Byte>
Byte* Origin(Byte* bits, int32_t stride, int32_t x, int32_t y, uint16_t bytesPerPixel) {
    return bits + static_cast<ptrdiff_t>(y) * stride + static_cast<ptrdiff_t>(x) * bytesPerPixel;
}

}  // namespace

bool GrayGainsActive(const GrayBlock& block) {
    return block.gainR != kUnityGain || block.gainG1 != kUnityGain || block.gainG2 != kUnityGain ||
           block.gainB != kUnityGain;
}

int MeasureGrayGains(uint8_t* dstBits, const uint8_t* srcBits, const Rect& src, int32_t dstX,
                     int32_t dstY, uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel,
                     int32_t dstStride, int32_t srcStride, void* param1, void* param2) {
    auto* block = static_cast<GrayBlock*>(param1);
    if (block == nullptr || srcBits == nullptr || src.Width() <= 0 || src.Height() <= 0) return 0;
    if (srcBytesPerPixel != 1 && srcBytesPerPixel != 2) return 0;
    const uint8_t* origin = Origin(srcBits, srcStride, src.left, src.top, srcBytesPerPixel);
    const int32_t phase = PhaseAt(block->phase, src.left, src.top);
    const int32_t maximum = SampleMaximum(srcBytesPerPixel, block->significantBits);
    const CellSums sums =
        srcBytesPerPixel == 1
            ? SumByCell<uint8_t>(origin, srcStride, src.Width(), src.Height(), phase, maximum)
            : SumByCell<uint16_t>(origin, srcStride, src.Width(), src.Height(), phase, maximum);
    double mean[2][2];
    double highest = 0.0;
    for (int r = 0; r < 2; ++r) {
        for (int c = 0; c < 2; ++c) {
            if (sums.count[r][c] == 0) return 1;
            mean[r][c] = static_cast<double>(sums.sum[r][c]) / sums.count[r][c];
            highest = std::max(highest, mean[r][c]);
        }
    }
    auto gain = [&](int r, int c) { return static_cast<int32_t>(highest / mean[r][c] * 128); };
    block->gainG1 = gain(0, 0);
    block->gainR = gain(0, 1);
    block->gainB = gain(1, 0);
    block->gainG2 = gain(1, 1);
    return 1;
}

int ApplyGrayGainOffset(uint8_t* dstBits, const uint8_t* srcBits, const Rect& src, int32_t dstX,
                        int32_t dstY, uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel,
                        int32_t dstStride, int32_t srcStride, void* param1, void* param2) {
    const auto* block = static_cast<const GrayBlock*>(param1);
    if (block == nullptr || dstBits == nullptr || srcBits == nullptr) return 0;
    if (srcBytesPerPixel != dstBytesPerPixel || (srcBytesPerPixel != 1 && srcBytesPerPixel != 2)) {
        return 0;
    }
    if (!GrayGainsActive(*block)) return 1;
    const uint8_t* srcOrigin = Origin(srcBits, srcStride, src.left, src.top, srcBytesPerPixel);
    uint8_t* dstOrigin = Origin(dstBits, dstStride, dstX, dstY, dstBytesPerPixel);
    const int32_t phase = PhaseAt(block->phase, src.left, src.top);
    const int32_t maximum = SampleMaximum(srcBytesPerPixel, block->significantBits);
    const CellTable cells = CellsOf(*block);
    if (srcBytesPerPixel == 1) {
        GainOffsetRows<uint8_t>(dstOrigin, dstStride, srcOrigin, srcStride, src.Width(),
                                src.Height(), phase, cells, maximum);
    } else {
        GainOffsetRows<uint16_t>(dstOrigin, dstStride, srcOrigin, srcStride, src.Width(),
                                 src.Height(), phase, cells, maximum);
    }
    return 1;
}

int LuminanceFromColor(uint8_t* dstBits, const uint8_t* srcBits, const Rect& src, int32_t dstX,
                       int32_t dstY, uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel,
                       int32_t dstStride, int32_t srcStride, void* param1, void* param2) {
    if (dstBits == nullptr || srcBits == nullptr) return 0;
    const uint8_t* srcOrigin = Origin(srcBits, srcStride, src.left, src.top, srcBytesPerPixel);
    uint8_t* dstOrigin = Origin(dstBits, dstStride, dstX, dstY, dstBytesPerPixel);
    if (dstBytesPerPixel == 1 && (srcBytesPerPixel == 3 || srcBytesPerPixel == 4)) {
        LuminanceRows<uint8_t>(dstOrigin, dstStride, srcOrigin, srcStride, src.Width(),
                               src.Height(), srcBytesPerPixel);
        return 1;
    }
    if (dstBytesPerPixel == 2 && (srcBytesPerPixel == 6 || srcBytesPerPixel == 8)) {
        LuminanceRows<uint16_t>(dstOrigin, dstStride, srcOrigin, srcStride, src.Width(),
                                src.Height(), srcBytesPerPixel / 2);
        return 1;
    }
    return 0;
}

}  // namespace tavlin::imaging
