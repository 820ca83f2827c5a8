// Acquisition modes through the C ABI on the virtual camera: transitions and refusals, frames
// delivered into the application's buffer with their messages, stop in every mode.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "integration/sdk_fixture.h"

namespace tavlin::test {
namespace {

using Clock = std::chrono::steady_clock;

class AcquisitionTest : public TransportTest {
  protected:
    // 160 x 128 frames keep the tests quick; colour mode 24 by default.
    void UseSmallFrames(int32_t bits = 24) {
        ASSERT_EQ(Tavlin_SetColorMode(camera_, bits), 1);
        ASSERT_EQ(Tavlin_SetSubSample(camera_, 3), 1);
        ASSERT_EQ(Tavlin_SetWaitTime(camera_, 0), 1);
    }
    static int32_t Stride(int32_t width, int32_t bits) { return (width * (bits / 8) + 3) & ~3; }

    // Reads frame messages until one frame notice arrived; false on time-out.
    bool WaitFrameNotice(TavlinFrameInfo* record = nullptr) {
        TavlinMessage m;
        while (NextFrameMessage(m)) {
            if (m.message == TAVLIN_MSG_FRAME && m.wParam != 0) {
                if (record)
                    *record = ReadRecord(reinterpret_cast<const TavlinFrameInfo*>(m.wParam));
                return true;
            }
        }
        return false;
    }
};

TEST_P(AcquisitionTest, ModeTransitionsAndRefusals) {
    UseSmallFrames();
    EXPECT_EQ(Tavlin_StopPreview(camera_), 1);  // idle
    ASSERT_EQ(Tavlin_StartPreview(camera_), 1);
    EXPECT_EQ(Tavlin_StartPreview(camera_), 1);  // already previewing: nothing changes
    EXPECT_EQ(Tavlin_Capture(camera_), 0);
    std::vector<uint8_t> image(Stride(160, 24) * 128);
    EXPECT_EQ(Tavlin_SnapShot(camera_, image.data(), int32_t(image.size()), 1), 0);
    EXPECT_EQ(Tavlin_Trigger(camera_, frames_, nullptr, 0, 0), 0);
    EXPECT_EQ(Errors(), (std::vector<int32_t>{1, 1, 1}));
    EXPECT_EQ(Tavlin_StopPreview(camera_), 1);

    ASSERT_EQ(Tavlin_Capture(camera_), 1);
    EXPECT_EQ(Tavlin_Capture(camera_), 1);
    EXPECT_EQ(Tavlin_StartPreview(camera_), 0);
    EXPECT_EQ(Errors(), (std::vector<int32_t>{1}));
    EXPECT_EQ(Tavlin_SnapShot(camera_, image.data(), int32_t(image.size()), 1), 1);
    EXPECT_EQ(Tavlin_Close(camera_), 1);
    EXPECT_EQ(Tavlin_StartPreview(camera_), 1);
    EXPECT_EQ(Tavlin_StopPreview(camera_), 1);
}

TEST_P(AcquisitionTest, CallbackPreviewDeliversFramesWithTheirRecord) {
    UseSmallFrames(32);
    std::vector<uint8_t> image(Stride(160, 32) * 128, 0xEE);
    ASSERT_EQ(Tavlin_CallBackPreview(camera_, frames_, image.data(), int32_t(image.size()), 1), 1);
    TavlinFrameInfo record{};
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(WaitFrameNotice(&record));
    EXPECT_EQ(record.size, 32);
    EXPECT_EQ(record.width, 160);
    EXPECT_EQ(record.height, 128);
    EXPECT_EQ(record.bitsPerPixel, 32);
    EXPECT_EQ(record.buffer, image.data());
    ASSERT_EQ(Tavlin_StopPreview(camera_), 1);
    // The fourth byte of every pixel stays as the converted image has it (0), and the image is
    // what Tavlin_GetImage copies too.
    std::vector<uint8_t> copy(image.size());
    ASSERT_EQ(Tavlin_GetImage(camera_, copy.data(), int32_t(copy.size()), 1), 1);
    EXPECT_EQ(copy, image);
    for (size_t i = 3; i < image.size(); i += 4) ASSERT_EQ(image[i], 0) << i;
    EXPECT_TRUE(Errors().empty());
}

TEST_P(AcquisitionTest, RowOrderFlagReversesRows) {
    UseSmallFrames(8);
    ASSERT_EQ(Tavlin_Capture(camera_), 1);
    const int32_t stride = Stride(160, 8);
    std::vector<uint8_t> stored(stride * 128), reversed(stride * 128);
    ASSERT_EQ(Tavlin_SnapShot(camera_, stored.data(), int32_t(stored.size()), 1), 1);
    ASSERT_EQ(Tavlin_GetImage(camera_, reversed.data(), int32_t(reversed.size()), 0), 1);
    for (int row = 0; row < 128; ++row) {
        ASSERT_EQ(0, std::memcmp(&stored[row * stride], &reversed[(127 - row) * stride], stride));
    }
}

TEST_P(AcquisitionTest, GetImageOneByteShortReportsTwice) {
    UseSmallFrames(24);
    ASSERT_EQ(Tavlin_Capture(camera_), 1);
    const int32_t size = Stride(160, 24) * 128;
    std::vector<uint8_t> image(size);
    // Right after capture the freshly created image can be read.
    EXPECT_EQ(Tavlin_GetImage(camera_, image.data(), size, 1), 1);
    EXPECT_EQ(Tavlin_GetImage(camera_, image.data(), size - 1, 1), 0);
    EXPECT_EQ(Errors(), (std::vector<int32_t>{5, 5}));
    EXPECT_EQ(Tavlin_GetImage(camera_, nullptr, size, 1), 0);
    EXPECT_EQ(Errors(), (std::vector<int32_t>{5}));
}

TEST_P(AcquisitionTest, TooSmallCallbackBufferPostsStreamFailureInsteadOfFrames) {
    UseSmallFrames(24);
    std::vector<uint8_t> image(100);
    ASSERT_EQ(Tavlin_CallBackPreview(camera_, frames_, image.data(), int32_t(image.size()), 1), 1);
    TavlinMessage m;
    ASSERT_TRUE(NextFrameMessage(m));
    EXPECT_EQ(m.message, uint32_t(TAVLIN_MSG_FRAME));
    EXPECT_EQ(m.wParam, 0u);
    EXPECT_EQ(m.lParam, 5);
    Tavlin_StopPreview(camera_);
    while (TavlinHost_PeekMessage(frames_, &m)) EXPECT_EQ(m.wParam, 0u);  // never a frame notice
    EXPECT_EQ(Errors().front(), 5);
}

TEST_P(AcquisitionTest, UnplugWhilePreviewingStopsWithError13AndKeepsMode) {
    UseSmallFrames(24);
    std::vector<uint8_t> image(Stride(160, 24) * 128);
    ASSERT_EQ(Tavlin_CallBackPreview(camera_, frames_, image.data(), int32_t(image.size()), 1), 1);
    ASSERT_TRUE(WaitFrameNotice());
    UnplugCamera(0);
    TavlinMessage m;
    bool stopped = false;
    while (!stopped && NextFrameMessage(m, 10000)) stopped = m.wParam == 0 && m.lParam == 13;
    EXPECT_TRUE(stopped);
    // The thread has ended, but the mode stays preview until stopped.
    EXPECT_EQ(Tavlin_StartPreview(camera_), 1);
    EXPECT_EQ(Tavlin_Capture(camera_), 0);
    const auto start = Clock::now();
    EXPECT_EQ(Tavlin_StopPreview(camera_), 1);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(3));
    const auto codes = Errors();
    EXPECT_NE(std::find(codes.begin(), codes.end(), 13), codes.end());
}

TEST_P(AcquisitionTest, TriggerModeDiscardsTheFirstFrameAndDeliversOnePerPulse) {
    UseSmallFrames(8);
    std::vector<uint8_t> image(Stride(160, 8) * 128);
    ASSERT_EQ(Tavlin_Trigger(camera_, frames_, image.data(), int32_t(image.size()), 1), 1);
    EXPECT_EQ(Tavlin_Trigger(camera_, frames_, image.data(), int32_t(image.size()), 1), 1);
    TavlinVcam_Trigger(0, 1);  // discarded
    TavlinMessage m;
    EXPECT_FALSE(NextFrameMessage(m, 300));
    TavlinVcam_Trigger(0, 1);
    TavlinFrameInfo record{};
    ASSERT_TRUE(WaitFrameNotice(&record));
    EXPECT_EQ(record.frameRate, 0);
    EXPECT_EQ(record.width, 160);
    TavlinVcam_Trigger(0, 2);
    ASSERT_TRUE(WaitFrameNotice());
    ASSERT_TRUE(WaitFrameNotice());
    EXPECT_FALSE(NextFrameMessage(m, 300));
    EXPECT_EQ(Tavlin_StopPreview(camera_), 1);
}

TEST_P(AcquisitionTest, StopReturnsPromptlyInTriggerModeWithoutPulses) {
    UseSmallFrames(8);
    ASSERT_EQ(Tavlin_Trigger(camera_, frames_, nullptr, 0, 0), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // the read is now pending
    const auto start = Clock::now();
    EXPECT_EQ(Tavlin_StopPreview(camera_), 1);
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(1500));
    // Idle again: a preview starts.
    EXPECT_EQ(Tavlin_StartPreview(camera_), 1);
    EXPECT_EQ(Tavlin_Close(camera_), 1);
}

TEST_P(AcquisitionTest, SnapshotWithoutBufferStillProcessesTheFrame) {
    UseSmallFrames(24);
    EXPECT_EQ(Tavlin_SnapShot(camera_, nullptr, 0, 1), 1);  // from idle: prepares each time
    std::vector<uint8_t> image(Stride(160, 24) * 128);
    ASSERT_EQ(Tavlin_GetImage(camera_, image.data(), int32_t(image.size()), 1), 1);
    EXPECT_NE(std::count(image.begin(), image.end(), 0), std::ptrdiff_t(image.size()));
}

TEST_P(AcquisitionTest, FrameRateStaysZeroForTheFirstSecond) {
    std::vector<uint8_t> image(Stride(160, 8) * 128);
    TavlinVcam_SetPacing(0, TAVLIN_VCAM_PACING_REAL_TIME);
    // The rate counts from the camera's construction: the first frames read 0, a frame more
    // than a second later reads a positive rate. A fresh camera object starts the count.
    ASSERT_EQ(Tavlin_Release(camera_), 1);
    const auto opened = Clock::now();
    Open();
    UseSmallFrames(8);
    ASSERT_EQ(Tavlin_SetWaitTime(camera_, 5), 1);
    ASSERT_EQ(Tavlin_CallBackPreview(camera_, frames_, image.data(), int32_t(image.size()), 1), 1);
    TavlinFrameInfo first{};
    ASSERT_TRUE(WaitFrameNotice(&first));
    // Only a frame inside the first second says something (a slow build may take longer).
    if (Clock::now() - opened < std::chrono::milliseconds(900)) {
        EXPECT_EQ(first.frameRate, 0);
    }
    // At least one frame after the first, however long a loaded machine took to get there.
    int32_t lastRate = -1;
    do {
        TavlinFrameInfo record{};
        ASSERT_TRUE(WaitFrameNotice(&record));
        lastRate = record.frameRate;
    } while (Clock::now() - opened < std::chrono::milliseconds(2500));
    EXPECT_GT(lastRate, 0);
    Tavlin_StopPreview(camera_);
}

TEST_P(AcquisitionTest, InvalidWindowAndClaimedDeviceRefusePreparation) {
    UseSmallFrames(8);
    EXPECT_EQ(Tavlin_SetCaptureWindowEx(camera_, 1280, 1, 1280, 1024, 0, 1024), 0);
    EXPECT_EQ(Tavlin_StartPreview(camera_), 0);
    EXPECT_EQ(Errors(), (std::vector<int32_t>{1, 7, 7}));
    EXPECT_EQ(Tavlin_SetCaptureWindowEx(camera_, 1280, 0, 1280, 1024, 0, 1024), 1);

    // A second camera object on the same device sees the first one's claim.
    const int32_t other = Tavlin_Initialize(window_);
    ASSERT_NE(other, 0);
    Tavlin_SetSubSample(other, 3);
    ASSERT_EQ(Tavlin_StartPreview(camera_), 1);
    EXPECT_EQ(Tavlin_StartPreview(other), 0);
    std::vector<int32_t> otherErrors;
    for (int32_t c = Tavlin_GetLastError(other); c != 0; c = Tavlin_GetLastError(other)) {
        otherErrors.push_back(c);
    }
    EXPECT_EQ(otherErrors.front(), 1);
    EXPECT_EQ(otherErrors.at(1), 2);
    ASSERT_EQ(Tavlin_StopPreview(camera_), 1);
    EXPECT_EQ(Tavlin_StartPreview(other), 1);
    EXPECT_EQ(Tavlin_Release(other), 1);
}

TEST_P(AcquisitionTest, ReleaseWhileStreamingStopsEverything) {
    UseSmallFrames(24);
    std::vector<uint8_t> image(Stride(160, 24) * 128);
    ASSERT_EQ(Tavlin_CallBackPreview(camera_, frames_, image.data(), int32_t(image.size()), 1), 1);
    ASSERT_TRUE(WaitFrameNotice());
    EXPECT_EQ(Tavlin_Release(camera_), 1);
    camera_ = 0;
    ASSERT_TRUE(Settle(Reach()));
    TavlinVcamCounters counters{};
    ASSERT_EQ(TavlinVcam_GetCounters(0, &counters), 1);
    EXPECT_EQ(counters.handlesOpen, 0u);
}

TAVLIN_INSTANTIATE_TRANSPORTS(AcquisitionTest);

}  // namespace
}  // namespace tavlin::test
