#include <gtest/gtest.h>

#include <random>

#include "imaging/adjustments.h"
#include "imaging/color_conversion.h"
#include "imaging/gray_filter.h"
#include "imaging/parameter_blocks.h"
#include "reference.h"
#include "test_image.h"

namespace tavlin::imaging {
namespace {

using test::TestImage;

TestImage Crop(const TestImage& image, int32_t left, int32_t top, int32_t width, int32_t height) {
    TestImage out(width, height, image.bytesPerPixel);
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            for (int32_t c = 0; c < image.Channels(); ++c) {
                out.Set(x, y, c, image.Get(left + x, top + y, c));
            }
        }
    }
    return out;
}

// A kernel given a rectangle inside its source (as Transfer hands over clipped or window
// rectangles) treats it as an image of its own whose mosaic keeps the colours of the full frame.
TEST(SubRectangles, ColourConversionOfAWindowKeepsTheMosaicColours) {
    std::mt19937 random(21);
    TestImage raw(40, 30, 1);
    raw.FillRandom(random, 255);
    const Rect window{5, 3, 32, 22};
    for (int32_t phase = 0; phase < 4; ++phase) {
        ColorConversionBlock block{phase, 130, 100, 70};
        TestImage out(40, 30, 3);
        ASSERT_EQ(AsKernel<ConvertBayerToColor>(out.bytes.data(), raw.bytes.data(), window, 2, 1, 3,
                                                1, out.stride, raw.stride, &block, nullptr),
                  1);
        const TestImage part = Crop(raw, window.left, window.top, window.Width(), window.Height());
        TestImage expected(window.Width(), window.Height(), 3);
        ref::Demosaic(part, PhaseAt(phase, window.left, window.top), 130, 70, expected);
        EXPECT_EQ(Crop(out, 2, 1, window.Width(), window.Height()).bytes, expected.bytes);
        EXPECT_EQ(out.Get(0, 0, 0), 0);  // outside the destination position
    }
}

TEST(SubRectangles, PhaseOfAWindowFollowsItsCorner) {
    for (int32_t phase = 0; phase < 4; ++phase) {
        for (int32_t left = 0; left < 3; ++left) {
            for (int32_t top = 0; top < 3; ++top) {
                const int32_t shifted = PhaseAt(phase, left, top);
                for (int32_t y = 0; y < 4; ++y) {
                    for (int32_t x = 0; x < 4; ++x) {
                        ASSERT_EQ(ref::MosaicColor(shifted, x, y),
                                  ref::MosaicColor(phase, x + left, y + top));
                    }
                }
            }
        }
    }
}

TEST(SubRectangles, GrayGainsApplyByTheFullFramePositions) {
    TestImage image(9, 7, 1);
    image.Fill(100);
    GrayBlock block;
    block.gainR = 256;  // position (0, 1) of the full frame
    const Rect window{1, 1, 8, 6};
    ASSERT_EQ(AsKernel<ApplyGrayGainOffset>(image.bytes.data(), image.bytes.data(), window, 1, 1, 1,
                                            1, image.stride, image.stride, &block, nullptr),
              1);
    EXPECT_EQ(image.Get(3, 2), 200);
    EXPECT_EQ(image.Get(2, 2), 100);
    EXPECT_EQ(image.Get(2, 1), 100);
    EXPECT_EQ(image.Get(1, 0), 100);  // outside the window
}

TEST(SubRectangles, AdjustmentsTouchOnlyTheirRectangle) {
    std::mt19937 random(12);
    for (SimdLevel level : test::AvailableLevels()) {
        test::ScopedLevel scoped(level);
        TestImage image(80, 10, 4);
        image.FillRandom(random, 255);
        const TestImage before = image;
        SingleValueBlock block{150, kWideSampleBits};
        const Rect window{3, 2, 75, 9};
        AsKernel<AdjustGamma>(image.bytes.data(), image.bytes.data(), window, 3, 2, 4, 4,
                              image.stride, image.stride, &block, nullptr);
        TestImage expected = Crop(before, 3, 2, 72, 7);
        ref::Gamma(expected, 150, kWideSampleBits);
        EXPECT_EQ(Crop(image, 3, 2, 72, 7).bytes, expected.bytes) << SimdLevelName(level);
        EXPECT_EQ(Crop(image, 0, 0, 80, 2).bytes, Crop(before, 0, 0, 80, 2).bytes);
        EXPECT_EQ(image.Get(76, 5, 1), before.Get(76, 5, 1));
    }
}

}  // namespace
}  // namespace tavlin::imaging
