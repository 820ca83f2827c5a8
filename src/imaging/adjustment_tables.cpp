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

}  // namespace

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
