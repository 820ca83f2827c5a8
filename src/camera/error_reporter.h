// A camera's error history (20 entries, newest first) and its error notifications.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>

#include "diag/log.h"
#include "window/host_window.h"

namespace tavlin::camera {

inline constexpr uint32_t kMsgFrame = 0x8002;  // frame notice / stream failure
inline constexpr uint32_t kMsgError = 0x8003;  // error notification

class ErrorReporter {
  public:
    static constexpr size_t kHistorySize = 20;

    void SetNotifyWindow(platform::WindowHandle window);
    platform::WindowHandle NotifyWindow() const;

    // Records the code as the newest entry (the oldest is lost when full), then posts the error
    // notification if a notification window is set.
    // The log names the code and where it was reported.
    void Report(int32_t code, diag::Where where = {});
    // Posts the error notification without recording; a null window lands in the calling
    // thread's own queue.
    void PostOnly(int32_t code, diag::Where where = {});
    // Removes and returns the newest recorded code, 0 when none.
    int32_t PopLast();

  private:
    mutable std::mutex mutex_;  // worker threads and application threads report concurrently
    std::array<int32_t, kHistorySize> history_{};
    platform::WindowHandle notifyWindow_ = 0;
};

}  // namespace tavlin::camera
