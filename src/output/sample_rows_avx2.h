// AVX2 versions of the deep-sample row converters: twice the width of the SSE paths per step.
// Each converts as many whole pixels (or samples) as it can without reading or writing past the
// row and returns how many; the callers in sample_rows.cpp finish the row. Callers check the
// processor first (Usable).
#pragma once

#include <cstdint>

#include "output/sample_rows.h"

namespace tavlin::output::avx2 {

// True when this build has the AVX2 paths and the processor runs them.
bool Usable();

int32_t ReduceBgrxWords(const uint8_t* src, uint8_t* dst, int32_t width, SampleScale scale);
int32_t ScaleWordsLittleEndian(const uint8_t* src, uint8_t* dst, int32_t samples,
                               SampleScale scale);

}  // namespace tavlin::output::avx2
