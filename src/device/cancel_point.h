// Where a blocking request on a device file can be cancelled from another thread. The reading
// thread enters with the file it is about to block on and leaves before closing it; Cancel
// cancels the file entered (so the request fails at once) and refuses every later Enter until
// the owner re-arms it, so a reader that was about to start cannot slip past a cancel.
#pragma once

#include <mutex>

#include "device/device_file.h"

namespace tavlin::device {

class CancelPoint {
  public:
    // False when a cancel is pending: the caller must not start its request.
    bool Enter(DeviceFile* file);
    void Leave();
    void Cancel();
    void Rearm();
    bool Cancelled() const;

  private:
    mutable std::mutex mutex_;
    DeviceFile* file_ = nullptr;  // guarded by mutex_; alive while entered
    bool cancelled_ = false;
};

}  // namespace tavlin::device
