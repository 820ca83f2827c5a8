// The camera's own pipeline steps: mirroring the raw frame and the automatic exposure and gain
// arithmetic, with the figures worked out by hand.
#include <gtest/gtest.h>

#include "camera/auto_exposure.h"
#include "camera/frame_pipeline.h"

namespace tavlin::camera {
namespace {

output::ImageBuffer Numbered(int32_t width, int32_t height, int32_t bits) {
    output::ImageBuffer image;
    EXPECT_EQ(image.Create(width, height, bits), 1);
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            const int v = y * width + x;
            uint8_t* row = image.Bits() + y * image.Stride();
            if (bits == 8) {
                row[x] = static_cast<uint8_t>(v);
            } else {
                reinterpret_cast<uint16_t*>(row)[x] = static_cast<uint16_t>(v);
            }
        }
    }
    return image;
}

int Sample(const output::ImageBuffer& image, int32_t x, int32_t y) {
    const uint8_t* row = image.Bits() + y * image.Stride();
    return image.BitCount() == 8 ? row[x] : reinterpret_cast<const uint16_t*>(row)[x];
}

TEST(MirrorRawTest, EachDirectionAndBothTogether) {
    for (int32_t bits : {8, 16}) {
        const int32_t w = 5, h = 3;  // odd width: rows carry padding
        const output::ImageBuffer original = Numbered(w, h, bits);
        output::ImageBuffer temporary;
        const bool cases[3][2] = {{true, false}, {false, true}, {true, true}};
        for (const auto& c : cases) {
            const bool v = c[0], hz = c[1];
            output::ImageBuffer raw = Numbered(w, h, bits);
            MirrorRaw(raw, temporary, v, hz);
            for (int32_t y = 0; y < h; ++y) {
                for (int32_t x = 0; x < w; ++x) {
                    const int32_t sx = hz ? w - 1 - x : x;
                    const int32_t sy = v ? h - 1 - y : y;
                    ASSERT_EQ(Sample(raw, x, y), Sample(original, sx, sy))
                        << bits << " bits, v " << v << " h " << hz << " at " << x << "," << y;
                }
            }
        }
        output::ImageBuffer untouched = Numbered(w, h, bits);
        MirrorRaw(untouched, temporary, false, false);
        EXPECT_EQ(Sample(untouched, 4, 2), Sample(original, 4, 2));
    }
}

TEST(MirrorRawTest, OtherDepthsAndEmptyBuffersAreLeftAlone) {
    output::ImageBuffer colour;
    ASSERT_EQ(colour.Create(4, 2, 24), 1);
    colour.Bits()[0] = 7;
    output::ImageBuffer temporary;
    MirrorRaw(colour, temporary, true, true);
    EXPECT_EQ(colour.Bits()[0], 7);
    output::ImageBuffer empty;
    MirrorRaw(empty, temporary, true, true);  // no crash, nothing to do
}

TEST(AutoExposureTest, FactorsFromTheFiveWindows) {
    // All five windows saturated: 0.85 - 4 x 0.15, just below 0.25 in double precision.
    const double dark = ExposureFactor({255, 255, 255, 255, 255});
    EXPECT_LT(dark, 0.25);
    EXPECT_GT(dark, 0.2499);
    EXPECT_TRUE(NeedsCorrection(dark));
    EXPECT_EQ(CorrectedGain(41, dark), 10);
    EXPECT_EQ(CorrectedGain(40, dark), 9);

    // Window A at 50, the others in range: 1.05, no correction.
    const double mild = ExposureFactor({50, 130, 130, 130, 130});
    EXPECT_DOUBLE_EQ(mild, 1.05);
    EXPECT_FALSE(NeedsCorrection(mild));

    // All windows at 10: 1.25 (slightly above).
    const double bright = ExposureFactor({10, 10, 10, 10, 10});
    EXPECT_GT(bright, 1.25);
    EXPECT_EQ(CorrectedShutter(100, bright), 125);
    EXPECT_EQ(CorrectedShutter(16000, bright), 16383);

    // Band edges: 200 subtracts 0.1, 201 subtracts 0.15, 160 and 100 change nothing.
    EXPECT_DOUBLE_EQ(ExposureFactor({200, 160, 100, 160, 100}), 0.9);
    EXPECT_DOUBLE_EQ(ExposureFactor({201, 130, 130, 130, 130}), 0.85);
}

TEST(AutoExposureTest, GainAndShutterLimits) {
    EXPECT_EQ(CorrectedGain(0, 1.3), 5);           // raised to 4 first
    EXPECT_EQ(CorrectedGain(3, 1.2), 4);           // never below 4 when raising
    EXPECT_EQ(CorrectedGain(60, 1.5), 63);         // never above 63
    EXPECT_EQ(CorrectedGain(0x80 | 40, 0.5), 20);  // only 7 bits count
    EXPECT_EQ(CorrectedShutter(0, 0.5), 1);        // never 0
}

TEST(AutoExposureTest, WindowsAreMeasuredInBottomUpMemoryRows) {
    // 100 x 100, 8-bit: window A covers columns 10..19 of stored rows 80..89.
    output::ImageBuffer raw;
    ASSERT_EQ(raw.Create(100, 100, 8), 1);
    for (int32_t y = 80; y < 90; ++y) {
        for (int32_t x = 10; x < 20; ++x) raw.Bits()[y * raw.Stride() + x] = 250;
    }
    const WindowMeans means = MeasureExposureWindows(raw);
    EXPECT_EQ(means[0], 250);
    EXPECT_EQ(means[1], 0);
    EXPECT_EQ(means[2], 0);
}

}  // namespace
}  // namespace tavlin::camera
