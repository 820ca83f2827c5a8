// The two frame paths of the device object: the transfer run with its ring, and the single-frame
// read into the work buffer.
#include "device/tvl_sdk_lib.h"

#include <mutex>
#include "platform/clock.h"

namespace tavlin::device {

Status CTVLSdkLib::StartTransfer() {
    if (TransferRunning()) return Status::Busy;
    // Without a complete ring there is nowhere to stream to.
    if (bufferTable.size() < 2 || bufferTable.size() != size_t(bufferCount)) {
        return Status::TooFewBuffers;
    }
    transferThread.Join();  // a run that ended on its own has left its thread behind
    transfer.transferBytes = static_cast<uint32_t>(frameBytes) * (wideSamples != 0 ? 2u : 1u);
    SendCommandPacket(MakePacket(protocol::kCmdPrepareTransfer));
    transfer.doneEvent.ResetEvent();
    transfer.frameEvent.ResetEvent();
    transfer.errorFlag.store(0);
    transfer.writeIndex.store(0);
    transfer.readIndex.store(0);
    {
        std::lock_guard<std::mutex> ring(transfer.ringLock);
        transfer.advances = 0;
        transfer.claimedAdvances = 0;
    }
    transfer.claimEvent.ResetEvent();
    transfer.bufferCount = bufferCount;
    transfer.stamps = std::make_unique<RingStamp[]>(static_cast<size_t>(bufferCount));
    transfer.reads.store(0);
    transfer.failedReads.store(0);
    transfer.bufferTable.clear();
    for (auto& buffer : bufferTable) transfer.bufferTable.push_back(buffer.data());
    transfer.pathRef = devicePath.data();
    transfer.cancel.Rearm();
    transfer.stopFlag.store(0);
    const bool started = transferThread.Start("tavlin-transfer", platform::ThreadPriority::Highest,
                                              [this] { RunTransfer(transfer); });
    if (!started) {
        transfer.stopFlag.store(1);
        return Status::NoMemory;
    }
    return Status::Ok;
}

Status CTVLSdkLib::StopTransfer() {
    if (transfer.stopFlag.load() == 1 && transfer.errorFlag.load() == 0) {
        transferThread.Join();
        return Status::Ok;
    }
    if (transfer.stopFlag.load() == 0) {
        transfer.stopFlag.store(1);
        transfer.claimEvent.Set();  // a thread waiting for the consumer's claim
        // A read the camera holds (stalled, hung) would keep the thread, and this wait, forever.
        transfer.cancel.Cancel();
        transfer.doneEvent.Wait(platform::kInfinite);
    }
    transferThread.Join();
    // The frame event stays as the thread left it (set at its end): a consumer still waiting
    // for a frame must learn of the end rather than wait out its time-out. StartTransfer resets
    // it for the next run.
    transfer.doneEvent.ResetEvent();
    transfer.stopFlag.store(1);
    transfer.errorFlag.store(0);
    return transfer.result.load();
}

Status CTVLSdkLib::WaitFrame() {
    if (transfer.errorFlag.load() == 1) return Status::Failed;
    if (transfer.stopFlag.load() == 1) return Status::NotRunning;
    if (!ClaimNewestFrame(transfer)) {
        const auto waited = transfer.frameEvent.Wait(kFrameWaitMs);
        return waited == platform::WaitResult::Signaled ? Status::NoFrameYet : Status::Failed;
    }
    return Status::Ok;
}

Status CTVLSdkLib::TakeFrame(uint8_t* destination) {
    if (destination == nullptr) return Status::BadArgument;
    const int32_t index = transfer.readIndex.load();
    const uint8_t* source = RingBuffer(index);
    if (source == nullptr) return Status::Failed;
    const Status result = CopyVisible(destination, source);
    if (transfer.bufferCount > 0) transfer.readIndex.store((index + 1) % transfer.bufferCount);
    return result;
}

void CTVLSdkLib::PassFrame() {
    if (transfer.bufferCount > 0) {
        transfer.readIndex.store((transfer.readIndex.load() + 1) % transfer.bufferCount);
    }
}

FrameStamp CTVLSdkLib::ReadyFrameStamp() const {
    const int32_t index = transfer.readIndex.load();
    if (!transfer.stamps || index < 0 || index >= transfer.bufferCount) return {};
    const RingStamp& stamp = transfer.stamps[static_cast<size_t>(index)];
    return {stamp.sequence.load(), stamp.failedBefore.load(), stamp.arrivalNs.load()};
}

TransferTally CTVLSdkLib::TransferTotals() const {
    return {transfer.reads.load(), transfer.failedReads.load()};
}

Status CTVLSdkLib::ReadSingleFrame() {
    std::lock_guard<std::mutex> single(singleFrameLock);
    const uint32_t length = static_cast<uint32_t>(frameBytes) * (wideSamples == 1 ? 2u : 1u);
    if (workBuffer.size() < length || length == 0) return Status::Failed;
    if (singleFrameCancel.Cancelled()) return Status::Failed;
    if (!frameHandle) {
        frameHandle = OpenChannel(devicePath.data());
        if (!frameHandle) return Status::NoDevice;
    }
    SendCommandPacket(MakePacket(protocol::kCmdPrepareTransfer));
    Status status = Status::Failed;
    uint32_t received = 0;
    if (singleFrameCancel.Enter(frameHandle.get())) {
        Packet request = MakePacket(protocol::kCmdFrameRequest);
        uint32_t sent = 0;
        (void)PipeRequest(frameHandle.get(), protocol::kCodePipeInput, protocol::kPipeCommand,
                          request.data(), request.size(), &sent);
        status = PipeRequest(frameHandle.get(), protocol::kCodePipeInput, protocol::kPipeFrame,
                             workBuffer.data(), length, &received);
        singleFrameCancel.Leave();
    }
    if (status == Status::Ok && received == length) {
        singleArrivalNs.store(platform::MonotonicNs());
        return Status::Ok;
    }
    CloseChannel(frameHandle);
    return Status::Failed;
}

Status CTVLSdkLib::TakeSingleFrame(uint8_t* destination) {
    if (destination == nullptr) return Status::BadArgument;
    if (workBuffer.empty()) return Status::Failed;
    return CopyVisible(destination, workBuffer.data());
}

void CTVLSdkLib::CloseFrameChannel() {
    CloseChannel(frameHandle);
}

void CTVLSdkLib::CancelSingleFrames() {
    singleFrameCancel.Cancel();
}

void CTVLSdkLib::AllowSingleFrames() {
    singleFrameCancel.Rearm();
}

void CTVLSdkLib::SendDriverSetting(uint32_t value) {
    device::SendDriverSetting(devicePath.data(), value);
}

}  // namespace tavlin::device
