// A camera opened through the C ABI on an in-process virtual camera, with its own settings
// folder and message window.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tavlin/tavlin.h"
#include "tavlin/tavlin_host.h"
#include "tavlin/tavlin_vcam.h"

namespace tavlin::test {

// A frame record as posted: the acquisition thread may rewrite it later, so it is read with
// atomic loads, as an application on another thread should.
inline TavlinFrameInfo ReadRecord(const TavlinFrameInfo* posted) {
    TavlinFrameInfo copy{};
    copy.size = __atomic_load_n(&posted->size, __ATOMIC_RELAXED);
    copy.width = __atomic_load_n(&posted->width, __ATOMIC_RELAXED);
    copy.height = __atomic_load_n(&posted->height, __ATOMIC_RELAXED);
    copy.bitsPerPixel = __atomic_load_n(&posted->bitsPerPixel, __ATOMIC_RELAXED);
    copy.frameRate = __atomic_load_n(&posted->frameRate, __ATOMIC_RELAXED);
    copy.buffer = __atomic_load_n(&posted->buffer, __ATOMIC_RELAXED);
    return copy;
}

class SdkTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* base = getenv("TAVLIN_TEST_TMP");
        home_ = std::filesystem::path(base ? base : "/tmp") /
                ("sdk-" + std::to_string(getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(home_);
        std::filesystem::create_directories(home_);
        setenv("XDG_CONFIG_HOME", home_.c_str(), 1);
        TavlinVcam_DetachAll();
        ASSERT_EQ(TavlinVcam_Attach(0), 1);
        TavlinVcam_SetPacing(0, TAVLIN_VCAM_PACING_FAST);
        window_ = TavlinHost_CreateMessageWindow();
        frames_ = TavlinHost_CreateMessageWindow();
        if (openCamera_) Open();
    }

    void TearDown() override {
        if (camera_ != 0) {
            EXPECT_EQ(Tavlin_Release(camera_), 1);
        }
        TavlinHost_DestroyWindow(window_);
        TavlinHost_DestroyWindow(frames_);
        TavlinVcam_DetachAll();
        std::filesystem::remove_all(home_);
    }

    void Open() {
        camera_ = Tavlin_Initialize(window_);
        ASSERT_NE(camera_, 0);
        ClearErrors();
    }

    void ClearErrors() {
        while (Tavlin_GetLastError(camera_) != 0) {
        }
        TavlinMessage m;
        while (TavlinHost_PeekMessage(window_, &m)) {
        }
    }

    std::vector<int32_t> Errors() {
        std::vector<int32_t> codes;
        for (int32_t c = Tavlin_GetLastError(camera_); c != 0; c = Tavlin_GetLastError(camera_)) {
            codes.push_back(c);
        }
        return codes;
    }

    // Waits for the next frame-window message; false on time-out.
    bool NextFrameMessage(TavlinMessage& m, int32_t timeoutMs = 5000) {
        return TavlinHost_GetMessage(frames_, &m, timeoutMs) == 1;
    }

    std::filesystem::path home_;
    bool openCamera_ = true;
    int32_t camera_ = 0;
    TAVLIN_HWND window_ = nullptr;
    TAVLIN_HWND frames_ = nullptr;
};

}  // namespace tavlin::test
