// The acquisition thread of one camera and the flag that tells its loop to run, hold or stop.
// The loop polls the flag between frames; a stop also ends its pause between polls at once, so
// a long wait time never delays it.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <utility>

#include "platform/sync.h"
#include "platform/thread.h"

namespace tavlin::camera {

class AcquisitionThread {
  public:
    enum RunFlag : int32_t { kStop = 0, kRun = 1, kPaused = 2 };

    // False when the thread cannot be started.
    bool Start(std::function<void()> loop) {
        stopWake_.ResetEvent();
        return thread_.Start("tavlin-acquire", platform::ThreadPriority::Normal, std::move(loop));
    }
    // Tells the loop to stop and waits for the thread to end.
    void Stop() {
        flag_.store(kStop);
        stopWake_.Set();
        thread_.Join();
    }

    void SetFlag(RunFlag flag) { flag_.store(flag); }
    int32_t Flag() const { return flag_.load(); }
    // The loop's pause between polls; ends early when a stop comes.
    void PauseBetweenPolls(uint32_t milliseconds) { stopWake_.Wait(milliseconds); }

    // The first triggered frame after a start is not used.
    void SkipNextFrame() { skipNext_.store(1); }
    bool TakeSkip() { return skipNext_.exchange(0) != 0; }

  private:
    std::atomic<int32_t> flag_{kStop};
    platform::Event stopWake_{platform::Event::Reset::Manual};
    std::atomic<int32_t> skipNext_{0};
    platform::WorkerThread thread_;
};

}  // namespace tavlin::camera
