// AVX2 unsharp mask. A chunk of a row first gets its vertical 4-row sums, then each output adds
// four of them; 16 samples per step in 16-bit lanes.
#include <algorithm>

#include "simd_rows.h"
#include "simd_x86.h"

#if TAVLIN_SIMD_X86

namespace tavlin::imaging::avx2 {
namespace {

using x86::Load;
using x86::Store;

constexpr size_t kChunk = 512;

TAVLIN_AVX2 inline __m256i Load16(const uint8_t* p) {
    return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}
TAVLIN_AVX2 inline __m256i Load16(const uint16_t* p) {
    return Load(p);
}

TAVLIN_AVX2 inline void Store16(uint8_t* p, __m256i v, bool skipFourth) {
    __m128i bytes =
        _mm256_castsi256_si128(_mm256_permute4x64_epi64(_mm256_packus_epi16(v, v), 0x08));
    if (skipFourth) {
        const __m128i fourth = _mm_set1_epi32(static_cast<int32_t>(0xFF000000u));
        bytes =
            _mm_blendv_epi8(bytes, _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), fourth);
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), bytes);
}
TAVLIN_AVX2 inline void Store16(uint16_t* p, __m256i v, bool skipFourth) {
    if (skipFourth) v = _mm256_blend_epi16(v, Load(p), 0x88);
    Store(p, v);
}

// Vertical sums of samples [from, from + count) into sums[0..count); false when a sample is
// above 10 bits, where 16-bit sums could overflow.
template <typename Sample>
TAVLIN_AVX2 bool VerticalSums(const BoxRows<Sample>& box, size_t from, size_t count,
                              int16_t* sums) {
    __m256i seen = _mm256_setzero_si256();
    size_t t = 0;
    for (; t + 16 <= count; t += 16) {
        __m256i rows[4];
        for (int r = 0; r < 4; ++r) {
            rows[r] = Load16(box.rows[r] + from + t);
            seen = _mm256_or_si256(seen, rows[r]);
        }
        Store(sums + t, _mm256_add_epi16(_mm256_add_epi16(rows[0], rows[1]),
                                         _mm256_add_epi16(rows[2], rows[3])));
    }
    int32_t tailSeen = 0;
    for (; t < count; ++t) {
        int32_t sum = 0;
        for (const Sample* row : box.rows) {
            sum += row[from + t];
            tailSeen |= row[from + t];
        }
        sums[t] = static_cast<int16_t>(sum);
    }
    return sizeof(Sample) == 1 ||
           (_mm256_testz_si256(seen, _mm256_set1_epi16(static_cast<int16_t>(0xFC00))) &&
            (tailSeen & 0xFC00) == 0);
}

// v + trunc(strength * (v - blur) / 10), limited to 0..maxValue. The division is a high-half
// multiply by 0xCCCD and a shift of 3, exact for magnitudes below 2^16, on the absolute value.
TAVLIN_AVX2 inline __m256i Correct(__m256i v, __m256i boxSum, __m256i strength, __m256i top) {
    const __m256i difference = _mm256_sub_epi16(v, _mm256_srli_epi16(boxSum, 4));
    const __m256i scaled = _mm256_mullo_epi16(difference, strength);
    const __m256i tenth =
        _mm256_srli_epi16(_mm256_mulhi_epu16(_mm256_abs_epi16(scaled),
                                             _mm256_set1_epi16(static_cast<int16_t>(0xCCCD))),
                          3);
    const __m256i corrected = _mm256_add_epi16(v, _mm256_sign_epi16(tenth, scaled));
    return _mm256_min_epi16(_mm256_max_epi16(corrected, _mm256_setzero_si256()), top);
}

template <typename Sample>
TAVLIN_AVX2 size_t SharpenRow(Sample* dst, const BoxRows<Sample>& box, size_t begin, size_t end,
                              bool skipFourth, int32_t strength, int32_t maxValue) {
    if (maxValue > 1023) return begin;
    const size_t s = static_cast<size_t>(box.step);
    const __m256i gain = _mm256_set1_epi16(static_cast<int16_t>(strength));
    const __m256i top = _mm256_set1_epi16(static_cast<int16_t>(maxValue));
    alignas(32) int16_t sums[kChunk + 16];
    size_t j = begin;
    while (j + 16 <= end) {
        const size_t count = std::min(kChunk, (end - j) / 16 * 16);
        // Sums for the taps from 2 steps left of the first output to 1 step right of the last.
        if (!VerticalSums(box, j - 2 * s, count + 3 * s, sums)) return j;
        for (size_t t = 0; t < count; t += 16) {
            const __m256i boxSum =
                _mm256_add_epi16(_mm256_add_epi16(Load(sums + t), Load(sums + t + s)),
                                 _mm256_add_epi16(Load(sums + t + 2 * s), Load(sums + t + 3 * s)));
            const __m256i v = Load16(box.rows[2] + j + t);
            Store16(dst + j + t, Correct(v, boxSum, gain, top), skipFourth);
        }
        j += count;
    }
    return j;
}

}  // namespace

size_t Sharpen8(uint8_t* dst, const BoxRows<uint8_t>& box, size_t begin, size_t end,
                bool skipFourth, int32_t strength) {
    return SharpenRow(dst, box, begin, end, skipFourth, strength, 255);
}

size_t Sharpen16(uint16_t* dst, const BoxRows<uint16_t>& box, size_t begin, size_t end,
                 bool skipFourth, int32_t strength, int32_t maxValue) {
    return SharpenRow(dst, box, begin, end, skipFourth, strength, maxValue);
}

}  // namespace tavlin::imaging::avx2

#endif
