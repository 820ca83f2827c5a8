#include "device/transfer_block.h"

#include "device/driver_channel.h"
#include "device/tvl_sdk_lib.h"
#include "diag/log.h"
#include "platform/clock.h"

namespace tavlin::device {

namespace {

void StampBuffer(TransferBlock& block, uint64_t sequence, int64_t arrivalNs) {
    if (!block.stamps) return;
    RingStamp& stamp = block.stamps[static_cast<size_t>(block.writeIndex.load())];
    stamp.sequence.store(sequence);
    stamp.failedBefore.store(block.failedReads.load());
    stamp.arrivalNs.store(arrivalNs);
}

// True once the consumer has claimed every stored frame; false when a stop came first.
bool WaitUntilClaimed(TransferBlock& block) {
    constexpr uint32_t kStopCheckMs = 50;
    while (block.stopFlag.load() == 0) {
        {
            std::lock_guard<std::mutex> ring(block.ringLock);
            if (block.claimedAdvances == block.advances) return true;
        }
        block.claimEvent.Wait(kStopCheckMs);
    }
    return false;
}

// A camera with a frame clock sends frames whether or not they are read, so the thread reads
// them as fast as they come and the consumer takes the newest. One without a clock makes a frame
// per request: it is asked for the next while the consumer works on the last, never further
// ahead, so no frame is made only to be dropped.
Status StreamFrames(TransferBlock& block, DeviceFile* handle) {
    const bool askWhenClaimed = !handle->HasFrameClock();
    bool shortFrameForgiven = false;
    for (;;) {
        if (askWhenClaimed && !WaitUntilClaimed(block)) return Status::Ok;
        uint8_t* buffer = block.bufferTable[block.writeIndex.load()];
        Packet request = MakePacket(protocol::kCmdFrameRequest);
        uint32_t sent = 0;
        (void)PipeRequest(handle, protocol::kCodePipeOutput, protocol::kPipeCommand, request.data(),
                          request.size(), &sent);
        uint32_t received = 0;
        const Status status = PipeRequest(handle, protocol::kCodePipeInput, protocol::kPipeFrame,
                                          buffer, block.transferBytes, &received);
        const int64_t arrivalNs = platform::MonotonicNs();
        const bool whole = status == Status::Ok && received == block.transferBytes;
        // A read the stop cut short brought no frame and is not counted.
        if (!whole && status != Status::Ok && block.stopFlag.load() != 0) {
            return Status::Ok;  // the stop cancels the read under way: a clean end of the run
        }
        const uint64_t sequence = block.reads.fetch_add(1) + 1;
        // A failed read stores nothing: its buffer is not handed out. Once per run a short
        // frame is dropped and read again; a second one, or a failed read, ends the run.
        if (whole) {
            StampBuffer(block, sequence, arrivalNs);
            AdvanceRing(block);
        } else {
            block.failedReads.fetch_add(1);
            if (status != Status::Ok || shortFrameForgiven) {
                TAVLIN_LOG(Transfer, Warn,
                           "frame read %llu failed (status %d, %u of %u bytes): run ends",
                           static_cast<unsigned long long>(sequence), static_cast<int>(status),
                           received, block.transferBytes);
                return Status::Failed;
            }
            TAVLIN_LOG(Transfer, Info, "short frame %llu forgiven (%u of %u bytes), read again",
                       static_cast<unsigned long long>(sequence), received, block.transferBytes);
            shortFrameForgiven = true;
        }
        if (block.stopFlag.load() != 0) return Status::Ok;
    }
}

}  // namespace

void AdvanceRing(TransferBlock& block) {
    {
        std::lock_guard<std::mutex> ring(block.ringLock);
        const int32_t count = block.bufferCount;
        int32_t next = (block.writeIndex.load() + 1) % count;
        if (next == block.readIndex.load()) next = (next + 1) % count;
        block.writeIndex.store(next);
        ++block.advances;
    }
    block.frameEvent.Set();
}

bool ClaimNewestFrame(TransferBlock& block) {
    {
        std::lock_guard<std::mutex> ring(block.ringLock);
        const int32_t count = block.bufferCount;
        int32_t w = block.writeIndex.load();
        const int32_t r = block.readIndex.load();
        if (w < r) w += count;
        if (w - r < 1) return false;
        // The buffer before the one being written is the newest whole frame.
        block.readIndex.store((w - 1) % count);
        block.claimedAdvances = block.advances;
    }
    block.claimEvent.Set();
    return true;
}

void RunTransfer(TransferBlock& block) {
    ChannelHandle handle = OpenChannel(block.pathRef.c_str());
    Status result = Status::Ok;
    if (!handle) {
        TAVLIN_LOG(Transfer, Error, "transfer cannot open %s", block.pathRef.c_str());
        result = Status::NoDevice;
    } else if (block.stopFlag.load() == 0 && block.cancel.Enter(handle.get())) {
        result = StreamFrames(block, handle.get());
        block.cancel.Leave();
    }
    CloseChannel(handle);
    TAVLIN_LOG(Transfer, Debug, "transfer run ended: status %d after %llu reads, %llu failed",
               static_cast<int>(result), static_cast<unsigned long long>(block.reads.load()),
               static_cast<unsigned long long>(block.failedReads.load()));
    block.errorFlag.store(result == Status::Failed ? 1 : 0);
    block.result.store(result);
    block.stopFlag.store(1);
    block.doneEvent.Set();
    // A consumer waiting for a frame learns of the end at once instead of after its time-out.
    block.frameEvent.Set();
}

}  // namespace tavlin::device
