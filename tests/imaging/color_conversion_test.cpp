#include <gtest/gtest.h>

#include <random>

#include "imaging/color_conversion.h"
#include "imaging/white_balance.h"
#include "reference.h"
#include "test_image.h"

namespace tavlin::imaging {
namespace {

using test::TestImage;

struct Conversion {
    int32_t width;
    int32_t height;
    int32_t rawBytes;
    int32_t outBytes;
};

TestImage Convert(const TestImage& raw, int32_t outBytes, ColorConversionBlock block,
                  uint8_t fourthMarker = 0) {
    TestImage out(raw.width, raw.height, outBytes);
    for (int32_t y = 0; y < out.height; ++y) {
        std::fill_n(out.Row(y), static_cast<size_t>(out.width) * outBytes, fourthMarker);
    }
    TestImage source = raw;
    EXPECT_EQ(RunStage(ConvertBayerToColor, out.View(), source.View(), &block), 1);
    return out;
}

TestImage Reference(const TestImage& raw, int32_t outBytes, const ColorConversionBlock& block) {
    TestImage out(raw.width, raw.height, outBytes);
    ref::Demosaic(raw, block.phase, block.gainR, block.gainB, out);
    return out;
}

void ExpectSameColors(const TestImage& actual, const TestImage& expected, const char* what) {
    for (int32_t y = 0; y < expected.height; ++y) {
        for (int32_t x = 0; x < expected.width; ++x) {
            for (int32_t c = 0; c < 3; ++c) {
                ASSERT_EQ(actual.Get(x, y, c), expected.Get(x, y, c))
                    << what << " at " << x << "," << y << " channel " << c;
            }
        }
    }
}

TEST(ColorConversion, UniformGrayStaysUniformInEveryDepthAndPhase) {
    for (const auto& [rawBytes, outBytes] : {std::pair{1, 3}, {1, 4}, {2, 6}, {2, 8}}) {
        TestImage raw(9, 7, rawBytes);
        raw.Fill(100);
        for (int32_t phase = 0; phase < 4; ++phase) {
            const TestImage out = Convert(raw, outBytes, {phase, 100, 100, 100});
            for (int32_t y = 0; y < out.height; ++y) {
                for (int32_t x = 0; x < out.width; ++x) {
                    for (int32_t c = 0; c < 3; ++c) ASSERT_EQ(out.Get(x, y, c), 100);
                }
            }
        }
    }
}

TEST(ColorConversion, RedGainSaturatesAtTheSampleMaximum) {
    for (const auto& [rawBytes, full] : {std::pair{1, 255}, {2, 1023}}) {
        TestImage raw(8, 8, rawBytes);
        raw.Fill(full);
        const TestImage out = Convert(raw, rawBytes == 1 ? 3 : 6, {0, 400, 100, 100});
        EXPECT_EQ(out.Get(4, 4, 2), full);
        EXPECT_EQ(out.Get(0, 0, 2), full);
    }
}

TEST(ColorConversion, GreenGainIsNeverApplied) {
    std::mt19937 random(7);
    TestImage raw(16, 12, 1);
    raw.FillRandom(random, 255);
    const TestImage neutral = Convert(raw, 3, {2, 90, 100, 110});
    const TestImage boosted = Convert(raw, 3, {2, 90, 400, 110});
    EXPECT_EQ(neutral.bytes, boosted.bytes);
}

TEST(ColorConversion, MirroringCorrectsThePhase) {
    FilterValues values;
    values.bayerMode = 0;
    EXPECT_EQ(MakeColorConversionBlock(values, true, false).phase, 1);
    EXPECT_EQ(MakeColorConversionBlock(values, false, true).phase, 2);
    EXPECT_EQ(MakeColorConversionBlock(values, true, true).phase, 3);
    values.bayerMode = 3;
    EXPECT_EQ(MakeColorConversionBlock(values, true, true).phase, 0);
}

TEST(ColorConversion, FourthChannelAndRowPaddingAreNeverWritten) {
    std::mt19937 random(11);
    for (const auto& [rawBytes, outBytes] : {std::pair{1, 4}, {2, 8}}) {
        for (SimdLevel level : test::AvailableLevels()) {
            test::ScopedLevel scoped(level);
            TestImage raw(71, 9, rawBytes);
            raw.FillRandom(random, rawBytes == 1 ? 255 : 1023);
            const TestImage out = Convert(raw, outBytes, {1, 120, 100, 80}, 0xC3);
            for (int32_t y = 0; y < out.height; ++y) {
                for (int32_t x = 0; x < out.width; ++x) {
                    const int32_t marker = rawBytes == 1 ? 0xC3 : 0xC3C3;
                    ASSERT_EQ(out.Get(x, y, 3), marker) << SimdLevelName(level) << " " << x;
                }
            }
        }
    }
    TestImage raw(7, 5, 1);
    const TestImage out = Convert(raw, 3, {0, 100, 100, 100});
    EXPECT_TRUE(out.PaddingIntact());
}

TEST(ColorConversion, RefusesDepthsItDoesNotConvertAndImagesWithoutACell) {
    TestImage raw(8, 8, 1);
    TestImage out(8, 8, 6);
    ColorConversionBlock block;
    EXPECT_EQ(RunStage(ConvertBayerToColor, out.View(), raw.View(), &block), 0);
    TestImage thin(1, 8, 1);
    TestImage thinOut(1, 8, 3);
    EXPECT_EQ(RunStage(ConvertBayerToColor, thinOut.View(), thin.View(), &block), 0);
    TestImage colour(8, 8, 3);
    EXPECT_EQ(RunStage(ConvertBayerToColor, colour.View(), raw.View(), nullptr), 0);
}

// Every path against the reference on random mosaics of odd, even, tiny and full sizes.
TEST(ColorConversion, EveryPathEqualsTheReference) {
    std::mt19937 random(2024);
    const Conversion sizes[] = {{2, 2, 1, 3},  {3, 3, 2, 6},       {4, 5, 1, 4},
                                {5, 4, 2, 8},  {37, 9, 1, 3},      {38, 10, 2, 6},
                                {67, 7, 1, 4}, {66, 8, 2, 8},      {131, 6, 1, 3},
                                {97, 5, 2, 6}, {1280, 1024, 1, 3}, {1280, 1024, 2, 6}};
    for (const Conversion& size : sizes) {
        TestImage raw(size.width, size.height, size.rawBytes);
        raw.FillRandom(random, size.rawBytes == 1 ? 255 : 1023);
        const int32_t phase = static_cast<int32_t>(random() % 4);
        const ColorConversionBlock block{phase, static_cast<int32_t>(random() % 401), 100,
                                         static_cast<int32_t>(random() % 401)};
        const TestImage expected = Reference(raw, size.outBytes, block);
        for (SimdLevel level : test::AvailableLevels()) {
            test::ScopedLevel scoped(level);
            const TestImage actual = Convert(raw, size.outBytes, block);
            ExpectSameColors(actual, expected, SimdLevelName(level));
            EXPECT_TRUE(actual.PaddingIntact());
        }
    }
}

TEST(ColorConversion, EveryPhaseAndGainRangeEqualsTheReference) {
    std::mt19937 random(99);
    for (int32_t phase = 0; phase < 4; ++phase) {
        for (int32_t gain : {0, 1, 77, 100, 255, 399, 400}) {
            for (int32_t rawBytes : {1, 2}) {
                TestImage raw(70, 6, rawBytes);
                raw.FillRandom(random, rawBytes == 1 ? 255 : 1023);
                const ColorConversionBlock block{phase, gain, 100, 400 - gain};
                const TestImage expected = Reference(raw, rawBytes * 3, block);
                for (SimdLevel level : test::AvailableLevels()) {
                    test::ScopedLevel scoped(level);
                    ExpectSameColors(Convert(raw, rawBytes * 3, block), expected,
                                     SimdLevelName(level));
                }
            }
        }
    }
}

// Samples with bits above the tenth come from a broken frame, but must not change the result.
TEST(ColorConversion, WideSamplesAboveTenBitsMatchTheReference) {
    std::mt19937 random(5);
    TestImage raw(200, 8, 2);
    raw.FillRandom(random, 1023);
    raw.Set(90, 3, 0, 0xFFFF);
    raw.Set(150, 5, 0, 4000);
    const ColorConversionBlock block{3, 250, 100, 60};
    const TestImage expected = Reference(raw, 8, block);
    for (SimdLevel level : test::AvailableLevels()) {
        test::ScopedLevel scoped(level);
        ExpectSameColors(Convert(raw, 8, block), expected, SimdLevelName(level));
    }
}

// Rows converted in pieces, each piece on its own call with the whole frame as the run (as the
// camera's row bands do), equal the reference on the whole frame: the pieces' first and last
// rows take their taps across the cut and reflect only at the frame's own edges.
TEST(ColorConversion, RowRangesInAnyPiecesEqualTheReference) {
    std::mt19937 random(7);
    const Conversion sizes[] = {{9, 2, 1, 3},  {8, 3, 2, 6},   {37, 5, 1, 4},
                                {36, 7, 2, 8}, {70, 13, 1, 3}, {67, 40, 2, 6}};
    for (const Conversion& size : sizes) {
        TestImage raw(size.width, size.height, size.rawBytes);
        raw.FillRandom(random, size.rawBytes == 1 ? 255 : 1023);
        const int32_t phase = static_cast<int32_t>(random() % 4);
        const ColorConversionBlock block{phase, static_cast<int32_t>(random() % 401), 100,
                                         static_cast<int32_t>(random() % 401)};
        const TestImage expected = Reference(raw, size.outBytes, block);
        for (SimdLevel level : test::AvailableLevels()) {
            test::ScopedLevel scoped(level);
            TestImage out(raw.width, raw.height, size.outBytes);
            TestImage source = raw;
            const StageRun run = *WholeImageRun(out.View(), source.View());
            // Pieces of 1 to 4 rows, the last one may reach past the end (clipped).
            for (int32_t first = 0; first < size.height;) {
                const int32_t end = first + static_cast<int32_t>(random() % 4);
                ASSERT_EQ(ConvertBayerToColorRows(run, &block, first, end + 1), 1);
                first = end + 1;
            }
            ExpectSameColors(out, expected, SimdLevelName(level));
            EXPECT_TRUE(out.PaddingIntact());
        }
    }
}

}  // namespace
}  // namespace tavlin::imaging
