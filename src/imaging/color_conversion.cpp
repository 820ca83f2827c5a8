#include "color_conversion.h"

#include <algorithm>
#include <cstddef>

#include "bayer_phase.h"
#include "demosaic_pixel.h"
#include "kernel_paths.h"
#include "plain_rows.h"

namespace tavlin::imaging {
namespace {

// A tap outside the image moves 4 samples back inside, which keeps its colour; images narrower
// than 4 move it by 2 instead so that it still lands inside.
inline int32_t ReflectTap(int32_t t, int32_t size) {
    if (t < 0) return t + 4 < size ? t + 4 : t + 2;
    if (t >= size) return t - 4 >= 0 ? t - 4 : t - 2;
    return t;
}

template <typename Sample>
struct RawView {
    const uint8_t* base;
    int32_t stride;
    int32_t width;
    int32_t height;

    const Sample* Row(int32_t y) const {
        return reinterpret_cast<const Sample*>(base + static_cast<ptrdiff_t>(y) * stride);
    }
};

template <typename Sample>
DemosaicRowSources<Sample> RowSources(const RawView<Sample>& raw, int32_t phase, int32_t y,
                                      int32_t gainR, int32_t gainB) {
    auto row = [&raw](int32_t t) { return raw.Row(ReflectTap(t, raw.height)); };
    DemosaicRowSources<Sample> sources;
    // Rows y - 1 and y form the block; y - 2 and y + 1 are the far taps of the same colours.
    if (CellRow(phase, y - 1) == 1) {
        sources.redNear = row(y - 1);
        sources.redFar = row(y + 1);
        sources.blueNear = row(y);
        sources.blueFar = row(y - 2);
    } else {
        sources.redNear = row(y);
        sources.redFar = row(y - 2);
        sources.blueNear = row(y - 1);
        sources.blueFar = row(y + 1);
    }
    sources.redParity = (phase >> 1) & 1;
    sources.gainR = gainR;
    sources.gainB = gainB;
    return sources;
}

template <typename Sample, int32_t kMax, typename FastRow, typename PlainRow>
void ConvertImage(const RawView<Sample>& raw, uint8_t* dst, int32_t dstStride,
                  int32_t dstBytesPerPixel, const ColorConversionBlock& block, int32_t phase,
                  int32_t firstRow, int32_t endRow, FastRow fastRow, PlainRow plainRow) {
    const int32_t width = raw.width;
    const int32_t gainR = ScaledColorGain(block.gainR);
    const int32_t gainB = ScaledColorGain(block.gainB);
    auto reflectColumn = [width](int32_t t) { return ReflectTap(t, width); };
    // Columns 2 .. width - 2 have all taps inside the image; the others reflect.
    const int32_t interiorEnd = width - 1;
    for (int32_t y = firstRow; y < endRow; ++y) {
        const DemosaicRowSources<Sample> sources = RowSources(raw, phase, y, gainR, gainB);
        uint8_t* dstRow = dst + static_cast<ptrdiff_t>(y) * dstStride;
        if (interiorEnd > 2) {
            const int32_t done = fastRow(sources, dstRow, dstBytesPerPixel, 2, interiorEnd);
            plainRow(sources, dstRow, dstBytesPerPixel, done, interiorEnd);
        }
        for (int32_t x = 0; x < 2; ++x) {
            DemosaicPixel<Sample, kMax>(sources, dstRow, dstBytesPerPixel, x, reflectColumn);
        }
        for (int32_t x = std::max(interiorEnd, 2); x < width; ++x) {
            DemosaicPixel<Sample, kMax>(sources, dstRow, dstBytesPerPixel, x, reflectColumn);
        }
    }
}

}  // namespace

int32_t ScaledColorGain(int32_t percent) {
    const int32_t limited = percent < 0 ? 0 : (percent > 400 ? 400 : percent);
    return static_cast<int32_t>(limited * 1.28);
}

int ConvertBayerToColor(const StageRun& run, const ColorConversionBlock* block) {
    return ConvertBayerToColorRows(run, block, 0, run.src.Height());
}

int ConvertBayerToColorRows(const StageRun& run, const ColorConversionBlock* block,
                            int32_t firstRow, int32_t endRow) {
    const int32_t width = run.src.Width();
    const int32_t height = run.src.Height();
    if (block == nullptr || run.dstBits == nullptr || run.srcBits == nullptr || width < 2 ||
        height < 2) {
        return 0;
    }
    firstRow = std::max(firstRow, 0);
    endRow = std::min(endRow, height);
    const uint8_t* srcOrigin = run.SrcOrigin();
    uint8_t* dstOrigin = run.DstOrigin();
    const int32_t phase = PhaseAt(block->phase, run.src.left, run.src.top);
    const KernelPaths& paths = ActiveKernelPaths();
    if (run.srcBytesPerPixel == 1 && (run.dstBytesPerPixel == 3 || run.dstBytesPerPixel == 4)) {
        const RawView<uint8_t> raw{srcOrigin, run.srcStride, width, height};
        ConvertImage<uint8_t, 255>(raw, dstOrigin, run.dstStride, run.dstBytesPerPixel, *block,
                                   phase, firstRow, endRow, paths.demosaic8, plain::Demosaic8);
        return 1;
    }
    if (run.srcBytesPerPixel == 2 && (run.dstBytesPerPixel == 6 || run.dstBytesPerPixel == 8)) {
        const RawView<uint16_t> raw{srcOrigin, run.srcStride, width, height};
        ConvertImage<uint16_t, kMaxWideColorSample>(raw, dstOrigin, run.dstStride,
                                                    run.dstBytesPerPixel, *block, phase, firstRow,
                                                    endRow, paths.demosaic16, plain::Demosaic16);
        return 1;
    }
    return 0;
}

}  // namespace tavlin::imaging
