// Register requests that never return: the call that made them fails after the device's request
// limit instead of blocking, and stops and closes stay prompt.
#include <chrono>
#include <thread>

#include "integration/fault_fixture.h"

namespace tavlin::test {
namespace {

using FaultRequests = FaultTest;

TEST_P(FaultRequests, AHungRegisterReadFailsTheGetterAndTheNextReadWorks) {
    int32_t ok = -1;
    const int32_t before = Tavlin_GetGlobalGain(camera_, &ok);
    ASSERT_EQ(ok, 1);
    ASSERT_EQ(TavlinVcam_FailNext(0, TAVLIN_VCAM_FAULT_HANG_REPLY, 1), 1);
    int32_t clock = -1;
    ASSERT_TRUE(ReturnsWithin(std::chrono::milliseconds(5000), [&] {
        clock = Tavlin_GetHalfClock(camera_, &ok);
        return clock;
    }));
    EXPECT_EQ(clock, 0);
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(PostedErrors(), std::vector<int32_t>{TAVLIN_ERR_NO_DEVICE});
    Tavlin_GetHalfClock(camera_, &ok);
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(Tavlin_GetGlobalGain(camera_, &ok), before);
    ExpectCleanAndRestartable();
}

TEST_P(FaultRequests, StopAndCloseAreBoundedWhenTheirRegisterWritesHang) {
    for (bool close : {false, true}) {
        SCOPED_TRACE(close ? "close" : "stop");
        StartStream();
        ExpectFrames(2);
        ASSERT_EQ(TavlinVcam_FailNext(0, TAVLIN_VCAM_FAULT_HANG_COMMAND, 1), 1);
        EXPECT_TRUE(close ? ClosesPromptly() : StopsPromptly());
        TavlinVcam_FailNext(0, TAVLIN_VCAM_FAULT_HANG_COMMAND, 0);
        ClearFrameMessages();
        PostedErrors();
        ClearErrors();
        ExpectCleanAndRestartable();
    }
}

TEST_P(FaultRequests, AHungRegisterWriteReturnsAndTheNextWriteIsApplied) {
    ASSERT_EQ(TavlinVcam_FailNext(0, TAVLIN_VCAM_FAULT_HANG_COMMAND, 1), 1);
    ASSERT_TRUE(ReturnsWithin(std::chrono::milliseconds(5000),
                              [&] { return Tavlin_SetGlobalGain(camera_, 20); }));
    EXPECT_EQ(Tavlin_SetGlobalGain(camera_, 21), 1);
    int32_t ok = 0;
    EXPECT_EQ(Tavlin_GetGlobalGain(camera_, &ok), 21);
    EXPECT_EQ(ok, 1);
    ClearErrors();
    PostedErrors();
    ExpectCleanAndRestartable();
}

TEST_P(FaultRequests, UnplugInTheMiddleOfACommandEndsItAndTheCameraComesBack) {
    ASSERT_EQ(TavlinVcam_FailNext(0, TAVLIN_VCAM_FAULT_HANG_COMMAND, 1), 1);
    std::thread unplug([&] {
        if (WaitForBlockedRequests(0, 1)) UnplugCamera(0);
    });
    EXPECT_TRUE(ReturnsWithin(std::chrono::milliseconds(5000),
                              [&] { return Tavlin_SetGlobalGain(camera_, 20); }));
    unplug.join();
    // The camera plugged in again takes writes, and streams, on the same handle.
    ClearErrors();
    PostedErrors();
    PlugCamera(0);
    EXPECT_EQ(Tavlin_SetGlobalGain(camera_, 21), 1);
    ExpectCleanAndRestartable();
}

TAVLIN_INSTANTIATE_TRANSPORTS(FaultRequests);

}  // namespace
}  // namespace tavlin::test
