// The colour modes as GStreamer formats, frame rates from frame periods, and capture times on
// clocks that do not read CLOCK_MONOTONIC.
#include <gtest/gtest.h>

#include <gst/gst.h>

#include "clock_mapping.h"
#include "src_format.h"

namespace tavlin::gst {
namespace {

TEST(SrcFormat, EveryStreamableModeHasAFormatThatMapsBack) {
    for (int32_t mode : {8, 16, 24, 32, 64}) {
        const GstVideoFormat format = FormatOfColorMode(mode);
        ASSERT_NE(format, GST_VIDEO_FORMAT_UNKNOWN) << mode;
        EXPECT_EQ(ColorModeOfFormat(format), mode);
        EXPECT_EQ(WhyNoFormat(mode), nullptr);
        // Each pixel is exactly as wide as the SDK's.
        const GstVideoFormatInfo* info = gst_video_format_get_info(format);
        EXPECT_EQ(GST_VIDEO_FORMAT_INFO_PSTRIDE(info, 0) * 8, mode);
    }
    for (int32_t mode : {0, 48, 12, -1}) {
        EXPECT_EQ(FormatOfColorMode(mode), GST_VIDEO_FORMAT_UNKNOWN) << mode;
        EXPECT_NE(WhyNoFormat(mode), nullptr) << mode;
    }
    EXPECT_EQ(ColorModeOfFormat(GST_VIDEO_FORMAT_I420), 0);
    EXPECT_EQ(ColorModeOfFormat(GST_VIDEO_FORMAT_RGB), 0);  // red first: not the camera's order
}

TEST(SrcFormat, OfferedModesPutTheCamerasOwnFirstAndNeverFortyEight) {
    EXPECT_EQ(OfferedColorModes(32), (std::vector<int32_t>{32, 8, 16, 24, 64}));
    EXPECT_EQ(OfferedColorModes(48), (std::vector<int32_t>{8, 16, 24, 32, 64}));
    EXPECT_EQ(OfferedColorModes(0), (std::vector<int32_t>{8, 16, 24, 32, 64}));
}

TEST(SrcFormat, RatesAreExactFractionsOfTheMicrosecondPeriod) {
    const Fraction thirty = RateOfPeriod(33'333'000);
    EXPECT_EQ(thirty.numerator, 1'000'000);
    EXPECT_EQ(thirty.denominator, 33'333);
    const Fraction forty = RateOfPeriod(25'000'000);
    EXPECT_EQ(forty.numerator, 40);
    EXPECT_EQ(forty.denominator, 1);
    const Fraction rounded = RateOfPeriod(1'999'600);  // 2000 µs after rounding
    EXPECT_EQ(rounded.numerator, 500);
    EXPECT_EQ(rounded.denominator, 1);
    EXPECT_EQ(RateOfPeriod(0).numerator, 0);
    EXPECT_EQ(RateOfPeriod(0).denominator, 1);
    EXPECT_EQ(RateOfPeriod(-5).numerator, 0);
    // The longest exposure at the slowest clock still fits.
    const Fraction slow = RateOfPeriod(int64_t(16383) * 1524 * 100);
    EXPECT_GT(slow.denominator, 0);
}

TEST(SrcFormat, WindowsShrinkByTheSubSampling) {
    const StreamShape full = ShapeOfWindow(1280, 1024, 0);
    EXPECT_EQ(full.width, 1280);
    EXPECT_EQ(full.height, 1024);
    const StreamShape eighth = ShapeOfWindow(1000, 600, 3);
    EXPECT_EQ(eighth.width, 125);
    EXPECT_EQ(eighth.height, 75);
}

TEST(SrcFormat, CapsListEachModeAtTheShape) {
    GstCaps* caps = CapsFor({640, 512, 40'000'000}, {24, 8, 48});
    ASSERT_EQ(gst_caps_get_size(caps), 2u);  // 48 has no format
    GstCaps* expected = gst_caps_from_string(
        "video/x-raw,format=BGR,width=640,height=512,framerate=25/1,pixel-aspect-ratio=1/1; "
        "video/x-raw,format=GRAY8,width=640,height=512,framerate=25/1,pixel-aspect-ratio=1/1");
    EXPECT_TRUE(gst_caps_is_strictly_equal(caps, expected));
    gst_caps_unref(expected);
    gst_caps_unref(caps);
}

TEST(ClockMapping, MonotonicSystemClockTakesTheStampAsItIs) {
    GstClock* clock = GST_CLOCK(
        g_object_new(GST_TYPE_SYSTEM_CLOCK, "clock-type", GST_CLOCK_TYPE_MONOTONIC, nullptr));
    MonotonicClockCheck check;
    EXPECT_EQ(ClockTimeOf(123'456'789, clock, &check), 123'456'789u);
    EXPECT_EQ(RunningTimeOf(5'000, clock, 1'000, &check), 4'000u);
    EXPECT_EQ(RunningTimeOf(500, clock, 1'000, &check), GST_CLOCK_TIME_NONE);  // before the start
    EXPECT_EQ(RunningTimeOf(5'000, nullptr, 1'000, &check), GST_CLOCK_TIME_NONE);
    gst_object_unref(clock);
}

TEST(ClockMapping, OtherClocksKeepTheStampsAge) {
    GstClock* clock = GST_CLOCK(
        g_object_new(GST_TYPE_SYSTEM_CLOCK, "clock-type", GST_CLOCK_TYPE_REALTIME, nullptr));
    const int64_t stamp = MonotonicNowNs() - 5'000'000'000;  // five seconds ago
    const GstClockTime now = gst_clock_get_time(clock);
    MonotonicClockCheck check;
    const GstClockTime mapped = ClockTimeOf(stamp, clock, &check);
    // The two clocks are read a moment apart; a second of slack is far more than that.
    EXPECT_LT(mapped, now - 4 * GST_SECOND);
    EXPECT_GT(mapped, now - 6 * GST_SECOND);
    gst_object_unref(clock);
}

// A stream moved to another clock (a new pipeline clock) is mapped by that clock's kind.
TEST(ClockMapping, TheCheckFollowsAChangeOfClock) {
    GstClock* monotonic = GST_CLOCK(
        g_object_new(GST_TYPE_SYSTEM_CLOCK, "clock-type", GST_CLOCK_TYPE_MONOTONIC, nullptr));
    GstClock* realtime = GST_CLOCK(
        g_object_new(GST_TYPE_SYSTEM_CLOCK, "clock-type", GST_CLOCK_TYPE_REALTIME, nullptr));
    MonotonicClockCheck check;
    EXPECT_TRUE(check.ReadsMonotonic(monotonic));
    EXPECT_FALSE(check.ReadsMonotonic(realtime));
    EXPECT_TRUE(check.ReadsMonotonic(monotonic));
    EXPECT_FALSE(check.ReadsMonotonic(nullptr));
    gst_object_unref(monotonic);
    gst_object_unref(realtime);
}

}  // namespace
}  // namespace tavlin::gst
