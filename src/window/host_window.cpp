#include "window/host_window.h"

#include <chrono>

namespace tavlin::platform {

bool MessageQueue::Post(const Message& message) {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        if (closed_ || messages_.size() >= kCapacity) return false;
        messages_.push_back(message);
    }
    arrived_.notify_one();
    return true;
}

bool MessageQueue::Get(Message& out, int32_t timeoutMs) {
    std::unique_lock<std::mutex> guard(mutex_);
    auto ready = [this] { return closed_ || !messages_.empty(); };
    if (timeoutMs < 0) {
        arrived_.wait(guard, ready);
    } else if (!arrived_.wait_for(guard, std::chrono::milliseconds(timeoutMs), ready)) {
        return false;
    }
    if (messages_.empty()) return false;
    out = messages_.front();
    messages_.pop_front();
    return true;
}

bool MessageQueue::Peek(Message& out) {
    return Get(out, 0);
}

size_t MessageQueue::Pending() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return messages_.size();
}

void MessageQueue::Close() {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        closed_ = true;
        messages_.clear();
    }
    arrived_.notify_all();
}

WindowRegistry& WindowRegistry::Instance() {
    static WindowRegistry registry;
    return registry;
}

WindowHandle WindowRegistry::Add(std::shared_ptr<HostWindow> window) {
    std::lock_guard<std::mutex> guard(mutex_);
    const WindowHandle handle = next_;
    next_ += 16;
    window->handle_ = handle;
    windows_.emplace(handle, std::move(window));
    return handle;
}

std::shared_ptr<HostWindow> WindowRegistry::Find(WindowHandle handle) const {
    std::lock_guard<std::mutex> guard(mutex_);
    const auto it = windows_.find(handle);
    return it == windows_.end() ? nullptr : it->second;
}

bool WindowRegistry::Remove(WindowHandle handle) {
    std::shared_ptr<HostWindow> removed;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        const auto it = windows_.find(handle);
        if (it == windows_.end()) return false;
        removed = std::move(it->second);
        windows_.erase(it);
    }
    removed->Queue().Close();
    removed->OnRemoved();
    return true;
}

MessageQueue& ThreadQueue() {
    thread_local MessageQueue queue;
    return queue;
}

bool PostMessageTo(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    const Message posted{window, message, wParam, lParam};
    if (window == 0) return ThreadQueue().Post(posted);
    const auto target = WindowRegistry::Instance().Find(window);
    return target != nullptr && target->Queue().Post(posted);
}

}  // namespace tavlin::platform
