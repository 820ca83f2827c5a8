// Portable hue and saturation over the pixels of one row.
#include <algorithm>

#include "hue_saturation_pixel.h"
#include "plain_rows.h"

namespace tavlin::imaging::plain {

size_t HueSaturation8(uint8_t* dst, const uint8_t* src, size_t pixels, int32_t bytesPerPixel,
                      HueShift shift, int32_t chromaScale, const int32_t* chroma) {
    for (size_t i = 0; i < pixels; ++i) {
        const uint8_t* in = src + i * bytesPerPixel;
        uint8_t* out = dst + i * bytesPerPixel;
        const uint32_t packed = HueSaturationPixel(in[0], in[1], in[2], shift, chroma);
        out[0] = static_cast<uint8_t>(packed);
        out[1] = static_cast<uint8_t>(packed >> 8);
        out[2] = static_cast<uint8_t>(packed >> 16);
    }
    return pixels;
}

size_t HueSaturation16(uint16_t* dst, const uint16_t* src, size_t pixels, int32_t wordsPerPixel,
                       int32_t shift, HueShift hueShift, int32_t chromaScale,
                       const int32_t* chroma) {
    auto narrow = [shift](uint16_t v) { return std::min(v >> shift, 255); };
    for (size_t i = 0; i < pixels; ++i) {
        const uint16_t* in = src + i * wordsPerPixel;
        uint16_t* out = dst + i * wordsPerPixel;
        const uint32_t packed =
            HueSaturationPixel(narrow(in[0]), narrow(in[1]), narrow(in[2]), hueShift, chroma);
        for (int c = 0; c < 3; ++c) {
            out[c] = static_cast<uint16_t>(((packed >> (8 * c)) & 0xFF) << shift);
        }
    }
    return pixels;
}

}  // namespace tavlin::imaging::plain
