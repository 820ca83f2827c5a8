// Running stages on whole images the way ImageBuffer::Transfer runs them with no rectangle at
// (0, 0): RunStage(AdjustSharpness, image, copy, block). The frame pipeline, tools, benchmarks
// and tests all run stages through here.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <type_traits>

#include "adjustment_plan.h"
#include "kernel_types.h"

namespace tavlin::imaging {

// The whole source into the destination at (0, 0): the common columns, and the common rows
// counted from the bottom of each, as the bottom-up row numbering of Transfer has it. Nothing
// when either image is empty.
inline std::optional<StageRun> WholeImageRun(const ImageView& dst, const ImageView& src) {
    const int32_t width = std::min(dst.width, src.width);
    const int32_t height = std::min(dst.height, src.height);
    if (width <= 0 || height <= 0) return std::nullopt;
    return StageRun{dst.bits,
                    dst.stride,
                    dst.bytesPerPixel,
                    src.bits,
                    src.stride,
                    src.bytesPerPixel,
                    Rect{0, src.height - height, width, src.height},
                    0,
                    dst.height - height};
}

// Returns the stage's result, or 0 when either image is empty.
template <typename Block>
int RunStage(Stage<Block> stage, const ImageView& dst, const ImageView& src,
             std::type_identity_t<Block>* block) {
    const std::optional<StageRun> run = WholeImageRun(dst, src);
    return run ? stage(*run, block) : 0;
}

template <typename Block>
int RunStage(Stage<Block> stage, const ImageView& dst, const ImageView& src,
             std::type_identity_t<Block>& block) {
    return RunStage(stage, dst, src, &block);
}

// In place.
template <typename Block>
int RunStage(Stage<Block> stage, const ImageView& image, std::type_identity_t<Block>& block) {
    return RunStage(stage, image, image, &block);
}

// Stages without parameters.
inline int RunStage(Stage<NoBlock> stage, const ImageView& dst, const ImageView& src) {
    return RunStage(stage, dst, src, static_cast<NoBlock*>(nullptr));
}

// Runs every step of the plan on the image. `scratch` has the image's format and receives the
// copy the sharpness step reads; a step that reads a copy is left out when scratch cannot hold
// one.
inline void RunAdjustments(AdjustmentPlan& plan, const ImageView& image, const ImageView& scratch) {
    for (AdjustmentStep& step : plan) {
        const ImageView* source = &image;
        if (step.readsCopy) {
            if (scratch.bits == nullptr || scratch.stride != image.stride ||
                scratch.height != image.height || image.bits == nullptr) {
                continue;
            }
            std::copy_n(image.bits, static_cast<size_t>(image.height) * image.stride, scratch.bits);
            source = &scratch;
        }
        RunStep(step, image, *source);
    }
}

}  // namespace tavlin::imaging
