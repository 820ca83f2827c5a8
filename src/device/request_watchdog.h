// Register and memory requests finish within milliseconds on a working camera. One that never
// returns (a hung driver or camera) is cancelled once it has run for the limit, so the call
// fails instead of holding its caller, and with it a stop or a close, for good.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <thread>

#include "device/device_file.h"

namespace tavlin::device {

class RequestWatchdog {
  public:
    using Clock = std::chrono::steady_clock;

    explicit RequestWatchdog(std::chrono::milliseconds limit);
    ~RequestWatchdog();
    RequestWatchdog(const RequestWatchdog&) = delete;
    RequestWatchdog& operator=(const RequestWatchdog&) = delete;

    // Watches one file while its requests run; a null watchdog watches nothing. The file must
    // outlive the watch.
    class Watch {
      public:
        Watch(RequestWatchdog* watchdog, DeviceFile* file);
        ~Watch();
        Watch(const Watch&) = delete;
        Watch& operator=(const Watch&) = delete;

      private:
        RequestWatchdog* watchdog_;
        uint64_t id_ = 0;
    };

    // How many requests it has cancelled so far.
    uint64_t Cancelled() const;

  private:
    struct Watched {
        DeviceFile* file;
        Clock::time_point deadline;
    };

    uint64_t Add(DeviceFile* file);
    void Remove(uint64_t id);
    void Run();

    const std::chrono::milliseconds limit_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::map<uint64_t, Watched> watched_;  // by id; ids grow, so the first deadline is first
    uint64_t nextId_ = 1;
    uint64_t cancelled_ = 0;
    bool stopping_ = false;
    std::thread thread_;  // started with the first watch
};

}  // namespace tavlin::device
