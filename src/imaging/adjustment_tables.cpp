#include "adjustment_tables.h"

#include <algorithm>
#include <cmath>

namespace tavlin::imaging {
namespace {

// The last two entries of a wide table: samples above the range, and gather padding.
void FinishWideTable(uint16_t* table, uint32_t size) {
    table[size] = static_cast<uint16_t>(size - 1);
    table[size + 1] = static_cast<uint16_t>(size - 1);
}

// Every contrast table is trunc(128 / d * w) with d = 128 - c and w = i - offset (the slope
// n / (n - 2 * offset) reduces to that for every n). A multiplier of 2^shift * 128 / d rounded up
// gives floor(128 * w / d) exactly while w * error < 1 / d, which the 31 - bits shift keeps for
// 10-bit samples. Where 128 * w / d is a whole number the double-precision table may come out one
// below it, so the multiplier rounded down (which is one below at all of them) is tried too, and
// each fit is checked against every entry.
LinearTable ContrastLine(int32_t contrast, int32_t significantBits, int32_t rounding) {
    const int32_t c = std::clamp(contrast, -127, 127);
    const int32_t d = 128 - c;
    const uint32_t size = 1u << significantBits;
    LinearTable line;
    line.offset = c * (1 << (significantBits - 8));
    line.shift = 31 - significantBits;
    const uint64_t scaled = uint64_t{128} << line.shift;
    line.multiplier =
        static_cast<uint32_t>(rounding > 0 ? (scaled + d - 1) / d : scaled / d + rounding);
    line.span = static_cast<int32_t>((uint64_t{size} * d + 127) / 128);  // first w at the top
    line.top = size - 1;
    return line;
}

template <typename Entry>
std::optional<LinearTable> CheckedContrastLine(int32_t contrast, int32_t significantBits,
                                               const Entry* table) {
    if (significantBits < 8 || significantBits > 16) return std::nullopt;
    for (int32_t rounding : {1, 0, -1}) {
        const LinearTable line = ContrastLine(contrast, significantBits, rounding);
        bool fits = true;
        for (uint32_t i = 0; fits && i <= line.top; ++i) {
            fits = LinearTableEntry(line, i) == table[i];
        }
        if (fits) return line;
    }
    return std::nullopt;
}

}  // namespace

uint32_t LinearTableEntry(const LinearTable& line, uint32_t index) {
    const int64_t w = std::clamp<int64_t>(int64_t{index} - line.offset, 0, line.span);
    const auto product = static_cast<uint32_t>(static_cast<uint64_t>(w) * line.multiplier);
    return std::min(product >> line.shift, line.top);
}

std::optional<LinearTable> FitContrastLine(int32_t contrast, int32_t significantBits,
                                           const uint8_t* table256) {
    return CheckedContrastLine(contrast, significantBits, table256);
}

std::optional<LinearTable> FitContrastLine(int32_t contrast, int32_t significantBits,
                                           const uint16_t* table) {
    return CheckedContrastLine(contrast, significantBits, table);
}

double GammaExponent(int32_t gamma) {
    const int32_t g = std::clamp(gamma, 0, 200);
    return g > 100 ? (g - 100) / 10.0 + 1 : g / 100.0;
}

void BuildGammaTable8(int32_t gamma, bool limitExponent, uint8_t* table256) {
    double exponent = GammaExponent(gamma);
    if (limitExponent) exponent = std::clamp(exponent, 0.001, 99.999);
    for (int32_t i = 0; i < 256; ++i) {
        table256[i] = static_cast<uint8_t>(std::pow(i / 255.0, exponent) * 255);
    }
}

void BuildGammaTable16(int32_t gamma, int32_t significantBits, uint16_t* table) {
    const double exponent = GammaExponent(gamma);
    const uint32_t size = 1u << significantBits;
    for (uint32_t i = 0; i < size; ++i) {
        table[i] =
            static_cast<uint16_t>(std::pow(i / static_cast<double>(size), exponent) * (size - 1));
    }
    FinishWideTable(table, size);
}

void BuildContrastTable8(int32_t contrast, uint8_t* table256) {
    const int32_t c = std::clamp(contrast, -127, 127);
    const double slope = 256.0 / (256 - 2 * c);
    for (int32_t i = 0; i < 256; ++i) {
        if (i < c) {
            table256[i] = 0;
        } else if (i > 255 - c) {
            table256[i] = 255;
        } else {
            table256[i] = static_cast<uint8_t>(std::min(slope * (i - c), 255.0));
        }
    }
}

void BuildContrastTable16(int32_t contrast, int32_t significantBits, uint16_t* table) {
    const int32_t c = std::clamp(contrast, -127, 127);
    const int32_t size = 1 << significantBits;
    const int32_t offset = c * (1 << (significantBits - 8));
    const double slope = static_cast<double>(size) / (size - 2 * offset);
    for (int32_t i = 0; i < size; ++i) {
        if (i < offset) {
            table[i] = 0;
        } else if (i > size - offset - 1) {
            table[i] = static_cast<uint16_t>(size - 1);
        } else {
            table[i] = static_cast<uint16_t>(std::min(slope * (i - offset), size - 1.0));
        }
    }
    FinishWideTable(table, static_cast<uint32_t>(size));
}

float BrightnessFactor(int32_t brightness) {
    const int32_t b = std::clamp(brightness, -255, 255);
    double factor = 1.0;
    if (b < 0) factor = 1 - std::abs(b) * 0.00392156862745098;
    if (b > 0) factor = b * 0.0392156862745098 + 1;
    return static_cast<float>(factor);
}

void BuildBrightnessTable8(float factor, uint8_t* table256) {
    for (int32_t i = 0; i < 256; ++i) {
        const auto scaled = static_cast<int32_t>(static_cast<float>(i) * factor);
        table256[i] = static_cast<uint8_t>(std::clamp(scaled, 0, 255));
    }
}

HueShift MakeHueShift(int32_t hue) {
    const int32_t h16 = (std::clamp(hue, -360, 360) * 65536 / 360) & 0xFFFF;
    const int32_t x = (h16 * 6) >> 8;  // 0..1535, 1/256 sextant
    int32_t fine = x % 512;
    if (fine >= 256) fine -= 512;
    const int32_t coarse = ((x + 256) / 512) % 3;
    int32_t a = fine + 510 * coarse;
    if (a < 0) a += 1530;
    if (a > 1529) a -= 1530;
    return {a / 255, a % 255};
}

int32_t ChromaScale(int32_t saturation) {
    return std::clamp(saturation, -255, 255) + 256;
}

void BuildChromaTable(int32_t saturation, int32_t* table256) {
    const int32_t scale = ChromaScale(saturation);
    for (int32_t d = 0; d < 256; ++d) table256[d] = (scale * 256 * d + 0x8000) >> 16;
}

}  // namespace tavlin::imaging
