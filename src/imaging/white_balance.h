// Automatic white balance: red and blue gains that bring the means of the red and blue samples of
// a raw frame to the mean of its greens.
#pragma once

#include "filter_values.h"
#include "kernel_types.h"
#include "parameter_blocks.h"

namespace tavlin::imaging {

// Stage over an 8-bit (1 byte per pixel) or 16-bit (2 bytes) raw frame; only the source is read.
// The block's slots receive the measured gains limited to 0..400 (green 100). A frame with no
// light at all (every class mean 0) gives no measurement and leaves the slots as they were; a
// colour with mean 0 under some light gets the largest gain.
int MeasureWhiteBalance(const StageRun& run, WhiteBalanceBlock* block);

// What the camera stores after a measurement: the gains, and whether the one-shot request
// ("Once": automatic flag and both marks set) is now done, so all three are to be cleared.
struct WhiteBalanceOutcome {
    int32_t gainR = 100;
    int32_t gainG = 100;
    int32_t gainB = 100;
    bool oneShotDone = false;
};

WhiteBalanceOutcome ConcludeWhiteBalance(const WhiteBalanceBlock& measured,
                                         const FilterValues& values);

}  // namespace tavlin::imaging
