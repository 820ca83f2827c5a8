// AVX2 interior rows of the demosaic. Output pixels are taken in pairs (even column, odd column):
// the even and odd samples of a raw row, split into 16-bit lanes, give every tap of the pair
// without per-pixel selection. 32 pixels per step.
#include "demosaic_pixel.h"
#include "simd_rows.h"
#include "simd_x86.h"

#if TAVLIN_SIMD_X86

namespace tavlin::imaging::avx2 {
namespace {

using x86::Load;
using x86::Store;

// Even and odd samples of 16 consecutive pairs, in 16-bit lanes. The 16-bit variant's lanes
// come out in a fixed shuffled pair order that the final unpack undoes.
struct Pairs {
    __m256i even;
    __m256i odd;
};

TAVLIN_AVX2 inline Pairs Split(const uint8_t* p) {
    const __m256i v = Load(p);
    return {_mm256_and_si256(v, _mm256_set1_epi16(0x00FF)), _mm256_srli_epi16(v, 8)};
}

TAVLIN_AVX2 inline Pairs Split(const uint16_t* p) {
    const __m256i a = Load(p);
    const __m256i b = Load(p + 16);
    const __m256i low = _mm256_set1_epi32(0xFFFF);
    return {_mm256_packus_epi32(_mm256_and_si256(a, low), _mm256_and_si256(b, low)),
            _mm256_packus_epi32(_mm256_srli_epi32(a, 16), _mm256_srli_epi32(b, 16))};
}

// Horizontal step of one colour at column parity P, for the even and odd output pixel of each
// pair: 3 x near tap + far tap.
struct Weighted {
    __m256i even;
    __m256i odd;
};

template <int kParity, typename Sample>
TAVLIN_AVX2 inline Weighted Horizontal(const Sample* row, __m256i* seen) {
    if constexpr (kParity == 0) {
        const __m256i before = Split(row - 2).even;
        const __m256i here = Split(row).even;
        const __m256i after = Split(row + 2).even;
        if (seen != nullptr)
            *seen = _mm256_or_si256(*seen, _mm256_or_si256(_mm256_or_si256(before, here), after));
        const __m256i three = _mm256_add_epi16(_mm256_add_epi16(here, here), here);
        return {_mm256_add_epi16(three, before), _mm256_add_epi16(three, after)};
    } else {
        const __m256i before = Split(row - 2).odd;
        const __m256i here = Split(row).odd;
        if (seen != nullptr) *seen = _mm256_or_si256(*seen, _mm256_or_si256(before, here));
        const __m256i both = _mm256_add_epi16(before, here);
        return {_mm256_add_epi16(both, _mm256_add_epi16(before, before)),
                _mm256_add_epi16(both, _mm256_add_epi16(here, here))};
    }
}

TAVLIN_AVX2 inline __m256i Vertical(__m256i nearRow, __m256i farRow) {
    return _mm256_add_epi16(_mm256_add_epi16(nearRow, nearRow), _mm256_add_epi16(nearRow, farRow));
}

// (sum * gain) >> 11 as the high half of sum * (gain << 5), limited to the sample maximum.
TAVLIN_AVX2 inline __m256i Scale(__m256i sum, __m256i shiftedGain, __m256i maximum) {
    return _mm256_min_epu16(_mm256_mulhi_epu16(sum, shiftedGain), maximum);
}

struct Planes {
    Weighted blue;
    Weighted green;
    Weighted red;
};

// All three planes of the 32 pixels starting at x (even).
template <int kRedParity, typename Sample>
TAVLIN_AVX2 inline Planes PairPlanes(const DemosaicRowSources<Sample>& rows, int32_t x,
                                     __m256i gainR, __m256i gainB, __m256i maximum, __m256i* seen) {
    constexpr int kBlueParity = 1 - kRedParity;
    const Weighted rn = Horizontal<kRedParity>(rows.redNear + x, seen);
    const Weighted rf = Horizontal<kRedParity>(rows.redFar + x, seen);
    const Weighted bn = Horizontal<kBlueParity>(rows.blueNear + x, seen);
    const Weighted bf = Horizontal<kBlueParity>(rows.blueFar + x, seen);
    Planes planes;
    planes.red = {Scale(Vertical(rn.even, rf.even), gainR, maximum),
                  Scale(Vertical(rn.odd, rf.odd), gainR, maximum)};
    planes.blue = {Scale(Vertical(bn.even, bf.even), gainB, maximum),
                   Scale(Vertical(bn.odd, bf.odd), gainB, maximum)};
    // The near row whose greens sit at even columns gives one green to both pixels of a pair;
    // the other gives the odd sample before the pair to the even pixel, its own to the odd one.
    const Sample* evenGreenRow = kRedParity == 0 ? rows.blueNear : rows.redNear;
    const Sample* oddGreenRow = kRedParity == 0 ? rows.redNear : rows.blueNear;
    const __m256i shared = Split(evenGreenRow + x).even;
    const __m256i oddBefore = Split(oddGreenRow + x - 2).odd;
    const __m256i oddHere = Split(oddGreenRow + x).odd;
    if (seen != nullptr)
        *seen =
            _mm256_or_si256(*seen, _mm256_or_si256(shared, _mm256_or_si256(oddBefore, oddHere)));
    planes.green = {_mm256_srli_epi16(_mm256_add_epi16(shared, oddBefore), 1),
                    _mm256_srli_epi16(_mm256_add_epi16(shared, oddHere), 1)};
    return planes;
}

TAVLIN_AVX2 inline __m256i PackPairs(const Weighted& w) {
    return _mm256_packus_epi16(w.even, w.odd);
}

TAVLIN_AVX2 inline __m256i JoinBytes(const Weighted& w) {
    return _mm256_or_si256(w.even, _mm256_slli_epi16(w.odd, 8));
}

// 32 pixels of B, G, R bytes into 4-byte pixels whose fourth byte keeps its value.
TAVLIN_AVX2 inline void StoreFourBytePixels(uint8_t* out, __m256i b, __m256i g, __m256i r) {
    const __m256i bgLow = _mm256_unpacklo_epi8(b, g);
    const __m256i bgHigh = _mm256_unpackhi_epi8(b, g);
    const __m256i rLow = _mm256_unpacklo_epi8(r, _mm256_setzero_si256());
    const __m256i rHigh = _mm256_unpackhi_epi8(r, _mm256_setzero_si256());
    const __m256i p0 = _mm256_unpacklo_epi16(bgLow, rLow);    // pixels 0-3 | 16-19
    const __m256i p1 = _mm256_unpackhi_epi16(bgLow, rLow);    // 4-7 | 20-23
    const __m256i p2 = _mm256_unpacklo_epi16(bgHigh, rHigh);  // 8-11 | 24-27
    const __m256i p3 = _mm256_unpackhi_epi16(bgHigh, rHigh);  // 12-15 | 28-31
    const __m256i fourth = _mm256_set1_epi32(static_cast<int32_t>(0xFF000000u));
    const __m256i ordered[4] = {
        _mm256_permute2x128_si256(p0, p1, 0x20), _mm256_permute2x128_si256(p2, p3, 0x20),
        _mm256_permute2x128_si256(p0, p1, 0x31), _mm256_permute2x128_si256(p2, p3, 0x31)};
    for (int i = 0; i < 4; ++i) {
        uint8_t* at = out + 32 * i;
        Store(at, _mm256_blendv_epi8(ordered[i], Load(at), fourth));
    }
}

template <int kRedParity>
__attribute__((always_inline)) TAVLIN_AVX2 inline void Step8(
    const DemosaicRowSources<uint8_t>& rows, uint8_t* dstRow, int32_t dstBytesPerPixel, int32_t x,
    __m256i gainR, __m256i gainB) {
    const Planes p = PairPlanes<kRedParity>(rows, x, gainR, gainB, _mm256_set1_epi16(255), nullptr);
    uint8_t* out = dstRow + static_cast<ptrdiff_t>(x) * dstBytesPerPixel;
    if (dstBytesPerPixel == 3) {
        // Packing a plane's even and odd halves is one step; the interleave takes that order.
        x86::StoreInterleaved3<1, true>(out, PackPairs(p.blue), PackPairs(p.green),
                                        PackPairs(p.red));
    } else {
        StoreFourBytePixels(out, JoinBytes(p.blue), JoinBytes(p.green), JoinBytes(p.red));
    }
}

template <int kRedParity>
TAVLIN_AVX2 int32_t DemosaicRow8(const DemosaicRowSources<uint8_t>& sources, uint8_t* dstRow,
                                 int32_t dstBytesPerPixel, int32_t x, int32_t x1) {
    // A local copy, which the stores through dstRow cannot change, keeps the row pointers in
    // registers.
    const DemosaicRowSources<uint8_t> rows = sources;
    const __m256i gainR = _mm256_set1_epi16(static_cast<int16_t>(rows.gainR << 5));
    const __m256i gainB = _mm256_set1_epi16(static_cast<int16_t>(rows.gainB << 5));
    if (x + 33 > x1) return x;
    for (; x + 33 <= x1; x += 32)
        Step8<kRedParity>(rows, dstRow, dstBytesPerPixel, x, gainR, gainB);
    // What is left but the last pixel or two as one more step ending there. The pixels it writes
    // again get the same values; plain code would take longer over up to 32 pixels.
    if (x + 1 < x1) {
        x = (x1 - 33) & ~1;
        Step8<kRedParity>(rows, dstRow, dstBytesPerPixel, x, gainR, gainB);
        x += 32;
    }
    return x;
}

// Samples above 10 bits would overflow the 16-bit sums; such stretches are left to plain code.
TAVLIN_AVX2 inline bool WithinTenBits(__m256i seen) {
    return _mm256_testz_si256(seen, _mm256_set1_epi16(static_cast<int16_t>(0xFC00)));
}

// 16 pixels of B, G, R words into 8-byte pixels whose fourth word keeps its value.
TAVLIN_AVX2 inline void StoreFourWordPixels(uint8_t* out, __m256i b, __m256i g, __m256i r) {
    const __m256i bgLow = _mm256_unpacklo_epi16(b, g);
    const __m256i bgHigh = _mm256_unpackhi_epi16(b, g);
    const __m256i rLow = _mm256_unpacklo_epi16(r, _mm256_setzero_si256());
    const __m256i rHigh = _mm256_unpackhi_epi16(r, _mm256_setzero_si256());
    const __m256i p0 = _mm256_unpacklo_epi32(bgLow, rLow);    // pixels 0-1 | 8-9
    const __m256i p1 = _mm256_unpackhi_epi32(bgLow, rLow);    // 2-3 | 10-11
    const __m256i p2 = _mm256_unpacklo_epi32(bgHigh, rHigh);  // 4-5 | 12-13
    const __m256i p3 = _mm256_unpackhi_epi32(bgHigh, rHigh);  // 6-7 | 14-15
    const __m256i ordered[4] = {
        _mm256_permute2x128_si256(p0, p1, 0x20), _mm256_permute2x128_si256(p2, p3, 0x20),
        _mm256_permute2x128_si256(p0, p1, 0x31), _mm256_permute2x128_si256(p2, p3, 0x31)};
    for (int i = 0; i < 4; ++i) {
        uint8_t* at = out + 32 * i;
        Store(at, _mm256_blend_epi16(ordered[i], Load(at), 0x88));
    }
}

// One step of 32 pixels, unless a sample exceeds 10 bits.
template <int kRedParity>
__attribute__((always_inline)) TAVLIN_AVX2 inline bool Step16(
    const DemosaicRowSources<uint16_t>& rows, uint8_t* dstRow, int32_t dstBytesPerPixel, int32_t x,
    __m256i gainR, __m256i gainB) {
    __m256i seen = _mm256_setzero_si256();
    const Planes p = PairPlanes<kRedParity>(rows, x, gainR, gainB, _mm256_set1_epi16(1023), &seen);
    if (!WithinTenBits(seen)) return false;
    // Back to pixel order: the low unpack holds pixels 0-15, the high one 16-31.
    const __m256i planes[2][3] = {{_mm256_unpacklo_epi16(p.blue.even, p.blue.odd),
                                   _mm256_unpacklo_epi16(p.green.even, p.green.odd),
                                   _mm256_unpacklo_epi16(p.red.even, p.red.odd)},
                                  {_mm256_unpackhi_epi16(p.blue.even, p.blue.odd),
                                   _mm256_unpackhi_epi16(p.green.even, p.green.odd),
                                   _mm256_unpackhi_epi16(p.red.even, p.red.odd)}};
    for (int half = 0; half < 2; ++half) {
        uint8_t* out = dstRow + static_cast<ptrdiff_t>(x + 16 * half) * dstBytesPerPixel;
        if (dstBytesPerPixel == 6) {
            x86::StoreInterleaved3<2>(out, planes[half][0], planes[half][1], planes[half][2]);
        } else {
            StoreFourWordPixels(out, planes[half][0], planes[half][1], planes[half][2]);
        }
    }
    return true;
}

template <int kRedParity>
TAVLIN_AVX2 int32_t DemosaicRow16(const DemosaicRowSources<uint16_t>& sources, uint8_t* dstRow,
                                  int32_t dstBytesPerPixel, int32_t x, int32_t x1) {
    // A local copy, which the stores through dstRow cannot change, keeps the row pointers in
    // registers.
    const DemosaicRowSources<uint16_t> rows = sources;
    const __m256i gainR = _mm256_set1_epi16(static_cast<int16_t>(rows.gainR << 5));
    const __m256i gainB = _mm256_set1_epi16(static_cast<int16_t>(rows.gainB << 5));
    if (x + 33 > x1) return x;
    for (; x + 33 <= x1; x += 32) {
        if (!Step16<kRedParity>(rows, dstRow, dstBytesPerPixel, x, gainR, gainB)) return x;
    }
    // As for 8 bits, a last step ending one or two pixels before the end.
    if (x + 1 < x1) {
        const int32_t last = (x1 - 33) & ~1;
        if (Step16<kRedParity>(rows, dstRow, dstBytesPerPixel, last, gainR, gainB)) x = last + 32;
    }
    return x;
}

}  // namespace

int32_t Demosaic8(const DemosaicRowSources<uint8_t>& rows, uint8_t* dstRow,
                  int32_t dstBytesPerPixel, int32_t x0, int32_t x1) {
    if ((x0 & 1) != 0 || x0 < 2 || !GainsFitShiftedWords(rows)) return x0;
    return rows.redParity == 0 ? DemosaicRow8<0>(rows, dstRow, dstBytesPerPixel, x0, x1)
                               : DemosaicRow8<1>(rows, dstRow, dstBytesPerPixel, x0, x1);
}

int32_t Demosaic16(const DemosaicRowSources<uint16_t>& rows, uint8_t* dstRow,
                   int32_t dstBytesPerPixel, int32_t x0, int32_t x1) {
    if ((x0 & 1) != 0 || x0 < 2 || !GainsFitShiftedWords(rows)) return x0;
    return rows.redParity == 0 ? DemosaicRow16<0>(rows, dstRow, dstBytesPerPixel, x0, x1)
                               : DemosaicRow16<1>(rows, dstRow, dstBytesPerPixel, x0, x1);
}

}  // namespace tavlin::imaging::avx2

#endif
