// The pixel engine behind StretchBlt: GDI coordinates in, memory rows out. Internal to the GDI
// stand-in; the caller has already resolved handles and snapshotted the colour table.
#pragma once

#include <cstdint>

#include "gdi/gdi.h"

namespace tavlin::gdi::detail {

struct Surface {
    uint8_t* bits = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    int32_t stride = 0;
    uint16_t bitCount = 0;
    bool topDown = false;

    // GDI row y (top-down) to the row's place in memory: bottom-up DIBs store the top row last.
    int64_t MemoryRow(int64_t y) const { return topDown ? y : height - 1 - y; }
};

// One side of a blit along one axis: origin and signed extent as GDI takes them.
struct Span {
    int32_t origin = 0;
    int32_t extent = 0;
};

bool DepthPairSupported(uint16_t dstBitCount, uint16_t srcBitCount);

// Copies src (x span, y span) onto dst (x span, y span). `palette` is the source colour table,
// needed only when an 8-bit source expands; its reserved bytes must be 0. Pixels whose destination
// or source falls outside its surface are skipped. Returns 1, or 0 for an unsupported depth pair.
int SoftwareStretch(const Surface& dst, Span dstX, Span dstY, const Surface& src, Span srcX,
                    Span srcY, const RGBQUAD* palette);

}  // namespace tavlin::gdi::detail
