// Plain reference implementations of the image stages, written straight from their description
// (pixel by pixel, no tables where the description has none, no shortcuts). The kernels under
// test must equal them bit for bit.
#pragma once

#include <cstdint>

#include "test_image.h"

namespace tavlin::imaging::ref {

using test::TestImage;

// Colour of raw sample (x, y) under a phase: 'R', 'G' or 'B'.
char MosaicColor(int32_t phase, int32_t x, int32_t y);

// Raw (1 or 2 bytes per pixel) into `out` (3, 4, 6 or 8 bytes per pixel, same size).
void Demosaic(const TestImage& raw, int32_t phase, int32_t gainR, int32_t gainB, TestImage& out);

struct Gains {
    int32_t blue;
    int32_t green;
    int32_t red;
};
// Measured white-balance gains, assuming every class has a non-zero mean.
Gains WhiteBalance(const TestImage& raw, int32_t phase);

// Gray gains [G1, R, B, G2]; false when a position has no usable sample.
bool GrayGains(const TestImage& image, int32_t phase, int32_t maximum, int32_t gains[4]);
// gains and offsets in the order G1, R, B, G2 (cell positions (0,0), (0,1), (1,0), (1,1)).
void GrayGainOffset(TestImage& image, int32_t phase, const int32_t gains[4],
                    const int32_t offsets[4], int32_t maximum);

void HueSaturation(TestImage& image, int32_t hue, int32_t saturation, int32_t bits);
void Gamma(TestImage& image, int32_t gamma, int32_t bits);
void Contrast(TestImage& image, int32_t contrast, int32_t bits);
void Sharpness(const TestImage& copy, TestImage& image, int32_t sharpness, int32_t bits);
void Brightness(TestImage& image, int32_t brightness, int32_t bits);

}  // namespace tavlin::imaging::ref
