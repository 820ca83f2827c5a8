#include "device/transfer_block.h"

#include "device/driver_channel.h"
#include "device/tvl_sdk_lib.h"

namespace tavlin::device {

namespace {

int64_t StreamFrames(TransferBlock& block, vcam::DeviceFile* handle) {
    bool shortFrameForgiven = false;
    for (;;) {
        uint8_t* buffer = block.bufferTable[block.writeIndex.load()];
        Packet request = MakePacket(protocol::kCmdFrameRequest);
        uint32_t sent = 0;
        (void)PipeRequest(handle, protocol::kCodePipeOutput, protocol::kPipeCommand, request.data(),
                          request.size(), &sent);
        uint32_t received = 0;
        const PipeStatus status =
            PipeRequest(handle, protocol::kCodePipeInput, protocol::kPipeFrame, buffer,
                        block.transferBytes, &received);
        int64_t result = kResultOk;
        bool advance = true;
        if (status != PipeStatus::Ok) {
            result = kResultTransferFailed;
        } else if (received != block.transferBytes) {
            if (shortFrameForgiven) {
                result = kResultTransferFailed;
            } else {
                shortFrameForgiven = true;  // once per run the data is dropped and read again
                advance = false;
            }
        }
        if (advance) AdvanceRing(block);
        if (result == kResultTransferFailed) return result;
        if (block.stopFlag.load() != 0) return kResultOk;
    }
}

}  // namespace

void AdvanceRing(TransferBlock& block) {
    const int32_t count = block.bufferCount;
    int32_t next = (block.writeIndex.load() + 1) % count;
    if (next == block.readIndex.load()) next = (next + 1) % count;
    block.writeIndex.store(next);
    block.frameEvent.Set();
}

void RunTransfer(TransferBlock& block) {
    ChannelHandle handle = OpenChannel(block.pathRef.c_str());
    int64_t result = kResultOk;
    if (!handle) {
        result = kResultOpenFailed;
    } else if (block.stopFlag.load() == 0) {
        result = StreamFrames(block, handle.get());
    }
    CloseChannel(handle);
    block.errorFlag.store(result == kResultTransferFailed ? 1 : 0);
    block.resultCode.store(result);
    block.stopFlag.store(1);
    block.doneEvent.Set();
    // A consumer waiting for a frame learns of the end at once instead of after its time-out.
    block.frameEvent.Set();
}

}  // namespace tavlin::device
