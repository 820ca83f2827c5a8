// Bayer mosaic to colour with white-balance gains: 8-bit raw to 24/32-bit, 16-bit raw (10
// significant bits) to 48/64-bit. A frame runs as
//   block = MakeColorConversionBlock(values, mirrorV, mirrorH);
//   if (values.bayerGainAuto) { measure the raw frame (white_balance.h), store the outcome and
//                               copy its gains into the block }
//   RunStage(ConvertBayerToColor, output, raw, block);
#pragma once

#include "kernel_types.h"
#include "parameter_blocks.h"

namespace tavlin::imaging {

// Stage from a source of 1 byte per pixel into 3 or 4, or 2 bytes into 6 or 8; the fourth byte
// or word of a pixel is never written. Returns 0 without touching the destination for other
// depths, a missing block, or a source smaller than 2 x 2 (which holds no complete mosaic cell).
int ConvertBayerToColor(const StageRun& run, const ColorConversionBlock* block);

// Only rows firstRow .. endRow - 1 of the run (counted from src.top), with the taps, edges and
// mosaic phase of the whole run, so row bands of one frame converted apart (on different
// threads) give exactly the whole conversion. Same results as ConvertBayerToColor.
int ConvertBayerToColorRows(const StageRun& run, const ColorConversionBlock* block,
                            int32_t firstRow, int32_t endRow);

// Percent to the 1/128 units the demosaic multiplies by (100 gives 128); limited to 0..400
// percent first, the range every setter and the measurement keep to.
int32_t ScaledColorGain(int32_t percent);

}  // namespace tavlin::imaging
