// AVX2 hue and saturation: the hexcone arithmetic of hue_saturation_pixel.h on 8 pixels at a
// time, one pixel per 32-bit lane packed as 0x00RRGGBB.
#include "hue_saturation_pixel.h"
#include "simd_rows.h"
#include "simd_x86.h"

#if TAVLIN_SIMD_X86

namespace tavlin::imaging::avx2 {
namespace {

using x86::Load;
using x86::Store;

TAVLIN_AVX2 inline __m256i Select(__m256i whenFalse, __m256i whenTrue, __m256i condition) {
    return _mm256_blendv_epi8(whenFalse, whenTrue, condition);
}

struct Context {
    __m256i picks;        // kHueSectorPicks turned by the sector step, for sector + wrap 0..6
    __m256i chromaScale;  // (saturation + 256) * 64, for the rounded product with 2d
    __m256i fineStep;
};

TAVLIN_AVX2 inline Context MakeContext(HueShift shift, int32_t chromaScale) {
    uint32_t picks[8] = {};
    for (int32_t i = 0; i < 8; ++i) picks[i] = kHueSectorPicks[(i + shift.sectorStep) % 6];
    return {Load(picks), _mm256_set1_epi32(chromaScale * 64), _mm256_set1_epi32(shift.fineStep)};
}

// Byte shuffle picks are lane-relative: the first byte of each pixel's lane.
TAVLIN_AVX2 inline __m256i PixelBase() {
    return _mm256_setr_epi8(0, 0, 0, 0, 4, 4, 4, 4, 8, 8, 8, 8, 12, 12, 12, 12, 0, 0, 0, 0, 4, 4, 4,
                            4, 8, 8, 8, 8, 12, 12, 12, 12);
}

// A byte value (the rest of the lane zero) in the three colour bytes.
TAVLIN_AVX2 inline __m256i Gray(__m256i v) {
    const __m256i spread =
        _mm256_setr_epi8(0, 0, 0, -128, 4, 4, 4, -128, 8, 8, 8, -128, 12, 12, 12, -128, 0, 0, 0,
                         -128, 4, 4, 4, -128, 8, 8, 8, -128, 12, 12, 12, -128);
    return _mm256_shuffle_epi8(v, spread);
}

// A pixel's place on the hexcone: chroma d, sector and position in it, lightness (max + min).
struct Hexcone {
    __m256i d;
    __m256i sector;
    __m256i numerator;
    __m256i lightness;
};

TAVLIN_AVX2 inline Hexcone Analyse(__m256i packed) {
    const __m256i byte = _mm256_set1_epi32(0xFF);
    const __m256i blue = _mm256_and_si256(packed, byte);
    const __m256i green = _mm256_and_si256(_mm256_srli_epi32(packed, 8), byte);
    const __m256i red = _mm256_and_si256(_mm256_srli_epi32(packed, 16), byte);
    const __m256i redGreenMax = _mm256_max_epi32(red, green);
    const __m256i high = _mm256_max_epi32(redGreenMax, blue);
    const __m256i low = _mm256_min_epi32(_mm256_min_epi32(red, green), blue);
    const __m256i d = _mm256_sub_epi32(high, low);

    const __m256i redFirst = _mm256_cmpgt_epi32(green, red);  // set where red < green
    __m256i sector = Select(_mm256_set1_epi32(1), _mm256_set1_epi32(3), redFirst);
    __m256i numerator =
        Select(_mm256_sub_epi32(green, blue), _mm256_sub_epi32(blue, red), redFirst);
    const __m256i blueFirst = _mm256_cmpgt_epi32(blue, redGreenMax);
    sector = Select(sector, _mm256_set1_epi32(5), blueFirst);
    numerator = Select(numerator, _mm256_sub_epi32(red, green), blueFirst);
    const __m256i negative = _mm256_cmpgt_epi32(_mm256_setzero_si256(), numerator);
    sector = _mm256_add_epi32(sector, negative);  // -1 where negative
    numerator = _mm256_add_epi32(numerator, _mm256_and_si256(d, negative));
    return {d, sector, numerator, _mm256_add_epi32(high, low)};
}

// kHueReciprocal[d] without the gather, which costs more than a division: 0xFF0000 < 2^24, so
// the float quotient is off by less than 1/d and truncates to the integer one (d = 0 gives a value
// that only meets a zero width).
TAVLIN_AVX2 inline __m256i Reciprocal(__m256i d) {
    const __m256 quotient =
        _mm256_div_ps(_mm256_set1_ps(static_cast<float>(0xFF0000)), _mm256_cvtepi32_ps(d));
    return _mm256_cvttps_epi32(quotient);
}

// The channels above the new low: the width where at full chroma, the ramp of the shifted hue
// where it rises, the width less the ramp where it falls. A gray pixel (d = 0) has width 0, so
// all are zero.
TAVLIN_AVX2 inline __m256i HueTerm(const Hexcone& h, __m256i width, const Context& c) {
    __m256i v = _mm256_add_epi32(
        _mm256_srli_epi32(_mm256_add_epi32(_mm256_mullo_epi32(h.numerator, Reciprocal(h.d)),
                                           _mm256_set1_epi32(0x8000)),
                          16),
        c.fineStep);
    const __m256i wraps = _mm256_cmpgt_epi32(v, _mm256_set1_epi32(254));
    const __m256i index = _mm256_sub_epi32(h.sector, wraps);
    v = _mm256_sub_epi32(v, _mm256_and_si256(wraps, _mm256_set1_epi32(255)));
    // width * v < 2^16, so the 16-bit product of the low halves is exact.
    const __m256i ramp = _mm256_srli_epi32(
        _mm256_add_epi32(_mm256_mullo_epi16(width, v), _mm256_set1_epi32(128)), 8);
    const __m256i parts = _mm256_or_si256(_mm256_or_si256(width, _mm256_slli_epi32(ramp, 8)),
                                          _mm256_slli_epi32(_mm256_sub_epi32(width, ramp), 16));
    const __m256i picks = _mm256_or_si256(_mm256_permutevar8x32_epi32(c.picks, index), PixelBase());
    return _mm256_shuffle_epi8(parts, picks);
}

TAVLIN_AVX2 inline __m256i Pixels(__m256i packed, const Context& c) {
    const Hexcone h = Analyse(packed);
    // (d * scale + 128) >> 8 as the rounded high product of 2d and 64 * scale, both below 2^15.
    const __m256i chroma = _mm256_mulhrs_epi16(_mm256_add_epi32(h.d, h.d), c.chromaScale);
    const __m256i newChroma =
        _mm256_min_epi32(_mm256_min_epi32(chroma, h.lightness),
                         _mm256_sub_epi32(_mm256_set1_epi32(511), h.lightness));
    const __m256i newLow = _mm256_srli_epi32(_mm256_sub_epi32(h.lightness, newChroma), 1);
    const __m256i width =
        _mm256_sub_epi32(_mm256_srli_epi32(_mm256_add_epi32(newChroma, h.lightness), 1), newLow);
    return _mm256_add_epi32(Gray(newLow), HueTerm(h, width, c));
}

// Three-byte pixels to and from 32-bit lanes: `first` is the dword of v where the 12 bytes of
// each lane's four pixels start; a shuffle then spreads them.
TAVLIN_AVX2 inline __m256i Spread(__m256i v, int32_t first) {
    const __m256i dwords =
        _mm256_add_epi32(_mm256_setr_epi32(0, 1, 2, 0, 3, 4, 5, 0), _mm256_set1_epi32(first));
    const __m256i order = _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1, 0,
                                           1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    return _mm256_shuffle_epi8(_mm256_permutevar8x32_epi32(v, dwords), order);
}

// Each lane's four pixels as its first 12 bytes.
TAVLIN_AVX2 inline __m256i Compact3(__m256i packed) {
    const __m256i order = _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1,
                                           0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    return _mm256_shuffle_epi8(packed, order);
}

TAVLIN_AVX2 inline void Gather3(uint8_t* p, __m256i packed) {
    const __m256i v =
        _mm256_permutevar8x32_epi32(Compact3(packed), _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 7, 7));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm256_castsi256_si128(v));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p + 16), _mm256_extracti128_si256(v, 1));
}

// Sixteen pixels as 48 bytes, in one 32-byte and one 16-byte store: the second eight's first
// two dwords complete the first store, its other four make the second.
TAVLIN_AVX2 inline void Gather3Twice(uint8_t* p, __m256i first, __m256i second) {
    const __m256i low =
        _mm256_permutevar8x32_epi32(Compact3(first), _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 6, 6));
    const __m256i high =
        _mm256_permutevar8x32_epi32(Compact3(second), _mm256_setr_epi32(2, 4, 5, 6, 0, 0, 0, 1));
    Store(p, _mm256_blend_epi32(low, high, 0xC0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 32), _mm256_castsi256_si128(high));
}

// Samples shifted right by count, limited to a byte by the packing that follows: packs saturate
// from signed words, so a shift by at least 1 leaves nothing else to do; without it, words from
// 0x8000 up are limited first.
template <bool kShifted>
TAVLIN_AVX2 inline __m256i Narrow(__m256i words, __m128i count) {
    if constexpr (kShifted) return _mm256_srl_epi16(words, count);
    return _mm256_min_epu16(words, _mm256_set1_epi16(255));
}

// Eight three-word pixels (48 bytes at p), narrowed, as 0x00RRGGBB lanes in pixel order. The
// loads at p and p + 16 overlap; packing puts the bytes of words 0..15 in the low lane and of
// words 8..23 in the high one.
template <bool kShifted>
TAVLIN_AVX2 inline __m256i LoadNarrow3(const uint8_t* p, __m128i count) {
    const __m256i a = Narrow<kShifted>(Load(p), count);
    const __m256i b = Narrow<kShifted>(Load(p + 16), count);
    const __m256i order = _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1, 4,
                                           5, 6, -1, 7, 8, 9, -1, 10, 11, 12, -1, 13, 14, 15, -1);
    return _mm256_shuffle_epi8(_mm256_packus_epi16(a, b), order);
}

// Eight 0x00RRGGBB lanes in pixel order as 48 bytes of three-word pixels, shifted left by count.
// One shuffle gives output words 0..7 from the low lane and 16..23 from the high one, another
// words 8..11 and 12..15 in the halves they are moved out of.
TAVLIN_AVX2 inline void StoreWide3(uint8_t* p, __m256i packed, __m128i count) {
    const __m256i outer =
        _mm256_setr_epi8(0, -1, 1, -1, 2, -1, 4, -1, 5, -1, 6, -1, 8, -1, 9, -1, 5, -1, 6, -1, 8,
                         -1, 9, -1, 10, -1, 12, -1, 13, -1, 14, -1);
    const __m256i inner =
        _mm256_setr_epi8(10, -1, 12, -1, 13, -1, 14, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
                         -1, -1, -1, -1, -1, 0, -1, 1, -1, 2, -1, 4, -1);
    const __m256i ends = _mm256_sll_epi16(_mm256_shuffle_epi8(packed, outer), count);
    const __m256i middle = _mm256_sll_epi16(_mm256_shuffle_epi8(packed, inner), count);
    // Quadwords 0 and 3 of the middle to the high lane, after the low lane of the ends.
    const __m256i front = _mm256_blend_epi32(ends, _mm256_permute4x64_epi64(middle, 0xC0), 0xF0);
    Store(p, front);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 32), _mm256_extracti128_si256(ends, 1));
}

}  // namespace

TAVLIN_AVX2 size_t HueSaturation8(uint8_t* dst, const uint8_t* src, size_t pixels,
                                  int32_t bytesPerPixel, HueShift shift, int32_t chromaScale,
                                  const int32_t* chroma) {
    if (chromaScale < 0 || chromaScale > 511) return 0;
    const Context c = MakeContext(shift, chromaScale);
    size_t i = 0;
    if (bytesPerPixel == 4) {
        const __m256i fourth = _mm256_set1_epi32(static_cast<int32_t>(0xFF000000u));
        for (; i + 8 <= pixels; i += 8) {
            const __m256i out = Pixels(Load(src + 4 * i), c);
            Store(dst + 4 * i, _mm256_blendv_epi8(out, Load(dst + 4 * i), fourth));
        }
    } else if (bytesPerPixel == 3) {
        // Sixteen pixels from exactly their 48 bytes (loads at 0 and 16), then eight more
        // while a 32-byte load for their 24 bytes stays inside the row.
        for (; i + 16 <= pixels; i += 16) {
            const __m256i first = Pixels(Spread(Load(src + 3 * i), 0), c);
            const __m256i second = Pixels(Spread(Load(src + 3 * i + 16), 2), c);
            Gather3Twice(dst + 3 * i, first, second);
        }
        for (; 3 * i + 32 <= 3 * pixels; i += 8)
            Gather3(dst + 3 * i, Pixels(Spread(Load(src + 3 * i), 0), c));
    }
    return i;
}

namespace {

template <bool kShifted>
TAVLIN_AVX2 size_t WideRows(uint16_t* dst, const uint16_t* src, size_t pixels,
                            int32_t wordsPerPixel, __m128i count, const Context& c) {
    size_t i = 0;
    if (wordsPerPixel == 3) {
        for (; i + 8 <= pixels; i += 8) {
            const size_t at = 6 * i;
            const __m256i out =
                Pixels(LoadNarrow3<kShifted>(reinterpret_cast<const uint8_t*>(src) + at, count), c);
            StoreWide3(reinterpret_cast<uint8_t*>(dst) + at, out, count);
        }
        return i;
    }
    for (; i + 8 <= pixels; i += 8) {
        // Eight pixels as two registers of four. Packing interleaves them by lane (pixels
        // 0 1 4 5 | 2 3 6 7); the pixels are independent and the unpacking below undoes the order.
        // The fourth channel's byte is packed along; the arithmetic ignores it.
        const auto* in = reinterpret_cast<const uint8_t*>(src + 4 * i);
        const __m256i packed = _mm256_packus_epi16(Narrow<kShifted>(Load(in), count),
                                                   Narrow<kShifted>(Load(in + 32), count));
        const __m256i out = Pixels(packed, c);
        const __m256i zero = _mm256_setzero_si256();
        const __m256i low = _mm256_sll_epi16(_mm256_unpacklo_epi8(out, zero), count);
        const __m256i high = _mm256_sll_epi16(_mm256_unpackhi_epi8(out, zero), count);
        // The fourth word stays as the destination has it.
        auto* target = reinterpret_cast<uint8_t*>(dst + 4 * i);
        Store(target, _mm256_blend_epi16(Load(target), low, 0x77));
        Store(target + 32, _mm256_blend_epi16(Load(target + 32), high, 0x77));
    }
    return i;
}

}  // namespace

TAVLIN_AVX2 size_t HueSaturation16(uint16_t* dst, const uint16_t* src, size_t pixels,
                                   int32_t wordsPerPixel, int32_t shift, HueShift hueShift,
                                   int32_t chromaScale, const int32_t* chroma) {
    if ((wordsPerPixel != 3 && wordsPerPixel != 4) || chromaScale < 0 || chromaScale > 511)
        return 0;
    const Context c = MakeContext(hueShift, chromaScale);
    const __m128i count = _mm_cvtsi32_si128(shift);
    return shift > 0 ? WideRows<true>(dst, src, pixels, wordsPerPixel, count, c)
                     : WideRows<false>(dst, src, pixels, wordsPerPixel, count, c);
}

}  // namespace tavlin::imaging::avx2

#endif
