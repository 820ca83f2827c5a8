// Faults while a callback preview streams: failed, short, long and empty frame reads, reads
// that never return, and the camera unplugged and plugged in again.
#include "integration/fault_fixture.h"

namespace tavlin::test {
namespace {

using FaultStream = FaultTest;

TEST_P(FaultStream, NthFailedFrameReadStopsTheStreamWith13ThenStopAndRestartWork) {
    for (int nth : {1, 2, 5}) {
        SCOPED_TRACE("failing frame read " + std::to_string(nth));
        StartStream();
        ExpectFrames(1);
        ASSERT_EQ(TavlinVcam_FailNth(0, TAVLIN_VCAM_FAULT_FRAME_READ, nth, 1), 1);
        EXPECT_TRUE(ExpectStreamFailure(TAVLIN_ERR_STREAM_STOPPED));
        EXPECT_EQ(ReportedErrors(), std::vector<int32_t>{TAVLIN_ERR_STREAM_STOPPED});
        // The mode stays preview until stopped: a start changes nothing.
        EXPECT_EQ(Tavlin_StartPreview(camera_), 1);
        EXPECT_TRUE(DeviceClaimed(0));
        EXPECT_TRUE(StopsPromptly());
        ExpectCleanAndRestartable();
    }
}

TEST_P(FaultStream, OneWrongByteCountPerRunIsDroppedASecondEndsTheRun) {
    for (int kind : {TAVLIN_VCAM_FAULT_SHORT_FRAME, TAVLIN_VCAM_FAULT_LONG_FRAME,
                     TAVLIN_VCAM_FAULT_EMPTY_FRAME}) {
        SCOPED_TRACE("fault kind " + std::to_string(kind));
        StartStream();
        ExpectFrames(1);
        ASSERT_EQ(TavlinVcam_FailNth(0, kind, 2, 1), 1);
        ExpectFrames(5);
        EXPECT_EQ(Errors(), std::vector<int32_t>{});
        EXPECT_EQ(streamFailures_, std::vector<int32_t>{});

        TavlinVcam_FailNth(0, kind, 1, 2);
        EXPECT_TRUE(ExpectStreamFailure(TAVLIN_ERR_STREAM_STOPPED));
        EXPECT_EQ(ReportedErrors(), std::vector<int32_t>{TAVLIN_ERR_STREAM_STOPPED});
        EXPECT_TRUE(StopsPromptly());
        ExpectCleanAndRestartable();
    }
}

TEST_P(FaultStream, ALongFrameNeverWritesPastTheRing) {
    // The camera reports more than it was asked for; the transfer must take that as a wrong
    // count, not as a size to copy (the sanitizer builds catch an overrun).
    StartStream();
    TavlinVcam_FailNth(0, TAVLIN_VCAM_FAULT_LONG_FRAME, 1, 1);
    ExpectFrames(4);
    EXPECT_EQ(Errors(), std::vector<int32_t>{});
    TavlinVcamCounters counters{};
    ASSERT_EQ(TavlinVcam_GetCounters(0, &counters), 1);
    EXPECT_EQ(counters.framesShort, 1u);
    EXPECT_TRUE(StopsPromptly());
}

TEST_P(FaultStream, StopAndCloseReturnPromptlyWhileTheCameraStalls) {
    StartStream();
    ExpectFrames(2);
    TavlinVcam_SetStall(0, 1);
    ASSERT_TRUE(WaitForBlockedRequests(0, 1));
    EXPECT_TRUE(StopsPromptly());
    EXPECT_FALSE(DeviceClaimed(0));

    StartStream();
    ASSERT_TRUE(WaitForBlockedRequests(0, 1));
    EXPECT_TRUE(ClosesPromptly());
    // Nothing may have been reported for a stop that cut the stall short.
    EXPECT_EQ(Errors(), std::vector<int32_t>{});
    TavlinVcam_SetStall(0, 0);
    ExpectCleanAndRestartable();
}

TEST_P(FaultStream, AFrameReadThatNeverReturnsDoesNotHoldTheStop) {
    StartStream();
    ExpectFrames(1);
    ASSERT_EQ(TavlinVcam_FailNth(0, TAVLIN_VCAM_FAULT_HANG_FRAME, 2, 1), 1);
    ASSERT_TRUE(WaitForBlockedRequests(0, 1));
    EXPECT_TRUE(StopsPromptly());
    EXPECT_EQ(Errors(), std::vector<int32_t>{});
    ExpectCleanAndRestartable();
}

TEST_P(FaultStream, ACameraStalledLongerThanTheFrameWaitEndsTheStreamWith13) {
    StartStream();
    ExpectFrames(1);
    TavlinVcam_SetStall(0, 1);
    // The preview loop gives up after its 6 s frame wait.
    EXPECT_TRUE(ExpectStreamFailure(TAVLIN_ERR_STREAM_STOPPED, 10000));
    EXPECT_EQ(ReportedErrors(), std::vector<int32_t>{TAVLIN_ERR_STREAM_STOPPED});
    EXPECT_TRUE(StopsPromptly());
    TavlinVcam_SetStall(0, 0);
    ExpectCleanAndRestartable();
}

TEST_P(FaultStream, UnplugMidStreamThenReplugStreamsAgainOnTheSameHandle) {
    StartStream();
    ExpectFrames(1);
    ASSERT_EQ(TavlinVcam_UnplugAfterFrames(0, 2), 1);
    EXPECT_TRUE(ExpectStreamFailure(TAVLIN_ERR_STREAM_STOPPED));
    EXPECT_EQ(ReportedErrors(), std::vector<int32_t>{TAVLIN_ERR_STREAM_STOPPED});
    EXPECT_TRUE(StopsPromptly());

    // Unplugged: the start cannot get frames and says so.
    UnplugCamera(0);
    StartStream();
    EXPECT_TRUE(ExpectStreamFailure(TAVLIN_ERR_STREAM_STOPPED));
    EXPECT_TRUE(StopsPromptly());
    ClearErrors();

    // Plugged in again (a fresh, powered-on camera): the same handle streams.
    PlugCamera(0);
    ExpectCleanAndRestartable();
    // The fresh camera was programmed again: the window and the sample width the SDK uses.
    uint32_t transfer = 0;
    ASSERT_EQ(TavlinVcam_GetTransferSize(0, &transfer), 1);
    EXPECT_EQ(transfer, 1280u * 1024u);
}

TEST_P(FaultStream, DetachWhileStalledFailsThePendingReadAndCloseIsPrompt) {
    StartStream();
    ExpectFrames(1);
    TavlinVcam_SetStall(0, 1);
    ASSERT_TRUE(WaitForBlockedRequests(0, 1));
    UnplugCamera(0);
    EXPECT_TRUE(ExpectStreamFailure(TAVLIN_ERR_STREAM_STOPPED));
    EXPECT_TRUE(ClosesPromptly());
    PlugCamera(0);
    ExpectCleanAndRestartable();
}

TAVLIN_INSTANTIATE_TRANSPORTS(FaultStream);

}  // namespace
}  // namespace tavlin::test
