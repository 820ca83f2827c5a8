#include "white_balance.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>

#include "bayer_phase.h"

namespace tavlin::imaging {
namespace {

constexpr double kMaxGain = 400.0;

using ClassSums = WhiteBalanceSums;

template <typename Sample>
ClassSums SumByColor(const uint8_t* origin, int32_t stride, int32_t width, int32_t firstRow,
                     int32_t endRow, int32_t phase) {
    ClassSums sums;
    for (int32_t y = firstRow; y < endRow; ++y) {
        const auto* row =
            reinterpret_cast<const Sample*>(origin + static_cast<ptrdiff_t>(y) * stride);
        uint64_t even = 0;
        uint64_t odd = 0;
        int32_t x = 0;
        for (; x + 1 < width; x += 2) {
            even += row[x];
            odd += row[x + 1];
        }
        if (x < width) even += row[x];
        const auto evenColor = static_cast<size_t>(ColorAt(phase, 0, y));
        const auto oddColor = static_cast<size_t>(ColorAt(phase, 1, y));
        sums.sum[evenColor] += even;
        sums.count[evenColor] += static_cast<uint64_t>(width + 1) / 2;
        sums.sum[oddColor] += odd;
        sums.count[oddColor] += static_cast<uint64_t>(width) / 2;
    }
    return sums;
}

double Mean(const ClassSums& sums, BayerColor color) {
    const auto i = static_cast<size_t>(color);
    return sums.count[i] == 0 ? 0.0 : static_cast<double>(sums.sum[i]) / sums.count[i];
}

// An undefined gain (no light in either colour) keeps the slot; an infinite one is the limit.
void StoreGain(double measured, int32_t& slot) {
    if (std::isnan(measured)) return;
    slot = static_cast<int32_t>(std::fmin(std::fmax(measured, 0.0), kMaxGain));
}

}  // namespace

void WhiteBalanceSums::Add(const WhiteBalanceSums& other) {
    for (size_t i = 0; i < sum.size(); ++i) {
        sum[i] += other.sum[i];
        count[i] += other.count[i];
    }
    valid = valid && other.valid;
}

WhiteBalanceSums SumWhiteBalanceRows(const StageRun& run, const WhiteBalanceBlock& block,
                                     int32_t firstRow, int32_t endRow) {
    WhiteBalanceSums sums;
    const int32_t height = run.src.Height();
    if (run.srcBits == nullptr || run.src.Width() <= 0 || height <= 0 ||
        (run.srcBytesPerPixel != 1 && run.srcBytesPerPixel != 2)) {
        sums.valid = false;
        return sums;
    }
    firstRow = std::max(firstRow, 0);
    endRow = std::min(endRow, height);
    const uint8_t* origin = run.SrcOrigin();
    const int32_t phase = PhaseAt(block.phase, run.src.left, run.src.top);
    if (run.srcBytesPerPixel == 1) {
        return SumByColor<uint8_t>(origin, run.srcStride, run.src.Width(), firstRow, endRow, phase);
    }
    return SumByColor<uint16_t>(origin, run.srcStride, run.src.Width(), firstRow, endRow, phase);
}

int ConcludeWhiteBalanceSums(const WhiteBalanceSums& sums, WhiteBalanceBlock* block) {
    if (block == nullptr || !sums.valid) return 0;
    const double green = Mean(sums, BayerColor::Green);
    const double blue = Mean(sums, BayerColor::Blue);
    const double red = Mean(sums, BayerColor::Red);
    const double total = green + blue + red;
    if (total == 0.0) return 1;  // a black frame says nothing about the colour of the light
    const double k = total / green / 3;
    StoreGain(total / blue / 3 * 100 / k, block->blue);
    StoreGain(total / red / 3 * 100 / k, block->red);
    block->green = 100;
    return 1;
}

int MeasureWhiteBalance(const StageRun& run, WhiteBalanceBlock* block) {
    if (block == nullptr) return 0;
    return ConcludeWhiteBalanceSums(SumWhiteBalanceRows(run, *block, 0, run.src.Height()), block);
}

WhiteBalanceOutcome ConcludeWhiteBalance(const WhiteBalanceBlock& measured,
                                         const FilterValues& values) {
    WhiteBalanceOutcome outcome;
    outcome.gainR = measured.red;
    outcome.gainG = measured.green;
    outcome.gainB = measured.blue;
    outcome.oneShotDone =
        values.bayerGainAuto != 0 && values.onceMarkA != 0 && values.onceMarkB != 0;
    return outcome;
}

}  // namespace tavlin::imaging
