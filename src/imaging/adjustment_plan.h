// Which picture adjustments a frame needs and in which order: hue and saturation (colour modes
// only), gamma, contrast, sharpness, brightness, each only when its setting is not neutral. The
// pipeline runs them on the output image with RunAdjustments (whole_image.h):
//   for (const AdjustmentStep& step : PlanAdjustments(values, colorMode)) {
//       if (step.readsCopy) { copy the image into the scratch buffer; source = scratch }
//       RunStep(step, image, source);
//   }
#pragma once

#include <array>
#include <cstdint>

#include "filter_values.h"
#include "kernel_types.h"
#include "parameter_blocks.h"

namespace tavlin::imaging {

enum class AdjustmentStage : uint8_t { HueSaturation, Gamma, Contrast, Sharpness, Brightness };

struct AdjustmentStep {
    AdjustmentStage stage = AdjustmentStage::Gamma;
    // The stage of a single-value step (null for hue and saturation, which runs
    // AdjustHueSaturation on `hueSaturation`).
    Stage<const SingleValueBlock> kernel = nullptr;
    // The stage reads a copy of the image taken just before it (sharpness).
    bool readsCopy = false;
    HueSaturationBlock hueSaturation;
    SingleValueBlock single;
};

struct AdjustmentPlan {
    std::array<AdjustmentStep, 5> steps;
    int32_t count = 0;

    AdjustmentStep* begin() { return steps.data(); }
    AdjustmentStep* end() { return steps.data() + count; }
    bool empty() const { return count == 0; }
};

// Colour modes 0..5 are 8, 16, 24, 32, 48 and 64 bits per pixel; any other mode plans nothing.
AdjustmentPlan PlanAdjustments(const FilterValues& values, int32_t colorMode);

// Runs one step on the whole of `image`, reading `source` (the image itself, or the copy a
// step that reads one needs). Returns the stage's result.
int RunStep(const AdjustmentStep& step, const ImageView& image, const ImageView& source);

}  // namespace tavlin::imaging
