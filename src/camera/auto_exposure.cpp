#include "camera/auto_exposure.h"

#include <algorithm>

#include "imaging/raw_kernels.h"

namespace tavlin::camera {

namespace {

struct WindowFractions {
    double left, top, right, bottom;
};

constexpr WindowFractions kWindows[5] = {
    {0.1, 0.1, 0.2, 0.2},      // A
    {0.1, 0.8, 0.2, 0.9},      // B
    {0.45, 0.45, 0.55, 0.55},  // C
    {0.8, 0.1, 0.9, 0.2},      // D
    {0.8, 0.8, 0.9, 0.9},      // E
};

constexpr int32_t kMaxShutter = 16383;
constexpr int32_t kMaxGain = 63;
constexpr int32_t kMinRaisedGain = 4;

// Window means above kBrightMean or kLightMean darken the next exposure, below kDarkMean brighten
// it: the first window sets the starting factor, each other window adds its step.
constexpr int32_t kBrightMean = 200;
constexpr int32_t kLightMean = 160;
constexpr int32_t kDarkMean = 100;
constexpr double kBrightStart = 0.85;
constexpr double kLightStart = 0.9;
constexpr double kDarkStart = 1.05;
constexpr double kBrightStep = -0.15;
constexpr double kLightStep = -0.1;
constexpr double kDarkStep = 0.05;
// Factors inside this band leave the exposure as it is.
constexpr double kSteadyLow = 0.6;
constexpr double kSteadyHigh = 1.2;

double StartFactor(int32_t mean) {
    if (mean > kBrightMean) return kBrightStart;
    if (mean > kLightMean) return kLightStart;
    if (mean < kDarkMean) return kDarkStart;
    return 1.0;
}

double Step(int32_t mean) {
    if (mean > kBrightMean) return kBrightStep;
    if (mean > kLightMean) return kLightStep;
    if (mean < kDarkMean) return kDarkStep;
    return 0.0;
}

}  // namespace

WindowMeans MeasureExposureWindows(output::ImageBuffer& raw) {
    WindowMeans means{};
    const double w = raw.Width();
    const double h = raw.Height();
    const imaging::ConversionKernel kernel =
        raw.BitCount() == 16 ? imaging::WindowMean16 : imaging::WindowMean8;
    for (size_t i = 0; i < means.size(); ++i) {
        const WindowFractions& f = kWindows[i];
        const imaging::Rect rect{static_cast<int32_t>(f.left * w), static_cast<int32_t>(f.top * h),
                                 static_cast<int32_t>(f.right * w),
                                 static_cast<int32_t>(f.bottom * h)};
        means[i] = raw.Transfer(kernel, &raw, &rect, rect.left, rect.top, nullptr, nullptr);
    }
    return means;
}

double ExposureFactor(const WindowMeans& means) {
    double d = StartFactor(means[0]);
    for (size_t i = 1; i < means.size(); ++i) d += Step(means[i]);
    return d;
}

bool NeedsCorrection(double factor) {
    return !(factor > kSteadyLow && factor < kSteadyHigh);
}

int32_t CorrectedGain(int32_t currentGain, double factor) {
    const int32_t g = std::max(currentGain & 0x7F, kMinRaisedGain);
    int32_t t = static_cast<int32_t>(g * factor);
    if (factor > 1.0 && t <= kMinRaisedGain) t = kMinRaisedGain;
    return std::min(t, kMaxGain);
}

int32_t CorrectedShutter(int32_t currentShutter, double factor) {
    int32_t t =
        static_cast<int32_t>(static_cast<int64_t>((currentShutter & 0xFFFF) * factor) & 0xFFFF);
    if (t == 0) t = 1;
    return std::min(t, kMaxShutter);
}

}  // namespace tavlin::camera
