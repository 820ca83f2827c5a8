// Per-frame tables and factors of the picture adjustments, built before the pixel loops.
// Settings outside their ranges are limited to them first (brightness and saturation -255..255,
// contrast -127..127, hue -360..360, gamma 0..200), so no table can overflow.
#pragma once

#include <cstdint>
#include <optional>

#include "kernel_paths.h"

namespace tavlin::imaging {

// Entries of a table over 2^bits sample values: one per value, one for samples above the range
// (they map to the maximum), and one more that SIMD gathers may read.
inline uint32_t WideTableEntries(int32_t significantBits) {
    return (1u << significantBits) + 2;
}

double GammaExponent(int32_t gamma);
// limitExponent keeps the exponent within 0.001..99.999 (the 24/32-bit colour variant).
void BuildGammaTable8(int32_t gamma, bool limitExponent, uint8_t* table256);
void BuildGammaTable16(int32_t gamma, int32_t significantBits, uint16_t* table);

void BuildContrastTable8(int32_t contrast, uint8_t* table256);
void BuildContrastTable16(int32_t contrast, int32_t significantBits, uint16_t* table);

// The line a contrast table of 2^bits entries (8 for the byte table) follows, if it follows one
// exactly: checked against every entry, since the table is computed in double precision.
std::optional<LinearTable> FitContrastLine(int32_t contrast, int32_t significantBits,
                                           const uint8_t* table256);
std::optional<LinearTable> FitContrastLine(int32_t contrast, int32_t significantBits,
                                           const uint16_t* table);
uint32_t LinearTableEntry(const LinearTable& line, uint32_t index);

// Single-precision factor each sample is multiplied by.
float BrightnessFactor(int32_t brightness);
// trunc(v * factor) limited to 0..255 for every 8-bit value v.
void BuildBrightnessTable8(float factor, uint8_t* table256);

HueShift MakeHueShift(int32_t hue);
// Saturation as the factor (in 1/256) that scales a pixel's chroma.
int32_t ChromaScale(int32_t saturation);
// The chroma of a pixel of chroma d after the saturation change, for d = 0..255.
void BuildChromaTable(int32_t saturation, int32_t* table256);

}  // namespace tavlin::imaging
