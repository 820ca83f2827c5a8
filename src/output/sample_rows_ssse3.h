// SSSE3 versions of the byte-shuffling row converters (pshufb moves samples between pixel
// layouts in one instruction). Each converts as many whole pixels as it can without reading or
// writing past the row and returns how many; the plain code in sample_rows.cpp finishes the row.
// Callers check the processor first (Usable).
#pragma once

#include <cstdint>

#include "output/sample_rows.h"

namespace tavlin::output::ssse3 {

// True when this build has the SSSE3 paths and the processor runs them.
bool Usable();

int32_t TripleGray(const uint8_t* src, uint8_t* dst, int32_t width);
int32_t ReduceGrayToBgr(const uint8_t* src, uint8_t* dst, int32_t width, SampleScale scale);
int32_t PackBgrx(const uint8_t* src, uint8_t* dst, int32_t width);
int32_t ReduceBgrxWords(const uint8_t* src, uint8_t* dst, int32_t width, SampleScale scale);
int32_t SwapBgrToRgb(const uint8_t* src, uint8_t* dst, int32_t width);
int32_t SwapBgrxToRgb0(const uint8_t* src, uint8_t* dst, int32_t width);
int32_t SwapBgrWordsToRgb(const uint8_t* src, uint8_t* dst, int32_t width, SampleScale scale);
int32_t SwapBgrxWordsToRgbFull(const uint8_t* src, uint8_t* dst, int32_t width, SampleScale scale);

}  // namespace tavlin::output::ssse3
