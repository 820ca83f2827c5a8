#include "device/request_watchdog.h"

#include "diag/log.h"

namespace tavlin::device {

RequestWatchdog::RequestWatchdog(std::chrono::milliseconds limit) : limit_(limit) {}

RequestWatchdog::~RequestWatchdog() {
    {
        std::lock_guard guard(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

RequestWatchdog::Watch::Watch(RequestWatchdog* watchdog, DeviceFile* file)
    : watchdog_(file != nullptr ? watchdog : nullptr) {
    if (watchdog_ != nullptr) id_ = watchdog_->Add(file);
}

RequestWatchdog::Watch::~Watch() {
    if (watchdog_ != nullptr) watchdog_->Remove(id_);
}

uint64_t RequestWatchdog::Cancelled() const {
    std::lock_guard guard(mutex_);
    return cancelled_;
}

uint64_t RequestWatchdog::Add(DeviceFile* file) {
    std::lock_guard guard(mutex_);
    if (!thread_.joinable()) {
        thread_ = std::thread([this, camera = diag::CurrentCamera()] {
            const diag::CameraScope scope(camera);
            Run();
        });
    }
    const uint64_t id = nextId_++;
    watched_.emplace(id, Watched{file, Clock::now() + limit_});
    wake_.notify_all();
    return id;
}

void RequestWatchdog::Remove(uint64_t id) {
    // Cancelling happens under the same lock, so once this returns the file is no longer used.
    std::lock_guard guard(mutex_);
    watched_.erase(id);
}

void RequestWatchdog::Run() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        if (watched_.empty()) {
            wake_.wait(lock);
            continue;
        }
        auto first = watched_.begin();
        // A copy: the entry may be removed while this waits.
        const Clock::time_point deadline = first->second.deadline;
        if (Clock::now() < deadline) {
            wake_.wait_until(lock, deadline);
            continue;
        }
        // Cancelling makes the pending request and every later one on this file fail; the
        // caller then closes the file and reports the failure.
        first->second.file->Cancel();
        ++cancelled_;
        TAVLIN_LOG(Device, Warn, "watchdog cancelled a request that ran past its %lld ms limit",
                   static_cast<long long>(
                       std::chrono::duration_cast<std::chrono::milliseconds>(limit_).count()));
        watched_.erase(first);
    }
}

}  // namespace tavlin::device
