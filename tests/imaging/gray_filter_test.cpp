#include <gtest/gtest.h>

#include <random>

#include "imaging/color_conversion.h"
#include "imaging/gray_filter.h"
#include "reference.h"
#include "test_image.h"

namespace tavlin::imaging {
namespace {

using test::TestImage;

void Apply(TestImage& image, GrayBlock block) {
    ASSERT_EQ(RunStage(ApplyGrayGainOffset, image.View(), image.View(), &block), 1);
}

TEST(GrayFilter, OffsetsAloneLeaveTheImageAlone) {
    std::mt19937 random(3);
    TestImage image(9, 9, 1);
    image.FillRandom(random, 255);
    const TestImage before = image;
    GrayBlock block;
    block.offsetG1 = 50;
    Apply(image, block);
    EXPECT_EQ(image.bytes, before.bytes);
}

TEST(GrayFilter, GainOfOnePositionScalesOnlyThatPosition) {
    TestImage image(4, 4, 1);
    image.Fill(100);
    GrayBlock block;
    block.gainR = 255;
    Apply(image, block);
    EXPECT_EQ(image.Get(1, 0), 199);
    EXPECT_EQ(image.Get(0, 0), 100);
    EXPECT_EQ(image.Get(1, 1), 100);
    EXPECT_EQ(image.Get(3, 2), 199);
}

TEST(GrayFilter, NegativeOffsetStopsAtZero) {
    for (int32_t bytes : {1, 2}) {
        TestImage image(6, 4, bytes);
        image.Fill(200);
        GrayBlock block;
        block.offsetB = -255;
        block.gainG1 = 129;
        block.significantBits = 10;
        Apply(image, block);
        EXPECT_EQ(image.Get(0, 1), 0);
        EXPECT_EQ(image.Get(2, 3), 0);
        EXPECT_EQ(image.Get(0, 0), 201);
    }
}

TEST(GrayFilter, MeasurementEvensOutThePositions) {
    TestImage image(8, 8, 1);
    for (int32_t y = 0; y < 8; ++y) {
        for (int32_t x = 0; x < 8; ++x) image.Set(x, y, 0, (y % 2 == 0 && x % 2 == 1) ? 50 : 100);
    }
    GrayBlock block;
    ASSERT_EQ(RunStage(MeasureGrayGains, image.View(), image.View(), &block), 1);
    EXPECT_EQ(block.gainG1, 128);
    EXPECT_EQ(block.gainR, 256);
    EXPECT_EQ(block.gainB, 128);
    EXPECT_EQ(block.gainG2, 128);
}

TEST(GrayFilter, BlackOrSaturatedFramesKeepTheGains) {
    for (const auto& [bytes, value, bits] : {std::tuple{1, 0, 8}, {1, 255, 8}, {2, 1023, 10}}) {
        TestImage image(8, 8, bytes);
        image.Fill(value);
        GrayBlock block{0, 1, 2, 3, 4, 0, 0, 0, 0, bits};
        RunStage(MeasureGrayGains, image.View(), image.View(), &block);
        EXPECT_EQ(block.gainR, 1);
        EXPECT_EQ(block.gainG1, 2);
        EXPECT_EQ(block.gainG2, 3);
        EXPECT_EQ(block.gainB, 4);
    }
}

TEST(GrayFilter, MeasurementCountsDownButEveryFrameStays) {
    EXPECT_EQ(NextGrayAutoRequest(1), 0);
    EXPECT_EQ(NextGrayAutoRequest(3), 2);
    EXPECT_EQ(NextGrayAutoRequest(0), 0);
    EXPECT_EQ(NextGrayAutoRequest(-1), -1);
}

TEST(GrayFilter, RandomImagesOfOddWidthsMatchTheReference) {
    std::mt19937 random(17);
    for (const auto& [w, h, bytes] : {std::tuple{7, 5, 1}, {33, 9, 2}, {64, 8, 1}, {121, 11, 2}}) {
        const int32_t maximum = bytes == 1 ? 255 : 1023;
        TestImage image(w, h, bytes);
        image.FillRandom(random, maximum);
        const int32_t phase = static_cast<int32_t>(random() % 4);
        GrayBlock block{phase, 128, 128, 128, 128, 0, 0, 0, 0, bytes == 1 ? 8 : 10};
        int32_t gains[4];
        ASSERT_TRUE(ref::GrayGains(image, phase, maximum, gains));
        RunStage(MeasureGrayGains, image.View(), image.View(), &block);
        EXPECT_EQ(block.gainG1, gains[0]);
        EXPECT_EQ(block.gainR, gains[1]);
        EXPECT_EQ(block.gainB, gains[2]);
        EXPECT_EQ(block.gainG2, gains[3]);

        block = {phase, 300, 17, 128, 255, -40, 12, 255, -255, block.significantBits};
        const int32_t order[4] = {17, 300, 255, 128};
        const int32_t offsets[4] = {12, -40, -255, 255};
        TestImage expected = image;
        ref::GrayGainOffset(expected, phase, order, offsets, maximum);
        Apply(image, block);
        EXPECT_EQ(image.bytes, expected.bytes) << w << "x" << h;
        EXPECT_TRUE(image.PaddingIntact());
    }
}

TEST(GrayFilter, GrayscaleModeOfAUniformFrameIsThatValue) {
    for (const auto& [rawBytes, colourBytes] : {std::pair{1, 3}, {2, 6}}) {
        TestImage raw(12, 10, rawBytes);
        raw.Fill(100);
        TestImage colour(12, 10, colourBytes);
        ColorConversionBlock block{3, 100, 100, 100};
        RunStage(ConvertBayerToColor, colour.View(), raw.View(), &block);
        ASSERT_EQ(RunStage(LuminanceFromColor, raw.View(), colour.View()), 1);
        for (int32_t y = 0; y < 10; ++y) {
            for (int32_t x = 0; x < 12; ++x) ASSERT_EQ(raw.Get(x, y), 100);
        }
    }
}

TEST(GrayFilter, LuminanceWeighsTheChannels) {
    TestImage colour(2, 1, 4);
    colour.Set(0, 0, 0, 255);  // pure blue
    colour.Set(1, 0, 2, 255);  // pure red
    TestImage gray(2, 1, 1);
    RunStage(LuminanceFromColor, gray.View(), colour.View());
    EXPECT_EQ(gray.Get(0, 0), 255 * 11 / 100);
    EXPECT_EQ(gray.Get(1, 0), 255 * 30 / 100);
}

}  // namespace
}  // namespace tavlin::imaging
