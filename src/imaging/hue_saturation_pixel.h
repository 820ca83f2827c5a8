// Hue rotation and saturation of one 8-bit B, G, R pixel in fixed-point hexcone arithmetic.
// The result is packed as 0x00RRGGBB.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>

#include "kernel_paths.h"

namespace tavlin::imaging {

// 0xFF0000 / d: the hue ramp of a pixel in 1/65536 units per unit of its numerator.
inline constexpr std::array<int32_t, 256> kHueReciprocal = [] {
    std::array<int32_t, 256> table{};
    for (int32_t d = 1; d < 256; ++d) table[d] = 0xFF0000 / d;
    return table;
}();

// Per hexcone sector (three turns, so a shifted sector needs no wrap): the channels held at full
// chroma and where the ramp goes (-1 from blue, +256 to green, -65536 from red, ...).
struct HueSector {
    int32_t mask;
    int32_t factor;
};
inline constexpr std::array<HueSector, 18> kHueSectors = [] {
    constexpr HueSector turn[6] = {{0xFF00FF, -1}, {0xFF0000, 256},  {0xFFFF00, -65536},
                                   {0x00FF00, 1},  {0x00FFFF, -256}, {0x0000FF, 65536}};
    std::array<HueSector, 18> table{};
    for (size_t i = 0; i < table.size(); ++i) table[i] = turn[i % 6];
    return table;
}();

// A sector's three channels for the SIMD rows, as the byte shuffle picks (blue in the low byte)
// from a lane holding width, ramp and width - ramp in bytes 0, 1 and 2; 0x80 picks zero. A channel
// at full chroma takes the width, less the ramp where the ramp goes down from it.
inline constexpr std::array<uint32_t, 6> kHueSectorPicks = [] {
    std::array<uint32_t, 6> picks{};
    for (size_t i = 0; i < picks.size(); ++i) {
        const HueSector& entry = kHueSectors[i];
        const int32_t magnitude = entry.factor < 0 ? -entry.factor : entry.factor;
        for (uint32_t c = 0; c < 3; ++c) {
            const bool full = ((entry.mask >> (8 * c)) & 0xFF) != 0;
            const bool ramp = magnitude == (1 << (8 * c));
            const uint32_t pick = full ? (ramp ? 2 : 0) : (ramp ? 1 : 0x80);
            picks[i] |= pick << (8 * c);
        }
        picks[i] |= 0x80u << 24;
    }
    return picks;
}();

inline uint32_t HueSaturationPixel(int32_t blue, int32_t green, int32_t red, HueShift shift,
                                   const int32_t* chroma) {
    const int32_t high = std::max({red, green, blue});
    const int32_t low = std::min({red, green, blue});
    const int32_t d = high - low;
    int32_t sector = red >= green ? 1 : 3;
    int32_t numerator = red >= green ? green - blue : blue - red;
    if (blue > std::max(red, green)) {
        sector = 5;
        numerator = red - green;
    }
    if (numerator < 0) {
        sector -= 1;
        numerator += d;
    }
    const int32_t lightness = high + low;
    const int32_t newChroma = std::min({chroma[d], lightness, 511 - lightness});
    const int32_t newLow = (lightness - newChroma) >> 1;
    const int32_t width = ((newChroma + lightness) >> 1) - newLow;
    int32_t result = newLow * 0x010101;
    if (d != 0) {
        int32_t v = ((numerator * kHueReciprocal[d] + 0x8000) >> 16) + shift.fineStep;
        int32_t index = sector + shift.sectorStep;
        if (v >= 255) {
            index += 1;
            v -= 255;
        }
        const HueSector& entry = kHueSectors[index];
        result += ((width * 0x010101) & entry.mask) + ((width * v + 128) >> 8) * entry.factor;
    }
    return static_cast<uint32_t>(result);
}

}  // namespace tavlin::imaging
