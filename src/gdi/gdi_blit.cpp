#include "gdi/gdi_blit.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace tavlin::gdi::detail {

namespace {

// One axis of a blit walked step by step from its anchor. A negative extent walks backwards from
// origin - 1, which is how GDI mirrors: the sides mirror each other when their signs differ.
struct Axis {
    int64_t dstStart = 0;
    int64_t srcStart = 0;
    int64_t dstCount = 0;
    int64_t srcCount = 0;
    int dstDir = 1;
    int srcDir = 1;

    int64_t Dst(int64_t step) const { return dstStart + dstDir * step; }
    int64_t Src(int64_t step) const { return srcStart + srcDir * (step * srcCount / dstCount); }
    bool Identity() const { return dstCount == srcCount && dstDir == srcDir; }
};

Axis MakeAxis(Span dst, Span src) {
    Axis axis;
    axis.dstDir = dst.extent > 0 ? 1 : -1;
    axis.srcDir = src.extent > 0 ? 1 : -1;
    axis.dstStart = dst.extent > 0 ? int64_t{dst.origin} : int64_t{dst.origin} - 1;
    axis.srcStart = src.extent > 0 ? int64_t{src.origin} : int64_t{src.origin} - 1;
    axis.dstCount = std::llabs(int64_t{dst.extent});
    axis.srcCount = std::llabs(int64_t{src.extent});
    return axis;
}

// Steps [first, last) of a linear walk (start + dir * step, `count` steps) that stay in [0, limit).
std::pair<int64_t, int64_t> LinearRange(int64_t start, int dir, int64_t count, int64_t limit) {
    int64_t first = 0;
    int64_t last = 0;
    if (dir > 0) {
        first = std::max<int64_t>(0, -start);
        last = std::min(count, limit - start);
    } else {
        first = std::max<int64_t>(0, start - limit + 1);
        last = std::min(count, start + 1);
    }
    return {first, std::max(first, last)};
}

template <int kBytes>
struct CopyPixels {
    static constexpr int kDst = kBytes;
    static constexpr int kSrc = kBytes;
    static void Pixel(uint8_t* dst, const uint8_t* src, const RGBQUAD*) {
        std::memcpy(dst, src, kBytes);
    }
    // memmove: a blit within one bitmap may overlap along the row.
    static void Run(uint8_t* dst, const uint8_t* src, int64_t count, const RGBQUAD*) {
        std::memmove(dst, src, static_cast<size_t>(count) * kBytes);
    }
};

// The colour table entry is B, G, R and a reserved byte the caller has zeroed, so a 4-byte
// store gives the 32-bit pixel, and for 24 bits it overlaps the next pixel, rewritten next turn.
template <int kDstBytes>
struct ExpandIndexed {
    static constexpr int kDst = kDstBytes;
    static constexpr int kSrc = 1;
    static void Pixel(uint8_t* dst, const uint8_t* src, const RGBQUAD* palette) {
        std::memcpy(dst, &palette[src[0]], kDstBytes);
    }
    static void Run(uint8_t* dst, const uint8_t* src, int64_t count, const RGBQUAD* palette) {
        const int64_t wide = kDstBytes == 4 ? count : count - 1;
        for (int64_t k = 0; k < wide; ++k) std::memcpy(dst + k * kDstBytes, &palette[src[k]], 4);
        if (wide < count) Pixel(dst + wide * kDstBytes, src + wide, palette);
    }
};

// 8-bit pixels whose colour table is the gray ramp (entry i is i, i, i), as gray previews and
// the image buffers' gray tables are: the same result as ExpandIndexed without the table.
template <int kDstBytes>
struct ExpandGray {
    static constexpr int kDst = kDstBytes;
    static constexpr int kSrc = 1;
    static void Pixel(uint8_t* dst, const uint8_t* src, const RGBQUAD*) {
        dst[0] = src[0];
        dst[1] = src[0];
        dst[2] = src[0];
        if constexpr (kDstBytes == 4) dst[3] = 0;
    }
    static void Run(uint8_t* dst, const uint8_t* src, int64_t count, const RGBQUAD* palette);
};

bool IsGrayRamp(const RGBQUAD* palette) {
    for (int i = 0; i < 256; ++i) {
        const RGBQUAD& entry = palette[i];
        if (entry.rgbBlue != i || entry.rgbGreen != i || entry.rgbRed != i ||
            entry.rgbReserved != 0) {
            return false;
        }
    }
    return true;
}

#if defined(__x86_64__) || defined(__i386__)
#define TAVLIN_GDI_SSSE3 1

// Four pixels a shuffle. Each step loads and stores 16 bytes, so it stops while two pixels
// (24-bit sides: six bytes) remain beyond its pixels, and the word loop finishes the run.
template <int kDstBytes, int kSrcBytes>
__attribute__((target("ssse3"))) int64_t BgrRowsSsse3(uint8_t* dst, const uint8_t* src,
                                                      int64_t count) {
    const __m128i order =
        kDstBytes == 4 ? _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1)
                       : _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    constexpr int64_t kStep = 4;
    constexpr int64_t kSlack = 2;
    int64_t k = 0;
    for (; k + kStep + kSlack <= count; k += kStep) {
        const __m128i in = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + k * kSrcBytes));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + k * kDstBytes),
                         _mm_shuffle_epi8(in, order));
    }
    return k;
}

// Sixteen gray pixels a step, each byte repeated into B, G and R (and a zero fourth byte).
template <int kDstBytes>
__attribute__((target("ssse3"))) int64_t GrayRowsSsse3(uint8_t* dst, const uint8_t* src,
                                                       int64_t count) {
    constexpr int64_t kStep = 16;
    int64_t k = 0;
    if constexpr (kDstBytes == 4) {
        const __m128i keepBgr = _mm_set1_epi32(static_cast<int32_t>(0x00FFFFFFu));
        for (; k + kStep <= count; k += kStep) {
            const __m128i in = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + k));
            auto* out = reinterpret_cast<__m128i*>(dst + k * kDstBytes);
            for (int q = 0; q < 4; ++q) {
                const auto b = static_cast<char>(4 * q);
                const __m128i order =
                    _mm_setr_epi8(b, b, b, b, b + 1, b + 1, b + 1, b + 1, b + 2, b + 2, b + 2,
                                  b + 2, b + 3, b + 3, b + 3, b + 3);
                _mm_storeu_si128(out + q, _mm_and_si128(_mm_shuffle_epi8(in, order), keepBgr));
            }
        }
    } else {
        const __m128i first = _mm_setr_epi8(0, 0, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 5);
        const __m128i second = _mm_setr_epi8(5, 5, 6, 6, 6, 7, 7, 7, 8, 8, 8, 9, 9, 9, 10, 10);
        const __m128i third =
            _mm_setr_epi8(10, 11, 11, 11, 12, 12, 12, 13, 13, 13, 14, 14, 14, 15, 15, 15);
        for (; k + kStep <= count; k += kStep) {
            const __m128i in = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + k));
            auto* out = reinterpret_cast<__m128i*>(dst + k * kDstBytes);
            _mm_storeu_si128(out, _mm_shuffle_epi8(in, first));
            _mm_storeu_si128(out + 1, _mm_shuffle_epi8(in, second));
            _mm_storeu_si128(out + 2, _mm_shuffle_epi8(in, third));
        }
    }
    return k;
}

bool HasSsse3() {
    static const bool has = __builtin_cpu_supports("ssse3") != 0;
    return has;
}
#else
#define TAVLIN_GDI_SSSE3 0
#endif

template <int kDstBytes>
void ExpandGray<kDstBytes>::Run(uint8_t* dst, const uint8_t* src, int64_t count,
                                const RGBQUAD* palette) {
    int64_t k = 0;
#if TAVLIN_GDI_SSSE3
    if (HasSsse3()) k = GrayRowsSsse3<kDstBytes>(dst, src, count);
#endif
    for (; k < count; ++k) Pixel(dst + k * kDst, src + k, palette);
}

template <int kDstBytes, int kSrcBytes>
struct ConvertBgr {
    static constexpr int kDst = kDstBytes;
    static constexpr int kSrc = kSrcBytes;
    static void Pixel(uint8_t* dst, const uint8_t* src, const RGBQUAD*) {
        dst[0] = src[0];
        dst[1] = src[1];
        dst[2] = src[2];
        if constexpr (kDstBytes == 4) dst[3] = 0;
    }
    // A live preview draws every frame through here (24-bit images into 32-bit window
    // surfaces): pixels move by shuffles where the processor has them, else as 4-byte words
    // (24 to 32 bits reads four bytes and clears the one of the next pixel; 32 to 24 bits
    // stores four, the fourth rewritten by the next pixel). The run's last pixel goes byte by
    // byte, so nothing outside the run is read or written.
    static void Run(uint8_t* dst, const uint8_t* src, int64_t count, const RGBQUAD* palette) {
        int64_t k = 0;
#if TAVLIN_GDI_SSSE3
        if (HasSsse3()) k = BgrRowsSsse3<kDstBytes, kSrcBytes>(dst, src, count);
#endif
        if constexpr (std::endian::native == std::endian::little) {
            constexpr uint32_t kBgr = 0x00FFFFFFu;
            for (; k + 1 < count; ++k) {
                uint32_t word = 0;
                std::memcpy(&word, src + k * kSrc, 4);
                if constexpr (kDstBytes == 4) word &= kBgr;
                std::memcpy(dst + k * kDst, &word, 4);
            }
        }
        for (; k < count; ++k) Pixel(dst + k * kDst, src + k * kSrc, palette);
    }
};

uint8_t* RowAt(const Surface& surface, int64_t gdiRow) {
    return surface.bits + surface.MemoryRow(gdiRow) * surface.stride;
}

// Pairs of byte offsets (destination, source) of the columns a scaled or mirrored blit visits.
// Kept per thread so repeated blits do not allocate.
std::vector<std::pair<ptrdiff_t, ptrdiff_t>>& ColumnMap() {
    thread_local std::vector<std::pair<ptrdiff_t, ptrdiff_t>> columns;
    return columns;
}

template <class Convert>
void StretchWith(const Surface& dst, const Surface& src, const Axis& x, const Axis& y,
                 const RGBQUAD* palette) {
    const auto [rowFirst, rowLast] = LinearRange(y.dstStart, y.dstDir, y.dstCount, dst.height);
    auto sourceRowInside = [&](int64_t step) {
        const int64_t row = y.Src(step);
        return row >= 0 && row < src.height;
    };

    if (x.Identity()) {
        // Same width, same direction: every row is one contiguous run on both sides.
        auto [first, last] = LinearRange(x.dstStart, x.dstDir, x.dstCount, dst.width);
        const auto srcRange = LinearRange(x.srcStart, x.srcDir, x.srcCount, src.width);
        first = std::max(first, srcRange.first);
        last = std::min(last, srcRange.second);
        if (first >= last) return;
        const int64_t dstLeft = std::min(x.Dst(first), x.Dst(last - 1));
        const int64_t srcLeft = std::min(x.Src(first), x.Src(last - 1));
        for (int64_t step = rowFirst; step < rowLast; ++step) {
            if (!sourceRowInside(step)) continue;
            Convert::Run(RowAt(dst, y.Dst(step)) + dstLeft * Convert::kDst,
                         RowAt(src, y.Src(step)) + srcLeft * Convert::kSrc, last - first, palette);
        }
        return;
    }

    auto& columns = ColumnMap();
    columns.clear();
    const auto [colFirst, colLast] = LinearRange(x.dstStart, x.dstDir, x.dstCount, dst.width);
    for (int64_t step = colFirst; step < colLast; ++step) {
        const int64_t sx = x.Src(step);
        if (sx < 0 || sx >= src.width) continue;
        columns.emplace_back(x.Dst(step) * Convert::kDst, sx * Convert::kSrc);
    }
    for (int64_t step = rowFirst; step < rowLast; ++step) {
        if (!sourceRowInside(step)) continue;
        uint8_t* dstRow = RowAt(dst, y.Dst(step));
        const uint8_t* srcRow = RowAt(src, y.Src(step));
        for (const auto& [dstOffset, srcOffset] : columns) {
            Convert::Pixel(dstRow + dstOffset, srcRow + srcOffset, palette);
        }
    }
}

}  // namespace

bool DepthPairSupported(uint16_t dstBitCount, uint16_t srcBitCount) {
    if (dstBitCount == srcBitCount) return true;
    if (srcBitCount == 8) return dstBitCount == 24 || dstBitCount == 32;
    return (srcBitCount == 24 && dstBitCount == 32) || (srcBitCount == 32 && dstBitCount == 24);
}

int SoftwareStretch(const Surface& dst, Span dstX, Span dstY, const Surface& src, Span srcX,
                    Span srcY, const RGBQUAD* palette) {
    if (!DepthPairSupported(dst.bitCount, src.bitCount)) return 0;
    if (src.bitCount == 8 && dst.bitCount != 8 && palette == nullptr) return 0;
    if (dstX.extent == 0 || dstY.extent == 0 || srcX.extent == 0 || srcY.extent == 0) return 1;
    const Axis x = MakeAxis(dstX, srcX);
    const Axis y = MakeAxis(dstY, srcY);

    switch (src.bitCount * 100 + dst.bitCount) {
        case 808:
            StretchWith<CopyPixels<1>>(dst, src, x, y, palette);
            break;
        case 1616:
            StretchWith<CopyPixels<2>>(dst, src, x, y, palette);
            break;
        case 2424:
            StretchWith<CopyPixels<3>>(dst, src, x, y, palette);
            break;
        case 3232:
            StretchWith<CopyPixels<4>>(dst, src, x, y, palette);
            break;
        case 4848:
            StretchWith<CopyPixels<6>>(dst, src, x, y, palette);
            break;
        case 6464:
            StretchWith<CopyPixels<8>>(dst, src, x, y, palette);
            break;
        case 824:
            if (IsGrayRamp(palette)) {
                StretchWith<ExpandGray<3>>(dst, src, x, y, palette);
            } else {
                StretchWith<ExpandIndexed<3>>(dst, src, x, y, palette);
            }
            break;
        case 832:
            if (IsGrayRamp(palette)) {
                StretchWith<ExpandGray<4>>(dst, src, x, y, palette);
            } else {
                StretchWith<ExpandIndexed<4>>(dst, src, x, y, palette);
            }
            break;
        case 2432:
            StretchWith<ConvertBgr<4, 3>>(dst, src, x, y, palette);
            break;
        case 3224:
            StretchWith<ConvertBgr<3, 4>>(dst, src, x, y, palette);
            break;
        default:
            return 0;
    }
    return 1;
}

}  // namespace tavlin::gdi::detail
