// The virtual camera's colour chart through the SDK's own pipeline: the Bayer layout its default
// mode demosaics, automatic white balance and automatic exposure on a scene that has colour.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "integration/sdk_fixture.h"
#include "vcam/colour_chart.h"

namespace tavlin::test {
namespace {

using vcam::ChartColour;
using vcam::ChartPatch;
using vcam::ChartPatches;
using vcam::kChartBoard;

struct Rgb {
    int r, g, b;
    bool operator==(const Rgb&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Rgb& c) {
    return out << "(" << c.r << ", " << c.g << ", " << c.b << ")";
}

Rgb Of(const ChartColour& c) {
    return {c.r, c.g, c.b};
}

// Hue in degrees, 0 red, 120 green, 240 blue.
double Hue(const Rgb& c) {
    const double h = std::atan2(std::sqrt(3.0) * (c.g - c.b), 2.0 * c.r - c.g - c.b);
    return std::fmod(h * 180.0 / M_PI + 360.0, 360.0);
}

class ColourSceneTest : public SdkTest {
  protected:
    void SetUp() override {
        SdkTest::SetUp();
        ASSERT_EQ(TavlinVcam_SetScene(0, TAVLIN_VCAM_SCENE_CHART), 1);
    }

    // Colour mode 24 in capture mode. Sub-sampling keeps two rows and columns of every 2d.
    void Start(int32_t subSample, int32_t divisor) {
        divisor_ = divisor;
        width_ = 1280 / divisor;
        height_ = 1024 / divisor;
        stride_ = (width_ * 3 + 3) & ~3;
        ASSERT_EQ(Tavlin_SetColorMode(camera_, 24), 1);
        ASSERT_EQ(Tavlin_SetSubSample(camera_, subSample), 1);
        ASSERT_EQ(Tavlin_SetWaitTime(camera_, 0), 1);
        ASSERT_EQ(Tavlin_Capture(camera_), 1) << ::testing::PrintToString(Errors());
    }

    void Snap() {
        image_.assign(size_t(stride_) * height_, 0);
        ASSERT_EQ(Tavlin_SnapShot(camera_, image_.data(), int32_t(image_.size()), 1), 1);
    }

    Rgb Pixel(int column, int row) const {
        const uint8_t* p = &image_[size_t(row) * stride_ + size_t(column) * 3];
        return {p[2], p[1], p[0]};
    }

    // The pixel that shows the middle of a patch (the image positions of the full window).
    Rgb Middle(const ChartPatch& p) const {
        return Pixel((p.left + p.width / 2) / divisor_, (p.top + p.height / 2) / divisor_);
    }

    int divisor_ = 1, width_ = 0, height_ = 0, stride_ = 0;
    std::vector<uint8_t> image_;
};

TEST_F(ColourSceneTest, DefaultBayerModeGivesTheChartColoursExactly) {
    Start(1, 2);
    Snap();
    // Inside a patch every tap of the demosaic sees the same colour, so with neutral gains the
    // pixel is the scene colour itself.
    for (const ChartPatch& p : ChartPatches()) EXPECT_EQ(Middle(p), Of(p.colour)) << p.left;
    EXPECT_EQ(Pixel(width_ / 2, height_ / 2), Of(kChartBoard));

    // Red, green, blue, cyan, magenta, yellow: distinct hues in their places on the circle.
    const double hues[] = {0, 120, 240, 180, 300, 60};
    for (int i = 0; i < 6; ++i) {
        const Rgb c = Middle(ChartPatches()[i]);
        const double off = std::fabs(std::remainder(Hue(c) - hues[i], 360.0));
        EXPECT_LT(off, 5.0) << i << " " << c;
        EXPECT_GT(std::max({c.r, c.g, c.b}) - std::min({c.r, c.g, c.b}), 100) << i;
    }
    // The ladder is gray and steps down.
    for (int i = 6; i < 12; ++i) {
        const Rgb c = Middle(ChartPatches()[i]);
        EXPECT_TRUE(c.r == c.g && c.g == c.b) << i << " " << c;
        if (i > 6) {
            EXPECT_LT(c.g, Middle(ChartPatches()[i - 1]).g - 20) << i;
        }
    }

    // The layout is that of the default mode only: read as mode 0, red comes out blue.
    ASSERT_EQ(Tavlin_SetBayerMode(camera_, 0), 1);
    Snap();
    const Rgb red = Middle(ChartPatches()[0]);
    EXPECT_GT(red.b, red.r + 100) << red;
}

TEST_F(ColourSceneTest, AutomaticWhiteBalanceNeutralisesASensorColourCast) {
    ASSERT_EQ(Tavlin_SetColorGainRed(camera_, 18), 1);
    ASSERT_EQ(Tavlin_SetColorGainBlue(camera_, 10), 1);
    Start(1, 2);
    Snap();
    const Rgb cast = Middle(ChartPatches()[6]);
    ASSERT_GT(cast.r - cast.b, 60) << cast;

    ASSERT_EQ(Tavlin_SetBayerGainAuto(camera_, 1), 1);
    Snap();
    int32_t ok = 0;
    EXPECT_LT(Tavlin_GetBayerGainRed(camera_, &ok), 100);
    EXPECT_GT(Tavlin_GetBayerGainBlue(camera_, &ok), 100);
    // Gray within 2 levels plus 3 % of green: what whole-percent gains and truncating fixed
    // point leave of a perfect balance.
    for (int i = 6; i < 12; ++i) {
        const Rgb c = Middle(ChartPatches()[i]);
        const double tolerance = 2 + 0.03 * c.g;
        EXPECT_LE(std::abs(c.r - c.g), tolerance) << i << " " << c;
        EXPECT_LE(std::abs(c.b - c.g), tolerance) << i << " " << c;
    }
    // The colours keep their hues.
    const Rgb red = Middle(ChartPatches()[0]);
    const Rgb blue = Middle(ChartPatches()[2]);
    EXPECT_GT(red.r, std::max(red.g, red.b) + 100) << red;
    EXPECT_GT(blue.b, std::max(blue.r, blue.g) + 100) << blue;
}

TEST_F(ColourSceneTest, AutomaticExposureSettlesBelowClipping) {
    ASSERT_EQ(Tavlin_SetExposureTime(camera_, 8000), 1);
    Start(3, 8);
    Snap();
    const auto clipped = std::count(image_.begin(), image_.end(), uint8_t(255));
    ASSERT_GT(clipped, std::ptrdiff_t(image_.size() / 2));

    ASSERT_EQ(Tavlin_SetAutoIris(camera_, 1), 1);
    int32_t ok = 0;
    int32_t exposure = Tavlin_GetExposureTime(camera_, &ok);
    int unchanged = 0;
    for (int i = 0; i < 40 && unchanged < 3; ++i) {
        Snap();
        const int32_t now = Tavlin_GetExposureTime(camera_, &ok);
        unchanged = now == exposure ? unchanged + 1 : 0;
        exposure = now;
    }
    ASSERT_EQ(unchanged, 3) << "exposure still moving at " << exposure;
    EXPECT_LT(exposure, 8000);
    for (int row = 0; row < height_; ++row) {
        for (int column = 0; column < width_; ++column) {
            const Rgb c = Pixel(column, row);
            ASSERT_LT(std::max({c.r, c.g, c.b}), 255) << column << "," << row;
        }
    }
    // Settled with the board inside the band where the measurement holds still.
    const Rgb board = Pixel(width_ / 2, height_ / 2);
    EXPECT_GE(board.g, 100);
    EXPECT_LE(board.g, 160);
}

}  // namespace
}  // namespace tavlin::test
