// Application threads working on a streaming camera: settings take effect on later frames,
// concurrent getters and setters, start/stop cycles with frames in flight.
#include <atomic>
#include <numeric>
#include <thread>

#include "integration/sdk_fixture.h"

namespace tavlin::test {
namespace {

class ConcurrencyTest : public SdkTest {
  protected:
    static constexpr int32_t kWidth = 160;
    static constexpr int32_t kHeight = 128;

    void StartGrayStream() {
        ASSERT_EQ(Tavlin_SetColorMode(camera_, 8), 1);
        ASSERT_EQ(Tavlin_SetSubSample(camera_, 3), 1);
        ASSERT_EQ(Tavlin_SetWaitTime(camera_, 0), 1);
        TavlinVcam_SetScene(0, TAVLIN_VCAM_SCENE_FLAT);
        image_.assign(kWidth * kHeight, 0);
        ASSERT_EQ(
            Tavlin_CallBackPreview(camera_, frames_, image_.data(), int32_t(image_.size()), 1), 1);
    }

    // Mean of the next delivered frame, or -1 on time-out.
    double NextFrameMean() {
        TavlinMessage m;
        while (NextFrameMessage(m)) {
            if (m.message != TAVLIN_MSG_FRAME || m.wParam == 0) continue;
            std::vector<uint8_t> copy(image_.size());
            Tavlin_GetImage(camera_, copy.data(), int32_t(copy.size()), 1);
            return std::accumulate(copy.begin(), copy.end(), 0.0) / double(copy.size());
        }
        return -1;
    }

    std::vector<uint8_t> image_;
};

TEST_F(ConcurrencyTest, SettingsFromAnotherThreadReachALaterFrame) {
    StartGrayStream();
    const double before = NextFrameMean();
    ASSERT_GE(before, 0);
    ASSERT_LT(before, 200);
    std::thread setter([this] { EXPECT_EQ(Tavlin_SetBrightness(camera_, 255), 1); });
    setter.join();
    double after = before;
    for (int i = 0; i < 20 && after <= before + 20; ++i) after = NextFrameMean();
    EXPECT_GT(after, before + 20);
    EXPECT_EQ(Tavlin_StopPreview(camera_), 1);
}

TEST_F(ConcurrencyTest, GettersAndSettersRaceAStreamSafely) {
    StartGrayStream();
    std::atomic<bool> stop{false};
    std::vector<std::thread> threads;
    threads.emplace_back([&] {
        for (int i = 0; !stop; ++i) {
            Tavlin_SetGamma(camera_, 50 + i % 100);
            Tavlin_SetMirrorH(camera_, i & 1);
            Tavlin_SetGrayMode(camera_, i % 3);
        }
    });
    threads.emplace_back([&] {
        for (int i = 0; !stop; ++i) {
            Tavlin_SetGlobalGain(camera_, i % 64);
            Tavlin_SetAutoIris(camera_, i % 3);
            Tavlin_SetWaitTime(camera_, i % 2);
        }
    });
    threads.emplace_back([&] {
        int32_t ok = 0;
        std::vector<uint8_t> copy(image_.size());
        while (!stop) {
            Tavlin_GetGamma(camera_, &ok);
            Tavlin_GetExposureTime(camera_, &ok);
            Tavlin_GetImage(camera_, copy.data(), int32_t(copy.size()), 0);
            Tavlin_GetLastError(camera_);
        }
    });
    for (int i = 0; i < 10; ++i) EXPECT_GE(NextFrameMean(), 0);
    stop = true;
    for (auto& t : threads) t.join();
    EXPECT_EQ(Tavlin_StopPreview(camera_), 1);
}

TEST_F(ConcurrencyTest, StartStopCyclesEachDeliverFrames) {
    StartGrayStream();
    ASSERT_EQ(Tavlin_StopPreview(camera_), 1);
    for (int cycle = 0; cycle < 30; ++cycle) {
        TavlinMessage m;
        while (TavlinHost_PeekMessage(frames_, &m)) {
        }
        ASSERT_EQ(Tavlin_StartPreview(camera_), 1) << cycle;
        ASSERT_GE(NextFrameMean(), 0) << cycle;
        ASSERT_EQ(Tavlin_StopPreview(camera_), 1) << cycle;
    }
    EXPECT_TRUE(Errors().empty());
}

TEST_F(ConcurrencyTest, StopFromTheThreadReadingFrameMessages) {
    StartGrayStream();
    std::thread reader([this] {
        TavlinMessage m;
        while (NextFrameMessage(m)) {
            if (m.wParam != 0) break;
        }
        EXPECT_EQ(Tavlin_StopPreview(camera_), 1);
        EXPECT_EQ(Tavlin_Close(camera_), 1);
    });
    reader.join();
    EXPECT_EQ(Tavlin_StartPreview(camera_), 1);
}

}  // namespace
}  // namespace tavlin::test
