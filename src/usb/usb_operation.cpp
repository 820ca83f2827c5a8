#include "usb/usb_operation.h"

#include <algorithm>
#include <limits>

namespace tavlin::usb {

Operation::Operation(const void* file, const std::vector<uint32_t>& lengths, uint16_t maxPacket)
    : file_(file), maxPacket_(maxPacket), pieces_(lengths.size()) {
    uint64_t total = 0;
    for (size_t i = 0; i < lengths.size(); ++i) {
        pieces_[i].length = lengths[i];
        total += lengths[i];
    }
    requested_ = static_cast<uint32_t>(std::min<uint64_t>(total, UINT32_MAX));
}

void Operation::Start(PieceIo& io) {
    std::lock_guard guard(mutex_);
    io_ = &io;
    lastProgress_ = std::chrono::steady_clock::now();
    SubmitMore();
}

Outcome Operation::Wait(uint32_t inactivityMs, uint32_t* moved, uint32_t quietEndMs) {
    std::unique_lock lock(mutex_);
    while (inFlight_ > 0 || (!stopping_ && next_ < pieces_.size())) {
        // The quiet end applies once the device has started to answer; it never fails a request.
        const bool quietEnds = quietEndMs > 0 && moved_ > 0;
        const uint32_t limitMs = quietEnds && (inactivityMs == 0 || quietEndMs < inactivityMs)
                                     ? quietEndMs
                                     : inactivityMs;
        if (limitMs == 0 || stopping_) {
            changed_.wait(lock);
            continue;
        }
        const auto deadline = lastProgress_ + std::chrono::milliseconds(limitMs);
        if (changed_.wait_until(lock, deadline) == std::cv_status::timeout && !stopping_ &&
            std::chrono::steady_clock::now() >=
                lastProgress_ + std::chrono::milliseconds(limitMs)) {
            Stop(quietEnds && limitMs == quietEndMs ? Outcome::kShort : Outcome::kTimedOut);
        }
    }
    *moved = moved_;
    return outcome_;
}

void Operation::Abort(Outcome why) {
    std::lock_guard guard(mutex_);
    if (!stopping_) Stop(why);
    changed_.notify_all();
}

void Operation::Complete(size_t index, PieceStatus status, uint32_t actual) {
    std::lock_guard guard(mutex_);
    Piece& piece = pieces_[index];
    piece.finished = true;
    --inFlight_;
    if (!stopping_) {
        switch (status) {
            case PieceStatus::kCompleted:
                moved_ += actual;
                lastProgress_ = std::chrono::steady_clock::now();
                if (actual < piece.length) {
                    // The frame ended early: what is queued behind belongs to no frame.
                    Stop(Outcome::kShort);
                } else {
                    SubmitMore();
                }
                break;
            case PieceStatus::kOverflow: {
                // More than asked for: reported longer than the request, so the caller sees a
                // long frame.
                const uint64_t longer = uint64_t{requested_} + std::max<uint16_t>(maxPacket_, 1);
                moved_ = static_cast<uint32_t>(
                    std::min<uint64_t>(longer, std::numeric_limits<uint32_t>::max()));
                Stop(Outcome::kLong);
                break;
            }
            case PieceStatus::kNoDevice:
                Stop(Outcome::kGone);
                break;
            case PieceStatus::kTimedOut:
                Stop(Outcome::kTimedOut);
                break;
            case PieceStatus::kCancelled:
                Stop(Outcome::kCancelled);
                break;
            case PieceStatus::kStall:
                Stop(Outcome::kStalled);
                break;
            case PieceStatus::kError:
                Stop(Outcome::kFailed);
                break;
        }
    }
    // Under the lock: once the waiter sees the last piece, the operation may be destroyed.
    changed_.notify_all();
}

void Operation::SubmitMore() {
    while (!stopping_ && next_ < pieces_.size()) {
        const SubmitResult result = io_->Submit(next_);
        if (result == SubmitResult::kOk) {
            pieces_[next_].submitted = true;
            ++next_;
            ++inFlight_;
            continue;
        }
        // The kernel's buffer budget is spent: the rest follow as pieces complete.
        if (result == SubmitResult::kNoMemory && inFlight_ > 0) return;
        Stop(result == SubmitResult::kNoDevice ? Outcome::kGone : Outcome::kFailed);
    }
}

void Operation::Stop(Outcome why) {
    stopping_ = true;
    outcome_ = why;
    if (io_ == nullptr) return;
    for (size_t i = 0; i < pieces_.size(); ++i) {
        if (pieces_[i].submitted && !pieces_[i].finished) io_->Cancel(i);
    }
}

bool CameraRequests::CancelledLocked(const void* file) const {
    return std::find(cancelledFiles_.begin(), cancelledFiles_.end(), file) != cancelledFiles_.end();
}

bool CameraRequests::Begin(Operation& operation) {
    std::lock_guard guard(mutex_);
    if (gone_ || CancelledLocked(operation.File())) return false;
    operations_.push_back(&operation);
    return true;
}

void CameraRequests::End(Operation& operation) {
    std::lock_guard guard(mutex_);
    std::erase(operations_, &operation);
}

void CameraRequests::CancelFile(const void* file) {
    std::lock_guard guard(mutex_);
    if (!CancelledLocked(file)) cancelledFiles_.push_back(file);
    for (Operation* operation : operations_) {
        if (operation->File() == file) operation->Abort(Outcome::kCancelled);
    }
}

void CameraRequests::ForgetFile(const void* file) {
    std::lock_guard guard(mutex_);
    std::erase(cancelledFiles_, file);
}

void CameraRequests::MarkGone() {
    std::lock_guard guard(mutex_);
    gone_ = true;
    for (Operation* operation : operations_) operation->Abort(Outcome::kGone);
}

bool CameraRequests::Usable(const void* file) {
    std::lock_guard guard(mutex_);
    return !gone_ && !CancelledLocked(file);
}

}  // namespace tavlin::usb
