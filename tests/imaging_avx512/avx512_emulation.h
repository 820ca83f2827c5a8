// The x86 intrinsics for the emulated AVX-512 rows: SIMDe's, under their usual names, and those
// that SIMDe 0.7 lacks, written out lane by lane.
#pragma once

#define SIMDE_ENABLE_NATIVE_ALIASES
#include <simde/x86/avx512.h>

#include <climits>
#include <cstdint>
#include <cstring>

namespace tavlin::imaging::emulation {

template <typename Lane, int kLanes, typename Vector>
inline void ToLanes(Vector v, Lane (&lanes)[kLanes]) {
    static_assert(sizeof(Vector) == sizeof(lanes));
    std::memcpy(lanes, &v, sizeof(lanes));
}

template <typename Vector, typename Lane, int kLanes>
inline Vector FromLanes(const Lane (&lanes)[kLanes]) {
    Vector v;
    static_assert(sizeof(Vector) == sizeof(lanes));
    std::memcpy(&v, lanes, sizeof(lanes));
    return v;
}

inline simde__mmask16 CmpLtEpi32Mask(simde__m512i a, simde__m512i b) {
    return simde_mm512_cmpgt_epi32_mask(b, a);
}

inline simde__mmask16 TestnEpi32Mask(simde__m512i a, simde__m512i b) {
    int32_t x[16];
    int32_t y[16];
    ToLanes(a, x);
    ToLanes(b, y);
    simde__mmask16 mask = 0;
    for (int i = 0; i < 16; ++i) {
        if ((x[i] & y[i]) == 0) mask = static_cast<simde__mmask16>(mask | (1u << i));
    }
    return mask;
}

inline simde__m512i MulhiEpu16(simde__m512i a, simde__m512i b) {
    uint16_t x[32];
    uint16_t y[32];
    ToLanes(a, x);
    ToLanes(b, y);
    for (int i = 0; i < 32; ++i) x[i] = static_cast<uint16_t>((uint32_t{x[i]} * y[i]) >> 16);
    return FromLanes<simde__m512i>(x);
}

inline simde__m512i MaskzLoaduEpi8(simde__mmask64 mask, const void* p) {
    uint8_t bytes[64] = {};
    for (int i = 0; i < 64; ++i) {
        if ((mask >> i) & 1) bytes[i] = static_cast<const uint8_t*>(p)[i];
    }
    return FromLanes<simde__m512i>(bytes);
}

template <typename Lane, int kLanes, typename Mask>
inline void MaskStore(void* p, Mask mask, simde__m512i v) {
    Lane lanes[kLanes];
    ToLanes(v, lanes);
    for (int i = 0; i < kLanes; ++i) {
        if ((mask >> i) & 1) std::memcpy(static_cast<Lane*>(p) + i, &lanes[i], sizeof(Lane));
    }
}

inline void MaskStoreuEpi8(void* p, simde__mmask64 mask, simde__m512i v) {
    MaskStore<uint8_t, 64>(p, mask, v);
}

inline void MaskStoreuEpi16(void* p, simde__mmask32 mask, simde__m512i v) {
    MaskStore<uint16_t, 32>(p, mask, v);
}

inline simde__m512 CvtEpi32Ps(simde__m512i a) {
    int32_t x[16];
    float f[16];
    ToLanes(a, x);
    for (int i = 0; i < 16; ++i) f[i] = static_cast<float>(x[i]);
    return FromLanes<simde__m512>(f);
}

// Out of range and NaN give INT_MIN, as the instruction does.
inline simde__m512i CvttPsEpi32(simde__m512 a) {
    float f[16];
    int32_t x[16];
    ToLanes(a, f);
    for (int i = 0; i < 16; ++i) {
        const bool inRange = f[i] > -2147483904.0f && f[i] < 2147483648.0f;
        x[i] = inRange ? static_cast<int32_t>(f[i]) : INT_MIN;
    }
    return FromLanes<simde__m512i>(x);
}

}  // namespace tavlin::imaging::emulation

#ifndef _mm512_cmplt_epi32_mask
#define _mm512_cmplt_epi32_mask tavlin::imaging::emulation::CmpLtEpi32Mask
#endif
#ifndef _mm512_testn_epi32_mask
#define _mm512_testn_epi32_mask tavlin::imaging::emulation::TestnEpi32Mask
#endif
#ifndef _mm512_mulhi_epu16
#define _mm512_mulhi_epu16 tavlin::imaging::emulation::MulhiEpu16
#endif
#ifndef _mm512_maskz_loadu_epi8
#define _mm512_maskz_loadu_epi8 tavlin::imaging::emulation::MaskzLoaduEpi8
#endif
#ifndef _mm512_mask_storeu_epi8
#define _mm512_mask_storeu_epi8 tavlin::imaging::emulation::MaskStoreuEpi8
#endif
#ifndef _mm512_mask_storeu_epi16
#define _mm512_mask_storeu_epi16 tavlin::imaging::emulation::MaskStoreuEpi16
#endif
#ifndef _mm512_cvtepi32_ps
#define _mm512_cvtepi32_ps tavlin::imaging::emulation::CvtEpi32Ps
#endif
#ifndef _mm512_cvttps_epi32
#define _mm512_cvttps_epi32 tavlin::imaging::emulation::CvttPsEpi32
#endif
