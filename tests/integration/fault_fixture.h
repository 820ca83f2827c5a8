// Driver faults injected through the virtual camera: a camera opened through the C ABI, the
// process's descriptors and threads counted before and after, the device claim checked free, and
// calls that must come back promptly run under a watchdog.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "camera/device_claims.h"
#include "integration/sdk_fixture.h"
#include "support/process_resources.h"

namespace tavlin::test {

// The promptness bound of stop and close; generous, so a loaded machine never trips it, while
// a call that waits for the camera (seconds, or for ever) does.
inline constexpr std::chrono::milliseconds kPrompt{2000};

// Runs the call on a thread of its own; true when it returned within the limit. A call that
// does not come back within a minute would hang the suite: the process is ended instead.
template <typename Call>
bool ReturnsWithin(std::chrono::milliseconds limit, Call call, int32_t* result = nullptr) {
    std::packaged_task<int32_t()> task([&] { return static_cast<int32_t>(call()); });
    auto done = task.get_future();
    std::thread runner(std::move(task));
    const bool prompt = done.wait_for(limit) == std::future_status::ready;
    if (!prompt && done.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
        ADD_FAILURE() << "call still blocked after a minute";
        std::fflush(stdout);
        std::_Exit(1);
    }
    runner.join();
    if (result != nullptr) *result = done.get();
    return prompt;
}

// A claim on the device in either table: this process's (cameras attached here) or the shared one.
inline bool DeviceClaimed(int32_t deviceNumber) {
    if (camera::ProcessClaimTable::Instance().Claimed(deviceNumber)) return true;
    camera::ClaimTable table;
    return table.Open(camera::SharedSectionName().c_str()) && table.Claimed(deviceNumber);
}

// Waits until the virtual camera holds at least `count` requests blocked (stalled or hung).
inline bool WaitForBlockedRequests(int32_t index, uint32_t count, int32_t timeoutMs = 5000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    uint32_t waiting = 0;
    while (std::chrono::steady_clock::now() < end) {
        if (TavlinVcam_GetWaitingRequests(index, &waiting) == 1 && waiting >= count) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
}

class FaultTest : public TransportTest {
  protected:
    void SetUp() override {
        TransportTest::SetUp();
        if (HasFatalFailure()) return;
        frame_.assign(1280 * 1024 * 4, 0);
        // Warm-up: the first stream starts what the library keeps for the process.
        StartStream();
        ExpectFrames(2);
        Tavlin_StopPreview(camera_);
        ClearFrameMessages();
        ClearErrors();
        ASSERT_TRUE(Settle(Reach()));
        baseline_ = SteadyResources();
    }

    void StartStream() {
        ASSERT_EQ(Tavlin_CallBackPreview(camera_, frames_, frame_.data(),
                                         static_cast<int32_t>(frame_.size()), 1),
                  1);
    }

    // Waits for `count` delivered frames; stream failures on the way are collected.
    void ExpectFrames(int count, int32_t timeoutMs = 5000) {
        int seen = 0;
        TavlinMessage m;
        while (seen < count && NextFrameMessage(m, timeoutMs)) {
            if (m.message != TAVLIN_MSG_FRAME) continue;
            if (m.wParam != 0) {
                ++seen;
            } else {
                streamFailures_.push_back(static_cast<int32_t>(m.lParam));
            }
        }
        ASSERT_EQ(seen, count) << "frames delivered";
    }

    // Waits for a stream failure message with the code (frames on the way are skipped).
    bool ExpectStreamFailure(int32_t code, int32_t timeoutMs = 8000) {
        TavlinMessage m;
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (std::chrono::steady_clock::now() < end) {
            if (!NextFrameMessage(m, 200)) continue;
            if (m.message == TAVLIN_MSG_FRAME && m.wParam == 0) {
                streamFailures_.push_back(static_cast<int32_t>(m.lParam));
                if (m.lParam == code) return true;
            }
        }
        return false;
    }

    void ClearFrameMessages() {
        TavlinMessage m;
        while (TavlinHost_PeekMessage(frames_, &m)) {
        }
        streamFailures_.clear();
    }

    // Error notifications posted to the camera's window since the last call, oldest first.
    std::vector<int32_t> PostedErrors() {
        std::vector<int32_t> codes;
        TavlinMessage m;
        while (TavlinHost_PeekMessage(window_, &m)) {
            if (m.message == TAVLIN_MSG_ERROR) codes.push_back(static_cast<int32_t>(m.lParam));
        }
        return codes;
    }

    // The error history once a worker's report has landed: codes are recorded, then posted, so
    // after the notification the history holds them. Drains both.
    std::vector<int32_t> ReportedErrors(int32_t timeoutMs = 3000) {
        TavlinMessage m;
        while (TavlinHost_GetMessage(window_, &m, timeoutMs) == 1 &&
               m.message != TAVLIN_MSG_ERROR) {
        }
        std::vector<int32_t> codes = Errors();
        PostedErrors();
        return codes;
    }

    bool StopsPromptly() {
        int32_t result = 0;
        const bool prompt = ReturnsWithin(
            kPrompt, [&] { return Tavlin_StopPreview(camera_); }, &result);
        return prompt && result == 1;
    }

    bool ClosesPromptly() {
        int32_t result = 0;
        const bool prompt = ReturnsWithin(
            kPrompt, [&] { return Tavlin_Close(camera_); }, &result);
        return prompt && result == 1;
    }

    // Nothing left behind: the device is not claimed, descriptors and threads are back to the
    // idle camera's, and a fresh stream delivers frames.
    void ExpectCleanAndRestartable() {
        EXPECT_FALSE(DeviceClaimed(0)) << "claim left behind";
        EXPECT_TRUE(Settle(Reach())) << "transport still holds the camera";
        EXPECT_EQ(SettledDescriptors(baseline_.descriptors), baseline_.descriptors)
            << "descriptors, baseline " << baseline_.ToString();
        EXPECT_EQ(SettledThreadCount(baseline_.threads), baseline_.threads)
            << "threads, baseline " << baseline_.ToString() << "; now: " << ThreadNames();
        ClearErrors();
        ClearFrameMessages();
        StartStream();
        ExpectFrames(3);
        EXPECT_TRUE(StopsPromptly());
        EXPECT_EQ(Errors(), std::vector<int32_t>{});
    }

    std::vector<uint8_t> frame_;
    std::vector<int32_t> streamFailures_;
    ProcessResources baseline_;
};

}  // namespace tavlin::test
