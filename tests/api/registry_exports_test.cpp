// The handle registry and error reporting as an application sees them through the C ABI.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "api/sdk_chain.h"
#include "tavlin/tavlin.h"
#include "tavlin/tavlin_host.h"

namespace {

class RegistryExportsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        window_ = TavlinHost_CreateMessageWindow();
        ASSERT_NE(window_, nullptr);
    }
    void TearDown() override {
        for (int32_t h : handles_) Tavlin_Release(h);
        TavlinHost_DestroyWindow(window_);
    }
    int32_t Open(TAVLIN_HWND window = nullptr) {
        const int32_t h = Tavlin_Initialize(window);
        if (h != 0) handles_.push_back(h);
        return h;
    }
    void Drain() {
        TavlinMessage m;
        while (TavlinHost_PeekMessage(window_, &m)) {
        }
    }

    TAVLIN_HWND window_ = nullptr;
    std::vector<int32_t> handles_;
};

TEST_F(RegistryExportsTest, VersionNeedsNoCamera) {
    EXPECT_EQ(Tavlin_GetDllVersion(), 26281247);
}

TEST_F(RegistryExportsTest, TwoCamerasReleasingTheFirstKeepsTheSecond) {
    auto& chain = tavlin::api::CSdkChain::Instance();
    const int32_t before = chain.Size();
    const int32_t first = Open();
    const int32_t second = Open();
    ASSERT_NE(first, 0);
    ASSERT_NE(second, 0);
    EXPECT_NE(first, second);
    EXPECT_EQ(chain.Size(), before + 2);
    EXPECT_EQ(Tavlin_Release(first), 1);
    EXPECT_EQ(chain.Size(), before + 1);
    EXPECT_EQ(Tavlin_SetWaitTime(second, 25), 1);
    EXPECT_EQ(Tavlin_GetWaitTime(second), 25);
    EXPECT_EQ(Tavlin_GetWaitTime(first), -1);
}

TEST_F(RegistryExportsTest, ReleasedHandleAnswersWithNotFoundValues) {
    const int32_t h = Open();
    ASSERT_EQ(Tavlin_Release(h), 1);
    EXPECT_EQ(Tavlin_Release(h), 0);
    EXPECT_EQ(Tavlin_GetColorMode(h), -1);
    EXPECT_EQ(Tavlin_GetSubSample(h), -1);
    EXPECT_EQ(Tavlin_GetWaitTime(h), -1);
    EXPECT_EQ(Tavlin_GetLastError(h), 0);
    EXPECT_EQ(Tavlin_SetColorMode(h, 24), 0);
    int32_t untouched = 77;
    EXPECT_EQ(Tavlin_GetAutoIris(h, &untouched), 0);
    EXPECT_EQ(untouched, 77);
    EXPECT_EQ(Tavlin_GetVideoFormat(h, &untouched), 0);
    EXPECT_EQ(untouched, 77);
    EXPECT_EQ(Tavlin_GetConfigFilter(h), 0);
}

TEST_F(RegistryExportsTest, UnknownHandlesChangeNothingAndPostNothing) {
    const int32_t h = Open(window_);
    Drain();
    const int32_t size = tavlin::api::CSdkChain::Instance().Size();
    for (int32_t unknown : {0, -1, h + 1, h - 1}) {
        if (unknown == h) continue;
        EXPECT_EQ(Tavlin_SetColorMode(unknown, 12), 0);
        EXPECT_EQ(Tavlin_Fps(unknown), 0);
    }
    EXPECT_EQ(tavlin::api::CSdkChain::Instance().Size(), size);
    EXPECT_EQ(TavlinHost_PendingMessages(window_), 0);
    EXPECT_EQ(Tavlin_SetWaitTime(h, 3), 1);  // the registered handle is still found
}

TEST_F(RegistryExportsTest, FailuresAreRecordedNewestFirstAndPostedAsErrorMessages) {
    const int32_t h = Open(window_);
    while (Tavlin_GetLastError(h) != 0) {
    }
    Drain();
    EXPECT_EQ(Tavlin_SetColorMode(h, 12), 0);
    EXPECT_EQ(Tavlin_SetConfigFilter(h), -1);
    TavlinMessage m{};
    ASSERT_EQ(TavlinHost_GetMessage(window_, &m, 1000), 1);
    EXPECT_EQ(m.message, 32771u);
    EXPECT_EQ(m.window, window_);
    EXPECT_EQ(m.wParam, 0u);
    EXPECT_EQ(m.lParam, 9);
    ASSERT_EQ(TavlinHost_GetMessage(window_, &m, 1000), 1);
    EXPECT_EQ(m.lParam, 11);
    EXPECT_EQ(Tavlin_GetLastError(h), 11);
    EXPECT_EQ(Tavlin_GetLastError(h), 9);
    EXPECT_EQ(Tavlin_GetLastError(h), 0);
}

TEST_F(RegistryExportsTest, UnsupportedStubsPostWithoutRecording) {
    const int32_t h = Open(window_);
    while (Tavlin_GetLastError(h) != 0) {
    }
    Tavlin_SetColorMode(h, 12);  // leaves 9 as the newest entry
    Drain();
    EXPECT_EQ(Tavlin_Fps(h, 1, 2), 0);
    EXPECT_EQ(Tavlin_SetCrossbar(h), 0);
    EXPECT_EQ(Tavlin_Fpga_WriteRegister(h, 3, 4), 0);
    EXPECT_EQ(Tavlin_SetAutoIris(h, 3), 0);
    EXPECT_EQ(Tavlin_SetAutoIris(h, -1), 0);  // 3 or more as unsigned
    for (int expected : {11, 11, 11, 9, 9}) {
        TavlinMessage m{};
        ASSERT_EQ(TavlinHost_GetMessage(window_, &m, 1000), 1);
        EXPECT_EQ(m.lParam, expected);
    }
    EXPECT_EQ(Tavlin_GetLastError(h), 9);
    EXPECT_EQ(Tavlin_GetLastError(h), 0);
}

TEST_F(RegistryExportsTest, FixedAnswers) {
    const int32_t h = Open();
    int32_t value = 55;
    EXPECT_EQ(Tavlin_GetVideoFormat(h, &value), 0);
    EXPECT_EQ(value, 0);
    value = 55;
    EXPECT_EQ(Tavlin_GetSamplingRate(h, &value), 0);
    EXPECT_EQ(value, 0);
    EXPECT_EQ(Tavlin_GetSamplingRate(h, nullptr), 0);
    EXPECT_EQ(Tavlin_GetStatus(h, 0), 0);
    EXPECT_EQ(Tavlin_GetStatus(12345, 0), 0);
}

TEST_F(RegistryExportsTest, SettingsThatNeedNoDevice) {
    const int32_t h = Open();
    while (Tavlin_GetLastError(h) != 0) {
    }
    const std::pair<int, int> modes[] = {{8, 8}, {16, 10}, {24, 24}, {32, 32}, {48, 42}, {64, 58}};
    for (auto [set, get] : modes) {
        EXPECT_EQ(Tavlin_SetColorMode(h, set), 1);
        EXPECT_EQ(Tavlin_GetColorMode(h), get);
    }
    EXPECT_EQ(Tavlin_SetColorMode(h, 10), 0);  // get values are not set values
    EXPECT_EQ(Tavlin_GetColorMode(h), 58);
    EXPECT_EQ(Tavlin_SetSubSample(h, 3), 1);
    EXPECT_EQ(Tavlin_SetSubSample(h, 4), 0);
    EXPECT_EQ(Tavlin_SetSubSample(h, -1), 0);
    EXPECT_EQ(Tavlin_GetSubSample(h), 3);
    EXPECT_EQ(Tavlin_SetWaitTime(h, -1), 0);
    EXPECT_EQ(Tavlin_SetWaitTime(h, 0), 1);
    EXPECT_EQ(Tavlin_GetWaitTime(h), 0);
    EXPECT_EQ(Tavlin_SetAutoIris(h, 2), 1);
    int32_t ok = 0;
    EXPECT_EQ(Tavlin_GetAutoIris(h, &ok), 2);
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(Tavlin_SetHalfClock(h, 7), 1);
    // Only the refused colour mode 10 was recorded; the silent refusals left no trace.
    EXPECT_EQ(Tavlin_GetLastError(h), 9);
    EXPECT_EQ(Tavlin_GetLastError(h), 0);
}

TEST_F(RegistryExportsTest, CallsOnDifferentCamerasRunConcurrently) {
    constexpr int kCameras = 4;
    std::vector<int32_t> hs;
    for (int i = 0; i < kCameras; ++i) hs.push_back(Open());
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < kCameras; ++i) {
        threads.emplace_back([&, i] {
            for (int n = 0; n < 2000; ++n) {
                if (Tavlin_SetWaitTime(hs[i], n) != 1 || Tavlin_GetWaitTime(hs[i]) != n) ++failures;
            }
        });
    }
    // Cameras come and go meanwhile without disturbing the others.
    for (int n = 0; n < 50; ++n) Tavlin_Release(Tavlin_Initialize(nullptr));
    for (auto& t : threads) t.join();
    EXPECT_EQ(failures.load(), 0);
}

}  // namespace
