// Counts what becomes of every frame the device delivers during one acquisition, and lets
// application threads wait for the next processed frame.
//
// Every event settles frames under one lock: the delivered count and exactly one of processed,
// skipped or failed move together, so any snapshot has delivered == processed + skipped + failed.
// Ring frames are settled when the camera takes one: the frames before it that it never took were
// skipped (or failed, as the device's stamp says); the run's remaining frames are settled when
// the run ends.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "device/transfer_block.h"

namespace tavlin::camera {

struct FrameCounts {
    bool acquiring = false;
    uint64_t delivered = 0;
    uint64_t processed = 0;
    uint64_t skipped = 0;
    uint64_t failed = 0;
    uint64_t sequence = 0;  // of the current image; 0 when none since the start
    int64_t timestampNs = 0;
};

class FrameAccounting {
  public:
    enum class Wait { Frame, Stopped, TimedOut };

    // An acquisition starts: counts and the current image's number return to 0.
    void Start();
    // The acquisition ends (or its stream did): waiters learn of it at once.
    void Stop();

    // Ring frames, by the device's stamp. A frame whose number is not above the last one
    // settled has been seen before and must not be counted or processed again.
    bool IsNew(const device::FrameStamp& frame) const;
    void RingFrameProcessed(const device::FrameStamp& frame);
    void RingFrameFailed(const device::FrameStamp& frame);
    // Settles every read of the run up to its totals (idempotent); the ones not taken were
    // skipped unless they failed.
    void SettleRun(const device::TransferTally& totals);

    // Single-frame reads (snapshots, trigger mode): each is one delivered frame.
    void SingleFrameProcessed(int64_t arrivalNs);
    void SingleFrameFailed();
    void SingleFrameSkipped();

    FrameCounts Snapshot() const;

    // Waits until the current image's number is above `after` (Frame), the acquisition is not
    // running and no such image exists (Stopped), or timeoutMs passed (negative: no limit).
    Wait WaitForFrame(uint64_t after, int32_t timeoutMs) const;

  private:
    // Settles the reads from the last settled one up to `frame` (exclusive): those that did not
    // fail were passed over.
    void SettleBefore(const device::FrameStamp& frame);
    void Settled();

    mutable std::mutex lock_;
    mutable std::condition_variable changed_;
    FrameCounts counts_;
    uint64_t settledReads_ = 0;   // ring reads of this run settled so far
    uint64_t settledFailed_ = 0;  // of those, failed ones
};

}  // namespace tavlin::camera
