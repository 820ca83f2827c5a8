// The picture adjustment stages. Each is a Stage over an image of 1 (8-bit gray), 2 (16-bit
// gray), 3 or 4 (8-bit B, G, R channels) or 6 or 8 (16-bit channels) bytes per pixel, with
// source and destination of the same depth; a fourth channel is never touched.
// The stages run whatever their setting; which of them a frame needs, and in which order, is
// decided by PlanAdjustments (adjustment_plan.h). They return 0 and change nothing for depths
// they do not handle or a missing block.
#pragma once

#include "kernel_types.h"
#include "parameter_blocks.h"

namespace tavlin::imaging {

// Colour depths only.
int AdjustHueSaturation(const StageRun& run, const HueSaturationBlock* block);

int AdjustGamma(const StageRun& run, const SingleValueBlock* block);

int AdjustContrast(const StageRun& run, const SingleValueBlock* block);

// Reads a copy of the image (the source) and writes the image; the two outermost rows and
// columns are left as they are. Refuses (0) to run with the source on the destination, where
// the blur would read samples it has already changed.
int AdjustSharpness(const StageRun& run, const SingleValueBlock* block);

int AdjustBrightness(const StageRun& run, const SingleValueBlock* block);

}  // namespace tavlin::imaging
