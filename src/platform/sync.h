// Locks and events in the shape the SDK's threads expect: recursive critical sections, and
// auto- or manual-reset events with timed waits.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace tavlin::platform {

// A Windows critical section is recursive: the owning thread may enter it again.
class CriticalSection {
  public:
    void Enter() { mutex_.lock(); }
    bool TryEnter() { return mutex_.try_lock(); }
    void Leave() { mutex_.unlock(); }

    // BasicLockable, so std::lock_guard / std::unique_lock work on it.
    void lock() { Enter(); }
    bool try_lock() { return TryEnter(); }
    void unlock() { Leave(); }

  private:
    std::recursive_mutex mutex_;
};

using ScopedLock = std::lock_guard<CriticalSection>;

inline constexpr uint32_t kInfinite = 0xFFFFFFFFu;

enum class WaitResult { Signaled, TimedOut };

// An event: Set() releases one waiter and resets itself (auto-reset), or stays set until
// Reset() (manual-reset).
class Event {
  public:
    enum class Reset { Auto, Manual };

    explicit Event(Reset mode, bool initiallySet = false)
        : manual_(mode == Reset::Manual), set_(initiallySet) {}

    void Set() {
        {
            std::lock_guard<std::mutex> guard(mutex_);
            set_ = true;
        }
        if (manual_) {
            cond_.notify_all();
        } else {
            cond_.notify_one();
        }
    }

    void ResetEvent() {
        std::lock_guard<std::mutex> guard(mutex_);
        set_ = false;
    }

    bool IsSet() const {
        std::lock_guard<std::mutex> guard(mutex_);
        return set_;
    }

    // Waits up to timeoutMs milliseconds (kInfinite: no limit).
    WaitResult Wait(uint32_t timeoutMs = kInfinite) {
        std::unique_lock<std::mutex> guard(mutex_);
        auto ready = [this] { return set_; };
        if (timeoutMs == kInfinite) {
            cond_.wait(guard, ready);
        } else if (!cond_.wait_for(guard, std::chrono::milliseconds(timeoutMs), ready)) {
            return WaitResult::TimedOut;
        }
        if (!manual_) set_ = false;
        return WaitResult::Signaled;
    }

  private:
    const bool manual_;
    bool set_;
    mutable std::mutex mutex_;
    std::condition_variable cond_;
};

}  // namespace tavlin::platform
