// AVX-512 interior rows of the demosaic: the pair arithmetic of the AVX2 rows on 64 pixels per
// step, with word and byte permutes writing the packed pixels.
// GCC 12's AVX-512 headers initialise their "undefined" vectors from themselves.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#include <array>

#include "demosaic_pixel.h"
#include "simd_rows.h"
#include "simd_x86.h"

#if TAVLIN_SIMD_X86

namespace tavlin::imaging::avx512 {
namespace {

TAVLIN_AVX512 inline __m512i Load(const void* p) {
    return _mm512_loadu_si512(p);
}

struct Pairs {
    __m512i even;
    __m512i odd;
};

TAVLIN_AVX512 inline Pairs Split(const uint8_t* p) {
    const __m512i v = Load(p);
    return {_mm512_and_si512(v, _mm512_set1_epi16(0x00FF)), _mm512_srli_epi16(v, 8)};
}

// 32 pairs of 16-bit samples; the lanes come out in a fixed shuffled pair order that the
// unpack before storing undoes.
TAVLIN_AVX512 inline Pairs Split(const uint16_t* p) {
    const __m512i a = Load(p);
    const __m512i b = Load(p + 32);
    const __m512i low = _mm512_set1_epi32(0xFFFF);
    return {_mm512_packus_epi32(_mm512_and_si512(a, low), _mm512_and_si512(b, low)),
            _mm512_packus_epi32(_mm512_srli_epi32(a, 16), _mm512_srli_epi32(b, 16))};
}

struct Weighted {
    __m512i even;
    __m512i odd;
};

// 3 x near tap + far tap of one colour at column parity P, for both pixels of each pair.
template <int kParity, typename Sample>
TAVLIN_AVX512 inline Weighted Horizontal(const Sample* row, __m512i* seen) {
    if constexpr (kParity == 0) {
        const __m512i before = Split(row - 2).even;
        const __m512i here = Split(row).even;
        const __m512i after = Split(row + 2).even;
        if (seen != nullptr)
            *seen = _mm512_or_si512(*seen, _mm512_or_si512(_mm512_or_si512(before, here), after));
        const __m512i three = _mm512_add_epi16(_mm512_add_epi16(here, here), here);
        return {_mm512_add_epi16(three, before), _mm512_add_epi16(three, after)};
    } else {
        const __m512i before = Split(row - 2).odd;
        const __m512i here = Split(row).odd;
        if (seen != nullptr) *seen = _mm512_or_si512(*seen, _mm512_or_si512(before, here));
        const __m512i both = _mm512_add_epi16(before, here);
        return {_mm512_add_epi16(both, _mm512_add_epi16(before, before)),
                _mm512_add_epi16(both, _mm512_add_epi16(here, here))};
    }
}

TAVLIN_AVX512 inline __m512i Vertical(__m512i nearRow, __m512i farRow) {
    return _mm512_add_epi16(_mm512_add_epi16(nearRow, nearRow), _mm512_add_epi16(nearRow, farRow));
}

// (sum * gain) >> 11 as the high half of sum * (gain << 5), limited to the sample maximum.
TAVLIN_AVX512 inline __m512i Scale(__m512i sum, __m512i shiftedGain, __m512i maximum) {
    return _mm512_min_epu16(_mm512_mulhi_epu16(sum, shiftedGain), maximum);
}

struct Planes {
    Weighted blue;
    Weighted green;
    Weighted red;
};

template <int kRedParity, typename Sample>
TAVLIN_AVX512 inline Planes PairPlanes(const DemosaicRowSources<Sample>& rows, int32_t x,
                                       __m512i gainR, __m512i gainB, __m512i maximum,
                                       __m512i* seen) {
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
    const Sample* evenGreenRow = kRedParity == 0 ? rows.blueNear : rows.redNear;
    const Sample* oddGreenRow = kRedParity == 0 ? rows.redNear : rows.blueNear;
    const __m512i shared = Split(evenGreenRow + x).even;
    const __m512i oddBefore = Split(oddGreenRow + x - 2).odd;
    const __m512i oddHere = Split(oddGreenRow + x).odd;
    if (seen != nullptr)
        *seen =
            _mm512_or_si512(*seen, _mm512_or_si512(shared, _mm512_or_si512(oddBefore, oddHere)));
    planes.green = {_mm512_srli_epi16(_mm512_add_epi16(shared, oddBefore), 1),
                    _mm512_srli_epi16(_mm512_add_epi16(shared, oddHere), 1)};
    return planes;
}

// Permute indices that interleave planes into packed pixels of kChannels samples (3 or 4, the
// fourth left out), kPerRegister samples per output register: the first two planes by one
// two-source permute (index bit kPlaneBit picks the second), the third by a masked permute.
// Byte planes come pair-packed: each 16-byte lane holds its even pixels, then its odd ones.
template <int kChannels, int kPerRegister, int kPlaneBit>
struct InterleaveIndices {
    std::array<std::array<uint8_t, 128>, 4> firstTwo{};
    std::array<std::array<uint8_t, 128>, 4> third{};
    std::array<uint64_t, 4> thirdMask{};
    std::array<uint64_t, 4> written{};

    constexpr InterleaveIndices() {
        constexpr int kIndexBytes = kPerRegister == 64 ? 1 : 2;
        for (int chunk = 0; chunk < kChannels; ++chunk) {
            for (int j = 0; j < kPerRegister; ++j) {
                const int sample = chunk * kPerRegister + j;
                const int pixel = sample / kChannels;
                const int channel = sample % kChannels;
                if (channel == 3) continue;
                written[chunk] |= 1ull << j;
                if (channel == 2) thirdMask[chunk] |= 1ull << j;
                const int slot = kPerRegister == 64
                                     ? 16 * (pixel / 16) + (pixel % 2) * 8 + (pixel % 16) / 2
                                     : pixel;
                const int index = channel == 1 ? slot | (1 << kPlaneBit) : slot;
                auto& target = channel == 2 ? third[chunk] : firstTwo[chunk];
                target[j * kIndexBytes] = static_cast<uint8_t>(index);  // little-endian words
            }
        }
    }
};

template <int kChannels, int kPerRegister, int kPlaneBit>
inline constexpr InterleaveIndices<kChannels, kPerRegister, kPlaneBit> kInterleave{};

struct Interleave {
    __m512i firstTwo[4];
    __m512i third[4];
    uint64_t thirdMask[4];
    uint64_t written[4];
};

template <int kChannels, int kPerRegister, int kPlaneBit>
TAVLIN_AVX512 inline Interleave LoadInterleave() {
    const auto& indices = kInterleave<kChannels, kPerRegister, kPlaneBit>;
    Interleave table{};
    for (int c = 0; c < kChannels; ++c) {
        table.firstTwo[c] = Load(indices.firstTwo[c].data());
        table.third[c] = Load(indices.third[c].data());
        table.thirdMask[c] = indices.thirdMask[c];
        table.written[c] = indices.written[c];
    }
    return table;
}

// Byte planes of 64 pixels (3 or 4 bytes each).
TAVLIN_AVX512 void StoreBytePixels(uint8_t* out, const Interleave& t, int chunks, __m512i b,
                                   __m512i g, __m512i r) {
    for (int c = 0; c < chunks; ++c) {
        __m512i v = _mm512_permutex2var_epi8(b, t.firstTwo[c], g);
        v = _mm512_mask_permutexvar_epi8(v, t.thirdMask[c], t.third[c], r);
        if (t.written[c] == ~0ull) {
            _mm512_storeu_si512(out + 64 * c, v);
        } else {
            _mm512_mask_storeu_epi8(out + 64 * c, t.written[c], v);
        }
    }
}

// Word planes of 32 pixels (3 or 4 words each).
TAVLIN_AVX512 void StoreWordPixels(uint8_t* out, const Interleave& t, int chunks, __m512i b,
                                   __m512i g, __m512i r) {
    for (int c = 0; c < chunks; ++c) {
        __m512i v = _mm512_permutex2var_epi16(b, t.firstTwo[c], g);
        v = _mm512_mask_permutexvar_epi16(v, static_cast<__mmask32>(t.thirdMask[c]), t.third[c], r);
        if (t.written[c] == 0xFFFFFFFFu) {
            _mm512_storeu_si512(out + 64 * c, v);
        } else {
            _mm512_mask_storeu_epi16(out + 64 * c, static_cast<__mmask32>(t.written[c]), v);
        }
    }
}

TAVLIN_AVX512 inline __m512i PackPairs(const Weighted& w) {
    return _mm512_packus_epi16(w.even, w.odd);
}

template <int kRedParity>
__attribute__((always_inline)) TAVLIN_AVX512 inline void Step8(
    const DemosaicRowSources<uint8_t>& rows, uint8_t* dstRow, int32_t dstBytesPerPixel, int32_t x,
    const Interleave& table, __m512i gainR, __m512i gainB) {
    const Planes p = PairPlanes<kRedParity>(rows, x, gainR, gainB, _mm512_set1_epi16(255), nullptr);
    // 64 pixels take 3 or 4 registers.
    StoreBytePixels(dstRow + static_cast<ptrdiff_t>(x) * dstBytesPerPixel, table, dstBytesPerPixel,
                    PackPairs(p.blue), PackPairs(p.green), PackPairs(p.red));
}

template <int kRedParity>
TAVLIN_AVX512 int32_t DemosaicRow8(const DemosaicRowSources<uint8_t>& sources, uint8_t* dstRow,
                                   int32_t dstBytesPerPixel, int32_t x, int32_t x1) {
    const DemosaicRowSources<uint8_t> rows = sources;  // see the AVX2 rows
    if (x + 65 > x1) return x;
    const __m512i gainR = _mm512_set1_epi16(static_cast<int16_t>(rows.gainR << 5));
    const __m512i gainB = _mm512_set1_epi16(static_cast<int16_t>(rows.gainB << 5));
    const Interleave table =
        dstBytesPerPixel == 3 ? LoadInterleave<3, 64, 6>() : LoadInterleave<4, 64, 6>();
    for (; x + 65 <= x1; x += 64) {
        Step8<kRedParity>(rows, dstRow, dstBytesPerPixel, x, table, gainR, gainB);
    }
    // What is left but the last pixel or two as one more step ending there; the pixels it
    // writes again get the same values.
    if (x + 1 < x1) {
        x = (x1 - 65) & ~1;
        Step8<kRedParity>(rows, dstRow, dstBytesPerPixel, x, table, gainR, gainB);
        x += 64;
    }
    return x;
}

// Samples above 10 bits would overflow the 16-bit sums; such stretches are left to plain code.
TAVLIN_AVX512 inline bool WithinTenBits(__m512i seen) {
    return _mm512_test_epi16_mask(seen, _mm512_set1_epi16(static_cast<int16_t>(0xFC00))) == 0;
}

// One step of 64 pixels, unless a sample exceeds 10 bits.
template <int kRedParity>
__attribute__((always_inline)) TAVLIN_AVX512 inline bool Step16(
    const DemosaicRowSources<uint16_t>& rows, uint8_t* dstRow, int32_t dstBytesPerPixel, int32_t x,
    const Interleave& table, __m512i gainR, __m512i gainB) {
    __m512i seen = _mm512_setzero_si512();
    const Planes p = PairPlanes<kRedParity>(rows, x, gainR, gainB, _mm512_set1_epi16(1023), &seen);
    if (!WithinTenBits(seen)) return false;
    const __m512i low[3] = {_mm512_unpacklo_epi16(p.blue.even, p.blue.odd),
                            _mm512_unpacklo_epi16(p.green.even, p.green.odd),
                            _mm512_unpacklo_epi16(p.red.even, p.red.odd)};
    const __m512i high[3] = {_mm512_unpackhi_epi16(p.blue.even, p.blue.odd),
                             _mm512_unpackhi_epi16(p.green.even, p.green.odd),
                             _mm512_unpackhi_epi16(p.red.even, p.red.odd)};
    const int channels = dstBytesPerPixel / 2;
    uint8_t* out = dstRow + static_cast<ptrdiff_t>(x) * dstBytesPerPixel;
    StoreWordPixels(out, table, channels, low[0], low[1], low[2]);
    StoreWordPixels(out + 32 * dstBytesPerPixel, table, channels, high[0], high[1], high[2]);
    return true;
}

template <int kRedParity>
TAVLIN_AVX512 int32_t DemosaicRow16(const DemosaicRowSources<uint16_t>& sources, uint8_t* dstRow,
                                    int32_t dstBytesPerPixel, int32_t x, int32_t x1) {
    const DemosaicRowSources<uint16_t> rows = sources;  // see the AVX2 rows
    if (x + 65 > x1) return x;
    const __m512i gainR = _mm512_set1_epi16(static_cast<int16_t>(rows.gainR << 5));
    const __m512i gainB = _mm512_set1_epi16(static_cast<int16_t>(rows.gainB << 5));
    const Interleave table =
        dstBytesPerPixel == 6 ? LoadInterleave<3, 32, 5>() : LoadInterleave<4, 32, 5>();
    for (; x + 65 <= x1; x += 64) {
        if (!Step16<kRedParity>(rows, dstRow, dstBytesPerPixel, x, table, gainR, gainB)) return x;
    }
    if (x + 1 < x1) {
        const int32_t last = (x1 - 65) & ~1;
        if (Step16<kRedParity>(rows, dstRow, dstBytesPerPixel, last, table, gainR, gainB)) {
            x = last + 64;
        }
    }
    return x;
}

}  // namespace

int32_t Demosaic8(const DemosaicRowSources<uint8_t>& rows, uint8_t* dstRow,
                  int32_t dstBytesPerPixel, int32_t x0, int32_t x1) {
    if ((x0 & 1) != 0 || x0 < 2 || !GainsFitShiftedWords(rows)) return x0;
    const int32_t done = rows.redParity == 0
                             ? DemosaicRow8<0>(rows, dstRow, dstBytesPerPixel, x0, x1)
                             : DemosaicRow8<1>(rows, dstRow, dstBytesPerPixel, x0, x1);
    return avx2::Demosaic8(rows, dstRow, dstBytesPerPixel, done, x1);
}

int32_t Demosaic16(const DemosaicRowSources<uint16_t>& rows, uint8_t* dstRow,
                   int32_t dstBytesPerPixel, int32_t x0, int32_t x1) {
    if ((x0 & 1) != 0 || x0 < 2 || !GainsFitShiftedWords(rows)) return x0;
    const int32_t done = rows.redParity == 0
                             ? DemosaicRow16<0>(rows, dstRow, dstBytesPerPixel, x0, x1)
                             : DemosaicRow16<1>(rows, dstRow, dstBytesPerPixel, x0, x1);
    return avx2::Demosaic16(rows, dstRow, dstBytesPerPixel, done, x1);
}

}  // namespace tavlin::imaging::avx512

#endif
