// Portable interior rows of the demosaic.
#include "demosaic_pixel.h"
#include "plain_rows.h"

namespace tavlin::imaging::plain {
namespace {

struct SameColumn {
    int32_t operator()(int32_t x) const { return x; }
};

}  // namespace

int32_t Demosaic8(const DemosaicRowSources<uint8_t>& rows, uint8_t* dstRow,
                  int32_t dstBytesPerPixel, int32_t x0, int32_t x1) {
    for (int32_t x = x0; x < x1; ++x) {
        DemosaicPixel<uint8_t, 255>(rows, dstRow, dstBytesPerPixel, x, SameColumn{});
    }
    return x1;
}

int32_t Demosaic16(const DemosaicRowSources<uint16_t>& rows, uint8_t* dstRow,
                   int32_t dstBytesPerPixel, int32_t x0, int32_t x1) {
    for (int32_t x = x0; x < x1; ++x) {
        DemosaicPixel<uint16_t, kMaxWideColorSample>(rows, dstRow, dstBytesPerPixel, x,
                                                     SameColumn{});
    }
    return x1;
}

}  // namespace tavlin::imaging::plain
