// The row loops behind the stage kernels, one table per instruction-set level. The stage kernels
// take the table that is active when they start, so a whole frame runs on one path. Every SIMD
// row function processes what it can from the start of its range and returns how far it got;
// the plain code of the same table finishes the row, so all paths give identical results.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tavlin::imaging {

enum class SimdLevel : uint8_t { Portable, Avx2, Avx512 };

// Sources of one interior row of the demosaic: the raw rows holding red nearest to the
// interpolation point (weight 3) and farther from it (weight 1), the same for blue, the column
// parity of the red samples, and the gains scaled to 1/128 units.
template <typename Sample>
struct DemosaicRowSources {
    const Sample* redNear = nullptr;
    const Sample* redFar = nullptr;
    const Sample* blueNear = nullptr;
    const Sample* blueFar = nullptr;
    int32_t redParity = 0;
    int32_t gainR = 128;
    int32_t gainB = 128;
};

// Hue rotation in the units of the hexcone arithmetic.
struct HueShift {
    int32_t sectorStep = 0;
    int32_t fineStep = 0;
};

// A table that is a straight line clamped at both ends, as the contrast tables are:
// entry i = min((clamp(i - offset, 0, span) * multiplier) >> shift, top), products in 32 bits.
struct LinearTable {
    int32_t offset = 0;
    int32_t span = 0;
    uint32_t multiplier = 0;
    int32_t shift = 0;
    uint32_t top = 0;
};

// Four source rows (y - 2 .. y + 1) of the sharpness box blur; `step` is the distance in samples
// between horizontally neighbouring samples of one channel (the samples per pixel).
template <typename Sample>
struct BoxRows {
    const Sample* rows[4] = {};
    int32_t step = 1;
};

struct KernelPaths {
    SimdLevel level = SimdLevel::Portable;

    // Writes destination columns [x0, x1) of one row; the taps reach columns x0 - 2 .. x1, so
    // x0 >= 2 and x1 <= width - 1.
    int32_t (*demosaic8)(const DemosaicRowSources<uint8_t>& rows, uint8_t* dstRow,
                         int32_t dstBytesPerPixel, int32_t x0, int32_t x1) = nullptr;
    int32_t (*demosaic16)(const DemosaicRowSources<uint16_t>& rows, uint8_t* dstRow,
                          int32_t dstBytesPerPixel, int32_t x0, int32_t x1) = nullptr;

    // Table lookup over `count` samples; with skipFourth every fourth sample is left alone.
    // The 16-bit table has tableSize + 2 readable entries: a sample at or above tableSize takes
    // entry tableSize, the value for samples out of range.
    size_t (*lut8)(uint8_t* dst, const uint8_t* src, size_t count, bool skipFourth,
                   const uint8_t* table) = nullptr;
    size_t (*lut16)(uint16_t* dst, const uint16_t* src, size_t count, bool skipFourth,
                    const uint16_t* table, uint32_t tableSize) = nullptr;

    // The same lookups computed from the line a table was found to be (tableSize as above).
    // Null where the lookup is as fast.
    size_t (*line8)(uint8_t* dst, const uint8_t* src, size_t count, bool skipFourth,
                    const LinearTable& line) = nullptr;
    size_t (*line16)(uint16_t* dst, const uint16_t* src, size_t count, bool skipFourth,
                     const LinearTable& line, uint32_t tableSize) = nullptr;

    // trunc(sample * factor) in single precision, limited to 0..maxValue. Null for 8-bit
    // samples means the stage looks them up in a table of the 256 results instead.
    size_t (*brightness8)(uint8_t* dst, const uint8_t* src, size_t count, bool skipFourth,
                          float factor) = nullptr;
    size_t (*brightness16)(uint16_t* dst, const uint16_t* src, size_t count, bool skipFourth,
                           float factor, int32_t maxValue) = nullptr;

    // Unsharp mask over samples [begin, end) of one row; `center` is source row y.
    size_t (*sharpen8)(uint8_t* dst, const BoxRows<uint8_t>& box, size_t begin, size_t end,
                       bool skipFourth, int32_t strength) = nullptr;
    size_t (*sharpen16)(uint16_t* dst, const BoxRows<uint16_t>& box, size_t begin, size_t end,
                        bool skipFourth, int32_t strength, int32_t maxValue) = nullptr;

    // Hue rotation and saturation of `pixels` 8-bit B, G, R pixels `bytesPerPixel` apart.
    // The saturation comes as the chroma scale (saturation + 256) and as its table of the new
    // chroma of every chroma 0..255; a row function uses whichever suits it.
    size_t (*hueSaturation8)(uint8_t* dst, const uint8_t* src, size_t pixels, int32_t bytesPerPixel,
                             HueShift shift, int32_t chromaScale, const int32_t* chroma) = nullptr;
    // The same for 16-bit channels `wordsPerPixel` apart: each channel shifted right by `shift`
    // (limited to 255), adjusted, and shifted back.
    size_t (*hueSaturation16)(uint16_t* dst, const uint16_t* src, size_t pixels,
                              int32_t wordsPerPixel, int32_t shift, HueShift hueShift,
                              int32_t chromaScale, const int32_t* chroma) = nullptr;
};

// The table the stages use now: the best level this CPU supports unless one was chosen.
const KernelPaths& ActiveKernelPaths();

// The table of one level, or null when this build or this CPU lacks it.
const KernelPaths* KernelPathsFor(SimdLevel level);

// Makes the given level active (tests run every path this way); false if it is unavailable.
bool UseSimdLevel(SimdLevel level);

// The level chosen at start-up: the best available, or Portable when the build forces it.
SimdLevel DefaultSimdLevel();

const char* SimdLevelName(SimdLevel level);

}  // namespace tavlin::imaging
