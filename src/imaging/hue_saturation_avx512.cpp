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
    __m512i mask;         // channels at full chroma, by sector index 0..11
    __m512i shift;        // where the ramp goes: 0 blue, 8 green, 16 red
    __m512i chromaScale;  // (saturation + 256) * 256
    __m512i sectorStep;
    __m512i fineStep;
};

TAVLIN_AVX512 inline Context MakeContext(HueShift shift, int32_t chromaScale) {
    Context c;
    int32_t mask[16] = {};
    int32_t ramp[16] = {};
    for (int i = 0; i < 12; ++i) {
        const HueSector& entry = kHueSectors[i];
        const int32_t magnitude = entry.factor < 0 ? -entry.factor : entry.factor;
        mask[i] = entry.mask;
        ramp[i] = magnitude == 1 ? 0 : (magnitude == 256 ? 8 : 16);
    }
    c.mask = _mm512_loadu_si512(mask);
    c.shift = _mm512_loadu_si512(ramp);
    c.chromaScale = _mm512_set1_epi32(chromaScale * 256);
    c.sectorStep = _mm512_set1_epi32(shift.sectorStep);
    c.fineStep = _mm512_set1_epi32(shift.fineStep);
    return c;
}

TAVLIN_AVX512 inline __m512i Gray(__m512i v) {
    return _mm512_or_si512(v, _mm512_or_si512(_mm512_slli_epi32(v, 8), _mm512_slli_epi32(v, 16)));
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

// The ramp of the shifted hue, placed on its channel with its sign, plus the channels at full
// chroma; zero for gray pixels.
TAVLIN_AVX512 inline __m512i HueTerm(const Hexcone& h, __m512i width, const Context& c) {
    const __m512i reciprocal = _mm512_i32gather_epi32(h.d, kHueReciprocal.data(), 4);
    __m512i v = _mm512_add_epi32(
        _mm512_srli_epi32(_mm512_add_epi32(_mm512_mullo_epi32(h.numerator, reciprocal),
                                           _mm512_set1_epi32(0x8000)),
                          16),
        c.fineStep);
    __m512i index = _mm512_add_epi32(h.sector, c.sectorStep);
    const __mmask16 wraps = _mm512_cmpgt_epi32_mask(v, _mm512_set1_epi32(254));
    index = _mm512_mask_add_epi32(index, wraps, index, _mm512_set1_epi32(1));
    v = _mm512_mask_sub_epi32(v, wraps, v, _mm512_set1_epi32(255));
    // width * v < 2^16, so the 16-bit product of the low halves is exact.
    const __m512i ramp = _mm512_srli_epi32(
        _mm512_add_epi32(_mm512_mullo_epi16(width, v), _mm512_set1_epi32(128)), 8);
    const __m512i placed = _mm512_sllv_epi32(ramp, _mm512_permutexvar_epi32(index, c.shift));
    // Sectors of even index take the ramp away, odd ones add it.
    const __mmask16 subtracts = _mm512_testn_epi32_mask(index, _mm512_set1_epi32(1));
    __m512i term = _mm512_and_si512(Gray(width), _mm512_permutexvar_epi32(index, c.mask));
    term = _mm512_mask_sub_epi32(term, subtracts, term, placed);
    term = _mm512_mask_add_epi32(term, static_cast<__mmask16>(~subtracts), term, placed);
    return _mm512_maskz_mov_epi32(_mm512_test_epi32_mask(h.d, h.d), term);
}

TAVLIN_AVX512 inline __m512i Pixels(__m512i packed, const Context& c) {
    const Hexcone h = Analyse(packed);
    const __m512i chroma = _mm512_srli_epi32(
        _mm512_add_epi32(_mm512_mullo_epi32(h.d, c.chromaScale), _mm512_set1_epi32(0x8000)), 16);
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
// registers) and the 16 lanes, and which bytes of the pixels are channel bytes.
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

TAVLIN_AVX512 size_t HueSaturation16(uint16_t* dst, const uint16_t* src, size_t pixels,
                                     int32_t wordsPerPixel, int32_t shift, HueShift hueShift,
                                     int32_t chromaScale, const int32_t* chroma) {
    if (wordsPerPixel != 3 && wordsPerPixel != 4) return 0;
    const Context c = MakeContext(hueShift, chromaScale);
    const WideLayout layout = MakeWideLayout(wordsPerPixel);
    const __m128i count = _mm_cvtsi32_si128(shift);
    const __m512i byteMax = _mm512_set1_epi16(255);
    for (size_t i = 0; i < pixels; i += 16) {
        const size_t bytes = std::min<size_t>(16, pixels - i) * 2 * wordsPerPixel;
        const auto* in = reinterpret_cast<const uint8_t*>(src + i * wordsPerPixel);
        auto* out = reinterpret_cast<uint8_t*>(dst + i * wordsPerPixel);
        const __mmask64 first = FirstBytes(bytes);
        const __mmask64 second = FirstBytes(bytes > 64 ? bytes - 64 : 0);
        const __m512i a =
            _mm512_min_epu16(_mm512_srl_epi16(_mm512_maskz_loadu_epi8(first, in), count), byteMax);
        const __m512i b = _mm512_min_epu16(
            _mm512_srl_epi16(_mm512_maskz_loadu_epi8(second, in + 64), count), byteMax);
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
