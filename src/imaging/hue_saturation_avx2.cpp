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

struct SectorVectors {
    __m256i mask;   // channels at full chroma, by sector 0..5
    __m256i shift;  // where the ramp goes: 0 blue, 8 green, 16 red
    __m256i sign;   // +1 added, -1 subtracted
};

TAVLIN_AVX2 inline SectorVectors MakeSectorVectors() {
    int32_t mask[8] = {};
    int32_t shift[8] = {};
    int32_t sign[8] = {};
    for (int i = 0; i < 6; ++i) {
        const HueSector& entry = kHueSectors[i];
        const int32_t magnitude = entry.factor < 0 ? -entry.factor : entry.factor;
        mask[i] = entry.mask;
        shift[i] = magnitude == 1 ? 0 : (magnitude == 256 ? 8 : 16);
        sign[i] = entry.factor < 0 ? -1 : 1;
    }
    return {Load(mask), Load(shift), Load(sign)};
}

TAVLIN_AVX2 inline __m256i Select(__m256i whenFalse, __m256i whenTrue, __m256i condition) {
    return _mm256_blendv_epi8(whenFalse, whenTrue, condition);
}

TAVLIN_AVX2 inline __m256i Gray(__m256i v) {
    return _mm256_or_si256(v, _mm256_or_si256(_mm256_slli_epi32(v, 8), _mm256_slli_epi32(v, 16)));
}

struct Context {
    SectorVectors sectors;
    __m256i chromaScale;  // (saturation + 256) * 256
    __m256i sectorStep;
    __m256i fineStep;
};

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

// The ramp of the shifted hue, placed on its channel with its sign, plus the channels at full
// chroma; zero for gray pixels.
TAVLIN_AVX2 inline __m256i HueTerm(const Hexcone& h, __m256i width, const Context& c) {
    const __m256i reciprocal = _mm256_i32gather_epi32(kHueReciprocal.data(), h.d, 4);
    __m256i v = _mm256_add_epi32(
        _mm256_srli_epi32(_mm256_add_epi32(_mm256_mullo_epi32(h.numerator, reciprocal),
                                           _mm256_set1_epi32(0x8000)),
                          16),
        c.fineStep);
    __m256i index = _mm256_add_epi32(h.sector, c.sectorStep);
    const __m256i wraps = _mm256_cmpgt_epi32(v, _mm256_set1_epi32(254));
    index = _mm256_sub_epi32(index, wraps);
    v = _mm256_sub_epi32(v, _mm256_and_si256(wraps, _mm256_set1_epi32(255)));
    // Index 0..11 to its sector 0..5.
    index = _mm256_sub_epi32(
        index,
        _mm256_and_si256(_mm256_cmpgt_epi32(index, _mm256_set1_epi32(5)), _mm256_set1_epi32(6)));
    const __m256i mask = _mm256_permutevar8x32_epi32(c.sectors.mask, index);
    const __m256i shift = _mm256_permutevar8x32_epi32(c.sectors.shift, index);
    const __m256i sign = _mm256_permutevar8x32_epi32(c.sectors.sign, index);
    // width * v < 2^16, so the 16-bit product of the low halves is exact.
    const __m256i ramp = _mm256_srli_epi32(
        _mm256_add_epi32(_mm256_mullo_epi16(width, v), _mm256_set1_epi32(128)), 8);
    const __m256i term = _mm256_add_epi32(_mm256_and_si256(Gray(width), mask),
                                          _mm256_sign_epi32(_mm256_sllv_epi32(ramp, shift), sign));
    return _mm256_andnot_si256(_mm256_cmpeq_epi32(h.d, _mm256_setzero_si256()), term);
}

TAVLIN_AVX2 inline __m256i Pixels(__m256i packed, const Context& c) {
    const Hexcone h = Analyse(packed);
    const __m256i chroma = _mm256_srli_epi32(
        _mm256_add_epi32(_mm256_mullo_epi32(h.d, c.chromaScale), _mm256_set1_epi32(0x8000)), 16);
    const __m256i newChroma =
        _mm256_min_epi32(_mm256_min_epi32(chroma, h.lightness),
                         _mm256_sub_epi32(_mm256_set1_epi32(511), h.lightness));
    const __m256i newLow = _mm256_srli_epi32(_mm256_sub_epi32(h.lightness, newChroma), 1);
    const __m256i width =
        _mm256_sub_epi32(_mm256_srli_epi32(_mm256_add_epi32(newChroma, h.lightness), 1), newLow);
    return _mm256_add_epi32(Gray(newLow), HueTerm(h, width, c));
}

// Three-byte pixels to and from 32-bit lanes.
TAVLIN_AVX2 inline __m256i Spread(const uint8_t* p) {
    const __m256i v =
        _mm256_permutevar8x32_epi32(Load(p), _mm256_setr_epi32(0, 1, 2, 0, 3, 4, 5, 0));
    const __m256i order = _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1, 0,
                                           1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    return _mm256_shuffle_epi8(v, order);
}

TAVLIN_AVX2 inline void Gather3(uint8_t* p, __m256i packed) {
    const __m256i order = _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1,
                                           0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    const __m256i v = _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(packed, order),
                                                  _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 7, 7));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm256_castsi256_si128(v));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p + 16), _mm256_extracti128_si256(v, 1));
}

// Two three-word pixels from 16 bytes at p and two more from 16 bytes at p + 8 (at bytes 4 and
// 10 there), as four four-word pixels with a zero fourth word.
TAVLIN_AVX2 inline __m256i LoadWide3(const uint8_t* p) {
    const __m256i order = _mm256_setr_epi8(0, 1, 2, 3, 4, 5, -1, -1, 6, 7, 8, 9, 10, 11, -1, -1, 4,
                                           5, 6, 7, 8, 9, -1, -1, 10, 11, 12, 13, 14, 15, -1, -1);
    return _mm256_shuffle_epi8(_mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(p + 8),
                                                   reinterpret_cast<const __m128i*>(p)),
                               order);
}

// Four four-word pixels as 24 bytes of three-word pixels.
TAVLIN_AVX2 inline void StoreWide3(uint8_t* p, __m256i v) {
    const __m256i order = _mm256_setr_epi8(0, 1, 2, 3, 4, 5, 8, 9, 10, 11, 12, 13, -1, -1, -1, -1,
                                           0, 1, 2, 3, 4, 5, 8, 9, 10, 11, 12, 13, -1, -1, -1, -1);
    v = _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(v, order),
                                    _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 7, 7));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm256_castsi256_si128(v));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p + 16), _mm256_extracti128_si256(v, 1));
}

}  // namespace

TAVLIN_AVX2 size_t HueSaturation8(uint8_t* dst, const uint8_t* src, size_t pixels,
                                  int32_t bytesPerPixel, HueShift shift, int32_t chromaScale,
                                  const int32_t* chroma) {
    const Context c{MakeSectorVectors(), _mm256_set1_epi32(chromaScale * 256),
                    _mm256_set1_epi32(shift.sectorStep), _mm256_set1_epi32(shift.fineStep)};
    size_t i = 0;
    if (bytesPerPixel == 4) {
        const __m256i fourth = _mm256_set1_epi32(static_cast<int32_t>(0xFF000000u));
        for (; i + 8 <= pixels; i += 8) {
            const __m256i out = Pixels(Load(src + 4 * i), c);
            Store(dst + 4 * i, _mm256_blendv_epi8(out, Load(dst + 4 * i), fourth));
        }
    } else if (bytesPerPixel == 3) {
        // Each step reads 32 bytes for its 24, so it stops 8 bytes before the row's end.
        for (; 3 * i + 32 <= 3 * pixels; i += 8)
            Gather3(dst + 3 * i, Pixels(Spread(src + 3 * i), c));
    }
    return i;
}

TAVLIN_AVX2 size_t HueSaturation16(uint16_t* dst, const uint16_t* src, size_t pixels,
                                   int32_t wordsPerPixel, int32_t shift, HueShift hueShift,
                                   int32_t chromaScale, const int32_t* chroma) {
    if (wordsPerPixel != 3 && wordsPerPixel != 4) return 0;
    const Context c{MakeSectorVectors(), _mm256_set1_epi32(chromaScale * 256),
                    _mm256_set1_epi32(hueShift.sectorStep), _mm256_set1_epi32(hueShift.fineStep)};
    const __m128i count = _mm_cvtsi32_si128(shift);
    const __m256i byteMax = _mm256_set1_epi16(255);
    const __m256i colour = _mm256_set1_epi32(0xFFFFFF);
    const bool four = wordsPerPixel == 4;
    size_t i = 0;
    for (; i + 8 <= pixels; i += 8) {
        // Eight pixels, exactly their bytes, as two registers of four four-word pixels.
        const auto* in = reinterpret_cast<const uint8_t*>(src + i * wordsPerPixel);
        __m256i first = four ? Load(in) : LoadWide3(in);
        __m256i second = four ? Load(in + 32) : LoadWide3(in + 24);
        first = _mm256_min_epu16(_mm256_srl_epi16(first, count), byteMax);
        second = _mm256_min_epu16(_mm256_srl_epi16(second, count), byteMax);
        // Packing interleaves the registers by lane (pixels 0 1 4 5 | 2 3 6 7); the pixels are
        // independent and the unpacking below undoes the order.
        const __m256i packed = _mm256_and_si256(_mm256_packus_epi16(first, second), colour);
        const __m256i out = Pixels(packed, c);
        const __m256i zero = _mm256_setzero_si256();
        const __m256i low = _mm256_sll_epi16(_mm256_unpacklo_epi8(out, zero), count);
        const __m256i high = _mm256_sll_epi16(_mm256_unpackhi_epi8(out, zero), count);
        auto* target = reinterpret_cast<uint8_t*>(dst + i * wordsPerPixel);
        if (four) {
            // The fourth word stays as the destination has it.
            Store(target, _mm256_blend_epi16(Load(target), low, 0x77));
            Store(target + 32, _mm256_blend_epi16(Load(target + 32), high, 0x77));
        } else {
            StoreWide3(target, low);
            StoreWide3(target + 24, high);
        }
    }
    return i;
}

}  // namespace tavlin::imaging::avx2

#endif
