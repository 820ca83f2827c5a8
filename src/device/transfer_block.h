// What the transfer thread shares with the device object: indices into the ring, run flags and
// the two events. The thread writes writeIndex and, at its end, resultCode, errorFlag and
// stopFlag; the consumer writes readIndex; the stopping thread writes stopFlag. The atomics and
// the events are the only synchronisation between them.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/sync.h"

namespace tavlin::device {

struct TransferBlock {
    uint32_t transferBytes = 0;
    platform::Event frameEvent{platform::Event::Reset::Auto};
    platform::Event doneEvent{platform::Event::Reset::Manual};
    std::atomic<int64_t> resultCode{0};
    std::atomic<int32_t> stopFlag{1};
    std::atomic<int32_t> errorFlag{0};
    int32_t bufferCount = 0;
    std::vector<uint8_t*> bufferTable;  // the ring buffers' memory, fixed for one run
    std::atomic<int32_t> writeIndex{0};
    std::atomic<int32_t> readIndex{0};
    std::string pathRef;  // the device path as it was when the run started
};

// Moves writeIndex to the next ring buffer, skipping the one the consumer holds, and signals
// the frame event.
void AdvanceRing(TransferBlock& block);

// The transfer thread's body: streams frames into the ring until stopped or failed.
void RunTransfer(TransferBlock& block);

}  // namespace tavlin::device
