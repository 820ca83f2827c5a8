// AVX-512 hue and saturation: 16 pixels per step in 32-bit lanes, with byte permutes moving
// three-channel pixels in and out of the lanes (no reads or writes past the pixels).
#include <algorithm>

#include "hue_saturation_pixel.h"
// GCC 12's AVX-512 headers initialise their "undefined" vectors from themselves.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#include "simd_rows.h"
#include "simd_x86.h"

#if TAVLIN_SIMD_X86

namespace tavlin::imaging::avx512 {
namespace {

struct Context {
    __m512i picks;        // kHueSectorPicks turned by the sector step, for sector + wrap 0..6
    __m512i chromaScale;  // (saturation + 256) * 64, for the rounded product with 2d
    __m512i fineStep;
};

TAVLIN_AVX512 inline Context MakeContext(HueShift shift, int32_t chromaScale) {
    uint32_t picks[16] = {};
    for (int32_t i = 0; i < 16; ++i) picks[i] = kHueSectorPicks[(i + shift.sectorStep) % 6];
    return {_mm512_loadu_si512(picks), _mm512_set1_epi32(chromaScale * 64),
            _mm512_set1_epi32(shift.fineStep)};
}

// Byte shuffle picks are relative to the 16-byte lane: the first byte of each pixel.
TAVLIN_AVX512 inline __m512i PixelBase() {
    return _mm512_set4_epi32(0x0C0C0C0C, 0x08080808, 0x04040404, 0);
}

// A byte value (the rest of the pixel zero) in the three colour bytes.
TAVLIN_AVX512 inline __m512i Gray(__m512i v) {
    return _mm512_shuffle_epi8(
        v, _mm512_set4_epi32(static_cast<int32_t>(0x800C0C0C), static_cast<int32_t>(0x80080808),
                             static_cast<int32_t>(0x80040404), static_cast<int32_t>(0x80000000)));
}

// A pixel's place on the hexcone: chroma d, sector and position in it, lightness (max + min).
struct Hexcone {
    __m512i d;
    __m512i sector;
    __m512i numerator;
    __m512i lightness;
};

TAVLIN_AVX512 inline Hexcone Analyse(__m512i packed) {
    const __m512i byte = _mm512_set1_epi32(0xFF);
    const __m512i blue = _mm512_and_si512(packed, byte);
    const __m512i green = _mm512_and_si512(_mm512_srli_epi32(packed, 8), byte);
    const __m512i red = _mm512_and_si512(_mm512_srli_epi32(packed, 16), byte);
    const __m512i redGreenMax = _mm512_max_epi32(red, green);
    const __m512i high = _mm512_max_epi32(redGreenMax, blue);
    const __m512i low = _mm512_min_epi32(_mm512_min_epi32(red, green), blue);
    const __m512i d = _mm512_sub_epi32(high, low);

    const __mmask16 redFirst = _mm512_cmpgt_epi32_mask(green, red);
    __m512i sector = _mm512_mask_blend_epi32(redFirst, _mm512_set1_epi32(1), _mm512_set1_epi32(3));
    __m512i numerator = _mm512_mask_blend_epi32(redFirst, _mm512_sub_epi32(green, blue),
                                                _mm512_sub_epi32(blue, red));
    const __mmask16 blueFirst = _mm512_cmpgt_epi32_mask(blue, redGreenMax);
    sector = _mm512_mask_blend_epi32(blueFirst, sector, _mm512_set1_epi32(5));
    numerator = _mm512_mask_blend_epi32(blueFirst, numerator, _mm512_sub_epi32(red, green));
    const __mmask16 negative = _mm512_cmplt_epi32_mask(numerator, _mm512_setzero_si512());
    sector = _mm512_mask_sub_epi32(sector, negative, sector, _mm512_set1_epi32(1));
    numerator = _mm512_mask_add_epi32(numerator, negative, numerator, d);
    return {d, sector, numerator, _mm512_add_epi32(high, low)};
}

// kHueReciprocal[d] by a division rather than a gather: 0xFF0000 < 2^24, so the float quotient
// is off by less than 1/d and truncates to the integer one (d = 0 gives a value that only meets a
// zero width).
TAVLIN_AVX512 inline __m512i Reciprocal(__m512i d) {
    const __m512 quotient =
        _mm512_div_ps(_mm512_set1_ps(static_cast<float>(0xFF0000)), _mm512_cvtepi32_ps(d));
    return _mm512_cvttps_epi32(quotient);
}

// The channels above the new low: the width where at full chroma, the ramp of the shifted hue
// where it rises, the width less the ramp where it falls. A gray pixel (d = 0) has width 0, so
// all are zero.
TAVLIN_AVX512 inline __m512i HueTerm(const Hexcone& h, __m512i width, const Context& c) {
    __m512i v = _mm512_add_epi32(
        _mm512_srli_epi32(_mm512_add_epi32(_mm512_mullo_epi32(h.numerator, Reciprocal(h.d)),
                                           _mm512_set1_epi32(0x8000)),
                          16),
        c.fineStep);
    const __mmask16 wraps = _mm512_cmpgt_epi32_mask(v, _mm512_set1_epi32(254));
    const __m512i index = _mm512_mask_add_epi32(h.sector, wraps, h.sector, _mm512_set1_epi32(1));
    v = _mm512_mask_sub_epi32(v, wraps, v, _mm512_set1_epi32(255));
    // width * v < 2^16, so the 16-bit product of the low halves is exact.
    const __m512i ramp = _mm512_srli_epi32(
        _mm512_add_epi32(_mm512_mullo_epi16(width, v), _mm512_set1_epi32(128)), 8);
    const __m512i parts = _mm512_or_si512(_mm512_or_si512(width, _mm512_slli_epi32(ramp, 8)),
                                          _mm512_slli_epi32(_mm512_sub_epi32(width, ramp), 16));
    const __m512i picks = _mm512_or_si512(_mm512_permutexvar_epi32(index, c.picks), PixelBase());
    return _mm512_shuffle_epi8(parts, picks);
}

TAVLIN_AVX512 inline __m512i Pixels(__m512i packed, const Context& c) {
    const Hexcone h = Analyse(packed);
    // (d * scale + 128) >> 8 as the rounded high product of 2d and 64 * scale, both below 2^15.
    const __m512i chroma = _mm512_mulhrs_epi16(_mm512_add_epi32(h.d, h.d), c.chromaScale);
    const __m512i newChroma =
        _mm512_min_epi32(_mm512_min_epi32(chroma, h.lightness),
                         _mm512_sub_epi32(_mm512_set1_epi32(511), h.lightness));
    const __m512i newLow = _mm512_srli_epi32(_mm512_sub_epi32(h.lightness, newChroma), 1);
    const __m512i width =
        _mm512_sub_epi32(_mm512_srli_epi32(_mm512_add_epi32(newChroma, h.lightness), 1), newLow);
    return _mm512_add_epi32(Gray(newLow), HueTerm(h, width, c));
}

// Byte permutes between 16 three-byte pixels and 16 lanes (fourth byte zero).
TAVLIN_AVX512 inline __m512i SpreadIndex() {
    alignas(64) int8_t index[64];
    for (int i = 0; i < 64; ++i)
        index[i] = static_cast<int8_t>((i / 4) * 3 + (i % 4 < 3 ? i % 4 : 0));
    return _mm512_load_si512(index);
}
TAVLIN_AVX512 inline __m512i PackIndex() {
    alignas(64) int8_t index[64] = {};
    for (int i = 0; i < 48; ++i) index[i] = static_cast<int8_t>((i / 3) * 4 + i % 3);
    return _mm512_load_si512(index);
}

constexpr __mmask64 kColorBytes = 0x7777777777777777ull;

TAVLIN_AVX512 inline __mmask64 FirstBytes(size_t n) {
    return n >= 64 ? ~0ull : (1ull << n) - 1;
}

}  // namespace

TAVLIN_AVX512 size_t HueSaturation8(uint8_t* dst, const uint8_t* src, size_t pixels,
                                    int32_t bytesPerPixel, HueShift shift, int32_t chromaScale,
                                    const int32_t* chroma) {
    if (chromaScale < 0 || chromaScale > 511) return 0;
    const Context c = MakeContext(shift, chromaScale);
    if (bytesPerPixel == 4) {
        for (size_t i = 0; i < pixels; i += 16) {
            const __mmask64 bytes = FirstBytes(4 * (pixels - i)) & kColorBytes;
            const __m512i in = _mm512_maskz_loadu_epi8(bytes, src + 4 * i);
            _mm512_mask_storeu_epi8(dst + 4 * i, bytes, Pixels(in, c));
        }
        return pixels;
    }
    if (bytesPerPixel != 3) return 0;
    const __m512i spread = SpreadIndex();
    const __m512i pack = PackIndex();
    size_t i = 0;
    // Whole steps read 64 bytes for their 48 and store the 48 as 32 + 16; masked accesses,
    // which are slower, only finish the row.
    for (; 3 * i + 64 <= 3 * pixels; i += 16) {
        const __m512i lanes =
            _mm512_maskz_permutexvar_epi8(kColorBytes, spread, _mm512_loadu_si512(src + 3 * i));
        const __m512i out = _mm512_permutexvar_epi8(pack, Pixels(lanes, c));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + 3 * i), _mm512_castsi512_si256(out));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 3 * i + 32),
                         _mm512_extracti32x4_epi32(out, 2));
    }
    for (; i < pixels; i += 16) {
        const __mmask64 bytes = FirstBytes(3 * (pixels - i)) & FirstBytes(48);
        const __m512i in = _mm512_maskz_loadu_epi8(bytes, src + 3 * i);
        const __m512i lanes = _mm512_maskz_permutexvar_epi8(kColorBytes, spread, in);
        _mm512_mask_storeu_epi8(dst + 3 * i, bytes,
                                _mm512_permutexvar_epi8(pack, Pixels(lanes, c)));
    }
    return pixels;
}

// Byte permutes between 16 pixels of 16-bit channels (3 or 4 words each, 96 or 128 bytes in two
// registers) and the 16 lanes, and which bytes of the pixels are channel bytes; for the masked
// steps that finish a row.
struct WideLayout {
    __m512i spread;
    __m512i pack[2];
    __mmask64 packBytes[2];
    __mmask64 channelBytes[2];
};

TAVLIN_AVX512 WideLayout MakeWideLayout(int32_t wordsPerPixel) {
    alignas(64) int8_t spread[64] = {};
    alignas(64) int8_t pack[128] = {};
    uint64_t packBytes[2] = {};
    uint64_t channelBytes[2] = {};
    for (int i = 0; i < 64; ++i) {
        const int channel = i % 4;
        if (channel < 3) spread[i] = static_cast<int8_t>(2 * (wordsPerPixel * (i / 4) + channel));
    }
    for (int j = 0; j < 32 * wordsPerPixel; ++j) {
        const int word = j / 2;
        const int channel = word % wordsPerPixel;
        if (channel >= 3) continue;
        channelBytes[j / 64] |= 1ull << (j % 64);
        if (j % 2 == 0) {
            pack[j] = static_cast<int8_t>(4 * (word / wordsPerPixel) + channel);
            packBytes[j / 64] |= 1ull << (j % 64);
        }
    }
    return {_mm512_load_si512(spread),
            {_mm512_load_si512(pack), _mm512_load_si512(pack + 64)},
            {packBytes[0], packBytes[1]},
            {channelBytes[0], channelBytes[1]}};
}

// Whole steps of 16 three-word pixels read exactly their 96 bytes, at p and p + 32, and pack the
// narrowed words to bytes: lane k of the pack holds words 8k..8k+7 of the first load and of the
// second (words 16 + 8k..). This permute takes each pixel's three channel bytes from there.
TAVLIN_AVX512 inline __m512i Spread3Index() {
    alignas(64) int8_t index[64];
    for (int i = 0; i < 64; ++i) {
        const int word = 3 * (i / 4) + (i % 4 < 3 ? i % 4 : 0);
        const int second = word - 16;
        index[i] = static_cast<int8_t>(word < 32 ? 16 * (word / 8) + word % 8
                                                 : 16 * (second / 8) + 8 + second % 8);
    }
    return _mm512_load_si512(index);
}

// Samples shifted down to 8 significant bits and limited to a byte.
TAVLIN_AVX512 inline __m512i Narrow(__m512i words, __m128i count, __m512i byteMax) {
    return _mm512_min_epu16(_mm512_srl_epi16(words, count), byteMax);
}

// Two registers of words shifted and packed to bytes. Packs saturate from signed words, so after
// a shift by at least 1 they limit to a byte by themselves; without it, words from 0x8000 up are
// limited first.
template <bool kShifted>
TAVLIN_AVX512 inline __m512i NarrowPack(__m512i a, __m512i b, __m128i count) {
    if constexpr (kShifted) {
        return _mm512_packus_epi16(_mm512_srl_epi16(a, count), _mm512_srl_epi16(b, count));
    }
    const __m512i byteMax = _mm512_set1_epi16(255);
    return _mm512_packus_epi16(_mm512_min_epu16(a, byteMax), _mm512_min_epu16(b, byteMax));
}

constexpr __mmask64 kEvenBytes = 0x5555555555555555ull;

// The whole 16-pixel steps of a row, with plain loads and stores; returns the pixels done.
template <bool kShifted>
TAVLIN_AVX512 size_t WideSteps(uint16_t* dst, const uint16_t* src, size_t pixels,
                               int32_t wordsPerPixel, __m128i count, const Context& c,
                               const WideLayout& layout) {
    size_t i = 0;
    if (wordsPerPixel == 3) {
        const __m512i spread = Spread3Index();
        for (; i + 16 <= pixels; i += 16) {
            const auto* in = reinterpret_cast<const uint8_t*>(src + 3 * i);
            auto* out = reinterpret_cast<uint8_t*>(dst + 3 * i);
            const __m512i bytes =
                NarrowPack<kShifted>(_mm512_loadu_si512(in), _mm512_loadu_si512(in + 32), count);
            const __m512i packed = Pixels(_mm512_permutexvar_epi8(spread, bytes), c);
            const __m512i low = _mm512_sll_epi16(
                _mm512_maskz_permutexvar_epi8(kEvenBytes, layout.pack[0], packed), count);
            const __m512i high = _mm512_sll_epi16(
                _mm512_maskz_permutexvar_epi8(kEvenBytes, layout.pack[1], packed), count);
            _mm512_storeu_si512(out, low);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 64), _mm512_castsi512_si256(high));
        }
        return i;
    }
    for (; i + 16 <= pixels; i += 16) {
        // Packing interleaves the two registers by lane, as in the AVX2 rows; the pixels are
        // independent and the unpacking undoes the order. The fourth channel's byte is packed
        // along and ignored; the fourth word stays the destination's.
        const auto* in = reinterpret_cast<const uint8_t*>(src + 4 * i);
        auto* out = reinterpret_cast<uint8_t*>(dst + 4 * i);
        const __m512i packed = Pixels(
            NarrowPack<kShifted>(_mm512_loadu_si512(in), _mm512_loadu_si512(in + 64), count), c);
        const __m512i zero = _mm512_setzero_si512();
        const __m512i low = _mm512_sll_epi16(_mm512_unpacklo_epi8(packed, zero), count);
        const __m512i high = _mm512_sll_epi16(_mm512_unpackhi_epi8(packed, zero), count);
        constexpr __mmask32 kColorWords = 0x77777777u;
        _mm512_storeu_si512(out,
                            _mm512_mask_blend_epi16(kColorWords, _mm512_loadu_si512(out), low));
        _mm512_storeu_si512(
            out + 64, _mm512_mask_blend_epi16(kColorWords, _mm512_loadu_si512(out + 64), high));
    }
    return i;
}

TAVLIN_AVX512 size_t HueSaturation16(uint16_t* dst, const uint16_t* src, size_t pixels,
                                     int32_t wordsPerPixel, int32_t shift, HueShift hueShift,
                                     int32_t chromaScale, const int32_t* chroma) {
    if ((wordsPerPixel != 3 && wordsPerPixel != 4) || chromaScale < 0 || chromaScale > 511)
        return 0;
    const Context c = MakeContext(hueShift, chromaScale);
    const WideLayout layout = MakeWideLayout(wordsPerPixel);
    const __m128i count = _mm_cvtsi32_si128(shift);
    const __m512i byteMax = _mm512_set1_epi16(255);
    size_t i = shift > 0 ? WideSteps<true>(dst, src, pixels, wordsPerPixel, count, c, layout)
                         : WideSteps<false>(dst, src, pixels, wordsPerPixel, count, c, layout);
    // The rest of the row in masked steps.
    for (; i < pixels; i += 16) {
        const size_t bytes = std::min<size_t>(16, pixels - i) * 2 * wordsPerPixel;
        const auto* in = reinterpret_cast<const uint8_t*>(src + i * wordsPerPixel);
        auto* out = reinterpret_cast<uint8_t*>(dst + i * wordsPerPixel);
        const __mmask64 first = FirstBytes(bytes);
        const __mmask64 second = FirstBytes(bytes > 64 ? bytes - 64 : 0);
        const __m512i a = Narrow(_mm512_maskz_loadu_epi8(first, in), count, byteMax);
        const __m512i b = Narrow(_mm512_maskz_loadu_epi8(second, in + 64), count, byteMax);
        const __m512i packed =
            Pixels(_mm512_maskz_permutex2var_epi8(kColorBytes, a, layout.spread, b), c);
        for (int half = 0; half < 2; ++half) {
            const __m512i words = _mm512_sll_epi16(
                _mm512_maskz_permutexvar_epi8(layout.packBytes[half], layout.pack[half], packed),
                count);
            _mm512_mask_storeu_epi8(
                out + 64 * half, layout.channelBytes[half] & (half == 0 ? first : second), words);
        }
    }
    return pixels;
}

}  // namespace tavlin::imaging::avx512

#endif
