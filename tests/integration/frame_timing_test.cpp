// TavlinExt_GetFrameTiming against what the camera is actually programmed with: the period the
// sensor's registers and clock give once an acquisition has started.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "integration/sdk_fixture.h"
#include "tavlin/tavlin_ext.h"

namespace tavlin::test {
namespace {

struct TimingCase {
    int32_t width;
    int32_t height;
    int32_t subSample;
    int32_t exposureLines;
    int32_t clock;
};

class FrameTiming : public SdkTest {
  protected:
    TavlinExtFrameTiming Timing() {
        TavlinExtFrameTiming timing{};
        timing.size = sizeof(timing);
        EXPECT_EQ(TavlinExt_GetFrameTiming(camera_, &timing), 1);
        return timing;
    }

    uint16_t Sensor(int32_t reg) {
        uint16_t value = 0;
        EXPECT_EQ(TavlinVcam_ReadSensorRegister(0, reg, &value), 1);
        return value;
    }

    // The frame period the programmed sensor runs at: rows and blanking (or the shutter when
    // longer) times the line's pixels and overhead, at the selected pixel clock.
    double ProgrammedPeriodNs() {
        const int divisor = (Sensor(30) & 0x30) == 0x30   ? 8
                            : (Sensor(30) & 0x0C) == 0x0C ? 4
                            : (Sensor(32) & 0x18) == 0x18 ? 2
                                                          : 1;
        const int rows = (Sensor(3) + 1) / divisor;
        const int columns = (Sensor(4) + 1) / divisor;
        const int lines = std::max(rows + Sensor(6), int(Sensor(9)));
        uint8_t clock = 0;
        EXPECT_EQ(TavlinVcam_ReadControllerRegister(0, 15, &clock), 1);
        const double hz[] = {24e6, 12e6, 48e6, 40e6, 20e6, 10e6};
        return double(lines) * (columns + 244) * 1e9 / hz[clock < 6 ? clock : 0];
    }
};

TEST_F(FrameTiming, MatchesTheProgrammedSensor) {
    const TimingCase cases[] = {
        {1280, 1024, 0, 1049, 0}, {1280, 1024, 0, 3000, 2}, {640, 480, 1, 100, 1},
        {320, 240, 2, 16383, 5},  {1280, 1024, 3, 1, 3},    {800, 600, 0, 700, 4},
    };
    for (const TimingCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " sub " << c.subSample
                                        << " exposure " << c.exposureLines << " clock " << c.clock);
        ASSERT_EQ(Tavlin_SetCaptureWindowEx(camera_, 1280, 0, c.width, 1024, 0, c.height), 1);
        ASSERT_EQ(Tavlin_SetSubSample(camera_, c.subSample), 1);
        ASSERT_EQ(Tavlin_SetHalfClock(camera_, c.clock), 1);
        ASSERT_EQ(Tavlin_SetExposureTime(camera_, c.exposureLines), 1);
        // Asked before the start, the timing already tells what the start will program.
        const TavlinExtFrameTiming before = Timing();
        ASSERT_EQ(Tavlin_StartPreview(camera_), 1);
        const double programmed = ProgrammedPeriodNs();
        const TavlinExtFrameTiming during = Timing();
        EXPECT_EQ(during.framePeriodNs, before.framePeriodNs);
        EXPECT_NEAR(double(during.framePeriodNs), programmed, programmed * 1e-6 + 1);
        EXPECT_EQ(during.frameLines,
                  std::max<int64_t>(c.height / (1 << c.subSample) + 25, c.exposureLines));
        EXPECT_EQ(during.lineClocks, c.width / (1 << c.subSample) + 244);
        EXPECT_EQ(during.reserved, 0);
        ASSERT_EQ(Tavlin_StopPreview(camera_), 1);
    }
    EXPECT_EQ(Errors(), std::vector<int32_t>{});
}

TEST_F(FrameTiming, RefusesAMissingOrShortRecord) {
    EXPECT_EQ(TavlinExt_GetFrameTiming(camera_, nullptr), 0);
    EXPECT_EQ(Tavlin_GetLastError(camera_), TAVLIN_ERR_INVALID_ARGUMENT);
    TavlinExtFrameTiming timing{};
    timing.size = sizeof(timing) - 1;
    EXPECT_EQ(TavlinExt_GetFrameTiming(camera_, &timing), 0);
    EXPECT_EQ(Tavlin_GetLastError(camera_), TAVLIN_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(timing.framePeriodNs, 0);
    timing.size = sizeof(timing);
    EXPECT_EQ(TavlinExt_GetFrameTiming(0x7FFF, &timing), 0);  // unknown handle: nothing written
    EXPECT_EQ(timing.framePeriodNs, 0);
}

}  // namespace
}  // namespace tavlin::test
