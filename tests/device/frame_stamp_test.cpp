// The transfer thread's account of its reads: every frame stored carries its read number, the
// failed reads before it and its arrival time; failed reads store nothing.
#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "device/tavlin_410qz_sdk.h"
#include "device_test_support.h"
#include "diag/log.h"
#include "platform/clock.h"

namespace tavlin::device {
namespace {

using testing::AttachedCameras;

uint64_t VcamReads() {
    TavlinVcamCounters c{};
    EXPECT_EQ(TavlinVcam_GetCounters(0, &c), 1);
    return c.framesDelivered + c.framesShort + c.framesFailed;
}

class FrameStamps : public ::testing::Test {
  protected:
    // Trigger mode lets the test decide how many frames the camera makes.
    void SetUp() override {
        sdk.SendDriverSetting(60000);
        ASSERT_EQ(sdk.SetTriggerMode(1), Status::Ok);
    }
    void TearDown() override {
        sdk.SetTriggerMode(0);  // frees a waiting read
        sdk.StopTransfer();
    }
    // Waits until the run has made `reads` reads, then for the frame WaitFrame hands out. A read
    // is counted before its buffer is published, so the newest frame may still be the one before.
    FrameStamp NewestAfter(uint64_t reads) {
        while (sdk.TransferTotals().reads < reads) std::this_thread::yield();
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        FrameStamp stamp{};
        do {
            while (sdk.WaitFrame() != Status::Ok) {
            }
            stamp = sdk.ReadyFrameStamp();
        } while (stamp.sequence < reads && std::chrono::steady_clock::now() < deadline);
        return stamp;
    }

    AttachedCameras cameras{0};
    CTavlin410QZVKESdk sdk;
};

TEST_F(FrameStamps, StoredFramesCarryTheirReadNumberAndArrival) {
    const int64_t start = platform::MonotonicNs();
    ASSERT_EQ(sdk.StartTransfer(), Status::Ok);
    ASSERT_EQ(TavlinVcam_Trigger(0, 3), 3);
    const FrameStamp third = NewestAfter(3);
    EXPECT_EQ(third.sequence, 3u);
    EXPECT_EQ(third.failedBefore, 0u);
    EXPECT_GE(third.arrivalNs, start);
    EXPECT_LE(third.arrivalNs, platform::MonotonicNs());
    // Given up without a copy, the next frame is the next read's.
    sdk.PassFrame();
    ASSERT_EQ(TavlinVcam_Trigger(0, 1), 1);
    const FrameStamp fourth = NewestAfter(4);
    EXPECT_EQ(fourth.sequence, 4u);
    EXPECT_GE(fourth.arrivalNs, third.arrivalNs);
    EXPECT_EQ(sdk.TransferTotals().failed, 0u);
}

// The transfer category's messages, kept while it lives.
class TransferLog {
  public:
    TransferLog() { diag::SetCallback(&TransferLog::Keep, this, diag::Level::Info); }
    ~TransferLog() { diag::SetCallback(nullptr, nullptr, diag::Level::Off); }
    TransferLog(const TransferLog&) = delete;
    TransferLog& operator=(const TransferLog&) = delete;

    std::string Text() {
        std::lock_guard<std::mutex> guard(mutex_);
        return text_;
    }

  private:
    static void Keep(void* self, int32_t level, const char* category, int32_t, int64_t,
                     const char* message) {
        auto* log = static_cast<TransferLog*>(self);
        if (std::string(category) != "transfer") return;
        std::lock_guard<std::mutex> guard(log->mutex_);
        log->text_ +=
            diag::LevelName(static_cast<diag::Level>(level)) + std::string(" ") + message + "\n";
    }

    std::mutex mutex_;
    std::string text_;
};

TEST_F(FrameStamps, ForgivenShortFrameIsCountedAsFailedRead) {
    TransferLog log;
    ASSERT_EQ(TavlinVcam_FailNext(0, TAVLIN_VCAM_FAULT_SHORT_FRAME, 1), 1);
    ASSERT_EQ(sdk.StartTransfer(), Status::Ok);
    ASSERT_EQ(TavlinVcam_Trigger(0, 2), 2);
    const FrameStamp stamp = NewestAfter(2);
    EXPECT_EQ(stamp.sequence, 2u);
    EXPECT_EQ(stamp.failedBefore, 1u);
    EXPECT_EQ(sdk.TransferTotals().reads, 2u);
    EXPECT_EQ(sdk.TransferTotals().failed, 1u);
    EXPECT_EQ(log.Text().rfind("info short frame 1 forgiven (", 0), 0u) << log.Text();
}

TEST_F(FrameStamps, FailedReadEndsTheRunWithoutStoringAFrame) {
    TransferLog log;
    ASSERT_EQ(TavlinVcam_FailNext(0, TAVLIN_VCAM_FAULT_FRAME_READ, 1), 1);
    const uint64_t before = VcamReads();
    ASSERT_EQ(sdk.StartTransfer(), Status::Ok);
    ASSERT_EQ(TavlinVcam_Trigger(0, 1), 1);
    Status answer = Status::NoFrameYet;
    while (answer == Status::NoFrameYet) answer = sdk.WaitFrame();
    EXPECT_EQ(answer, Status::Failed);  // never Ok: the failed buffer is not a frame
    EXPECT_EQ(sdk.StopTransfer(), Status::Failed);
    EXPECT_EQ(sdk.TransferTotals().reads, VcamReads() - before);
    EXPECT_EQ(sdk.TransferTotals().failed, 1u);
    EXPECT_EQ(sdk.ReadyFrameStamp().sequence, 0u);
    EXPECT_NE(log.Text().find("warn frame read "), std::string::npos) << log.Text();
    EXPECT_NE(log.Text().find(" failed (status 1, "), std::string::npos) << log.Text();
}

}  // namespace
}  // namespace tavlin::device
