// Keeps SIGXFSZ from ending the process while the SDK writes a file. A write past the file size
// limit (RLIMIT_FSIZE) raises it at the writing thread, and its default action kills the whole
// application; the SDK reports the failed write (EFBIG) as a failed save or recording instead.
//
// For its lifetime the guard blocks the signal in the calling thread; on leaving it discards a
// SIGXFSZ raised meanwhile (one already pending before is left alone) and restores the mask.
#pragma once

#include <signal.h>

namespace tavlin::platform {

class FileSizeSignalGuard {
  public:
    FileSizeSignalGuard();
    ~FileSizeSignalGuard();
    FileSizeSignalGuard(const FileSizeSignalGuard&) = delete;
    FileSizeSignalGuard& operator=(const FileSizeSignalGuard&) = delete;

  private:
    sigset_t previousMask_{};
    bool pendingBefore_ = false;
    bool active_ = false;
};

}  // namespace tavlin::platform
