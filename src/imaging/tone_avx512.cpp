// AVX-512 VBMI byte table lookup: two 128-entry permutes and a select by the top bit replace the
// sixteen shuffles of the AVX2 version.
// GCC 12's AVX-512 headers initialise their "undefined" vectors from themselves.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#include "simd_rows.h"
#include "simd_x86.h"

#if TAVLIN_SIMD_X86

namespace tavlin::imaging::avx512 {

TAVLIN_AVX512 size_t Lut8(uint8_t* dst, const uint8_t* src, size_t count, bool skipFourth,
                          const uint8_t* table) {
    const __m512i t0 = _mm512_loadu_si512(table);
    const __m512i t1 = _mm512_loadu_si512(table + 64);
    const __m512i t2 = _mm512_loadu_si512(table + 128);
    const __m512i t3 = _mm512_loadu_si512(table + 192);
    // Every byte except the fourth of each pixel.
    const __mmask64 write = skipFourth ? 0x7777777777777777ull : ~0ull;
    size_t i = 0;
    for (; i + 64 <= count; i += 64) {
        const __m512i v = _mm512_loadu_si512(src + i);
        const __m512i lowHalf = _mm512_permutex2var_epi8(t0, v, t1);
        const __m512i highHalf = _mm512_permutex2var_epi8(t2, v, t3);
        const __m512i out = _mm512_mask_blend_epi8(_mm512_movepi8_mask(v), lowHalf, highHalf);
        _mm512_mask_storeu_epi8(dst + i, write, out);
    }
    return i;
}

}  // namespace tavlin::imaging::avx512

#endif
