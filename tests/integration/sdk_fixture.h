// A camera opened through the C ABI on a virtual camera, with its own settings folder and
// message window. The camera is reached in-process, or over the emulated USB bus when the
// fixture runs with the USB transport.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "integration/transport_under_test.h"
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
        PlugCamera(0);
        if (HasFatalFailure()) return;
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
        UnplugAllCameras();
        std::filesystem::remove_all(home_);
    }

    // The transport the fixture reaches its cameras through.
    virtual Transport Reach() const { return Transport::kInProcess; }

    // A fresh, powered-on virtual camera at the index, paced fast, presented over the transport.
    void PlugCamera(int32_t index) {
        ASSERT_EQ(TavlinVcam_Attach(index), 1);
        TavlinVcam_SetPacing(index, TAVLIN_VCAM_PACING_FAST);
        ASSERT_TRUE(Present(Reach(), index)) << "camera " << index << " not presented";
    }

    // The camera at the index pulled out: its requests fail and it leaves the bus.
    void UnplugCamera(int32_t index) {
        TavlinVcam_Detach(index);
        Withdraw(Reach(), index);
    }

    void UnplugAllCameras() {
        for (int32_t i = 0; i < 32; ++i) Withdraw(Reach(), i);
        TavlinVcam_DetachAll();
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

// The same fixture run once per transport under test (see TransportsUnderTest).
class TransportTest : public SdkTest, public ::testing::WithParamInterface<Transport> {
  protected:
    Transport Reach() const override { return GetParam(); }
};

#define TAVLIN_INSTANTIATE_TRANSPORTS(Fixture)                                          \
    INSTANTIATE_TEST_SUITE_P(Over, Fixture, ::testing::ValuesIn(TransportsUnderTest()), \
                             TransportName)

}  // namespace tavlin::test
