#include <gtest/gtest.h>

#include <random>
#include <thread>
#include <vector>

#include "imaging/adjustment_plan.h"
#include "imaging/color_conversion.h"
#include "test_image.h"

namespace tavlin::imaging {
namespace {

using test::TestImage;

// One camera's frame: conversion then every adjustment, with its own settings.
TestImage ProcessFrame(const TestImage& raw, const FilterValues& values, int32_t colorMode) {
    const int32_t bytes = colorMode == 3 ? 4 : 6;
    TestImage out(raw.width, raw.height, bytes);
    TestImage scratch(raw.width, raw.height, bytes);
    TestImage source = raw;
    ColorConversionBlock block = MakeColorConversionBlock(values, false, false);
    RunStage(ConvertBayerToColor, out.View(), source.View(), &block);
    AdjustmentPlan plan = PlanAdjustments(values, colorMode);
    RunAdjustments(plan, out.View(), scratch.View());
    return out;
}

// Cameras on their own threads with different saturations and gammas must get exactly what each
// gets alone: no table of one frame may leak into another's.
TEST(Concurrency, CamerasOnSeparateThreadsDoNotShareTables) {
    std::mt19937 random(42);
    struct Camera {
        TestImage raw;
        FilterValues values;
        int32_t colorMode;
        TestImage expected;
    };
    std::vector<Camera> cameras;
    for (int i = 0; i < 4; ++i) {
        const bool wide = i % 2 == 1;
        TestImage raw(96, 40, wide ? 2 : 1);
        raw.FillRandom(random, wide ? 1023 : 255);
        FilterValues values;
        values.saturation = -200 + 130 * i;
        values.hue = 40 * i - 60;
        values.gamma = 60 + 35 * i;
        values.contrast = 10 * i - 15;
        values.sharpness = 3 * i + 1;
        values.brightness = 25 * i - 40;
        const int32_t mode = wide ? 4 : 3;
        TestImage expected = ProcessFrame(raw, values, mode);
        cameras.push_back({raw, values, mode, expected});
    }
    std::vector<std::thread> threads;
    std::vector<int> mismatches(cameras.size(), 0);
    for (size_t i = 0; i < cameras.size(); ++i) {
        threads.emplace_back([&cameras, &mismatches, i] {
            for (int frame = 0; frame < 20; ++frame) {
                const Camera& c = cameras[i];
                if (ProcessFrame(c.raw, c.values, c.colorMode).bytes != c.expected.bytes) {
                    ++mismatches[i];
                }
            }
        });
    }
    for (std::thread& t : threads) t.join();
    for (size_t i = 0; i < cameras.size(); ++i) EXPECT_EQ(mismatches[i], 0) << "camera " << i;
}

// Tests and tools switch the active path while nothing runs; each switch must take effect.
TEST(Concurrency, EachAvailablePathCanBeChosen) {
    for (SimdLevel level : test::AvailableLevels()) {
        test::ScopedLevel scoped(level);
        ASSERT_TRUE(scoped.ok());
        EXPECT_EQ(ActiveKernelPaths().level, level);
    }
    EXPECT_EQ(ActiveKernelPaths().level, DefaultSimdLevel());
#ifdef TAVLIN_FORCE_PORTABLE
    EXPECT_EQ(DefaultSimdLevel(), SimdLevel::Portable);
    EXPECT_EQ(KernelPathsFor(SimdLevel::Avx2), nullptr);
#endif
}

}  // namespace
}  // namespace tavlin::imaging
