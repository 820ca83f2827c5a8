// What the transfer thread shares with the device object: indices into the ring, run flags and
// the two events. The thread writes writeIndex and, at its end, result, errorFlag and
// stopFlag; the consumer writes readIndex; the stopping thread writes stopFlag. The thread's
// choice of its next buffer and the consumer's choice of the newest frame are made under
// ringLock: each reads the other's index to decide, and deciding on a stale one would let the
// thread write the buffer the consumer copies. The thread alone counts reads and writes stamps;
// the consumer reads the stamp of the buffer it holds.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "device/cancel_point.h"
#include "device/device_status.h"
#include "platform/sync.h"

namespace tavlin::device {

// Where a stored frame stands in its run: its arrival number among the run's frame reads (from
// 1, whole, short or failed), the failed reads before it, and its CLOCK_MONOTONIC arrival time.
struct FrameStamp {
    uint64_t sequence = 0;
    uint64_t failedBefore = 0;
    int64_t arrivalNs = 0;
};

// A run's frame reads so far: all of them and the failed or short ones.
struct TransferTally {
    uint64_t reads = 0;
    uint64_t failed = 0;
};

// One ring buffer's stamp, written by the thread before it moves past the buffer.
struct RingStamp {
    std::atomic<uint64_t> sequence{0};
    std::atomic<uint64_t> failedBefore{0};
    std::atomic<int64_t> arrivalNs{0};
};

struct TransferBlock {
    uint32_t transferBytes = 0;
    platform::Event frameEvent{platform::Event::Reset::Auto};
    platform::Event doneEvent{platform::Event::Reset::Manual};
    std::atomic<Status> result{Status::Ok};
    std::atomic<int32_t> stopFlag{1};
    std::atomic<int32_t> errorFlag{0};
    int32_t bufferCount = 0;
    std::vector<uint8_t*> bufferTable;  // the ring buffers' memory, fixed for one run
    std::atomic<int32_t> writeIndex{0};
    std::atomic<int32_t> readIndex{0};
    std::mutex ringLock;           // held while either side moves its index on the other's account
    uint64_t advances = 0;         // frames stored in this run (under ringLock)
    uint64_t claimedAdvances = 0;  // advances when the consumer last claimed a frame (ringLock)
    // Set when the consumer claims a frame or a stop comes: a camera without a frame clock is
    // asked for the next frame only once the last one is claimed.
    platform::Event claimEvent{platform::Event::Reset::Auto};
    std::unique_ptr<RingStamp[]> stamps;   // bufferCount entries, fixed for one run
    std::atomic<uint64_t> reads{0};        // frame reads completed in this run
    std::atomic<uint64_t> failedReads{0};  // of those, failed or short
    std::string pathRef;                   // the device path as it was when the run started
    CancelPoint cancel;  // the run's handle, so a stop never waits for a read that hangs
};

// Moves writeIndex to the next ring buffer, skipping the one the consumer holds, and signals
// the frame event.
void AdvanceRing(TransferBlock& block);

// Points readIndex at the newest whole frame if one arrived since the consumer last took one;
// the thread will not write that buffer until readIndex moves on. Signals the claim event.
bool ClaimNewestFrame(TransferBlock& block);

// The transfer thread's body: streams frames into the ring until stopped or failed.
void RunTransfer(TransferBlock& block);

}  // namespace tavlin::device
