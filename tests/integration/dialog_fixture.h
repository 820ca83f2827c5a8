// A camera on the virtual camera whose property dialogs a test opens on a second thread and
// drives through the automation interface, as a user would.
#pragma once

#include <atomic>
#include <chrono>
#include <climits>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "integration/sdk_fixture.h"
#include "settings/preset_list.h"

namespace tavlin::test {

class DialogTest : public SdkTest {
  protected:
    using DialogExport = int32_t (*)(int32_t, TAVLIN_HWND);

    // The claim table is machine-wide: a device number other suites do not use keeps a suite
    // running elsewhere from holding the camera these tests preview.
    static constexpr int32_t kDevice = 9;

    DialogTest() { openCamera_ = false; }

    void SetUp() override {
        SdkTest::SetUp();
        // Cameras are found when a camera object is made: attach before opening.
        ASSERT_EQ(TavlinVcam_Attach(kDevice), 1);
        TavlinVcam_SetPacing(kDevice, TAVLIN_VCAM_PACING_FAST);
        Reopen();
    }

    // Opens the camera again (after a release) on the tests' device.
    void Reopen() {
        Open();
        ASSERT_EQ(Tavlin_SetDeviceNumber(camera_, kDevice), 1);
        ClearErrors();
    }

    void TearDown() override {
        // A test that failed half-way must not leave its dialog (and thread) behind.
        if (runner_.joinable()) {
            TavlinHost_DialogClose(dialog_);
            runner_.join();
        }
        SdkTest::TearDown();
    }

    // Opens the dialog of the export for the camera on a thread of its own and waits for it.
    void OpenDialog(DialogExport open) {
        result_ = -1;
        runner_ = std::thread([this, open] { result_ = open(camera_, nullptr); });
        dialog_ = TavlinHost_FindCameraDialog(camera_, 5000);
        ASSERT_NE(dialog_, nullptr);
    }

    // Waits for the dialog's export to return and gives its result.
    int32_t Finish() {
        runner_.join();
        return result_;
    }

    int32_t CloseWith(int32_t buttonId) {
        EXPECT_EQ(TavlinHost_DialogClick(dialog_, buttonId), 1);
        return Finish();
    }

    std::string Text(int32_t id, TAVLIN_HWND dialog = nullptr) {
        char buffer[256] = {};
        const int32_t length =
            TavlinHost_DialogGetItemText(dialog ? dialog : dialog_, id, buffer, sizeof buffer);
        return length < 0 ? "<missing>" : std::string(buffer);
    }

    std::string Entry(int32_t id, int32_t index) {
        char buffer[256] = {};
        const int32_t length =
            TavlinHost_DialogGetEntryText(dialog_, id, index, buffer, sizeof buffer);
        return length < 0 ? "<missing>" : std::string(buffer);
    }

    int32_t Value(int32_t id) {
        int32_t value = INT32_MIN;
        TavlinHost_DialogGetItemValue(dialog_, id, &value);
        return value;
    }

    bool Type(int32_t id, const char* text) {
        return TavlinHost_DialogSetItemText(dialog_, id, text) == 1;
    }

    uint16_t SensorRegister(int32_t reg) {
        uint16_t value = 0;
        EXPECT_EQ(TavlinVcam_ReadSensorRegister(kDevice, reg, &value), 1);
        return value;
    }

    // Sensor register writes per register since the trace was last cleared.
    std::map<int32_t, int32_t> SensorWrites() {
        uint32_t count = 0;
        TavlinVcam_GetTraceCount(kDevice, &count);
        std::vector<TavlinVcamTraceEntry> trace(count);
        const int32_t copied = TavlinVcam_GetTrace(kDevice, 0, trace.data(), count);
        std::map<int32_t, int32_t> writes;
        for (int32_t i = 0; i < copied; ++i) {
            const TavlinVcamTraceEntry& e = trace[static_cast<size_t>(i)];
            if (e.pipe == 0 && e.data[0] == 0x04) ++writes[e.data[1]];
        }
        return writes;
    }

    // Polls until the condition holds, up to timeoutMs.
    static bool Eventually(const std::function<bool()>& condition, int32_t timeoutMs = 5000) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (std::chrono::steady_clock::now() < end) {
            if (condition()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return condition();
    }

    void StartPreview() {
        ASSERT_EQ(Tavlin_CallBackPreview(camera_, frames_, nullptr, 0, 0), 1)
            << ::testing::PrintToString(Errors());
        TavlinMessage m;
        ASSERT_TRUE(NextFrameMessage(m));
    }

    // Frames that arrive within the time, discarding older messages first.
    int32_t FramesWithin(int32_t milliseconds) {
        TavlinMessage m;
        while (TavlinHost_PeekMessage(frames_, &m)) {
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
        int32_t frames = 0;
        while (TavlinHost_PeekMessage(frames_, &m)) frames += m.wParam != 0 ? 1 : 0;
        return frames;
    }

    std::thread runner_;
    std::atomic<int32_t> result_{-1};
    TAVLIN_HWND dialog_ = nullptr;
};

}  // namespace tavlin::test
