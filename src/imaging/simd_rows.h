// SIMD row functions; each is compiled for its instruction set only and reached through the
// table of its level (simd_tables.cpp) once the CPU is known to have it.
#pragma once

#include "kernel_paths.h"
#include "simd_paths.h"

#if TAVLIN_SIMD_X86

namespace tavlin::imaging::avx2 {

int32_t Demosaic8(const DemosaicRowSources<uint8_t>& rows, uint8_t* dstRow,
                  int32_t dstBytesPerPixel, int32_t x0, int32_t x1);
int32_t Demosaic16(const DemosaicRowSources<uint16_t>& rows, uint8_t* dstRow,
                   int32_t dstBytesPerPixel, int32_t x0, int32_t x1);

size_t Lut8(uint8_t* dst, const uint8_t* src, size_t count, bool skipFourth, const uint8_t* table);
size_t Lut16(uint16_t* dst, const uint16_t* src, size_t count, bool skipFourth,
             const uint16_t* table, uint32_t tableSize);
size_t Line8(uint8_t* dst, const uint8_t* src, size_t count, bool skipFourth,
             const LinearTable& line);
size_t Line16(uint16_t* dst, const uint16_t* src, size_t count, bool skipFourth,
              const LinearTable& line, uint32_t tableSize);
size_t Brightness8(uint8_t* dst, const uint8_t* src, size_t count, bool skipFourth, float factor);
size_t Brightness16(uint16_t* dst, const uint16_t* src, size_t count, bool skipFourth, float factor,
                    int32_t maxValue);

size_t Sharpen8(uint8_t* dst, const BoxRows<uint8_t>& box, size_t begin, size_t end,
                bool skipFourth, int32_t strength);
size_t Sharpen16(uint16_t* dst, const BoxRows<uint16_t>& box, size_t begin, size_t end,
                 bool skipFourth, int32_t strength, int32_t maxValue);

size_t HueSaturation8(uint8_t* dst, const uint8_t* src, size_t pixels, int32_t bytesPerPixel,
                      HueShift shift, int32_t chromaScale, const int32_t* chroma);
size_t HueSaturation16(uint16_t* dst, const uint16_t* src, size_t pixels, int32_t wordsPerPixel,
                       int32_t shift, HueShift hueShift, int32_t chromaScale,
                       const int32_t* chroma);

}  // namespace tavlin::imaging::avx2

namespace tavlin::imaging::avx512 {

int32_t Demosaic8(const DemosaicRowSources<uint8_t>& rows, uint8_t* dstRow,
                  int32_t dstBytesPerPixel, int32_t x0, int32_t x1);
int32_t Demosaic16(const DemosaicRowSources<uint16_t>& rows, uint8_t* dstRow,
                   int32_t dstBytesPerPixel, int32_t x0, int32_t x1);

size_t HueSaturation16(uint16_t* dst, const uint16_t* src, size_t pixels, int32_t wordsPerPixel,
                       int32_t shift, HueShift hueShift, int32_t chromaScale,
                       const int32_t* chroma);

size_t HueSaturation8(uint8_t* dst, const uint8_t* src, size_t pixels, int32_t bytesPerPixel,
                      HueShift shift, int32_t chromaScale, const int32_t* chroma);

size_t Lut8(uint8_t* dst, const uint8_t* src, size_t count, bool skipFourth, const uint8_t* table);

}  // namespace tavlin::imaging::avx512

#endif
