// Frame accounting from device stamps: frames passed over, failed reads, a run's end, and the
// waiter's three outcomes.
#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "camera/frame_accounting.h"

namespace tavlin::camera {
namespace {

using device::FrameStamp;

void ExpectBalanced(const FrameCounts& c) {
    EXPECT_EQ(c.delivered, c.processed + c.skipped + c.failed);
}

TEST(FrameAccounting, RingFramesSettleTheReadsBeforeThem) {
    FrameAccounting a;
    a.Start();
    a.RingFrameProcessed(FrameStamp{1, 0, 100});
    // Reads 2..6 happened before frame 7: read 4 was a forgiven short frame, the rest skipped.
    a.RingFrameProcessed(FrameStamp{7, 1, 700});
    FrameCounts c = a.Snapshot();
    EXPECT_EQ(c.delivered, 7u);
    EXPECT_EQ(c.processed, 2u);
    EXPECT_EQ(c.failed, 1u);
    EXPECT_EQ(c.skipped, 4u);
    EXPECT_EQ(c.sequence, 7u);
    EXPECT_EQ(c.timestampNs, 700);
    // A frame refused by the camera is failed and does not become the current image.
    a.RingFrameFailed(FrameStamp{8, 1, 800});
    c = a.Snapshot();
    EXPECT_EQ(c.failed, 2u);
    EXPECT_EQ(c.sequence, 7u);
    ExpectBalanced(c);
}

TEST(FrameAccounting, FramesSeenBeforeAreNotCountedAgain) {
    FrameAccounting a;
    a.Start();
    a.RingFrameFailed(FrameStamp{3, 0, 30});
    EXPECT_FALSE(a.IsNew(FrameStamp{3, 0, 30}));
    EXPECT_FALSE(a.IsNew(FrameStamp{}));  // a buffer never written
    a.RingFrameProcessed(FrameStamp{3, 0, 30});
    EXPECT_EQ(a.Snapshot().delivered, 3u);
    EXPECT_EQ(a.Snapshot().processed, 0u);
    EXPECT_TRUE(a.IsNew(FrameStamp{4, 0, 40}));
}

TEST(FrameAccounting, RunEndSettlesWhatWasNeverTakenOnce) {
    FrameAccounting a;
    a.Start();
    a.RingFrameProcessed(FrameStamp{2, 0, 20});
    // Ten reads in all, the last of them failed and ended the run.
    a.SettleRun(device::TransferTally{10, 1});
    a.SettleRun(device::TransferTally{10, 1});
    const FrameCounts c = a.Snapshot();
    EXPECT_EQ(c.delivered, 10u);
    EXPECT_EQ(c.processed, 1u);
    EXPECT_EQ(c.failed, 1u);
    EXPECT_EQ(c.skipped, 8u);
    // A restart begins from nothing.
    a.Start();
    const FrameCounts fresh = a.Snapshot();
    EXPECT_EQ(fresh.delivered, 0u);
    EXPECT_EQ(fresh.sequence, 0u);
    EXPECT_TRUE(fresh.acquiring);
}

TEST(FrameAccounting, SingleFramesNumberEveryRead) {
    FrameAccounting a;
    a.Start();
    a.SingleFrameSkipped();
    a.SingleFrameFailed();
    a.SingleFrameProcessed(5);
    const FrameCounts c = a.Snapshot();
    EXPECT_EQ(c.sequence, 3u);
    EXPECT_EQ(c.timestampNs, 5);
    EXPECT_EQ(c.skipped, 1u);
    EXPECT_EQ(c.failed, 1u);
    ExpectBalanced(c);
}

TEST(FrameAccounting, WaiterSeesFrameStopOrTimeOut) {
    FrameAccounting a;
    a.Start();
    EXPECT_EQ(a.WaitForFrame(0, 0), FrameAccounting::Wait::TimedOut);
    auto waiter = std::async(std::launch::async, [&] { return a.WaitForFrame(0, -1); });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    a.RingFrameProcessed(FrameStamp{1, 0, 1});
    EXPECT_EQ(waiter.get(), FrameAccounting::Wait::Frame);

    auto stopped = std::async(std::launch::async, [&] { return a.WaitForFrame(1, -1); });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    a.Stop();
    EXPECT_EQ(stopped.get(), FrameAccounting::Wait::Stopped);
    // After the stop the last image still answers a waiter that has not seen it.
    EXPECT_EQ(a.WaitForFrame(0, 0), FrameAccounting::Wait::Frame);
}

TEST(FrameAccounting, EverySnapshotBalancesUnderConcurrentEvents) {
    FrameAccounting a;
    a.Start();
    std::atomic<bool> done{false};
    std::thread producer([&] {
        uint64_t failed = 0;
        for (uint64_t seq = 1; seq <= 20000; seq += 3) {
            if (seq % 7 == 0) ++failed;
            if (seq % 5 == 0) {
                a.RingFrameFailed(FrameStamp{seq, failed, 0});
            } else {
                a.RingFrameProcessed(FrameStamp{seq, failed, 0});
            }
        }
        a.SettleRun(device::TransferTally{20005, failed});
        done = true;
    });
    uint64_t last = 0;
    while (!done) {
        const FrameCounts c = a.Snapshot();
        ASSERT_EQ(c.delivered, c.processed + c.skipped + c.failed);
        ASSERT_GE(c.delivered, last);
        last = c.delivered;
    }
    producer.join();
    EXPECT_EQ(a.Snapshot().delivered, 20005u);
    ExpectBalanced(a.Snapshot());
}

}  // namespace
}  // namespace tavlin::camera
