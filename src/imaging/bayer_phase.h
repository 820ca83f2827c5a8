// Where the 2 x 2 colour mosaic lies relative to the first stored row and column. Bit 0 of a
// phase is the row parity, bit 1 the column parity; phase 0 has G B on even rows and R G on odd
// rows.
#pragma once

#include <cstdint>

namespace tavlin::imaging {

enum class BayerColor : uint8_t { Green, Blue, Red };

// The sensor's Bayer mode corrected for the mirroring applied to the raw frame.
inline int32_t CorrectedPhase(int32_t bayerMode, bool mirrorV, bool mirrorH) {
    int32_t phase = bayerMode & 3;
    if (mirrorV) phase ^= 1;
    if (mirrorH) phase ^= 2;
    return phase;
}

// Row parity of the mosaic cell under the phase: 1 for rows holding red.
inline int32_t CellRow(int32_t phase, int64_t y) {
    return static_cast<int32_t>((y ^ phase) & 1);
}
inline int32_t CellColumn(int32_t phase, int64_t x) {
    return static_cast<int32_t>((x ^ (phase >> 1)) & 1);
}

inline BayerColor ColorAt(int32_t phase, int64_t x, int64_t y) {
    const int32_t row = CellRow(phase, y);
    const int32_t column = CellColumn(phase, x);
    if (row == column) return BayerColor::Green;
    return row == 0 ? BayerColor::Blue : BayerColor::Red;
}

// The phase of a sub-image that starts at (left, top) of an image with the given phase.
inline int32_t PhaseAt(int32_t phase, int32_t left, int32_t top) {
    return (phase & 3) ^ (top & 1) ^ ((left & 1) << 1);
}

}  // namespace tavlin::imaging
