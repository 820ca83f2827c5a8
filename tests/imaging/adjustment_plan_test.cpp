#include <gtest/gtest.h>

#include <vector>

#include "imaging/adjustment_plan.h"
#include "imaging/adjustments.h"
#include "test_image.h"

namespace tavlin::imaging {
namespace {

std::vector<AdjustmentStage> StagesOf(const FilterValues& values, int32_t colorMode) {
    std::vector<AdjustmentStage> stages;
    for (const AdjustmentStep& step : PlanAdjustments(values, colorMode)) {
        stages.push_back(step.stage);
    }
    return stages;
}

TEST(AdjustmentPlan, NeutralSettingsRunNothing) {
    for (int32_t mode = 0; mode < 6; ++mode) EXPECT_TRUE(PlanAdjustments({}, mode).empty());
}

TEST(AdjustmentPlan, StagesRunInTheirFixedOrder) {
    FilterValues values;
    values.brightness = -3;
    values.sharpness = 2;
    values.contrast = 5;
    values.gamma = 99;
    values.saturation = 10;
    using S = AdjustmentStage;
    EXPECT_EQ(StagesOf(values, 3),
              (std::vector{S::HueSaturation, S::Gamma, S::Contrast, S::Sharpness, S::Brightness}));
    EXPECT_EQ(StagesOf(values, 1),
              (std::vector{S::Gamma, S::Contrast, S::Sharpness, S::Brightness}));
    EXPECT_TRUE(PlanAdjustments(values, 6).empty());
}

TEST(AdjustmentPlan, GrayModesNeverRunHueAndAFullTurnStillRuns) {
    FilterValues values;
    values.hue = 360;
    EXPECT_TRUE(StagesOf(values, 0).empty());
    EXPECT_TRUE(StagesOf(values, 1).empty());
    EXPECT_EQ(StagesOf(values, 5), std::vector{AdjustmentStage::HueSaturation});
}

TEST(AdjustmentPlan, BlocksCarryTheSettingsAndOnlySharpnessReadsACopy) {
    FilterValues values;
    values.hue = -45;
    values.saturation = 7;
    values.sharpness = 12;
    AdjustmentPlan plan = PlanAdjustments(values, 2);
    ASSERT_EQ(plan.count, 2);
    const auto* hue = &plan.steps[0].hueSaturation;
    EXPECT_EQ(hue->hue, -45);
    EXPECT_EQ(hue->saturation, 7);
    EXPECT_EQ(hue->significantBits, 10);
    EXPECT_FALSE(plan.steps[0].readsCopy);
    EXPECT_TRUE(plan.steps[1].readsCopy);
    EXPECT_EQ(plan.steps[1].single.value, 12);
    EXPECT_EQ(plan.steps[1].kernel, &AdjustSharpness);
}

// A 32-bit image keeps its fourth byte through the whole chain.
TEST(AdjustmentPlan, FourthByteSurvivesEveryStage) {
    FilterValues values;
    values.brightness = 40;
    values.contrast = 20;
    values.hue = 100;
    values.saturation = -30;
    values.sharpness = 9;
    values.gamma = 160;
    for (int32_t bytes : {4, 8}) {
        for (SimdLevel level : test::AvailableLevels()) {
            test::ScopedLevel scoped(level);
            test::TestImage image(45, 9, bytes);
            std::mt19937 random(6);
            image.FillRandom(random, bytes == 4 ? 255 : 1023);
            for (int32_t y = 0; y < 9; ++y) {
                for (int32_t x = 0; x < 45; ++x) image.Set(x, y, 3, 0x5A + x);
            }
            test::TestImage scratch = image;
            AdjustmentPlan plan = PlanAdjustments(values, bytes == 4 ? 3 : 5);
            RunAdjustments(plan, image.View(), scratch.View());
            for (int32_t y = 0; y < 9; ++y) {
                for (int32_t x = 0; x < 45; ++x) ASSERT_EQ(image.Get(x, y, 3), 0x5A + x);
            }
            EXPECT_TRUE(image.PaddingIntact());
        }
    }
}

}  // namespace
}  // namespace tavlin::imaging
