#include "camera/frame_accounting.h"

#include <algorithm>
#include <chrono>

namespace tavlin::camera {

void FrameAccounting::Start() {
    std::lock_guard<std::mutex> guard(lock_);
    counts_ = FrameCounts{};
    counts_.acquiring = true;
    settledReads_ = 0;
    settledFailed_ = 0;
    Settled();
}

void FrameAccounting::Stop() {
    std::lock_guard<std::mutex> guard(lock_);
    counts_.acquiring = false;
    Settled();
}

bool FrameAccounting::IsNew(const device::FrameStamp& frame) const {
    std::lock_guard<std::mutex> guard(lock_);
    return frame.sequence > settledReads_;
}

void FrameAccounting::SettleBefore(const device::FrameStamp& frame) {
    if (frame.sequence <= settledReads_ + 1) return;
    const uint64_t reads = frame.sequence - 1 - settledReads_;
    const uint64_t failed =
        std::min(reads, frame.failedBefore > settledFailed_ ? frame.failedBefore - settledFailed_
                                                            : uint64_t{0});
    counts_.delivered += reads;
    counts_.failed += failed;
    counts_.skipped += reads - failed;
    settledReads_ = frame.sequence - 1;
    settledFailed_ += failed;
}

void FrameAccounting::RingFrameProcessed(const device::FrameStamp& frame) {
    std::lock_guard<std::mutex> guard(lock_);
    if (frame.sequence <= settledReads_) return;
    SettleBefore(frame);
    ++counts_.delivered;
    ++counts_.processed;
    settledReads_ = frame.sequence;
    counts_.sequence = frame.sequence;
    counts_.timestampNs = frame.arrivalNs;
    Settled();
}

void FrameAccounting::RingFrameFailed(const device::FrameStamp& frame) {
    std::lock_guard<std::mutex> guard(lock_);
    if (frame.sequence <= settledReads_) return;
    SettleBefore(frame);
    ++counts_.delivered;
    ++counts_.failed;
    settledReads_ = frame.sequence;
    Settled();
}

void FrameAccounting::SettleRun(const device::TransferTally& totals) {
    std::lock_guard<std::mutex> guard(lock_);
    // As if a frame followed the last read, with every failure of the run before it.
    SettleBefore(device::FrameStamp{totals.reads + 1, totals.failed, 0});
    Settled();
}

void FrameAccounting::SingleFrameProcessed(int64_t arrivalNs) {
    std::lock_guard<std::mutex> guard(lock_);
    ++counts_.delivered;
    ++counts_.processed;
    counts_.sequence = counts_.delivered;
    counts_.timestampNs = arrivalNs;
    Settled();
}

void FrameAccounting::SingleFrameFailed() {
    std::lock_guard<std::mutex> guard(lock_);
    ++counts_.delivered;
    ++counts_.failed;
    Settled();
}

void FrameAccounting::SingleFrameSkipped() {
    std::lock_guard<std::mutex> guard(lock_);
    ++counts_.delivered;
    ++counts_.skipped;
    Settled();
}

FrameCounts FrameAccounting::Snapshot() const {
    std::lock_guard<std::mutex> guard(lock_);
    return counts_;
}

FrameAccounting::Wait FrameAccounting::WaitForFrame(uint64_t after, int32_t timeoutMs) const {
    std::unique_lock<std::mutex> guard(lock_);
    auto decided = [&] { return counts_.sequence > after || !counts_.acquiring; };
    if (timeoutMs < 0) {
        changed_.wait(guard, decided);
    } else if (!changed_.wait_for(guard, std::chrono::milliseconds(timeoutMs), decided)) {
        return Wait::TimedOut;
    }
    return counts_.sequence > after ? Wait::Frame : Wait::Stopped;
}

// Called with lock_ held after every change: waiters re-check their condition.
void FrameAccounting::Settled() {
    changed_.notify_all();
}

}  // namespace tavlin::camera
