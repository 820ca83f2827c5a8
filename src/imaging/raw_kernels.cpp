#include "imaging/raw_kernels.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace tavlin::imaging {

namespace {

int Restride(int32_t sampleBytes, uint8_t* dstBits, const uint8_t* srcBits, const Rect& src,
             int32_t dstX, int32_t dstY, uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel,
             int32_t dstStride) {
    if (dstBits == nullptr || srcBits == nullptr) return 0;
    if (dstBytesPerPixel != sampleBytes || srcBytesPerPixel != sampleBytes) return 0;
    const int64_t columns = src.Width();
    const int64_t rows = src.Height();
    if (columns <= 0 || rows <= 0 || dstX < 0 || dstY < 0) return 0;
    const int64_t packedRow = columns * sampleBytes;
    const int64_t firstByte = int64_t{dstX} * sampleBytes;
    // A stride shorter than the packed row would overwrite samples not yet moved.
    if (dstStride < firstByte + packedRow) return 0;

    // Backwards: a row's target never reaches below the packed rows still waiting to move.
    for (int64_t row = rows - 1; row >= 0; --row) {
        std::memmove(dstBits + (dstY + row) * dstStride + firstByte, srcBits + row * packedRow,
                     static_cast<size_t>(packedRow));
    }
    return 1;
}

// Brightness contribution of one sample: the byte itself, or the top 8 of 10 significant bits.
struct Byte {
    static constexpr int kBytes = 1;
    static uint32_t Value(const uint8_t* sample) { return sample[0]; }
};
struct TenBitWord {
    static constexpr int kBytes = 2;
    static uint32_t Value(const uint8_t* sample) {
        return ((uint32_t{sample[1]} << 6) & 0xFFu) | (uint32_t{sample[0]} >> 2);
    }
};

template <class Sample>
int WindowMean(const uint8_t* srcBits, const Rect& src, uint16_t srcBytesPerPixel,
               int32_t srcStride) {
    if (srcBits == nullptr || srcBytesPerPixel != Sample::kBytes) return 0;
    const int64_t columns = src.Width();
    const int64_t rows = src.Height();
    if (columns <= 0 || rows <= 0) return 0;

    // 32-bit partial sums over bounded runs let the compiler vectorise; two per turn as the
    // exposure step expects, and the run length keeps them from overflowing.
    constexpr int64_t kRun = 1 << 16;
    uint64_t sum = 0;
    for (int64_t row = src.top; row < src.bottom; ++row) {
        const uint8_t* p = srcBits + row * srcStride + int64_t{src.left} * Sample::kBytes;
        for (int64_t start = 0; start < columns; start += kRun) {
            const int64_t end = std::min(columns, start + kRun);
            uint32_t even = 0;
            uint32_t odd = 0;
            int64_t column = start;
            for (; column + 1 < end; column += 2) {
                even += Sample::Value(p + column * Sample::kBytes);
                odd += Sample::Value(p + (column + 1) * Sample::kBytes);
            }
            if (column < end) even += Sample::Value(p + column * Sample::kBytes);
            sum += uint64_t{even} + odd;
        }
    }
    return static_cast<int>(sum / static_cast<uint64_t>(columns * rows));
}

}  // namespace

int Restride8(uint8_t* dstBits, const uint8_t* srcBits, const Rect& src, int32_t dstX, int32_t dstY,
              uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel, int32_t dstStride, int32_t,
              void*, void*) {
    return Restride(1, dstBits, srcBits, src, dstX, dstY, dstBytesPerPixel, srcBytesPerPixel,
                    dstStride);
}

int Restride16(uint8_t* dstBits, const uint8_t* srcBits, const Rect& src, int32_t dstX,
               int32_t dstY, uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel,
               int32_t dstStride, int32_t, void*, void*) {
    return Restride(2, dstBits, srcBits, src, dstX, dstY, dstBytesPerPixel, srcBytesPerPixel,
                    dstStride);
}

int WindowMean8(uint8_t*, const uint8_t* srcBits, const Rect& src, int32_t, int32_t, uint16_t,
                uint16_t srcBytesPerPixel, int32_t, int32_t srcStride, void*, void*) {
    return WindowMean<Byte>(srcBits, src, srcBytesPerPixel, srcStride);
}

int WindowMean16(uint8_t*, const uint8_t* srcBits, const Rect& src, int32_t, int32_t, uint16_t,
                 uint16_t srcBytesPerPixel, int32_t, int32_t srcStride, void*, void*) {
    return WindowMean<TenBitWord>(srcBits, src, srcBytesPerPixel, srcStride);
}

}  // namespace tavlin::imaging
