// Running stage kernels on plain memory the way ImageBuffer::Transfer runs them on whole images
// at (0, 0), for code that has no ImageBuffer (benchmarks, tools, tests).
#pragma once

#include <algorithm>
#include <cstdint>

#include "adjustment_plan.h"
#include "kernel_types.h"

namespace tavlin::imaging {

struct ImageView {
    uint8_t* bits = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    int32_t stride = 0;
    uint16_t bytesPerPixel = 0;
};

// The whole source into the destination at (0, 0): the common columns, and the common rows
// counted from the bottom of each, as the bottom-up row numbering of Transfer has it.
inline int RunOnWholeImage(ConversionKernel kernel, const ImageView& dst, const ImageView& src,
                           void* param1, void* param2) {
    const int32_t width = std::min(dst.width, src.width);
    const int32_t height = std::min(dst.height, src.height);
    if (kernel == nullptr || width <= 0 || height <= 0) return 0;
    const Rect rect{0, src.height - height, width, src.height};
    return kernel(dst.bits, src.bits, rect, 0, dst.height - height, dst.bytesPerPixel,
                  src.bytesPerPixel, dst.stride, src.stride, param1, param2);
}

// Runs every step of the plan on the image; `scratch` has the image's format and receives the
// copy the sharpness step reads.
inline void RunAdjustments(AdjustmentPlan& plan, const ImageView& image, const ImageView& scratch) {
    for (AdjustmentStep& step : plan) {
        const ImageView* source = &image;
        if (step.readsCopy) {
            std::copy_n(image.bits, static_cast<size_t>(image.height) * image.stride, scratch.bits);
            source = &scratch;
        }
        RunOnWholeImage(step.kernel, image, *source, step.Block(), nullptr);
    }
}

}  // namespace tavlin::imaging
