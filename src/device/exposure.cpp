#include "device/exposure.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace tavlin::device {

namespace {

constexpr int32_t kLineOverhead = 244;

}  // namespace

double ClockMilliseconds(int32_t clockSetting) {
    switch (clockSetting) {
        case 1:
            return static_cast<double>(1.0f / 12000.0f);
        case 2:
            return static_cast<double>(1.0f / 48000.0f);
        case 3:
            return static_cast<double>(1.0f / 40000.0f);
        case 4:
            return static_cast<double>(1.0f / 20000.0f);
        case 5:
            return static_cast<double>(1.0f / 10000.0f);
        default:
            return static_cast<double>(1.0f / 24000.0f);
    }
}

int32_t LineLength(int32_t width, int32_t subSampleMode) {
    int32_t k = 1;
    if (subSampleMode == 1 || subSampleMode == 17) k = 2;
    if (subSampleMode == 2 || subSampleMode == 18) k = 4;
    // Widened first: a stored window may hold any width, and only the low 16 bits count.
    return static_cast<int32_t>((int64_t{width} / k + kLineOverhead) & 0xFFFF);
}

int32_t ReadoutLineClocks(int32_t width, int32_t divisor) {
    const int64_t clocks = int64_t{width} / divisor + kLineOverhead;
    return static_cast<int32_t>(std::clamp<int64_t>(clocks, 0, INT32_MAX));
}

int64_t ExposureMicroseconds(int32_t shutter, int32_t lineLength, double clockMs) {
    const double us = double(shutter) * double(lineLength) * clockMs * 1000.0;
    return static_cast<int64_t>(std::trunc(us));
}

int64_t ShutterForMicroseconds(int64_t microseconds, int32_t lineLength, double clockMs) {
    const double lines = double(microseconds) / 1000.0 / (double(lineLength) * clockMs);
    if (!std::isfinite(lines) || std::fabs(lines) > 1e15) return 0;
    return static_cast<int64_t>(std::trunc(lines));
}

int64_t FrameLines(int32_t windowRows, int32_t shutter) {
    return std::max<int64_t>(int64_t(windowRows) + kVerticalBlankLines, shutter);
}

int64_t FramePeriodNanoseconds(int64_t frameLines, int32_t lineLength, double clockMs) {
    // Stored windows off the sensor give absurd figures; keep them representable.
    constexpr double kLongest = 1e18;
    const double ns = double(frameLines) * double(lineLength) * clockMs * 1e6;
    return std::llround(std::clamp(ns, 0.0, kLongest));
}

}  // namespace tavlin::device
