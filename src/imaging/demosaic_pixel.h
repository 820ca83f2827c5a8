// One output pixel of the demosaic: the red, green and blue planes interpolated at
// (x - 1/2, y - 1/2) from the 4 x 4 raw samples at columns x - 2 .. x + 1 and rows y - 2 .. y + 1.
// `column` maps a tap column to a stored one (the identity inside the image, a reflection that
// keeps the colour at its edges).
#pragma once

#include <algorithm>
#include <cstring>

#include "kernel_paths.h"

namespace tavlin::imaging {

inline constexpr int32_t kMaxWideColorSample = 1023;

// The weighted red or blue sum times the scaled gain, shifted by 11 and limited to the sample
// maximum (the limits 2^19 and 2^21 of the product are exactly where the shift reaches it). The
// product is taken in 64 bits: samples beyond 10 bits with a gain above the settings' 512 would
// overflow 32.
template <int32_t kMax>
inline int32_t ScaleByGain(int32_t weighted, int32_t gain) {
    return static_cast<int32_t>(std::min<int64_t>((int64_t{weighted} * gain) >> 11, kMax));
}

// The SIMD rows scale their 16-bit sums by the high half of the product with gain << 5, which
// must fit 16 bits. ScaledColorGain gives at most 512; larger gains are left to plain code.
template <typename Sample>
inline bool GainsFitShiftedWords(const DemosaicRowSources<Sample>& rows) {
    return rows.gainR >= 0 && rows.gainB >= 0 && rows.gainR < 2048 && rows.gainB < 2048;
}

template <typename Sample, int32_t kMax, typename ColumnMap>
inline void DemosaicPixel(const DemosaicRowSources<Sample>& rows, uint8_t* dstRow,
                          int32_t dstBytesPerPixel, int32_t x, ColumnMap column) {
    const Sample* rn = rows.redNear;
    const Sample* rf = rows.redFar;
    const Sample* bn = rows.blueNear;
    const Sample* bf = rows.blueFar;
    // Red sits at x or x - 1 in the red rows, blue at the other one in the blue rows; the far
    // tap lies two columns further from the interpolation point.
    const bool redAtX = (x & 1) == rows.redParity;
    const int32_t rc = column(redAtX ? x : x - 1);
    const int32_t rcFar = column(redAtX ? x - 2 : x + 1);
    const int32_t bc = column(redAtX ? x - 1 : x);
    const int32_t bcFar = column(redAtX ? x + 1 : x - 2);
    const int32_t redSum = 9 * rn[rc] + 3 * rn[rcFar] + 3 * rf[rc] + rf[rcFar];
    const int32_t blueSum = 9 * bn[bc] + 3 * bn[bcFar] + 3 * bf[bc] + bf[bcFar];
    // The greens of the block: the blue column of the red row and the red column of the blue row.
    const int32_t green = (rn[bc] + bn[rc]) >> 1;
    const Sample values[3] = {static_cast<Sample>(ScaleByGain<kMax>(blueSum, rows.gainB)),
                              static_cast<Sample>(std::min(green, kMax)),
                              static_cast<Sample>(ScaleByGain<kMax>(redSum, rows.gainR))};
    std::memcpy(dstRow + static_cast<size_t>(x) * dstBytesPerPixel, values, sizeof(values));
}

}  // namespace tavlin::imaging
