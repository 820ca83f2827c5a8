#include "camera/error_reporter.h"

#include <algorithm>

namespace tavlin::camera {

void ErrorReporter::SetNotifyWindow(platform::WindowHandle window) {
    std::lock_guard<std::mutex> guard(mutex_);
    notifyWindow_ = window;
}

platform::WindowHandle ErrorReporter::NotifyWindow() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return notifyWindow_;
}

void ErrorReporter::Report(int32_t code) {
    platform::WindowHandle window = 0;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        std::copy_backward(history_.begin(), history_.end() - 1, history_.end());
        history_[0] = code;
        window = notifyWindow_;
    }
    // Recorded before it is posted, so a reader woken by the message finds the code.
    if (window != 0) platform::PostMessageTo(window, kMsgError, 0, code);
}

void ErrorReporter::PostOnly(int32_t code) {
    platform::PostMessageTo(NotifyWindow(), kMsgError, 0, code);
}

int32_t ErrorReporter::PopLast() {
    std::lock_guard<std::mutex> guard(mutex_);
    const int32_t newest = history_[0];
    std::copy(history_.begin() + 1, history_.end(), history_.begin());
    history_.back() = 0;
    return newest;
}

}  // namespace tavlin::camera
