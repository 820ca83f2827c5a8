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

// Masks that interleave three planes of 16 one-byte (or 8 two-byte) values per lane into 48 bytes
// of packed pixels. Sample i of plane p goes to output sample 3i + p, that is to chunk
// (3i + p) / n at place (3i + p) % n, n samples per 16-byte chunk; as 3 and n share no factor, the
// places of one plane are all different. So one shuffle per plane puts every sample at its place
// (`spread`), and each chunk is a blend of the three by which plane owns each place (`second`,
// `third`: 0x80 where the second or third plane does). Stored for both lanes so that each loads as
// one operand. With kPairPacked the byte planes hold each lane's even pixels in bytes 0..7 and its
// odd pixels in bytes 8..15, as packing a pair's even and odd halves leaves them.
template <int kSampleBytes, bool kPairPacked>
struct Interleave3Masks {
    std::array<std::array<int8_t, 32>, 3> spread{};
    std::array<std::array<int8_t, 32>, 3> second{};
    std::array<std::array<int8_t, 32>, 3> third{};

    constexpr Interleave3Masks() {
        constexpr int n = 16 / kSampleBytes;
        for (int plane = 0; plane < 3; ++plane) {
            for (int i = 0; i < n; ++i) {
                const int place = (3 * i + plane) % n;
                const int slot = kPairPacked ? (i % 2) * 8 + i / 2 : i;
                for (int b = 0; b < kSampleBytes; ++b) {
                    spread[plane][place * kSampleBytes + b] =
                        static_cast<int8_t>(slot * kSampleBytes + b);
                }
            }
        }
        for (int chunk = 0; chunk < 3; ++chunk) {
            for (int byte = 0; byte < 16; ++byte) {
                const int owner = (n * chunk + byte / kSampleBytes) % 3;
                second[chunk][byte] = static_cast<int8_t>(owner == 1 ? -128 : 0);
                third[chunk][byte] = static_cast<int8_t>(owner == 2 ? -128 : 0);
            }
        }
        for (auto* table : {&spread, &second, &third}) {
            for (auto& mask : *table) {
                for (int byte = 0; byte < 16; ++byte) mask[byte + 16] = mask[byte];
            }
        }
    }
};

template <int kSampleBytes, bool kPairPacked>
inline constexpr Interleave3Masks<kSampleBytes, kPairPacked> kInterleave3{};

// Stores three planes (each lane holding 16 bytes or 8 words of consecutive pixels, lane 0 the
// first) as 96 bytes of packed three-channel pixels.
template <int kSampleBytes, bool kPairPacked = false>
TAVLIN_AVX2 inline void StoreInterleaved3(uint8_t* out, __m256i p0, __m256i p1, __m256i p2) {
    const auto& m = kInterleave3<kSampleBytes, kPairPacked>;
    const __m256i s0 = _mm256_shuffle_epi8(p0, Load(m.spread[0].data()));
    const __m256i s1 = _mm256_shuffle_epi8(p1, Load(m.spread[1].data()));
    const __m256i s2 = _mm256_shuffle_epi8(p2, Load(m.spread[2].data()));
    __m256i chunk[3];
    for (int c = 0; c < 3; ++c) {
        chunk[c] = _mm256_blendv_epi8(_mm256_blendv_epi8(s0, s1, Load(m.second[c].data())), s2,
                                      Load(m.third[c].data()));
    }
    Store(out, _mm256_permute2x128_si256(chunk[0], chunk[1], 0x20));
    Store(out + 32, _mm256_permute2x128_si256(chunk[2], chunk[0], 0x30));
    Store(out + 64, _mm256_permute2x128_si256(chunk[1], chunk[2], 0x31));
}

}  // namespace tavlin::imaging::x86

#endif
