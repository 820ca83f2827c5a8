// Automatic exposure and gain: five brightness windows of the raw frame decide a correction
// factor; only a strong correction changes the sensor.
#pragma once

#include <array>
#include <cstdint>

#include "output/image_buffer.h"

namespace tavlin::camera {

using WindowMeans = std::array<int32_t, 5>;

// Means (0..255) of windows A..E of the raw buffer, measured through Transfer with the window as
// source rectangle and the destination at its own corner.
WindowMeans MeasureExposureWindows(output::ImageBuffer& raw);

// The correction factor in double precision, window A first, then B..E in order.
double ExposureFactor(const WindowMeans& means);

// True when the factor asks for a correction (d <= 0.6 or d >= 1.2).
bool NeedsCorrection(double factor);

// New global gain from the current one (7 bits) and the factor, 4..63 when raising.
int32_t CorrectedGain(int32_t currentGain, double factor);

// New shutter lines from the current ones and the factor, 1..16383.
int32_t CorrectedShutter(int32_t currentShutter, double factor);

}  // namespace tavlin::camera
