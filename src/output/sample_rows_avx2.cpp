#include "output/sample_rows_avx2.h"

#if !defined(TAVLIN_FORCE_PORTABLE) && defined(__x86_64__) && defined(__GNUC__)
#define TAVLIN_OUTPUT_AVX2 1
#include <immintrin.h>
#else
#define TAVLIN_OUTPUT_AVX2 0
#endif

namespace tavlin::output::avx2 {

#if TAVLIN_OUTPUT_AVX2

#define TAVLIN_AVX2 __attribute__((target("avx2")))

namespace {

TAVLIN_AVX2 inline __m256i Load(const uint8_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

}  // namespace

bool Usable() {
    static const bool usable = __builtin_cpu_supports("avx2");
    return usable;
}

// Eight pixels per step. Packing works within 128-bit lanes, so the packed bytes hold pixels
// 0, 1, 4, 5 | 2, 3, 6, 7; a qword permute puts them in order, a shuffle drops each fourth byte,
// and each lane's twelve bytes go out with one 16-byte store. The second store reaches 4 bytes
// past the eight pixels; the guard keeps it inside the row.
TAVLIN_AVX2 int32_t ReduceBgrxWords(const uint8_t* src, uint8_t* dst, int32_t width,
                                    SampleScale scale) {
    const __m128i shift = _mm_cvtsi32_si128(scale.down);
    const __m256i low = _mm256_set1_epi16(0xFF);
    const __m256i drop = _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1, 0,
                                          1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    int32_t x = 0;
    for (; x + 10 <= width; x += 8) {
        const __m256i a = _mm256_and_si256(_mm256_srl_epi16(Load(src + 8 * x), shift), low);
        const __m256i b = _mm256_and_si256(_mm256_srl_epi16(Load(src + 8 * x + 32), shift), low);
        const __m256i bgrx = _mm256_permute4x64_epi64(_mm256_packus_epi16(a, b), 0xD8);
        const __m256i bgr = _mm256_shuffle_epi8(bgrx, drop);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 3 * x), _mm256_castsi256_si128(bgr));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 3 * x + 12),
                         _mm256_extracti128_si256(bgr, 1));
    }
    return x;
}

TAVLIN_AVX2 int32_t ScaleWordsLittleEndian(const uint8_t* src, uint8_t* dst, int32_t samples,
                                           SampleScale scale) {
    const __m128i shift = _mm_cvtsi32_si128(scale.up);
    int32_t i = 0;
    for (; i + 16 <= samples; i += 16) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + 2 * i),
                            _mm256_sll_epi16(Load(src + 2 * i), shift));
    }
    return i;
}

#else

bool Usable() {
    return false;
}
int32_t ReduceBgrxWords(const uint8_t*, uint8_t*, int32_t, SampleScale) {
    return 0;
}
int32_t ScaleWordsLittleEndian(const uint8_t*, uint8_t*, int32_t, SampleScale) {
    return 0;
}

#endif

}  // namespace tavlin::output::avx2
