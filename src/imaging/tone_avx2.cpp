// AVX2 table lookups and brightness scaling over the samples of one row.
#include "simd_rows.h"

#include <algorithm>
#include <array>

#include "simd_x86.h"

#if TAVLIN_SIMD_X86

namespace tavlin::imaging::avx2 {
namespace {

using x86::Load;
using x86::Store;

// Byte lanes that are the fourth sample of a pixel, as blend masks.
TAVLIN_AVX2 inline __m256i FourthBytes() {
    return _mm256_set1_epi32(static_cast<int32_t>(0xFF000000u));
}

// A 256-entry byte table as 16 rows of 16: pshufb picks the entry of every row by the low
// nibble, then the high nibble's four bits choose among the rows.
struct ByteTable {
    __m256i rows[16];
};

TAVLIN_AVX2 inline ByteTable LoadByteTable(const uint8_t* table) {
    ByteTable t;
    for (int k = 0; k < 16; ++k) {
        t.rows[k] = _mm256_broadcastsi128_si256(
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(table + 16 * k)));
    }
    return t;
}

// vpblendvb taking each byte's choice from bit 7 of `select`. Written out because GCC turns the
// intrinsic into a compare against zero and a blend, one more instruction per blend, in a loop
// whose speed is its instruction count.
TAVLIN_AVX2 inline __m256i BlendOnBit7(__m256i a, __m256i b, __m256i select) {
    __m256i out;
    asm("vpblendvb %3, %2, %1, %0" : "=x"(out) : "x"(a), "x"(b), "x"(select));
    return out;
}

TAVLIN_AVX2 inline __m256i LookUp(const ByteTable& t, __m256i v) {
    // pshufb gives 0 where bit 7 of the index is set, so rows k and k + 8 (which differ in bit
    // 7) combine with an OR: row k looked up by v, row k + 8 by v with bit 7 flipped.
    const __m256i flipped = _mm256_xor_si256(v, _mm256_set1_epi8(static_cast<char>(0x80)));
    const auto pair = [&](int k) TAVLIN_AVX2 {
        return _mm256_or_si256(_mm256_shuffle_epi8(t.rows[k], v),
                               _mm256_shuffle_epi8(t.rows[k + 8], flipped));
    };
    // Bits 6, 5 and 4 of the value moved up to bit 7 choose among the eight pairs. Neighbours
    // are merged first, so few partial results are live and most table rows stay in registers.
    const __m256i bit6 = _mm256_add_epi8(v, v);
    const __m256i bit5 = _mm256_add_epi8(bit6, bit6);
    const __m256i bit4 = _mm256_add_epi8(bit5, bit5);
    const __m256i rows0to3 =
        BlendOnBit7(BlendOnBit7(pair(0), pair(1), bit4), BlendOnBit7(pair(2), pair(3), bit4), bit5);
    const __m256i rows4to7 =
        BlendOnBit7(BlendOnBit7(pair(4), pair(5), bit4), BlendOnBit7(pair(6), pair(7), bit4), bit5);
    return BlendOnBit7(rows0to3, rows4to7, bit6);
}

// Shuffle masks that carry the twelve colour bytes of each lane of a fourth vector of pixels in
// the fourth bytes of three others (`into`) and bring them back (`back`), so that four vectors of
// pixels whose fourth bytes are left alone take three lookups instead of four.
struct FourthByteCarry {
    std::array<std::array<int8_t, 32>, 3> into{};
    std::array<std::array<int8_t, 32>, 3> back{};

    constexpr FourthByteCarry() {
        constexpr int kColour[12] = {0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14};
        for (auto* masks : {&into, &back}) {
            for (auto& mask : *masks) {
                for (auto& byte : mask) byte = -128;  // pshufb writes 0
            }
        }
        for (int vector = 0; vector < 3; ++vector) {
            for (int j = 0; j < 4; ++j) {
                const int fourthByte = 4 * j + 3;
                const int colourByte = kColour[4 * vector + j];
                for (int lane = 0; lane < 32; lane += 16) {
                    into[vector][lane + fourthByte] = static_cast<int8_t>(colourByte);
                    back[vector][lane + colourByte] = static_cast<int8_t>(fourthByte);
                }
            }
        }
    }
};

inline constexpr FourthByteCarry kFourthByteCarry{};

}  // namespace

TAVLIN_AVX2 size_t Lut8(uint8_t* dst, const uint8_t* src, size_t count, bool skipFourth,
                        const uint8_t* table) {
    const ByteTable t = LoadByteTable(table);
    const __m256i fourth = FourthBytes();
    size_t i = 0;
    if (skipFourth) {
        for (; i + 128 <= count; i += 128) {
            const __m256i carried = Load(src + i + 96);
            __m256i returned = _mm256_setzero_si256();
            for (int k = 0; k < 3; ++k) {
                const __m256i packed = _mm256_blendv_epi8(
                    Load(src + i + 32 * k),
                    _mm256_shuffle_epi8(carried, Load(kFourthByteCarry.into[k].data())), fourth);
                const __m256i out = LookUp(t, packed);
                returned = _mm256_or_si256(
                    returned, _mm256_shuffle_epi8(out, Load(kFourthByteCarry.back[k].data())));
                Store(dst + i + 32 * k, _mm256_blendv_epi8(out, Load(dst + i + 32 * k), fourth));
            }
            Store(dst + i + 96, _mm256_blendv_epi8(returned, Load(dst + i + 96), fourth));
        }
    }
    for (; i + 32 <= count; i += 32) {
        __m256i out = LookUp(t, Load(src + i));
        if (skipFourth) out = _mm256_blendv_epi8(out, Load(dst + i), fourth);
        Store(dst + i, out);
    }
    return i;
}

TAVLIN_AVX2 size_t Lut16(uint16_t* dst, const uint16_t* src, size_t count, bool skipFourth,
                         const uint16_t* table, uint32_t tableSize) {
    const __m256i limit =
        _mm256_set1_epi16(static_cast<int16_t>(tableSize > 0xFFFF ? 0xFFFF : tableSize));
    const __m256i zero = _mm256_setzero_si256();
    const __m256i low = _mm256_set1_epi32(0xFFFF);
    const auto* base = reinterpret_cast<const int*>(table);
    size_t i = 0;
    for (; i + 16 <= count; i += 16) {
        const __m256i index = _mm256_min_epu16(Load(src + i), limit);
        // Each gather reads the entry and the one after it; the table has that extra entry.
        // Widening against zero and packing back keep each lane's order.
        const __m256i first = _mm256_i32gather_epi32(base, _mm256_unpacklo_epi16(index, zero), 2);
        const __m256i second = _mm256_i32gather_epi32(base, _mm256_unpackhi_epi16(index, zero), 2);
        __m256i out =
            _mm256_packus_epi32(_mm256_and_si256(first, low), _mm256_and_si256(second, low));
        if (skipFourth) out = _mm256_blend_epi16(out, Load(dst + i), 0x88);
        Store(dst + i, out);
    }
    return i;
}

namespace {

// w = clamp(sample - offset, 0, span), then (w * multiplier) >> shift, eight samples as 32-bit.
struct LineSteps {
    __m256i offset, span, multiplier;
    __m128i shift;

    TAVLIN_AVX2 explicit LineSteps(const LinearTable& line)
        : offset(_mm256_set1_epi32(line.offset)),
          span(_mm256_set1_epi32(line.span)),
          multiplier(_mm256_set1_epi32(static_cast<int32_t>(line.multiplier))),
          shift(_mm_cvtsi32_si128(line.shift)) {}

    TAVLIN_AVX2 __m256i Apply(__m256i samples) const {
        const __m256i w = _mm256_min_epi32(
            _mm256_max_epi32(_mm256_sub_epi32(samples, offset), _mm256_setzero_si256()), span);
        return _mm256_srl_epi32(_mm256_mullo_epi32(w, multiplier), shift);
    }
};

// Maps 32 bytes a step through `eight`, which turns eight samples widened to 32 bits into their
// results (below 2^15, so the saturating packs are the limits 0..255).
template <typename Eight>
TAVLIN_AVX2 inline size_t MapBytes(uint8_t* dst, const uint8_t* src, size_t count, bool skipFourth,
                                   Eight eight) {
    const __m256i fourth = FourthBytes();
    // Packing reorders the eight groups of four bytes; this puts them back.
    const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
    size_t i = 0;
    for (; i + 32 <= count; i += 32) {
        __m256i values[4];
        for (int k = 0; k < 4; ++k) {
            values[k] = eight(_mm256_cvtepu8_epi32(
                _mm_loadl_epi64(reinterpret_cast<const __m128i*>(src + i + 8 * k))));
        }
        __m256i out = _mm256_permutevar8x32_epi32(
            _mm256_packus_epi16(_mm256_packs_epi32(values[0], values[1]),
                                _mm256_packs_epi32(values[2], values[3])),
            order);
        if (skipFourth) out = _mm256_blendv_epi8(out, Load(dst + i), fourth);
        Store(dst + i, out);
    }
    return i;
}

}  // namespace

TAVLIN_AVX2 size_t Line8(uint8_t* dst, const uint8_t* src, size_t count, bool skipFourth,
                         const LinearTable& line) {
    const LineSteps steps(line);
    // Results stay below 2^9.
    return MapBytes(dst, src, count, skipFourth,
                    [&](__m256i samples) TAVLIN_AVX2 { return steps.Apply(samples); });
}

namespace {

// The contrast line over 16 samples a step, clamped in 16 bits (w = sample - offset, limited to
// 0..span, with saturating arithmetic) and widened only for the product. A negative offset
// (lower contrast) lifts the line off zero and leaves it below the top at the range's end, so
// samples above the range take the top as the table's extra entry gives it; with a positive
// offset the line reaches the top within the range and the clamp to span gives it.
template <bool kNegativeOffset>
TAVLIN_AVX2 size_t LineRows16(uint16_t* dst, const uint16_t* src, size_t count, bool skipFourth,
                              const LinearTable& line, uint32_t tableSize) {
    const auto magnitude = static_cast<int16_t>(kNegativeOffset ? -line.offset : line.offset);
    const __m256i offset = _mm256_set1_epi16(magnitude);
    const __m256i span = _mm256_set1_epi16(static_cast<int16_t>(std::min(line.span, 0xFFFF)));
    const __m256i multiplier = _mm256_set1_epi32(static_cast<int32_t>(line.multiplier));
    const __m128i shift = _mm_cvtsi32_si128(line.shift);
    const __m256i top = _mm256_set1_epi16(static_cast<int16_t>(line.top));
    const __m256i size = _mm256_set1_epi16(static_cast<int16_t>(tableSize));
    const __m256i zero = _mm256_setzero_si256();
    // Products fit 32 bits and the results stay below 2^17, so the saturating pack changes only
    // what the minimum limits anyway.
    const auto scale = [&](__m256i w) TAVLIN_AVX2 {
        return _mm256_srl_epi32(_mm256_mullo_epi32(w, multiplier), shift);
    };
    size_t i = 0;
    for (; i + 16 <= count; i += 16) {
        const __m256i v = Load(src + i);
        const __m256i w = _mm256_min_epu16(
            kNegativeOffset ? _mm256_adds_epu16(v, offset) : _mm256_subs_epu16(v, offset), span);
        __m256i out = _mm256_packus_epi32(scale(_mm256_unpacklo_epi16(w, zero)),
                                          scale(_mm256_unpackhi_epi16(w, zero)));
        if constexpr (kNegativeOffset) {
            out = _mm256_or_si256(out, _mm256_cmpeq_epi16(_mm256_max_epu16(v, size), v));
        }
        out = _mm256_min_epu16(out, top);
        if (skipFourth) out = _mm256_blend_epi16(out, Load(dst + i), 0x88);
        Store(dst + i, out);
    }
    return i;
}

}  // namespace

TAVLIN_AVX2 size_t Line16(uint16_t* dst, const uint16_t* src, size_t count, bool skipFourth,
                          const LinearTable& line, uint32_t tableSize) {
    if (line.offset >= 0) return LineRows16<false>(dst, src, count, skipFourth, line, tableSize);
    // With 16 significant bits a sample plus the offset's magnitude can pass 65535 (and no
    // sample is above the range); those tables keep the lookup.
    if (tableSize > 0x8000) return 0;
    return LineRows16<true>(dst, src, count, skipFourth, line, tableSize);
}

TAVLIN_AVX2 size_t Brightness8(uint8_t* dst, const uint8_t* src, size_t count, bool skipFourth,
                               float factor) {
    const __m256 scale = _mm256_set1_ps(factor);
    // Products stay far inside 16 bits.
    return MapBytes(dst, src, count, skipFourth, [&](__m256i samples) TAVLIN_AVX2 {
        return _mm256_cvttps_epi32(_mm256_mul_ps(_mm256_cvtepi32_ps(samples), scale));
    });
}

TAVLIN_AVX2 size_t Brightness16(uint16_t* dst, const uint16_t* src, size_t count, bool skipFourth,
                                float factor, int32_t maxValue) {
    const __m256 scale = _mm256_set1_ps(factor);
    const __m256i top = _mm256_set1_epi16(static_cast<int16_t>(maxValue));
    const __m256i zero = _mm256_setzero_si256();
    size_t i = 0;
    for (; i + 16 <= count; i += 16) {
        const __m256i v = Load(src + i);
        // Widening against zero and packing back keep each lane's order, so no lane crossing.
        // Products are never negative and stay below 2^31, so the pack's saturation at 65535
        // and one 16-bit minimum are the limits.
        const __m256i low = _mm256_cvttps_epi32(
            _mm256_mul_ps(_mm256_cvtepi32_ps(_mm256_unpacklo_epi16(v, zero)), scale));
        const __m256i high = _mm256_cvttps_epi32(
            _mm256_mul_ps(_mm256_cvtepi32_ps(_mm256_unpackhi_epi16(v, zero)), scale));
        __m256i out = _mm256_min_epu16(_mm256_packus_epi32(low, high), top);
        if (skipFourth) out = _mm256_blend_epi16(out, Load(dst + i), 0x88);
        Store(dst + i, out);
    }
    return i;
}

}  // namespace tavlin::imaging::avx2

#endif
