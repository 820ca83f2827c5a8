#include "camera/error_reporter.h"

#include <algorithm>
#include <cstring>

#include "camera/error_texts.h"
#include "diag/log.h"

namespace tavlin::camera {

void ErrorReporter::SetNotifyWindow(platform::WindowHandle window) {
    std::lock_guard<std::mutex> guard(mutex_);
    notifyWindow_ = window;
}

platform::WindowHandle ErrorReporter::NotifyWindow() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return notifyWindow_;
}

namespace {

void LogReported(int32_t code, const diag::Where& where, const char* how) {
    if (!diag::On(diag::Category::Camera, diag::Level::Warn)) return;
    const char* file = std::strrchr(where.file, '/');
    file = file != nullptr ? file + 1 : where.file;
    TAVLIN_LOG(Camera, Warn, "error %d %s in %s (%s:%d): %s", code, how, where.function, file,
               where.line, FindErrorText(code).text);
}

}  // namespace

void ErrorReporter::Report(int32_t code, diag::Where where) {
    LogReported(code, where, "recorded");
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

void ErrorReporter::PostOnly(int32_t code, diag::Where where) {
    LogReported(code, where, "posted");
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
