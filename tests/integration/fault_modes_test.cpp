// Faults during initialise and start, in capture (snapshots), trigger mode and recording.
#include <chrono>
#include <filesystem>
#include <thread>

#include "integration/fault_fixture.h"

namespace tavlin::test {
namespace {

using FaultModes = FaultTest;

constexpr int32_t kFrameKinds[] = {TAVLIN_VCAM_FAULT_FRAME_READ, TAVLIN_VCAM_FAULT_SHORT_FRAME,
                                   TAVLIN_VCAM_FAULT_LONG_FRAME, TAVLIN_VCAM_FAULT_EMPTY_FRAME};

TEST_P(FaultModes, RequestsFailingDuringInitialiseLeaveAUsableCamera) {
    // The sensor set-up does not examine its register traffic (as the driver contract has it),
    // so the camera opens; the next start programs the camera again and streams.
    for (int32_t kind : {TAVLIN_VCAM_FAULT_COMMAND_SEND, TAVLIN_VCAM_FAULT_REPLY_READ}) {
        for (int nth : {1, 2, 3, 7, 12}) {
            SCOPED_TRACE("kind " + std::to_string(kind) + " request " + std::to_string(nth));
            ASSERT_EQ(TavlinVcam_FailNth(0, kind, nth, 1), 1);
            const int32_t other = Tavlin_Initialize(window_);
            ASSERT_NE(other, 0);
            TavlinVcam_FailNext(0, kind, 0);
            EXPECT_EQ(Tavlin_GetLastError(other), 0);
            EXPECT_EQ(Tavlin_Release(other), 1);
        }
    }
    ExpectCleanAndRestartable();
}

TEST_P(FaultModes, RequestsFailingDuringStartEitherStreamOrStopWith13) {
    for (int32_t kind : {TAVLIN_VCAM_FAULT_COMMAND_SEND, TAVLIN_VCAM_FAULT_REPLY_READ}) {
        for (int nth : {1, 2, 4, 8, 16, 24}) {
            SCOPED_TRACE("kind " + std::to_string(kind) + " request " + std::to_string(nth));
            ASSERT_EQ(TavlinVcam_FailNth(0, kind, nth, 1), 1);
            StartStream();
            // A lost register write is not seen; a lost frame request fails the run.
            TavlinMessage m;
            ASSERT_TRUE(NextFrameMessage(m));
            if (m.wParam == 0) {
                EXPECT_EQ(m.lParam, TAVLIN_ERR_STREAM_STOPPED);
                EXPECT_EQ(ReportedErrors(), std::vector<int32_t>{TAVLIN_ERR_STREAM_STOPPED});
            }
            TavlinVcam_FailNext(0, kind, 0);
            EXPECT_TRUE(StopsPromptly());
            ExpectCleanAndRestartable();
        }
    }
}

TEST_P(FaultModes, ASnapshotWhoseReadFailsReports8AndTheNextSucceeds) {
    ASSERT_EQ(Tavlin_Capture(camera_), 1);
    const auto length = static_cast<int32_t>(frame_.size());
    for (int32_t kind : kFrameKinds) {
        SCOPED_TRACE("fault kind " + std::to_string(kind));
        ASSERT_EQ(TavlinVcam_FailNth(0, kind, 2, 1), 1);
        EXPECT_EQ(Tavlin_SnapShot(camera_, frame_.data(), length, 1), 1);
        // A wrong byte count is never forgiven on a single-frame read.
        EXPECT_EQ(Tavlin_SnapShot(camera_, frame_.data(), length, 1), 0);
        EXPECT_EQ(Errors(), std::vector<int32_t>{TAVLIN_ERR_TRANSFER});
        EXPECT_EQ(Tavlin_SnapShot(camera_, frame_.data(), length, 1), 1);
    }
    EXPECT_TRUE(StopsPromptly());
    // From idle a snapshot prepares each time and closes its channel again.
    TavlinVcam_FailNext(0, TAVLIN_VCAM_FAULT_FRAME_READ, 1);
    EXPECT_EQ(Tavlin_SnapShot(camera_, frame_.data(), length, 1), 0);
    EXPECT_EQ(Errors(), std::vector<int32_t>{TAVLIN_ERR_TRANSFER});
    EXPECT_EQ(Tavlin_SnapShot(camera_, frame_.data(), length, 1), 1);
    ExpectCleanAndRestartable();
}

// A snapshot on another thread that the camera holds; the stop or close on this thread must not
// wait for it, and the snapshot reports the failed transfer.
void ExpectHeldSnapshotGivesWay(FaultTest& test, int32_t camera, std::vector<uint8_t>& frame,
                                const std::function<bool()>& stop) {
    int32_t result = -1;
    std::thread snapshot([&] {
        result = Tavlin_SnapShot(camera, frame.data(), static_cast<int32_t>(frame.size()), 1);
    });
    EXPECT_TRUE(WaitForBlockedRequests(0, 1));
    EXPECT_TRUE(stop());
    snapshot.join();
    EXPECT_EQ(result, 0);
    (void)test;
}

TEST_P(FaultModes, StopAndCloseDoNotWaitForAHeldSnapshot) {
    ASSERT_EQ(Tavlin_Capture(camera_), 1);
    TavlinVcam_SetStall(0, 1);
    ExpectHeldSnapshotGivesWay(*this, camera_, frame_, [&] { return ClosesPromptly(); });
    EXPECT_EQ(Errors(), std::vector<int32_t>{TAVLIN_ERR_TRANSFER});
    TavlinVcam_SetStall(0, 0);

    ASSERT_EQ(Tavlin_Capture(camera_), 1);
    TavlinVcam_FailNext(0, TAVLIN_VCAM_FAULT_HANG_FRAME, 1);
    ExpectHeldSnapshotGivesWay(*this, camera_, frame_, [&] { return StopsPromptly(); });
    EXPECT_EQ(Errors(), std::vector<int32_t>{TAVLIN_ERR_TRANSFER});
    // A snapshot after the stop is not refused by the cancel that ended the held one.
    EXPECT_EQ(Tavlin_SnapShot(camera_, frame_.data(), static_cast<int32_t>(frame_.size()), 1), 1);
    ExpectCleanAndRestartable();
}

TEST_P(FaultModes, UnplugMidSnapshotReports8AndReplugSnapsAgain) {
    ASSERT_EQ(Tavlin_Capture(camera_), 1);
    TavlinVcam_SetStall(0, 1);
    ExpectHeldSnapshotGivesWay(*this, camera_, frame_, [&] { return (UnplugCamera(0), true); });
    EXPECT_EQ(Errors(), std::vector<int32_t>{TAVLIN_ERR_TRANSFER});
    EXPECT_TRUE(ClosesPromptly());
    PlugCamera(0);
    ASSERT_EQ(Tavlin_Capture(camera_), 1);
    EXPECT_EQ(Tavlin_SnapShot(camera_, frame_.data(), static_cast<int32_t>(frame_.size()), 1), 1);
    EXPECT_TRUE(StopsPromptly());
    ExpectCleanAndRestartable();
}

class FaultTrigger : public FaultTest {
  protected:
    void StartTrigger() {
        ASSERT_EQ(
            Tavlin_Trigger(camera_, frames_, frame_.data(), static_cast<int32_t>(frame_.size()), 1),
            1);
    }
    // The first frame after the start is discarded; the rest arrive one per pulse.
    void PulseAndExpect(int frames) {
        TavlinVcam_Trigger(0, frames);
        ExpectFrames(frames);
    }
};

TEST_P(FaultTrigger, FailedTriggeredReadsAreSkippedAndTriggeringGoesOn) {
    StartTrigger();
    TavlinVcam_Trigger(0, 1);  // the discarded one
    PulseAndExpect(1);
    for (int32_t kind : kFrameKinds) {
        SCOPED_TRACE("fault kind " + std::to_string(kind));
        TavlinVcam_FailNext(0, kind, 1);
        TavlinVcam_Trigger(0, 1);  // lost with the failed read
        PulseAndExpect(2);
    }
    EXPECT_EQ(Errors(), std::vector<int32_t>{});
    EXPECT_TRUE(StopsPromptly());
    ExpectCleanAndRestartable();
}

TEST_P(FaultTrigger, StopIsPromptWhileATriggeredReadIsHeld) {
    for (bool hang : {false, true}) {
        SCOPED_TRACE(hang ? "hung read" : "stalled camera");
        StartTrigger();
        if (hang) {
            // Armed before the pulse, so whichever read comes next (the one already waiting for
            // the pulse may take it first) is the one held; a read merely waiting for a pulse
            // would also count as blocked, and leave the fault armed for a later stream.
            TavlinVcamCounters before{};
            ASSERT_EQ(TavlinVcam_GetCounters(0, &before), 1);
            TavlinVcam_FailNext(0, TAVLIN_VCAM_FAULT_HANG_FRAME, 1);
            TavlinVcam_Trigger(0, 1);
            const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
            TavlinVcamCounters now = before;
            while (now.framesFailed == before.framesFailed &&
                   std::chrono::steady_clock::now() < end) {
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
                ASSERT_EQ(TavlinVcam_GetCounters(0, &now), 1);
            }
            ASSERT_GT(now.framesFailed, before.framesFailed) << "no read took the hang";
        } else {
            TavlinVcam_Trigger(0, 1);
            TavlinVcam_SetStall(0, 1);
        }
        ASSERT_TRUE(WaitForBlockedRequests(0, 1));
        EXPECT_TRUE(hang ? StopsPromptly() : ClosesPromptly());
        TavlinVcam_SetStall(0, 0);
        EXPECT_EQ(Errors(), std::vector<int32_t>{});
    }
    ExpectCleanAndRestartable();
}

TEST_P(FaultTrigger, UnplugInTriggerModeThenReplugTriggersAgain) {
    StartTrigger();
    TavlinVcam_Trigger(0, 1);
    PulseAndExpect(1);
    UnplugCamera(0);
    // Failed reads are retried; the loop must not spin the processor meanwhile, and the stop
    // still comes back at once.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(StopsPromptly());
    PlugCamera(0);
    ClearErrors();
    StartTrigger();
    TavlinVcam_Trigger(0, 1);
    PulseAndExpect(2);
    EXPECT_TRUE(StopsPromptly());
    ExpectCleanAndRestartable();
}

class FaultRecording : public FaultTest {
  protected:
    std::string Clip() { return (home_ / "clip.avi").string(); }
};

TEST_P(FaultRecording, StreamFaultsMidRecordStopPromptlyAndRecordAgain) {
    for (int fault = 0; fault < 3; ++fault) {
        SCOPED_TRACE("fault " + std::to_string(fault));
        ASSERT_EQ(Tavlin_Record(camera_, Clip().c_str(), 60000, 0), 1);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (fault == 0) {
            TavlinVcam_FailNext(0, TAVLIN_VCAM_FAULT_FRAME_READ, 1);
        } else if (fault == 1) {
            TavlinVcam_SetStall(0, 1);
            ASSERT_TRUE(WaitForBlockedRequests(0, 1));
        } else {
            TavlinVcam_UnplugAfterFrames(0, 1);
        }
        if (fault != 1) {
            const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
            std::vector<int32_t> posted;
            while (posted.empty() && std::chrono::steady_clock::now() < end) {
                posted = PostedErrors();
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
            EXPECT_EQ(posted, std::vector<int32_t>{TAVLIN_ERR_STREAM_STOPPED});
        }
        EXPECT_TRUE(StopsPromptly());
        TavlinVcam_SetStall(0, 0);
        if (fault == 2) {
            UnplugCamera(0);  // an unplugged camera stays at its index until detached
            PlugCamera(0);
        }
        ClearErrors();
        EXPECT_TRUE(std::filesystem::exists(Clip()));
    }
    // A whole recording after the faults.
    ASSERT_EQ(Tavlin_Record(camera_, Clip().c_str(), 300, 0), 1);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < end &&
           std::filesystem::file_size(Clip()) < 1280u * 1024u * 3u) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_TRUE(StopsPromptly());
    EXPECT_EQ(Errors(), std::vector<int32_t>{});
    ExpectCleanAndRestartable();
}

TAVLIN_INSTANTIATE_TRANSPORTS(FaultModes);
TAVLIN_INSTANTIATE_TRANSPORTS(FaultTrigger);
TAVLIN_INSTANTIATE_TRANSPORTS(FaultRecording);

}  // namespace
}  // namespace tavlin::test
