#include "vcam/colour_chart.h"

#include <cstddef>

#include "sensor/sensor_geometry.h"

namespace tavlin::vcam {

namespace {

constexpr int kImageWidth = sensor::kSensorWidth;

// Saturated patches mix one high and one low level, so each channel averages the same over the
// six colours and the board stays gray to a gray-world white balance.
constexpr uint8_t kHigh = 175;
constexpr uint8_t kLow = 35;

// Two rows of six patches, clear of the five windows automatic exposure measures (10-20 %,
// 45-55 % and 80-90 % of each side), which all see the board.
constexpr int kPatchLeft = 28;
constexpr int kPatchPitch = 208;
constexpr int kPatchWidth = 184;
constexpr int kPatchHeight = 236;
constexpr int kColourRowTop = 214;
constexpr int kNeutralRowTop = 573;

constexpr int kGradientTop = 931;
constexpr int kGradientHeight = 83;

// 16 pixels a frame: a dropped frame shows as a jump twice as long.
constexpr int kMarkerStep = 16;
constexpr ChartColour kMarker = {185, 185, 185};

std::array<ChartPatch, kChartPatches> MakePatches() {
    using K = ChartPatch::Kind;
    constexpr ChartColour kColours[6] = {{kHigh, kLow, kLow},  {kLow, kHigh, kLow},
                                         {kLow, kLow, kHigh},  {kLow, kHigh, kHigh},
                                         {kHigh, kLow, kHigh}, {kHigh, kHigh, kLow}};
    // No step close to the board, so each stands out from it.
    constexpr uint8_t kSteps[6] = {185, 160, 95, 70, 45, 20};
    std::array<ChartPatch, kChartPatches> patches{};
    for (int i = 0; i < 6; ++i) {
        const int left = kPatchLeft + i * kPatchPitch;
        patches[i] = {left, kColourRowTop, kPatchWidth, kPatchHeight, kColours[i], K::Colour};
        const uint8_t s = kSteps[i];
        patches[6 + i] = {left, kNeutralRowTop, kPatchWidth, kPatchHeight, {s, s, s}, K::Neutral};
    }
    return patches;
}

// A full turn of hue across the width in six linear sectors (red, yellow, green, cyan, blue,
// magenta, back to red); each channel is high, low or on a slope between the two.
ChartColour GradientAt(int x) {
    const int position = x * 6 * 256 / kImageWidth;
    const int t = position % 256;
    const auto rising = static_cast<uint8_t>(kLow + (kHigh - kLow) * t / 255);
    const auto falling = static_cast<uint8_t>(kHigh - (kHigh - kLow) * t / 255);
    switch (position / 256) {
        case 0:
            return {kHigh, rising, kLow};
        case 1:
            return {falling, kHigh, kLow};
        case 2:
            return {kLow, kHigh, rising};
        case 3:
            return {kLow, falling, kHigh};
        case 4:
            return {rising, kLow, kHigh};
        default:
            return {kHigh, kLow, falling};
    }
}

}  // namespace

const std::array<ChartPatch, kChartPatches>& ChartPatches() {
    static const std::array<ChartPatch, kChartPatches> patches = MakePatches();
    return patches;
}

int ChartMarkerLeft(uint64_t frameNumber) {
    const uint64_t travel = kImageWidth + kChartMarkerSize;
    return static_cast<int>(frameNumber * kMarkerStep % travel) - kChartMarkerSize;
}

ChartColour ChartColourAt(int x, int y, uint64_t frameNumber) {
    if (x < 0 || x >= kImageWidth) return kChartBoard;
    if (y >= kChartMarkerTop && y < kChartMarkerTop + kChartMarkerSize) {
        const int left = ChartMarkerLeft(frameNumber);
        return x >= left && x < left + kChartMarkerSize ? kMarker : kChartBoard;
    }
    if (y >= kGradientTop && y < kGradientTop + kGradientHeight) return GradientAt(x);
    const int row = y >= kColourRowTop && y < kColourRowTop + kPatchHeight     ? 0
                    : y >= kNeutralRowTop && y < kNeutralRowTop + kPatchHeight ? 1
                                                                               : -1;
    const int column = (x - kPatchLeft) / kPatchPitch;
    if (row < 0 || x < kPatchLeft || column >= 6 || (x - kPatchLeft) % kPatchPitch >= kPatchWidth) {
        return kChartBoard;
    }
    return ChartPatches()[std::size_t(row * 6 + column)].colour;
}

}  // namespace tavlin::vcam
