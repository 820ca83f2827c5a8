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

}  // namespace

bool GrayGainsActive(const GrayBlock& block) {
    return block.gainR != kUnityGain || block.gainG1 != kUnityGain || block.gainG2 != kUnityGain ||
           block.gainB != kUnityGain;
}

int MeasureGrayGains(const StageRun& run, GrayBlock* block) {
    if (block == nullptr || run.srcBits == nullptr || run.src.Width() <= 0 || run.src.Height() <= 0)
        return 0;
    if (run.srcBytesPerPixel != 1 && run.srcBytesPerPixel != 2) return 0;
    const uint8_t* origin = run.SrcOrigin();
    const int32_t phase = PhaseAt(block->phase, run.src.left, run.src.top);
    const int32_t maximum = SampleMaximum(run.srcBytesPerPixel, block->significantBits);
    const CellSums sums = run.srcBytesPerPixel == 1
                              ? SumByCell<uint8_t>(origin, run.srcStride, run.src.Width(),
                                                   run.src.Height(), phase, maximum)
                              : SumByCell<uint16_t>(origin, run.srcStride, run.src.Width(),
                                                    run.src.Height(), phase, maximum);
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

int ApplyGrayGainOffset(const StageRun& run, const GrayBlock* block) {
    if (block == nullptr || run.dstBits == nullptr || run.srcBits == nullptr) return 0;
    if (run.srcBytesPerPixel != run.dstBytesPerPixel ||
        (run.srcBytesPerPixel != 1 && run.srcBytesPerPixel != 2)) {
        return 0;
    }
    if (!GrayGainsActive(*block)) return 1;
    const uint8_t* srcOrigin = run.SrcOrigin();
    uint8_t* dstOrigin = run.DstOrigin();
    const int32_t phase = PhaseAt(block->phase, run.src.left, run.src.top);
    const int32_t maximum = SampleMaximum(run.srcBytesPerPixel, block->significantBits);
    const CellTable cells = CellsOf(*block);
    if (run.srcBytesPerPixel == 1) {
        GainOffsetRows<uint8_t>(dstOrigin, run.dstStride, srcOrigin, run.srcStride, run.src.Width(),
                                run.src.Height(), phase, cells, maximum);
    } else {
        GainOffsetRows<uint16_t>(dstOrigin, run.dstStride, srcOrigin, run.srcStride,
                                 run.src.Width(), run.src.Height(), phase, cells, maximum);
    }
    return 1;
}

int LuminanceFromColor(const StageRun& run, NoBlock* /*unused*/) {
    if (run.dstBits == nullptr || run.srcBits == nullptr) return 0;
    const uint8_t* srcOrigin = run.SrcOrigin();
    uint8_t* dstOrigin = run.DstOrigin();
    if (run.dstBytesPerPixel == 1 && (run.srcBytesPerPixel == 3 || run.srcBytesPerPixel == 4)) {
        LuminanceRows<uint8_t>(dstOrigin, run.dstStride, srcOrigin, run.srcStride, run.src.Width(),
                               run.src.Height(), run.srcBytesPerPixel);
        return 1;
    }
    if (run.dstBytesPerPixel == 2 && (run.srcBytesPerPixel == 6 || run.srcBytesPerPixel == 8)) {
        LuminanceRows<uint16_t>(dstOrigin, run.dstStride, srcOrigin, run.srcStride, run.src.Width(),
                                run.src.Height(), run.srcBytesPerPixel / 2);
        return 1;
    }
    return 0;
}

}  // namespace tavlin::imaging
