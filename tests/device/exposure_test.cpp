#include <gtest/gtest.h>

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
