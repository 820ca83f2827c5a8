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

}  // namespace tavlin::imaging::avx2

#endif
