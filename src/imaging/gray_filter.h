// Gray filter of the monochrome formats (8-bit and 16-bit gray), whose pixels are the raw samples
// of the Bayer sensor. Gray mode 1 evens out the four positions of the 2 x 2 cell with a gain
// (1/128 units) and an offset each:
//   block = MakeGrayBlock(values, phase, 8 or 10);
//   if (values.grayAutoRequest != 0) { RunStage(MeasureGrayGains, image, block);
//       store the block's gains, refresh the dialog,
//       grayAutoRequest = NextGrayAutoRequest(grayAutoRequest) }
//   RunStage(ApplyGrayGainOffset, image, block);
// Gray mode 2 converts the raw frame to colour (color_conversion.h, with its white balance) and
// takes the luminance back: 8-bit gray through the 24-bit buffer, 16-bit gray through a 48-bit
// one, so that both gray formats get a true luminance image.
// Cell positions follow the real column of each sample, so odd widths keep the mosaic in step.
#pragma once

#include "kernel_types.h"
#include "parameter_blocks.h"

namespace tavlin::imaging {

// Stage over an 8-bit or 16-bit gray image (only the source is read). The block's four gains are
// replaced by the measured ones (unlimited) when every cell position has samples strictly
// between 0 and the maximum, and left alone otherwise.
int MeasureGrayGains(const StageRun& run, GrayBlock* block);

// Stage over 1 or 2 bytes per pixel, in place or not. Applies out = offset + gain * v / 128,
// limited to 0..maximum, only when some gain differs from 128.
int ApplyGrayGainOffset(const StageRun& run, const GrayBlock* block);

// Stage: gray = (R * 30 + G * 59 + B * 11) / 100 from a 24/32-bit image into an 8-bit one, or
// from a 48/64-bit image into a 16-bit one. No parameters.
int LuminanceFromColor(const StageRun& run, NoBlock* unused);

// The measurement count after one measurement: a positive count goes down by one; a negative
// one (every frame) stays as it is.
inline int32_t NextGrayAutoRequest(int32_t request) {
    return request > 0 ? request - 1 : request;
}

// True when the gain-and-offset step changes anything worth running: some gain is not 128.
bool GrayGainsActive(const GrayBlock& block);

}  // namespace tavlin::imaging
