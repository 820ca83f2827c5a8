#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "device/exposure.h"

namespace tavlin::device {
namespace {

uint64_t Bits(double value) {
    uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof(bits));
    return bits;
}

TEST(ClockConstants, AreWidenedSinglePrecisionFractions) {
    EXPECT_EQ(Bits(ClockMilliseconds(0)), 0x3F05D867C0000000u);
    EXPECT_EQ(Bits(ClockMilliseconds(1)), 0x3F15D867C0000000u);
    EXPECT_EQ(Bits(ClockMilliseconds(2)), 0x3EF5D867C0000000u);
    EXPECT_EQ(Bits(ClockMilliseconds(3)), 0x3EFA36E2E0000000u);
    EXPECT_EQ(Bits(ClockMilliseconds(4)), 0x3F0A36E2E0000000u);
    EXPECT_EQ(Bits(ClockMilliseconds(5)), 0x3F1A36E2E0000000u);
    EXPECT_EQ(Bits(ClockMilliseconds(6)), Bits(ClockMilliseconds(0)));
    EXPECT_EQ(Bits(ClockMilliseconds(7)), Bits(ClockMilliseconds(0)));
    EXPECT_EQ(Bits(ClockMilliseconds(-1)), Bits(ClockMilliseconds(0)));
}

TEST(LineLength, DividesOnlyForHalfAndQuarterModes) {
    EXPECT_EQ(LineLength(1280, 0), 1524);
    EXPECT_EQ(LineLength(1280, 3), 1524);
    EXPECT_EQ(LineLength(1280, 1), 884);
    EXPECT_EQ(LineLength(1280, 17), 884);
    EXPECT_EQ(LineLength(1280, 2), 564);
    EXPECT_EQ(LineLength(1280, 18), 564);
    EXPECT_EQ(LineLength(65536 - 244, 0), 0);  // kept to 16 bits
    // Stored windows may hold any width: the low 16 bits, without overflowing on the way.
    EXPECT_EQ(LineLength(INT32_MAX, 0), int32_t((int64_t{INT32_MAX} + 244) & 0xFFFF));
    EXPECT_EQ(LineLength(INT32_MIN, 1), int32_t((int64_t{INT32_MIN} / 2 + 244) & 0xFFFF));
}

TEST(FrameTiming, ReadoutLinesAndPeriod) {
    EXPECT_EQ(ReadoutLineClocks(1280, 1), 1524);
    EXPECT_EQ(ReadoutLineClocks(1280, 8), 404);  // unlike LineLength, 1/8 divides
    EXPECT_EQ(FrameLines(1024, 1049), 1049);     // the shutter stretches the frame
    EXPECT_EQ(FrameLines(1024, 100), 1049);      // rows and blanking
    EXPECT_EQ(FrameLines(128, 100), 153);
    // 1049 lines of 1524 clocks at 24 MHz.
    EXPECT_NEAR(FramePeriodNanoseconds(1049, 1524, ClockMilliseconds(0)), 66611500, 1);
    // A window off the sensor gives figures in range, not overflow.
    EXPECT_EQ(ReadoutLineClocks(INT32_MAX, 1), INT32_MAX);
    EXPECT_EQ(ReadoutLineClocks(INT32_MIN, 1), 0);
    EXPECT_GE(FramePeriodNanoseconds(FrameLines(INT32_MAX, 16383), INT32_MAX, 1.0), 0);
    EXPECT_EQ(FramePeriodNanoseconds(-5, 1524, ClockMilliseconds(0)), 0);
}

TEST(Exposure, MicrosecondsFromShutterLines) {
    const double tc = ClockMilliseconds(0);
    EXPECT_EQ(ExposureMicroseconds(1049, 1524, tc), 66611);
    EXPECT_EQ(ExposureMicroseconds(1, 1524, tc), 63);
    EXPECT_EQ(ExposureMicroseconds(16383, 1524, tc), 1040320);
}

TEST(Exposure, ShutterLinesFromMicroseconds) {
    const double tc = ClockMilliseconds(0);
    EXPECT_EQ(ShutterForMicroseconds(66612, 1524, tc), 1049);
    EXPECT_EQ(ShutterForMicroseconds(63, 1524, tc), 0);
    EXPECT_EQ(ShutterForMicroseconds(64, 1524, tc), 1);
    EXPECT_EQ(ShutterForMicroseconds(1000, 0, tc), 0);  // no line length: no shutter
}

}  // namespace
}  // namespace tavlin::device
