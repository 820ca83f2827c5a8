#include "output/sample_rows.h"

#include <cstring>

namespace tavlin::output {

namespace {

inline uint16_t Word(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

inline uint8_t Reduce(const uint8_t* p, SampleScale scale) {
    return static_cast<uint8_t>((Word(p) >> scale.down) & 0xFF);
}

inline uint16_t Scale(const uint8_t* p, SampleScale scale) {
    return static_cast<uint16_t>(Word(p) << scale.up);
}

}  // namespace

bool SampleScale::FromSignificantBits(int significantBits, SampleScale* scale) {
    if (scale == nullptr || significantBits < 8 || significantBits > 16) return false;
    scale->down = significantBits - 8;
    scale->up = 16 - significantBits;
    return true;
}

void ReduceGrayRow(const uint8_t* src, uint8_t* dst, int32_t width, SampleScale scale) {
    for (int32_t x = 0; x < width; ++x) dst[x] = Reduce(src + 2 * x, scale);
}

void CopyBgrRow(const uint8_t* src, uint16_t srcBytesPerPixel, uint8_t* dst, int32_t width) {
    if (srcBytesPerPixel == 3) {
        std::memcpy(dst, src, static_cast<size_t>(width) * 3);
        return;
    }
    for (int32_t x = 0; x < width; ++x, src += srcBytesPerPixel, dst += 3) {
        dst[0] = src[0];
        dst[1] = src[1];
        dst[2] = src[2];
    }
}

void ReduceBgrRow(const uint8_t* src, uint16_t srcBytesPerPixel, uint8_t* dst, int32_t width,
                  SampleScale scale) {
    for (int32_t x = 0; x < width; ++x, src += srcBytesPerPixel, dst += 3) {
        dst[0] = Reduce(src, scale);
        dst[1] = Reduce(src + 2, scale);
        dst[2] = Reduce(src + 4, scale);
    }
}

void ExpandPaletteRow(const uint8_t* src, const platform::RGBQUAD* palette, uint8_t* dst,
                      int32_t width) {
    for (int32_t x = 0; x < width; ++x, dst += 3) {
        const platform::RGBQUAD& entry = palette[src[x]];
        dst[0] = entry.rgbBlue;
        dst[1] = entry.rgbGreen;
        dst[2] = entry.rgbRed;
    }
}

void ReduceGrayToBgrRow(const uint8_t* src, uint8_t* dst, int32_t width, SampleScale scale) {
    for (int32_t x = 0; x < width; ++x, dst += 3) {
        const uint8_t level = Reduce(src + 2 * x, scale);
        dst[0] = dst[1] = dst[2] = level;
    }
}

void ScaleWordsBigEndian(const uint8_t* src, uint8_t* dst, int32_t samples, SampleScale scale) {
    for (int32_t i = 0; i < samples; ++i, src += 2, dst += 2) {
        const uint16_t v = Scale(src, scale);
        dst[0] = static_cast<uint8_t>(v >> 8);
        dst[1] = static_cast<uint8_t>(v);
    }
}

void ScaleWordsLittleEndian(const uint8_t* src, uint8_t* dst, int32_t samples, SampleScale scale) {
    for (int32_t i = 0; i < samples; ++i, src += 2, dst += 2) {
        const uint16_t v = Scale(src, scale);
        dst[0] = static_cast<uint8_t>(v);
        dst[1] = static_cast<uint8_t>(v >> 8);
    }
}

}  // namespace tavlin::output
