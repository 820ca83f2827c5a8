#include "dialogs/dialog_registry.h"

#include <algorithm>
#include <chrono>

#include "dialogs/modal_run.h"

namespace tavlin::dialogs {

DialogRegistry& DialogRegistry::Instance() {
    static DialogRegistry registry;
    return registry;
}

void DialogRegistry::AddWindow(platform::WindowHandle window, std::weak_ptr<ModalRun> run) {
    std::lock_guard<std::mutex> guard(mutex_);
    windows_[window] = std::move(run);
}

void DialogRegistry::RemoveWindow(platform::WindowHandle window) {
    std::lock_guard<std::mutex> guard(mutex_);
    windows_.erase(window);
}

std::shared_ptr<ModalRun> DialogRegistry::RunOf(platform::WindowHandle window) const {
    std::lock_guard<std::mutex> guard(mutex_);
    const auto found = windows_.find(window);
    return found == windows_.end() ? nullptr : found->second.lock();
}

void DialogRegistry::Opened(const std::shared_ptr<ModalRun>& run) {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        open_.push_back(run);
    }
    changed_.notify_all();
}

void DialogRegistry::Closed(const ModalRun* run) {
    std::lock_guard<std::mutex> guard(mutex_);
    std::erase_if(open_, [run](const std::weak_ptr<ModalRun>& entry) {
        const auto live = entry.lock();
        return live == nullptr || live.get() == run;
    });
}

std::shared_ptr<ModalRun> DialogRegistry::FindLocked(
    const std::function<bool(const ModalRun&)>& matches) const {
    for (const auto& entry : open_) {
        const auto run = entry.lock();
        if (run != nullptr && !run->Ended() && matches(*run)) return run;
    }
    return nullptr;
}

std::shared_ptr<ModalRun> DialogRegistry::WaitForRun(
    const std::function<bool(const ModalRun&)>& matches, int32_t timeoutMs) const {
    std::unique_lock<std::mutex> guard(mutex_);
    std::shared_ptr<ModalRun> found;
    auto ready = [&] { return (found = FindLocked(matches)) != nullptr; };
    if (timeoutMs < 0) {
        changed_.wait(guard, ready);
    } else {
        changed_.wait_for(guard, std::chrono::milliseconds(timeoutMs), ready);
    }
    return found;
}

}  // namespace tavlin::dialogs
