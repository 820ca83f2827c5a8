#include "adjustment_plan.h"

#include "adjustments.h"
#include "sensor/color_mode.h"
#include "whole_image.h"

namespace tavlin::imaging {
namespace {

void AddSingle(AdjustmentPlan& plan, AdjustmentStage stage, Stage<const SingleValueBlock> kernel,
               int32_t value) {
    AdjustmentStep& step = plan.steps[plan.count++];
    step.stage = stage;
    step.kernel = kernel;
    step.readsCopy = stage == AdjustmentStage::Sharpness;
    step.single = {value, kWideSampleBits};
}

}  // namespace

AdjustmentPlan PlanAdjustments(const FilterValues& values, int32_t colorMode) {
    AdjustmentPlan plan;
    if (!sensor::ValidColorMode(colorMode)) return plan;
    if (!sensor::IsGrayMode(colorMode) && (values.hue != 0 || values.saturation != 0)) {
        AdjustmentStep& step = plan.steps[plan.count++];
        step.stage = AdjustmentStage::HueSaturation;
        step.hueSaturation = {values.hue, 0, values.saturation, kWideSampleBits};
    }
    if (values.gamma != 100) AddSingle(plan, AdjustmentStage::Gamma, AdjustGamma, values.gamma);
    if (values.contrast != 0) {
        AddSingle(plan, AdjustmentStage::Contrast, AdjustContrast, values.contrast);
    }
    if (values.sharpness != 0) {
        AddSingle(plan, AdjustmentStage::Sharpness, AdjustSharpness, values.sharpness);
    }
    if (values.brightness != 0) {
        AddSingle(plan, AdjustmentStage::Brightness, AdjustBrightness, values.brightness);
    }
    return plan;
}

int RunStep(const AdjustmentStep& step, const ImageView& image, const ImageView& source) {
    if (step.stage == AdjustmentStage::HueSaturation) {
        return RunStage(AdjustHueSaturation, image, source, step.hueSaturation);
    }
    return RunStage(step.kernel, image, source, step.single);
}

}  // namespace tavlin::imaging
