// Frame accounting and waiting for frames through the extension interface, against the virtual
// camera's own counters: what the camera produced is what the SDK counts as delivered, split
// into processed (one frame notice each), skipped and failed.
#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "integration/sdk_fixture.h"
#include "tavlin/tavlin_ext.h"

namespace tavlin::test {
namespace {

class FrameAccountingTest : public SdkTest {
  protected:
    void SetUp() override {
        SdkTest::SetUp();
        ASSERT_EQ(Tavlin_SetColorMode(camera_, 24), 1);
        ASSERT_EQ(Tavlin_SetSubSample(camera_, 3), 1);  // 160 x 128
        ASSERT_EQ(Tavlin_SetWaitTime(camera_, 0), 1);
        image_.resize(kImageBytes);
    }

    TavlinExtFrameStats Stats() {
        TavlinExtFrameStats s{};
        s.size = sizeof(s);
        EXPECT_EQ(TavlinExt_GetFrameStats(camera_, &s), 1);
        return s;
    }

    static uint64_t Produced() {
        TavlinVcamCounters c{};
        EXPECT_EQ(TavlinVcam_GetCounters(0, &c), 1);
        return c.framesDelivered + c.framesShort + c.framesFailed;
    }

    void StartStreaming() {
        ASSERT_EQ(Tavlin_CallBackPreview(camera_, frames_, image_.data(), kImageBytes, 1), 1);
    }

    // Counts frame notices until the stream reports its end (13); false on time-out.
    bool NoticesUntilStreamEnds(uint64_t& notices) {
        TavlinMessage m;
        while (NextFrameMessage(m, 10000)) {
            if (m.message != TAVLIN_MSG_FRAME) continue;
            if (m.wParam != 0) {
                ++notices;
            } else if (m.lParam == TAVLIN_ERR_STREAM_STOPPED) {
                return true;
            }
        }
        return false;
    }

    void ExpectBalanced(const TavlinExtFrameStats& s) {
        EXPECT_EQ(s.delivered, s.processed + s.skipped + s.failed)
            << "delivered " << s.delivered << " processed " << s.processed << " skipped "
            << s.skipped << " failed " << s.failed;
    }

    static constexpr int32_t kImageBytes = 160 * 3 * 128;
    std::vector<uint8_t> image_;
};

TEST_F(FrameAccountingTest, SlowConsumerSkipsFramesAndEveryFrameIsAccounted) {
    // The acquisition loop rests 15 ms per frame while the camera serves reads at once, so
    // most frames are overtaken in the ring. A failed read ends the run after a while.
    ASSERT_EQ(Tavlin_SetWaitTime(camera_, 15), 1);
    const uint64_t before = Produced();
    StartStreaming();
    std::atomic<bool> streaming{true};
    std::atomic<int> unbalanced{0};
    std::thread reader([&] {
        uint64_t lastSequence = 0;
        while (streaming) {
            const TavlinExtFrameStats s = Stats();
            if (s.delivered != s.processed + s.skipped + s.failed || s.sequence < lastSequence)
                ++unbalanced;
            lastSequence = s.sequence;
        }
    });
    TavlinMessage m;
    uint64_t notices = 0;
    while (notices < 10 && NextFrameMessage(m)) notices += m.wParam != 0 ? 1 : 0;
    ASSERT_EQ(TavlinVcam_FailNext(0, TAVLIN_VCAM_FAULT_FRAME_READ, 1), 1);
    const bool ended = NoticesUntilStreamEnds(notices);
    streaming = false;
    reader.join();
    ASSERT_TRUE(ended);
    EXPECT_EQ(unbalanced.load(), 0);
    EXPECT_EQ(Tavlin_StopPreview(camera_), 1);

    const TavlinExtFrameStats s = Stats();
    EXPECT_EQ(s.acquiring, 0);
    EXPECT_EQ(s.delivered, Produced() - before);
    EXPECT_EQ(s.failed, 1u);
    EXPECT_EQ(s.processed, notices);
    EXPECT_GT(s.skipped, s.processed);
    ExpectBalanced(s);
    EXPECT_GT(s.sequence, 0u);
    EXPECT_LT(s.sequence, s.delivered);  // the last read, the failed one, made no image
}

TEST_F(FrameAccountingTest, ACameraWithoutFrameClockMakesNoFrameThatIsNotTaken) {
    // The same slow consumer as above: the camera is asked for a frame only once the last one
    // was taken, so nothing is overtaken, and a stop while the transfer waits for that is prompt.
    ASSERT_EQ(TavlinVcam_SetPacing(0, TAVLIN_VCAM_PACING_AS_TAKEN), 1);
    ASSERT_EQ(Tavlin_SetWaitTime(camera_, 15), 1);
    const uint64_t before = Produced();
    StartStreaming();
    TavlinMessage m;
    uint64_t notices = 0;
    while (notices < 12 && NextFrameMessage(m)) notices += m.wParam != 0 ? 1 : 0;
    const auto stopStart = std::chrono::steady_clock::now();
    EXPECT_EQ(Tavlin_StopPreview(camera_), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - stopStart, std::chrono::seconds(2));
    while (NextFrameMessage(m, 100)) notices += m.wParam != 0 ? 1 : 0;

    const TavlinExtFrameStats s = Stats();
    ExpectBalanced(s);
    EXPECT_EQ(s.delivered, Produced() - before);
    EXPECT_EQ(s.processed, notices);
    EXPECT_EQ(s.failed, 0u);
    EXPECT_LE(s.skipped, 1u);  // at most the one made while the last was processed
    EXPECT_EQ(s.sequence, s.processed);

    // Fast pacing again: frames come whether taken or not.
    ASSERT_EQ(TavlinVcam_SetPacing(0, TAVLIN_VCAM_PACING_FAST), 1);
    StartStreaming();
    notices = 0;
    while (notices < 5 && NextFrameMessage(m)) notices += m.wParam != 0 ? 1 : 0;
    EXPECT_EQ(Tavlin_StopPreview(camera_), 1);
    EXPECT_GT(Stats().skipped, Stats().processed);
}

TEST_F(FrameAccountingTest, InjectedTransferFaultsCountAsFailed) {
    // A short frame is dropped and read again; a failed read later ends the run.
    ASSERT_EQ(TavlinVcam_FailNext(0, TAVLIN_VCAM_FAULT_SHORT_FRAME, 1), 1);
    const uint64_t before = Produced();
    StartStreaming();
    TavlinMessage m;
    int frames = 0;
    uint64_t notices = 0;
    while (frames < 20 && NextFrameMessage(m)) frames += m.wParam != 0 ? 1 : 0;
    notices = frames;
    ASSERT_EQ(frames, 20);
    ASSERT_EQ(TavlinVcam_FailNext(0, TAVLIN_VCAM_FAULT_FRAME_READ, 1), 1);
    ASSERT_TRUE(NoticesUntilStreamEnds(notices));
    EXPECT_EQ(Tavlin_StopPreview(camera_), 1);

    const TavlinExtFrameStats s = Stats();
    EXPECT_EQ(s.delivered, Produced() - before);
    EXPECT_EQ(s.failed, 2u);
    EXPECT_EQ(s.processed, notices);
    ExpectBalanced(s);
}

TEST_F(FrameAccountingTest, StopSettlesWhatTheRingStillHoldsAndStartResets) {
    const uint64_t before = Produced();
    StartStreaming();
    TavlinMessage m;
    for (int frames = 0; frames < 10;) {
        ASSERT_TRUE(NextFrameMessage(m));
        frames += m.wParam != 0 ? 1 : 0;
    }
    EXPECT_EQ(Stats().acquiring, 1);
    ASSERT_EQ(Tavlin_StopPreview(camera_), 1);
    TavlinExtFrameStats s = Stats();
    ExpectBalanced(s);
    EXPECT_EQ(s.acquiring, 0);
    EXPECT_GE(s.processed, 10u);
    // Every read of the run is counted; one the stop cut short brought no frame.
    const uint64_t produced = Produced() - before;
    EXPECT_TRUE(s.delivered == produced || s.delivered + 1 == produced)
        << s.delivered << " of " << produced;
    // The next start counts from nothing.
    ASSERT_EQ(TavlinVcam_SetStall(0, 1), 1);
    ASSERT_EQ(Tavlin_StartPreview(camera_), 1);
    s = Stats();
    EXPECT_EQ(s.delivered, 0u);
    EXPECT_EQ(s.sequence, 0u);
    EXPECT_EQ(s.timestampNs, 0);
    ASSERT_EQ(TavlinVcam_SetStall(0, 0), 1);
    ASSERT_EQ(Tavlin_StopPreview(camera_), 1);
    ExpectBalanced(Stats());
}

TEST_F(FrameAccountingTest, TriggerModeDiscardsTheFirstFrameAndCountsEachPulse) {
    ASSERT_EQ(Tavlin_Trigger(camera_, frames_, image_.data(), kImageBytes, 1), 1);
    // The pulses are given one by one, each once the read is waiting.
    TavlinMessage m;
    int pulses = 0;
    for (int notices = 0; notices < 4;) {
        TavlinVcamCounters c{};
        TavlinVcam_GetCounters(0, &c);
        if (c.triggersPending == 0 && TavlinVcam_Trigger(0, 1) == 1) ++pulses;
        if (TavlinHost_GetMessage(frames_, &m, 20) == 1 && m.wParam != 0) ++notices;
        ASSERT_LT(pulses, 100);
    }
    // Every pulse's frame is processed before the stop, except the first one after the start.
    const uint64_t expected = static_cast<uint64_t>(pulses);
    while (Stats().processed + 1 < expected) std::this_thread::yield();
    ASSERT_EQ(Tavlin_StopPreview(camera_), 1);
    const TavlinExtFrameStats s = Stats();
    EXPECT_EQ(s.skipped, 1u);
    EXPECT_EQ(s.processed, expected - 1);
    EXPECT_EQ(s.failed, 0u);
    EXPECT_EQ(s.delivered, expected);
    EXPECT_EQ(s.sequence, expected);
}

// A stop cancels the waiting read before it takes the mode lock; while another thread keeps that
// lock busy, the cancelled reads must neither count as failed frames nor be retried in a spin.
TEST_F(FrameAccountingTest, StoppingTriggerModeWhileTheModeLockIsBusyFailsNoFrame) {
    std::atomic<bool> busy{true};
    std::thread contender([&] {
        std::vector<uint8_t> scratch(kImageBytes);
        while (busy.load()) {
            // Both take the mode lock: a second trigger start keeps the running one, a snapshot
            // is refused in trigger mode and while idle it may run.
            Tavlin_Trigger(camera_, frames_, image_.data(), kImageBytes, 1);
            Tavlin_SnapShot(camera_, scratch.data(), kImageBytes, 1);
        }
    });
    for (int round = 0; round < 20; ++round) {
        Tavlin_StopPreview(camera_);
        ASSERT_EQ(Tavlin_Trigger(camera_, frames_, image_.data(), kImageBytes, 1), 1);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        ASSERT_EQ(Tavlin_StopPreview(camera_), 1);
        const TavlinExtFrameStats s = Stats();
        EXPECT_EQ(s.failed, 0u) << "round " << round;
        ExpectBalanced(s);
    }
    busy.store(false);
    contender.join();
    Tavlin_StopPreview(camera_);
}

TEST_F(FrameAccountingTest, SnapshotsAreNumberedAndStampedWithTheirArrival) {
    ASSERT_EQ(Tavlin_Capture(camera_), 1);
    timespec before{};
    clock_gettime(CLOCK_MONOTONIC, &before);
    ASSERT_EQ(Tavlin_SnapShot(camera_, image_.data(), kImageBytes, 1), 1);
    timespec after{};
    clock_gettime(CLOCK_MONOTONIC, &after);
    TavlinExtFrameStats s = Stats();
    EXPECT_EQ(s.sequence, 1u);
    EXPECT_GE(s.timestampNs, before.tv_sec * 1000000000LL + before.tv_nsec);
    EXPECT_LE(s.timestampNs, after.tv_sec * 1000000000LL + after.tv_nsec);
    ASSERT_EQ(TavlinVcam_FailNext(0, TAVLIN_VCAM_FAULT_FRAME_READ, 1), 1);
    EXPECT_EQ(Tavlin_SnapShot(camera_, image_.data(), kImageBytes, 1), 0);
    ASSERT_EQ(Tavlin_SnapShot(camera_, image_.data(), kImageBytes, 1), 1);
    s = Stats();
    EXPECT_EQ(s.delivered, 3u);
    EXPECT_EQ(s.failed, 1u);
    EXPECT_EQ(s.processed, 2u);
    EXPECT_EQ(s.sequence, 3u);
    EXPECT_EQ(Tavlin_Close(camera_), 1);
    EXPECT_EQ(Stats().acquiring, 0);
}

TEST_F(FrameAccountingTest, WaitFrameHandsOutIncreasingFramesWithTheirImage) {
    ASSERT_EQ(Tavlin_StartPreview(camera_), 1);
    TavlinExtFrameInfo info{};
    info.size = sizeof(info);
    uint64_t last = 0;
    for (int i = 0; i < 10; ++i) {
        ASSERT_EQ(TavlinExt_WaitFrame(camera_, last, 5000, image_.data(), kImageBytes, 1, &info),
                  1);
        EXPECT_GT(info.sequence, last);
        EXPECT_GT(info.timestampNs, 0);
        last = info.sequence;
    }
    EXPECT_EQ(info.width, 160);
    EXPECT_EQ(info.height, 128);
    EXPECT_EQ(info.bitsPerPixel, 24);
    EXPECT_EQ(info.stride, 480);
    EXPECT_EQ(info.imageBytes, kImageBytes);
    ASSERT_EQ(Tavlin_StopPreview(camera_), 1);
    // After the stop the last image is still handed out, and it is Tavlin_GetImage's, in both
    // row orders.
    const TavlinExtFrameStats s = Stats();
    ASSERT_EQ(TavlinExt_WaitFrame(camera_, s.sequence - 1, 0, image_.data(), kImageBytes, 0, &info),
              1);
    EXPECT_EQ(info.sequence, s.sequence);
    std::vector<uint8_t> copy(kImageBytes);
    ASSERT_EQ(Tavlin_GetImage(camera_, copy.data(), kImageBytes, 0), 1);
    EXPECT_EQ(copy, image_);
    // Nothing newer will come.
    EXPECT_EQ(TavlinExt_WaitFrame(camera_, s.sequence, 1000, image_.data(), kImageBytes, 1, &info),
              0);
    EXPECT_EQ(Tavlin_GetLastError(camera_), TAVLIN_ERR_STREAM_STOPPED);
}

TEST_F(FrameAccountingTest, WaitFrameRefusals) {
    TavlinExtFrameInfo info{};
    info.size = sizeof(info);
    EXPECT_EQ(TavlinExt_WaitFrame(camera_, 0, 0, image_.data(), kImageBytes, 1, nullptr), 0);
    EXPECT_EQ(Tavlin_GetLastError(camera_), TAVLIN_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(TavlinExt_WaitFrame(camera_, 0, 0, nullptr, kImageBytes, 1, &info), 0);
    EXPECT_EQ(Tavlin_GetLastError(camera_), TAVLIN_ERR_INVALID_ARGUMENT);
    TavlinExtFrameStats stats{};
    stats.size = 39;
    EXPECT_EQ(TavlinExt_GetFrameStats(camera_, &stats), 0);
    EXPECT_EQ(Tavlin_GetLastError(camera_), TAVLIN_ERR_INVALID_ARGUMENT);
    // A caller knowing only the counts gets only the counts.
    stats.size = 40;
    stats.sequence = 77;
    EXPECT_EQ(TavlinExt_GetFrameStats(camera_, &stats), 1);
    EXPECT_EQ(stats.size, 40u);
    EXPECT_EQ(stats.sequence, 77u);
    // Idle: nothing to wait for.
    EXPECT_EQ(TavlinExt_WaitFrame(camera_, 0, 5000, image_.data(), kImageBytes, 1, &info), 0);
    EXPECT_EQ(Tavlin_GetLastError(camera_), TAVLIN_ERR_STREAM_STOPPED);

    // A stalled camera: the wait runs out.
    ASSERT_EQ(TavlinVcam_SetStall(0, 1), 1);
    ASSERT_EQ(Tavlin_StartPreview(camera_), 1);
    EXPECT_EQ(TavlinExt_WaitFrame(camera_, 0, 50, image_.data(), kImageBytes, 1, &info), 0);
    EXPECT_EQ(Tavlin_GetLastError(camera_), TAVLIN_ERR_TRANSFER);
    ASSERT_EQ(TavlinVcam_SetStall(0, 0), 1);
    // Too small a buffer: the description says how much is needed.
    std::vector<uint8_t> small(100);
    EXPECT_EQ(TavlinExt_WaitFrame(camera_, 0, 5000, small.data(), int32_t(small.size()), 1, &info),
              0);
    EXPECT_EQ(Tavlin_GetLastError(camera_), TAVLIN_ERR_MEMORY);
    EXPECT_EQ(info.imageBytes, kImageBytes);
    EXPECT_EQ(Tavlin_StopPreview(camera_), 1);
}

TEST_F(FrameAccountingTest, WaiterLearnsOfTheStopAtOnce) {
    ASSERT_EQ(TavlinVcam_SetStall(0, 1), 1);
    ASSERT_EQ(Tavlin_StartPreview(camera_), 1);
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        TavlinVcam_SetStall(0, 0);
        Tavlin_StopPreview(camera_);
    });
    TavlinExtFrameInfo info{};
    info.size = sizeof(info);
    const auto start = std::chrono::steady_clock::now();
    // Either a frame that came after the stall ended, or the stop; never the full minute.
    while (TavlinExt_WaitFrame(camera_, info.sequence, 60000, image_.data(), kImageBytes, 1,
                               &info) == 1) {
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    stopper.join();
}

}  // namespace
}  // namespace tavlin::test
