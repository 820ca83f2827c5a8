#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "imaging/white_balance.h"
#include "reference.h"
#include "test_image.h"

namespace tavlin::imaging {
namespace {

using test::TestImage;

// A mosaic whose greens, blues and reds hold the given values under the phase.
TestImage Mosaic(int32_t width, int32_t height, int32_t bytes, int32_t phase, int32_t green,
                 int32_t blue, int32_t red) {
    TestImage raw(width, height, bytes);
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            const char c = ref::MosaicColor(phase, x, y);
            raw.Set(x, y, 0, c == 'G' ? green : (c == 'B' ? blue : red));
        }
    }
    return raw;
}

WhiteBalanceBlock Measure(TestImage& raw, WhiteBalanceBlock block) {
    EXPECT_EQ(RunStage(MeasureWhiteBalance, raw.View(), raw.View(), &block), 1);
    return block;
}

TEST(WhiteBalance, BringsBlueAndRedMeansToTheGreenMean) {
    for (int32_t bytes : {1, 2}) {
        for (int32_t phase = 0; phase < 4; ++phase) {
            TestImage raw = Mosaic(10, 6, bytes, phase, 80, 40, 160);
            const WhiteBalanceBlock measured = Measure(raw, {1, 2, 3, phase});
            EXPECT_EQ(measured.blue, 200);
            EXPECT_EQ(measured.green, 100);
            EXPECT_EQ(measured.red, 50);
        }
    }
}

TEST(WhiteBalance, MeasuredGainsAreLimitedTo400) {
    TestImage raw = Mosaic(8, 8, 1, 0, 250, 20, 250);
    EXPECT_EQ(Measure(raw, {100, 100, 100, 0}).blue, 400);
}

TEST(WhiteBalance, BlackFrameKeepsTheGainsAndADarkColourGetsTheLimit) {
    TestImage black(8, 8, 2);
    const WhiteBalanceBlock kept = Measure(black, {123, 99, 45, 2});
    EXPECT_EQ(kept.blue, 123);
    EXPECT_EQ(kept.green, 99);
    EXPECT_EQ(kept.red, 45);
    TestImage noBlue = Mosaic(8, 8, 1, 1, 90, 0, 60);
    const WhiteBalanceBlock measured = Measure(noBlue, {100, 100, 100, 1});
    EXPECT_EQ(measured.blue, 400);
    EXPECT_EQ(measured.red, 150);
    TestImage noGreen = Mosaic(8, 8, 1, 1, 0, 50, 60);
    const WhiteBalanceBlock dark = Measure(noGreen, {100, 100, 100, 1});
    EXPECT_GE(dark.blue, 0);
    EXPECT_LE(dark.blue, 400);
}

TEST(WhiteBalance, RandomFramesOfOddSizesMatchTheReference) {
    std::mt19937 random(31);
    for (const auto& [w, h] : {std::pair{7, 5}, {33, 17}, {64, 48}, {129, 3}}) {
        for (int32_t bytes : {1, 2}) {
            TestImage raw(w, h, bytes);
            raw.FillRandom(random, bytes == 1 ? 255 : 1023);
            const int32_t phase = static_cast<int32_t>(random() % 4);
            const ref::Gains expected = ref::WhiteBalance(raw, phase);
            const WhiteBalanceBlock measured = Measure(raw, {0, 0, 0, phase});
            EXPECT_EQ(measured.blue, expected.blue) << w << "x" << h;
            EXPECT_EQ(measured.red, expected.red) << w << "x" << h;
        }
    }
}

// The camera's row bands: sums of row pieces of the whole frame, added up in any order, give the
// reference gains; a frame that cannot be measured stays refused.
TEST(WhiteBalance, SumsOfRowPiecesGiveTheWholeFramesGains) {
    std::mt19937 random(41);
    for (const auto& [w, h] : {std::pair{7, 5}, {33, 17}, {64, 48}, {129, 3}, {6, 2}}) {
        for (int32_t bytes : {1, 2}) {
            TestImage raw(w, h, bytes);
            raw.FillRandom(random, bytes == 1 ? 255 : 1023);
            const int32_t phase = static_cast<int32_t>(random() % 4);
            const ref::Gains expected = ref::WhiteBalance(raw, phase);
            WhiteBalanceBlock block{0, 0, 0, phase};
            const StageRun run = *WholeImageRun(raw.View(), raw.View());
            std::vector<WhiteBalanceSums> pieces;
            for (int32_t first = 0; first < h;) {
                const int32_t end = first + 1 + static_cast<int32_t>(random() % 4);
                pieces.push_back(SumWhiteBalanceRows(run, block, first, end));
                pieces.push_back(SumWhiteBalanceRows(run, block, end, end));  // empty piece
                first = end;
            }
            std::shuffle(pieces.begin(), pieces.end(), random);
            WhiteBalanceSums total;
            for (const WhiteBalanceSums& piece : pieces) total.Add(piece);
            ASSERT_EQ(ConcludeWhiteBalanceSums(total, &block), 1);
            EXPECT_EQ(block.blue, expected.blue) << w << "x" << h;
            EXPECT_EQ(block.red, expected.red) << w << "x" << h;
        }
    }
    TestImage colour(4, 4, 3);
    const StageRun run = *WholeImageRun(colour.View(), colour.View());
    WhiteBalanceBlock block;
    EXPECT_EQ(ConcludeWhiteBalanceSums(SumWhiteBalanceRows(run, block, 0, 4), &block), 0);
}

TEST(WhiteBalance, OnlyTheOnceRequestIsDoneAfterOneMeasurement) {
    FilterValues everyFrame;
    everyFrame.bayerGainAuto = 1;
    const WhiteBalanceOutcome repeating = ConcludeWhiteBalance({200, 100, 50, 0}, everyFrame);
    EXPECT_FALSE(repeating.oneShotDone);
    EXPECT_EQ(repeating.gainB, 200);
    EXPECT_EQ(repeating.gainG, 100);
    EXPECT_EQ(repeating.gainR, 50);
    FilterValues once = everyFrame;
    once.onceMarkA = once.onceMarkB = 1;
    EXPECT_TRUE(ConcludeWhiteBalance({200, 100, 50, 0}, once).oneShotDone);
}

}  // namespace
}  // namespace tavlin::imaging
