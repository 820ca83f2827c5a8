#include "output/sample_rows_ssse3.h"

#if !defined(TAVLIN_FORCE_PORTABLE) && defined(__x86_64__) && defined(__GNUC__)
#define TAVLIN_OUTPUT_SSSE3 1
#include <tmmintrin.h>
#else
#define TAVLIN_OUTPUT_SSSE3 0
#endif

namespace tavlin::output::ssse3 {

#if TAVLIN_OUTPUT_SSSE3

#define TAVLIN_SSSE3 __attribute__((target("ssse3")))

namespace {

TAVLIN_SSSE3 inline __m128i Load(const uint8_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
TAVLIN_SSSE3 inline void Store(uint8_t* p, __m128i v) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}
TAVLIN_SSSE3 inline __m128i Mask(int8_t b0, int8_t b1, int8_t b2, int8_t b3, int8_t b4, int8_t b5,
                                 int8_t b6, int8_t b7, int8_t b8, int8_t b9, int8_t b10, int8_t b11,
                                 int8_t b12, int8_t b13, int8_t b14, int8_t b15) {
    return _mm_setr_epi8(b0, b1, b2, b3, b4, b5, b6, b7, b8, b9, b10, b11, b12, b13, b14, b15);
}

// Sixteen words reduced to sixteen bytes: (v >> down) & 255.
TAVLIN_SSSE3 inline __m128i ReduceSixteen(const uint8_t* p, __m128i shift) {
    const __m128i low = _mm_set1_epi16(0xFF);
    return _mm_packus_epi16(_mm_and_si128(_mm_srl_epi16(Load(p), shift), low),
                            _mm_and_si128(_mm_srl_epi16(Load(p + 16), shift), low));
}

// Sixteen gray bytes as sixteen B, G, R pixels (48 bytes).
TAVLIN_SSSE3 inline void StoreTripled(uint8_t* dst, __m128i gray) {
    const __m128i m0 = Mask(0, 0, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 5);
    const __m128i m1 = Mask(5, 5, 6, 6, 6, 7, 7, 7, 8, 8, 8, 9, 9, 9, 10, 10);
    const __m128i m2 = Mask(10, 11, 11, 11, 12, 12, 12, 13, 13, 13, 14, 14, 14, 15, 15, 15);
    Store(dst, _mm_shuffle_epi8(gray, m0));
    Store(dst + 16, _mm_shuffle_epi8(gray, m1));
    Store(dst + 32, _mm_shuffle_epi8(gray, m2));
}

// Four B, G, R, X pixels to twelve bytes B, G, R (the last four bytes zero).
TAVLIN_SSSE3 inline __m128i DropFourth(__m128i bgrx) {
    return _mm_shuffle_epi8(bgrx, Mask(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1));
}

}  // namespace

bool Usable() {
    static const bool usable = __builtin_cpu_supports("ssse3");
    return usable;
}

TAVLIN_SSSE3 int32_t TripleGray(const uint8_t* src, uint8_t* dst, int32_t width) {
    int32_t x = 0;
    for (; x + 16 <= width; x += 16) StoreTripled(dst + 3 * x, Load(src + x));
    return x;
}

TAVLIN_SSSE3 int32_t ReduceGrayToBgr(const uint8_t* src, uint8_t* dst, int32_t width,
                                     SampleScale scale) {
    const __m128i shift = _mm_cvtsi32_si128(scale.down);
    int32_t x = 0;
    for (; x + 16 <= width; x += 16) StoreTripled(dst + 3 * x, ReduceSixteen(src + 2 * x, shift));
    return x;
}

// Each 16-byte store reaches 4 bytes past its 4 pixels; the guard keeps it inside the row.
TAVLIN_SSSE3 int32_t PackBgrx(const uint8_t* src, uint8_t* dst, int32_t width) {
    int32_t x = 0;
    for (; x + 6 <= width; x += 4) Store(dst + 3 * x, DropFourth(Load(src + 4 * x)));
    return x;
}

TAVLIN_SSSE3 int32_t ReduceBgrxWords(const uint8_t* src, uint8_t* dst, int32_t width,
                                     SampleScale scale) {
    const __m128i shift = _mm_cvtsi32_si128(scale.down);
    int32_t x = 0;
    for (; x + 6 <= width; x += 4)
        Store(dst + 3 * x, DropFourth(ReduceSixteen(src + 8 * x, shift)));
    return x;
}

// Five pixels (15 bytes) per step; the sixteenth byte stored is the next step's.
TAVLIN_SSSE3 int32_t SwapBgrToRgb(const uint8_t* src, uint8_t* dst, int32_t width) {
    const __m128i swap = Mask(2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 14, 13, 12, 15);
    int32_t x = 0;
    for (; x + 6 <= width; x += 5) Store(dst + 3 * x, _mm_shuffle_epi8(Load(src + 3 * x), swap));
    return x;
}

TAVLIN_SSSE3 int32_t SwapBgrxToRgb0(const uint8_t* src, uint8_t* dst, int32_t width) {
    const __m128i swap = Mask(2, 1, 0, -1, 6, 5, 4, -1, 10, 9, 8, -1, 14, 13, 12, -1);
    int32_t x = 0;
    for (; x + 4 <= width; x += 4) Store(dst + 4 * x, _mm_shuffle_epi8(Load(src + 4 * x), swap));
    return x;
}

// Two pixels (12 bytes) per step; the last four bytes stored are the next step's.
TAVLIN_SSSE3 int32_t SwapBgrWordsToRgb(const uint8_t* src, uint8_t* dst, int32_t width,
                                       SampleScale scale) {
    const __m128i shift = _mm_cvtsi32_si128(scale.up);
    const __m128i swap = Mask(4, 5, 2, 3, 0, 1, 10, 11, 8, 9, 6, 7, 12, 13, 14, 15);
    int32_t x = 0;
    for (; x + 3 <= width; x += 2) {
        Store(dst + 6 * x, _mm_shuffle_epi8(_mm_sll_epi16(Load(src + 6 * x), shift), swap));
    }
    return x;
}

TAVLIN_SSSE3 int32_t SwapBgrxWordsToRgbFull(const uint8_t* src, uint8_t* dst, int32_t width,
                                            SampleScale scale) {
    const __m128i shift = _mm_cvtsi32_si128(scale.up);
    const __m128i swap = Mask(4, 5, 2, 3, 0, 1, -1, -1, 12, 13, 10, 11, 8, 9, -1, -1);
    const __m128i full = _mm_setr_epi16(0, 0, 0, -1, 0, 0, 0, -1);
    int32_t x = 0;
    for (; x + 2 <= width; x += 2) {
        const __m128i v = _mm_shuffle_epi8(_mm_sll_epi16(Load(src + 8 * x), shift), swap);
        Store(dst + 8 * x, _mm_or_si128(v, full));
    }
    return x;
}

#else

bool Usable() {
    return false;
}
int32_t TripleGray(const uint8_t*, uint8_t*, int32_t) {
    return 0;
}
int32_t ReduceGrayToBgr(const uint8_t*, uint8_t*, int32_t, SampleScale) {
    return 0;
}
int32_t PackBgrx(const uint8_t*, uint8_t*, int32_t) {
    return 0;
}
int32_t ReduceBgrxWords(const uint8_t*, uint8_t*, int32_t, SampleScale) {
    return 0;
}
int32_t SwapBgrToRgb(const uint8_t*, uint8_t*, int32_t) {
    return 0;
}
int32_t SwapBgrxToRgb0(const uint8_t*, uint8_t*, int32_t) {
    return 0;
}
int32_t SwapBgrWordsToRgb(const uint8_t*, uint8_t*, int32_t, SampleScale) {
    return 0;
}
int32_t SwapBgrxWordsToRgbFull(const uint8_t*, uint8_t*, int32_t, SampleScale) {
    return 0;
}

#endif

}  // namespace tavlin::output::ssse3
