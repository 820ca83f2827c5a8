// Automatic white balance: red and blue gains that bring the means of the red and blue samples of
// a raw frame to the mean of its greens.
#pragma once

#include <array>
#include <cstdint>

#include "filter_values.h"
#include "kernel_types.h"
#include "parameter_blocks.h"

namespace tavlin::imaging {

// Stage over an 8-bit (1 byte per pixel) or 16-bit (2 bytes) raw frame; only the source is read.
// The block's slots receive the measured gains limited to 0..400 (green 100). A frame with no
// light at all (every class mean 0) gives no measurement and leaves the slots as they were; a
// colour with mean 0 under some light gets the largest gain.
int MeasureWhiteBalance(const StageRun& run, WhiteBalanceBlock* block);

// The same measurement in parts, for row bands on several threads: the integer sums of rows
// firstRow .. endRow - 1 of the run (mosaic phase of the whole run), added up in any order, then
// the gains from the sums of every row. Equal to MeasureWhiteBalance on the run.
struct WhiteBalanceSums {
    std::array<uint64_t, 3> sum{};  // indexed by BayerColor
    std::array<uint64_t, 3> count{};
    bool valid = true;  // false: the run cannot be measured (MeasureWhiteBalance returns 0)

    void Add(const WhiteBalanceSums& other);
};
WhiteBalanceSums SumWhiteBalanceRows(const StageRun& run, const WhiteBalanceBlock& block,
                                     int32_t firstRow, int32_t endRow);
// Returns what MeasureWhiteBalance returns.
int ConcludeWhiteBalanceSums(const WhiteBalanceSums& sums, WhiteBalanceBlock* block);

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
