// Row converters shared by the file writers, the AVI frame conversion and the preview: they turn
// one row of an image buffer's pixel format into what a consumer takes. Samples wider than 8 bits
// are little-endian 16-bit words with `significantBits` significant bits, right-aligned.
#pragma once

#include <cstdint>

#include "gdi/gdi.h"

namespace tavlin::output {

// Shifts that move samples of `significantBits` (8..16) to 8 bits and to the full 16 bits.
struct SampleScale {
    int down = 2;  // to 8 bits: (v >> down) & 255
    int up = 6;    // to 16 bits: v << up

    // False for counts outside 8..16.
    static bool FromSignificantBits(int significantBits, SampleScale* scale);
};

// 16-bit gray to 8 bits.
void ReduceGrayRow(const uint8_t* src, uint8_t* dst, int32_t width, SampleScale scale);
// B, G, R of 3- or 4-byte pixels to packed B, G, R.
void CopyBgrRow(const uint8_t* src, uint16_t srcBytesPerPixel, uint8_t* dst, int32_t width);
// B, G, R words of 6- or 8-byte pixels to packed 8-bit B, G, R.
void ReduceBgrRow(const uint8_t* src, uint16_t srcBytesPerPixel, uint8_t* dst, int32_t width,
                  SampleScale scale);
// A colour table prepared once per image for ExpandPaletteRow.
struct PaletteTable {
    uint32_t entries[256];  // B | G << 8 | R << 16
    bool grayRamp;          // entry i is (i, i, i): expansion repeats the index

    static PaletteTable From(const gdi::RGBQUAD* palette);
};
// 8-bit indices through a colour table to packed B, G, R.
void ExpandPaletteRow(const uint8_t* src, const PaletteTable& table, uint8_t* dst, int32_t width);
// 16-bit gray to 8-bit B, G, R (gray reduced, then repeated).
void ReduceGrayToBgrRow(const uint8_t* src, uint8_t* dst, int32_t width, SampleScale scale);

// Words scaled to 16 bits, for the 16-bit file formats: `samples` words in, the same count out,
// big-endian (PNG) or little-endian (TIFF).
void ScaleWordsBigEndian(const uint8_t* src, uint8_t* dst, int32_t samples, SampleScale scale);
void ScaleWordsLittleEndian(const uint8_t* src, uint8_t* dst, int32_t samples, SampleScale scale);

// B, G, R, X to B, G, R, 255 - X (the fourth byte is a transparency; PNG wants opacity).
void InvertFourthBytesRow(const uint8_t* src, uint8_t* dst, int32_t width);

// B, G, R (3 bytes) or B, G, R, X (4 bytes) to R, G, B or R, G, B, 0 (TIFF order).
void SwapToRgbRow(const uint8_t* src, uint16_t bytesPerPixel, uint8_t* dst, int32_t width);
// B, G, R words (6 bytes) or B, G, R, X (8 bytes) to scaled R, G, B words, little-endian; a
// fourth word becomes full scale.
void SwapToRgbWideRow(const uint8_t* src, uint16_t bytesPerPixel, uint8_t* dst, int32_t width,
                      SampleScale scale);

// Makes the converters above keep to baseline code (no paths chosen by processor feature), so
// tests can compare both ways on one machine.
void UsePlainRows(bool plain);

}  // namespace tavlin::output
