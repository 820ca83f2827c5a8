#include "output/sample_rows.h"

#include <atomic>
#include <bit>
#include <cstring>

#include "output/sample_rows_avx2.h"
#include "output/sample_rows_ssse3.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tavlin::output {

static_assert(std::endian::native == std::endian::little,
              "pixel words are little-endian in memory and read as native words");

namespace {

std::atomic<bool> gPlainRows{false};

// Chosen per row, so a test can switch paths between calls.
inline bool Ssse3() {
    return !gPlainRows.load(std::memory_order_relaxed) && ssse3::Usable();
}
inline bool Avx2() {
    return !gPlainRows.load(std::memory_order_relaxed) && avx2::Usable();
}

inline uint16_t Word(const uint8_t* p) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}

inline uint8_t Reduce(const uint8_t* p, SampleScale scale) {
    return static_cast<uint8_t>((Word(p) >> scale.down) & 0xFF);
}

inline uint16_t Scale(const uint8_t* p, SampleScale scale) {
    return static_cast<uint16_t>(Word(p) << scale.up);
}

// Packed 3-byte output written 4 bytes at a time: each store's fourth byte is overwritten by the
// next pixel, and the last pixel of a row is stored with exactly 3 bytes.
template <class PixelValue>
inline void StoreTriples(uint8_t* dst, int32_t width, PixelValue value) {
    if (width <= 0) return;
    for (int32_t x = 0; x + 1 < width; ++x, dst += 3) {
        const uint32_t v = value(x);
        std::memcpy(dst, &v, 4);
    }
    const uint32_t last = value(width - 1);
    std::memcpy(dst, &last, 3);
}

#if defined(__SSE2__)
inline __m128i Load(const uint8_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// Eight words to 8 bits each (in the low bytes of the words).
inline __m128i ReduceEight(const uint8_t* p, __m128i shift) {
    return _mm_and_si128(_mm_srl_epi16(Load(p), shift), _mm_set1_epi16(0xFF));
}
#endif

// Words to bytes, 16 at a time where the processor allows; returns how many were done.
int32_t ReduceWordsWide(const uint8_t* src, uint8_t* dst, int32_t count, SampleScale scale) {
    int32_t i = 0;
#if defined(__SSE2__)
    const __m128i shift = _mm_cvtsi32_si128(scale.down);
    for (; i + 16 <= count; i += 16) {
        const __m128i bytes =
            _mm_packus_epi16(ReduceEight(src + 2 * i, shift), ReduceEight(src + 2 * i + 16, shift));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), bytes);
    }
#endif
    return i;
}

// Words scaled to 16 bits, 8 at a time; returns how many were done.
int32_t ScaleWordsWide(const uint8_t* src, uint8_t* dst, int32_t count, SampleScale scale,
                       bool bigEndian) {
    int32_t i = 0;
#if defined(__SSE2__)
    const __m128i shift = _mm_cvtsi32_si128(scale.up);
    for (; i + 8 <= count; i += 8) {
        __m128i v = _mm_sll_epi16(Load(src + 2 * i), shift);
        if (bigEndian) v = _mm_or_si128(_mm_slli_epi16(v, 8), _mm_srli_epi16(v, 8));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 2 * i), v);
    }
#endif
    return i;
}

// 8-byte pixels (B, G, R, X words) to packed 8-bit B, G, R, 4 pixels at a time while at least
// one more pixel follows (each 4-byte store spills one byte the next store overwrites).
int32_t ReduceQuadPixelsWide(const uint8_t* src, uint8_t* dst, int32_t width, SampleScale scale) {
    int32_t x = 0;
#if defined(__SSE2__)
    const __m128i shift = _mm_cvtsi32_si128(scale.down);
    for (; x + 4 < width; x += 4) {
        __m128i bgrx =
            _mm_packus_epi16(ReduceEight(src + 8 * x, shift), ReduceEight(src + 8 * x + 16, shift));
        for (int k = 0; k < 4; ++k) {
            const auto v = static_cast<uint32_t>(_mm_cvtsi128_si32(bgrx));
            std::memcpy(dst + 3 * (x + k), &v, 4);
            bgrx = _mm_srli_si128(bgrx, 4);
        }
    }
#endif
    return x;
}

}  // namespace

bool SampleScale::FromSignificantBits(int significantBits, SampleScale* scale) {
    if (scale == nullptr || significantBits < 8 || significantBits > 16) return false;
    scale->down = significantBits - 8;
    scale->up = 16 - significantBits;
    return true;
}

void ReduceGrayRow(const uint8_t* src, uint8_t* dst, int32_t width, SampleScale scale) {
    for (int32_t x = ReduceWordsWide(src, dst, width, scale); x < width; ++x) {
        dst[x] = Reduce(src + 2 * x, scale);
    }
}

void CopyBgrRow(const uint8_t* src, uint16_t srcBytesPerPixel, uint8_t* dst, int32_t width) {
    if (srcBytesPerPixel == 3) {
        std::memcpy(dst, src, static_cast<size_t>(width) * 3);
        return;
    }
    const int32_t done = srcBytesPerPixel == 4 && Ssse3() ? ssse3::PackBgrx(src, dst, width) : 0;
    src += static_cast<size_t>(done) * 4;
    dst += static_cast<size_t>(done) * 3;
    StoreTriples(dst, width - done, [src, srcBytesPerPixel](int32_t x) {
        uint32_t v;
        std::memcpy(&v, src + static_cast<size_t>(x) * srcBytesPerPixel, 4);
        return v;
    });
}

void ReduceBgrRow(const uint8_t* src, uint16_t srcBytesPerPixel, uint8_t* dst, int32_t width,
                  SampleScale scale) {
    if (srcBytesPerPixel == 6) {  // B, G, R words in, B, G, R bytes out: one word per byte
        ReduceGrayRow(src, dst, width * 3, scale);
        return;
    }
    // AVX2 takes eight pixels a step, SSE four; the shorter steps and the plain code finish.
    int32_t done =
        srcBytesPerPixel == 8 && Avx2() ? avx2::ReduceBgrxWords(src, dst, width, scale) : 0;
    src += static_cast<size_t>(done) * srcBytesPerPixel;
    dst += static_cast<size_t>(done) * 3;
    width -= done;
    done = srcBytesPerPixel != 8 ? 0
           : Ssse3()             ? ssse3::ReduceBgrxWords(src, dst, width, scale)
                                 : ReduceQuadPixelsWide(src, dst, width, scale);
    src += static_cast<size_t>(done) * srcBytesPerPixel;
    dst += static_cast<size_t>(done) * 3;
    StoreTriples(dst, width - done, [src, srcBytesPerPixel, scale](int32_t x) {
        const uint8_t* p = src + static_cast<size_t>(x) * srcBytesPerPixel;
        return uint32_t{Reduce(p, scale)} | uint32_t{Reduce(p + 2, scale)} << 8 |
               uint32_t{Reduce(p + 4, scale)} << 16;
    });
}

PaletteTable PaletteTable::From(const gdi::RGBQUAD* palette) {
    PaletteTable table{};
    table.grayRamp = true;
    for (uint32_t i = 0; i < 256; ++i) {
        table.entries[i] = uint32_t{palette[i].rgbBlue} | uint32_t{palette[i].rgbGreen} << 8 |
                           uint32_t{palette[i].rgbRed} << 16;
        table.grayRamp = table.grayRamp && table.entries[i] == i * 0x010101u;
    }
    return table;
}

void ExpandPaletteRow(const uint8_t* src, const PaletteTable& table, uint8_t* dst, int32_t width) {
    const int32_t done = table.grayRamp && Ssse3() ? ssse3::TripleGray(src, dst, width) : 0;
    src += done;
    dst += static_cast<size_t>(done) * 3;
    StoreTriples(dst, width - done, [src, &table](int32_t x) { return table.entries[src[x]]; });
}

void ReduceGrayToBgrRow(const uint8_t* src, uint8_t* dst, int32_t width, SampleScale scale) {
    const int32_t done = Ssse3() ? ssse3::ReduceGrayToBgr(src, dst, width, scale) : 0;
    src += static_cast<size_t>(done) * 2;
    dst += static_cast<size_t>(done) * 3;
    StoreTriples(dst, width - done,
                 [src, scale](int32_t x) { return Reduce(src + 2 * x, scale) * 0x010101u; });
}

void InvertFourthBytesRow(const uint8_t* src, uint8_t* dst, int32_t width) {
    int32_t x = 0;
#if defined(__SSE2__)
    const __m128i fourth = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    for (; x + 4 <= width; x += 4) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 4 * x),
                         _mm_xor_si128(Load(src + 4 * x), fourth));
    }
#endif
    for (; x < width; ++x) {
        uint32_t v;
        std::memcpy(&v, src + 4 * x, 4);
        v ^= 0xFF000000u;  // 255 - a == a ^ 255
        std::memcpy(dst + 4 * x, &v, 4);
    }
}

void ScaleWordsBigEndian(const uint8_t* src, uint8_t* dst, int32_t samples, SampleScale scale) {
    for (int32_t i = ScaleWordsWide(src, dst, samples, scale, true); i < samples; ++i) {
        const auto v = static_cast<uint16_t>(std::rotl(Scale(src + 2 * i, scale), 8));
        std::memcpy(dst + 2 * i, &v, 2);
    }
}

void ScaleWordsLittleEndian(const uint8_t* src, uint8_t* dst, int32_t samples, SampleScale scale) {
    int32_t i = Avx2() ? avx2::ScaleWordsLittleEndian(src, dst, samples, scale) : 0;
    i += ScaleWordsWide(src + 2 * i, dst + 2 * i, samples - i, scale, false);
    for (; i < samples; ++i) {
        const uint16_t v = Scale(src + 2 * i, scale);
        std::memcpy(dst + 2 * i, &v, 2);
    }
}

void SwapToRgbRow(const uint8_t* src, uint16_t bytesPerPixel, uint8_t* dst, int32_t width) {
    if (bytesPerPixel == 4) {
        for (int32_t x = Ssse3() ? ssse3::SwapBgrxToRgb0(src, dst, width) : 0; x < width; ++x) {
            uint32_t v;
            std::memcpy(&v, src + 4 * x, 4);
            // B, G, R, X -> R, G, B, 0
            v = (v & 0x0000FF00u) | ((v >> 16) & 0xFFu) | ((v & 0xFFu) << 16);
            std::memcpy(dst + 4 * x, &v, 4);
        }
        return;
    }
    const int32_t done = Ssse3() ? ssse3::SwapBgrToRgb(src, dst, width) : 0;
    src += static_cast<size_t>(done) * 3;
    dst += static_cast<size_t>(done) * 3;
    StoreTriples(dst, width - done, [src](int32_t x) {
        const uint8_t* p = src + 3 * x;
        return uint32_t{p[2]} | uint32_t{p[1]} << 8 | uint32_t{p[0]} << 16;
    });
}

void SwapToRgbWideRow(const uint8_t* src, uint16_t bytesPerPixel, uint8_t* dst, int32_t width,
                      SampleScale scale) {
    int32_t x = 0;
    if (Ssse3()) {
        x = bytesPerPixel == 8 ? ssse3::SwapBgrxWordsToRgbFull(src, dst, width, scale)
                               : ssse3::SwapBgrWordsToRgb(src, dst, width, scale);
        src += static_cast<size_t>(x) * bytesPerPixel;
        dst += static_cast<size_t>(x) * bytesPerPixel;
    }
    for (; x < width; ++x, src += bytesPerPixel, dst += bytesPerPixel) {
        const uint64_t b = Scale(src, scale);
        const uint64_t g = Scale(src + 2, scale);
        const uint64_t r = Scale(src + 4, scale);
        uint64_t out = r | g << 16 | b << 32;
        if (bytesPerPixel == 8) {
            out |= uint64_t{0xFFFF} << 48;
            std::memcpy(dst, &out, 8);
        } else {
            std::memcpy(dst, &out, 6);
        }
    }
}

void UsePlainRows(bool plain) {
    gPlainRows.store(plain, std::memory_order_relaxed);
}

}  // namespace tavlin::output
