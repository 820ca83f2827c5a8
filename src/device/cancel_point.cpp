#include "device/cancel_point.h"

namespace tavlin::device {

bool CancelPoint::Enter(DeviceFile* file) {
    std::lock_guard guard(mutex_);
    if (cancelled_) return false;
    file_ = file;
    return true;
}

void CancelPoint::Leave() {
    std::lock_guard guard(mutex_);
    file_ = nullptr;
}

void CancelPoint::Cancel() {
    std::lock_guard guard(mutex_);
    cancelled_ = true;
    // Under the lock: the reader cannot leave and close the file meanwhile.
    if (file_ != nullptr) file_->Cancel();
}

void CancelPoint::Rearm() {
    std::lock_guard guard(mutex_);
    cancelled_ = false;
}

bool CancelPoint::Cancelled() const {
    std::lock_guard guard(mutex_);
    return cancelled_;
}

}  // namespace tavlin::device
