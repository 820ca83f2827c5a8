#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <future>
#include <thread>
#include <vector>

#include "device/tavlin_410qz_sdk.h"
#include "device_test_support.h"

namespace tavlin::device {
namespace {

using testing::AttachedCameras;
using testing::ReadTrace;

constexpr size_t kFullFrame = 1280 * 1024;

// Level of the ramp scene at the first visible sample of frame n (gains and shutter as set by
// initialisation): sensor row 12, column 20.
int FirstSampleOfFrame(uint64_t n) {
    return int((12 + 20 + 2 * n) & 0xFF);
}

TavlinVcamCounters Counters() {
    TavlinVcamCounters counters{};
    EXPECT_EQ(TavlinVcam_GetCounters(0, &counters), 1);
    return counters;
}

// Polls WaitFrame until it answers something other than "ask again" or "frame ready".
Status WaitForEnd(CTVLSdkLib& sdk) {
    for (;;) {
        const Status answer = sdk.WaitFrame();
        if (answer == Status::Ok) {
            std::vector<uint8_t> sink(kFullFrame * 2);
            sdk.TakeFrame(sink.data());
        } else if (answer != Status::NoFrameYet) {
            return answer;
        }
    }
}

std::vector<TavlinVcamTraceEntry> FrameReads() {
    std::vector<TavlinVcamTraceEntry> reads;
    for (const auto& e : ReadTrace(0)) {
        if (e.pipe == 2) reads.push_back(e);
    }
    return reads;
}

// Frame requests are traced when sent; a frame read only once it completes.
size_t FrameRequests() {
    size_t requests = 0;
    for (const auto& e : ReadTrace(0)) {
        requests += e.pipe == 0 && e.data[0] == protocol::kCmdFrameRequest ? 1 : 0;
    }
    return requests;
}

class FrameTransfer : public ::testing::Test {
  protected:
    AttachedCameras cameras{0};
    CTavlin410QZVKESdk sdk;
};

TEST_F(FrameTransfer, StreamsWholeFramesOfTheTransferSizeOnOneHandle) {
    TavlinVcam_ClearTrace(0);
    ASSERT_EQ(sdk.StartTransfer(), Status::Ok);
    EXPECT_EQ(sdk.StartTransfer(), Status::Busy);
    std::vector<uint8_t> frame(kFullFrame);
    int taken = 0;
    while (taken < 3) {
        if (sdk.WaitFrame() == Status::Ok) {
            ASSERT_EQ(sdk.TakeFrame(frame.data()), Status::Ok);
            ++taken;
        }
    }
    EXPECT_EQ(Counters().handlesOpen, 1u);  // one thread, one handle
    EXPECT_EQ(sdk.StopTransfer(), Status::Ok);
    const auto trace = ReadTrace(0);
    ASSERT_GE(trace.size(), 2u);
    EXPECT_EQ(trace[0].data[0], protocol::kCmdPrepareTransfer);
    const auto reads = FrameReads();
    ASSERT_GE(reads.size(), 3u);
    for (const auto& read : reads) {
        EXPECT_EQ(read.length, kFullFrame);
        EXPECT_EQ(read.controlCode, protocol::kCodePipeInput);
        EXPECT_EQ(read.handle, reads[0].handle);
    }
    // Each frame read follows its frame request, sent with the output-direct code.
    for (size_t i = 1; i < trace.size(); ++i) {
        if (trace[i].pipe != 2) continue;
        EXPECT_EQ(trace[i - 1].pipe, 0u);
        EXPECT_EQ(trace[i - 1].data[0], protocol::kCmdFrameRequest);
        EXPECT_EQ(trace[i - 1].controlCode, protocol::kCodePipeOutput);
    }
    // The visible copy is the ramp of some frame: every sample one above its left neighbour.
    const int first = frame[0];
    EXPECT_EQ(frame[1], (first + 1) & 0xFF);
    EXPECT_EQ(frame[1280], (first + 1) & 0xFF);
    EXPECT_EQ(frame[1280 * 1023 + 1279], (first + 1023 + 1279) & 0xFF);
}

TEST_F(FrameTransfer, SixteenBitSamplesDoubleTheTransfer) {
    sdk.SetSampleWidth(1);
    TavlinVcam_ClearTrace(0);
    ASSERT_EQ(sdk.StartTransfer(), Status::Ok);
    std::vector<uint8_t> frame(kFullFrame * 2);
    while (sdk.WaitFrame() != Status::Ok) {
    }
    ASSERT_EQ(sdk.TakeFrame(frame.data()), Status::Ok);
    EXPECT_EQ(sdk.StopTransfer(), Status::Ok);
    EXPECT_EQ(FrameReads().front().length, 2 * kFullFrame);
    const int first = frame[0] | (frame[1] << 8);
    EXPECT_EQ(first % 4, 0);  // 10-bit samples of the ramp scene at unit gain
    EXPECT_LE(first, 1023);
}

TEST_F(FrameTransfer, SlowConsumerGetsTheNewestFrame) {
    // Trigger mode lets the test decide exactly how many frames the camera produces.
    sdk.SendDriverSetting(60000);
    ASSERT_EQ(sdk.SetTriggerMode(1), Status::Ok);
    ASSERT_EQ(sdk.StartTransfer(), Status::Ok);
    ASSERT_EQ(TavlinVcam_Trigger(0, 6), 6);
    while (Counters().framesDelivered < 6) std::this_thread::yield();
    // The sixth frame is stored once the thread has asked for the seventh.
    while (FrameRequests() < 7) std::this_thread::yield();
    ASSERT_EQ(sdk.WaitFrame(), Status::Ok);
    std::vector<uint8_t> frame(kFullFrame);
    ASSERT_EQ(sdk.TakeFrame(frame.data()), Status::Ok);
    EXPECT_EQ(frame[0], FirstSampleOfFrame(5));
    ASSERT_EQ(sdk.SetTriggerMode(0), Status::Ok);  // frees the waiting read
    EXPECT_EQ(sdk.StopTransfer(), Status::Ok);
}

TEST_F(FrameTransfer, RegisterTrafficInterleavesWithAPacedStream) {
    TavlinVcam_SetPacing(0, TAVLIN_VCAM_PACING_REAL_TIME);
    ASSERT_EQ(sdk.StartTransfer(), Status::Ok);
    for (int shutter = 1; shutter <= 20; ++shutter) {
        ASSERT_EQ(sdk.SetShutter(shutter), Status::Ok);
        int32_t readBack = 0;
        ASSERT_EQ(sdk.GetShutter(&readBack), Status::Ok);
        EXPECT_EQ(readBack, shutter);
    }
    // The first frame comes at once; the second read waits for its frame time.
    while (FrameRequests() < 2) std::this_thread::yield();
    TavlinVcam_Detach(0);  // wakes that read
    EXPECT_EQ(WaitForEnd(sdk), Status::Failed);
    EXPECT_EQ(sdk.StopTransfer(), Status::Failed);
}

TEST_F(FrameTransfer, OneShortFrameIsForgiven) {
    TavlinVcam_FailNext(0, TAVLIN_VCAM_FAULT_SHORT_FRAME, 1);
    ASSERT_EQ(sdk.StartTransfer(), Status::Ok);
    while (Counters().framesDelivered < 2) std::this_thread::yield();
    EXPECT_EQ(sdk.StopTransfer(), Status::Ok);
    EXPECT_EQ(Counters().framesShort, 1u);
}

TEST_F(FrameTransfer, SecondShortFrameFailsTheRun) {
    TavlinVcam_FailNext(0, TAVLIN_VCAM_FAULT_SHORT_FRAME, 2);
    ASSERT_EQ(sdk.StartTransfer(), Status::Ok);
    EXPECT_EQ(WaitForEnd(sdk), Status::Failed);
    EXPECT_EQ(sdk.StopTransfer(), Status::Failed);
    EXPECT_EQ(sdk.WaitFrame(), Status::NotRunning);
    EXPECT_EQ(sdk.StopTransfer(), Status::Ok);
}

TEST_F(FrameTransfer, FailedFrameRequestFailsTheRun) {
    TavlinVcam_FailNext(0, TAVLIN_VCAM_FAULT_FRAME_READ, 1);
    ASSERT_EQ(sdk.StartTransfer(), Status::Ok);
    EXPECT_EQ(WaitForEnd(sdk), Status::Failed);
    EXPECT_EQ(sdk.StopTransfer(), Status::Failed);
    // A new run starts cleanly after the failed one.
    ASSERT_EQ(sdk.StartTransfer(), Status::Ok);
    EXPECT_EQ(sdk.StopTransfer(), Status::Ok);
}

TEST_F(FrameTransfer, UnplugWhileStreamingEndsTheRun) {
    ASSERT_EQ(sdk.StartTransfer(), Status::Ok);
    TavlinVcam_UnplugAfterFrames(0, 3);
    EXPECT_EQ(WaitForEnd(sdk), Status::Failed);
    EXPECT_EQ(sdk.StopTransfer(), Status::Failed);
}

TEST_F(FrameTransfer, UnopenablePathEndsWithoutError) {
    TavlinVcam_Detach(0);
    ASSERT_EQ(sdk.StartTransfer(), Status::Ok);
    while (sdk.TransferResult() != Status::NoDevice) std::this_thread::yield();
    EXPECT_EQ(sdk.WaitFrame(), Status::NotRunning);
    EXPECT_EQ(sdk.StopTransfer(), Status::Ok);
}

TEST_F(FrameTransfer, GeometryCannotChangeUnderARun) {
    ASSERT_EQ(sdk.StartTransfer(), Status::Ok);
    EXPECT_EQ(sdk.SetFrameGeometry(64, 0, 64, 64, 0, 64, 4), Status::Busy);
    EXPECT_EQ(sdk.LineWidth(), 1280);
    EXPECT_EQ(sdk.StopTransfer(), Status::Ok);
}

TEST_F(FrameTransfer, DestroyingTheObjectStopsItsRun) {
    auto running = std::make_unique<CTavlin410QZVKESdk>();
    ASSERT_EQ(running->StartTransfer(), Status::Ok);
    running.reset();
    EXPECT_EQ(Counters().handlesOpen, 0u);
}

TEST_F(FrameTransfer, SingleFrameKeepsItsChannelUntilAFailure) {
    TavlinVcam_ClearTrace(0);
    ASSERT_EQ(sdk.ReadSingleFrame(), Status::Ok);
    EXPECT_TRUE(sdk.FrameChannelOpen());
    EXPECT_EQ(sdk.TakeSingleFrame(nullptr), Status::BadArgument);
    std::vector<uint8_t> frame(kFullFrame);
    ASSERT_EQ(sdk.TakeSingleFrame(frame.data()), Status::Ok);
    EXPECT_EQ(frame[0], FirstSampleOfFrame(0));
    const auto trace = ReadTrace(0);
    ASSERT_EQ(trace.size(), 3u);
    EXPECT_EQ(trace[0].data[0], protocol::kCmdPrepareTransfer);
    EXPECT_EQ(trace[1].data[0], protocol::kCmdFrameRequest);
    EXPECT_EQ(trace[1].controlCode, protocol::kCodePipeInput);
    EXPECT_NE(trace[0].handle, trace[1].handle);  // prepare travels on its own handle
    EXPECT_EQ(trace[1].handle, trace[2].handle);
    EXPECT_EQ(trace[2].length, kFullFrame);

    TavlinVcam_FailNext(0, TAVLIN_VCAM_FAULT_SHORT_FRAME, 1);
    EXPECT_EQ(sdk.ReadSingleFrame(), Status::Failed);  // never forgiven here
    EXPECT_FALSE(sdk.FrameChannelOpen());
    ASSERT_EQ(sdk.ReadSingleFrame(), Status::Ok);
    EXPECT_TRUE(sdk.FrameChannelOpen());
    sdk.CloseFrameChannel();
    EXPECT_FALSE(sdk.FrameChannelOpen());
    TavlinVcam_Detach(0);
    EXPECT_EQ(sdk.ReadSingleFrame(), Status::NoDevice);
}

TEST(Ring, AdvanceSkipsTheConsumersBuffer) {
    TransferBlock block;
    block.bufferCount = 4;
    block.readIndex = 2;
    block.writeIndex = 1;
    AdvanceRing(block);
    EXPECT_EQ(block.writeIndex.load(), 3);
    EXPECT_TRUE(block.frameEvent.IsSet());
    AdvanceRing(block);
    EXPECT_EQ(block.writeIndex.load(), 0);
    block.readIndex = 1;
    AdvanceRing(block);
    EXPECT_EQ(block.writeIndex.load(), 2);
}

// The thread fills each buffer with its frame number while the consumer claims the newest frame
// and copies it: every copy must be one frame, never part of the next. The narrowest rings leave
// the least room between the buffer written and the one copied.
TEST(Ring, AClaimedFrameIsNeverWrittenWhileTheConsumerCopiesIt) {
    constexpr size_t kBytes = 4096;
    constexpr int kFrames = 20000;
    for (const int count : {2, 3}) {
        std::vector<std::vector<uint8_t>> buffers(static_cast<size_t>(count),
                                                  std::vector<uint8_t>(kBytes));
        TransferBlock block;
        block.bufferCount = count;
        std::atomic<bool> done{false};
        std::thread writer([&] {
            for (int frame = 1; frame <= kFrames; ++frame) {
                uint8_t* buffer = buffers[size_t(block.writeIndex.load())].data();
                for (size_t i = 0; i < kBytes; ++i) {
                    // Byte by byte, so a copy taken meanwhile would see two frame numbers.
                    reinterpret_cast<volatile uint8_t*>(buffer)[i] = uint8_t(frame);
                }
                AdvanceRing(block);
            }
            done = true;
        });
        std::vector<uint8_t> copy(kBytes);
        int torn = 0;
        int claimed = 0;
        while (!done.load()) {
            if (!ClaimNewestFrame(block)) continue;
            const int32_t index = block.readIndex.load();
            std::copy(buffers[size_t(index)].begin(), buffers[size_t(index)].end(), copy.begin());
            torn += std::count(copy.begin(), copy.end(), copy[0]) != ptrdiff_t(kBytes) ? 1 : 0;
            ++claimed;
            block.readIndex.store((index + 1) % count);
        }
        writer.join();
        EXPECT_GT(claimed, 0) << count << " buffers";
        EXPECT_EQ(torn, 0) << count << " buffers, " << claimed << " frames claimed";
    }
}

}  // namespace
}  // namespace tavlin::device

namespace tavlin::device {
namespace {

TEST_F(FrameTransfer, TriggeredSingleFramesWaitForAPulse) {
    sdk.SendDriverSetting(60000);
    ASSERT_EQ(sdk.SetTriggerMode(1), Status::Ok);
    auto read = std::async(std::launch::async, [&] { return sdk.ReadSingleFrame(); });
    while (FrameRequests() < 1) std::this_thread::yield();
    EXPECT_EQ(read.wait_for(std::chrono::milliseconds(0)), std::future_status::timeout);
    ASSERT_EQ(TavlinVcam_Trigger(0, 1), 1);
    EXPECT_EQ(read.get(), Status::Ok);

    sdk.SendDriverSetting(10);  // no pulse: the read fails after the time-out
    EXPECT_EQ(sdk.ReadSingleFrame(), Status::Failed);
    EXPECT_FALSE(sdk.FrameChannelOpen());
}

}  // namespace
}  // namespace tavlin::device
