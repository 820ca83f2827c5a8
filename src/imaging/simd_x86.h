// Helpers shared by the x86 SIMD row functions. Every function using AVX2 carries the target
// attribute, so the rest of the library stays baseline x86-64.
#pragma once

#include "simd_paths.h"

#if TAVLIN_SIMD_X86

#ifdef TAVLIN_EMULATE_AVX512
// tests/imaging_avx512 builds the AVX-512 rows for machines without AVX-512: SIMDe provides the
// intrinsics in AVX2 code.
#include "avx512_emulation.h"
#else
#include <immintrin.h>
#endif

#include <array>
#include <cstdint>

#define TAVLIN_AVX2 __attribute__((target("avx2")))
#ifdef TAVLIN_EMULATE_AVX512
#define TAVLIN_AVX512 TAVLIN_AVX2
#else
#define TAVLIN_AVX512 __attribute__((target("avx2,avx512f,avx512bw,avx512vbmi")))
#endif

namespace tavlin::imaging::x86 {

TAVLIN_AVX2 inline __m256i Load(const void* p) {
    return _mm256_loadu_si256(static_cast<const __m256i*>(p));
}
TAVLIN_AVX2 inline void Store(void* p, __m256i v) {
    _mm256_storeu_si256(static_cast<__m256i*>(p), v);
}

// pshufb masks that interleave three planes of 16 one-byte (or 8 two-byte) values per lane into
// 48 bytes of packed pixels: mask[chunk][plane] fetches the plane's values that land in output
// bytes 16 * chunk .. 16 * chunk + 15, repeated for both lanes so that it loads as one operand.
// With kPairPacked the byte planes hold each lane's even pixels in bytes 0..7 and its odd pixels
// in bytes 8..15, as packing a pair's even and odd halves leaves them.
template <int kSampleBytes, bool kPairPacked = false>
inline constexpr std::array<std::array<std::array<int8_t, 32>, 3>, 3> kInterleave3 = [] {
    std::array<std::array<std::array<int8_t, 32>, 3>, 3> masks{};
    for (int chunk = 0; chunk < 3; ++chunk) {
        for (int plane = 0; plane < 3; ++plane) {
            for (int j = 0; j < 16; ++j) {
                const int byte = 16 * chunk + j;
                const int sample = byte / kSampleBytes;
                const bool mine = sample % 3 == plane;
                const int value = sample / 3;
                const int slot = kPairPacked ? (value % 2) * 8 + value / 2 : value;
                const int source = slot * kSampleBytes + byte % kSampleBytes;
                masks[chunk][plane][j] = static_cast<int8_t>(mine ? source : -128);
                masks[chunk][plane][j + 16] = masks[chunk][plane][j];
            }
        }
    }
    return masks;
}();

// Stores three planes (each lane holding 16 bytes or 8 words of consecutive pixels, lane 0 the
// first) as 96 bytes of packed three-channel pixels.
template <int kSampleBytes, bool kPairPacked = false>
TAVLIN_AVX2 inline void StoreInterleaved3(uint8_t* out, __m256i p0, __m256i p1, __m256i p2) {
    const auto& m = kInterleave3<kSampleBytes, kPairPacked>;
    __m256i chunk[3];
    for (int c = 0; c < 3; ++c) {
        chunk[c] = _mm256_or_si256(_mm256_or_si256(_mm256_shuffle_epi8(p0, Load(m[c][0].data())),
                                                   _mm256_shuffle_epi8(p1, Load(m[c][1].data()))),
                                   _mm256_shuffle_epi8(p2, Load(m[c][2].data())));
    }
    Store(out, _mm256_permute2x128_si256(chunk[0], chunk[1], 0x20));
    Store(out + 32, _mm256_permute2x128_si256(chunk[2], chunk[0], 0x30));
    Store(out + 64, _mm256_permute2x128_si256(chunk[1], chunk[2], 0x31));
}

}  // namespace tavlin::imaging::x86

#endif
