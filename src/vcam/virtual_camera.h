// One virtual camera: the model state behind a lock, plus what makes it a device rather than a
// table: blocking frame reads with pacing and trigger pulses, fault injection, unplugging, and a
// trace of what it received. Transport-neutral: device files call Request with a handle id.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "tavlin/tavlin_vcam.h"
#include "vcam/camera_model.h"
#include "vcam/frame_renderer.h"

namespace tavlin::vcam {

enum class FaultKind { CommandSend, ReplyRead, FrameRead, ShortFrame };

class VirtualCamera {
  public:
    static constexpr size_t kTraceCapacity = 16384;

    explicit VirtualCamera(uint32_t serial);

    // Device side.
    std::optional<uint32_t> Open();  // a new handle id; none once unplugged
    void Close(uint32_t handle);
    // One DeviceIoControl: true on success with *returned set (returned may not be null).
    bool Request(uint32_t handle, uint32_t code, const void* in, uint32_t inLength, void* out,
                 uint32_t outLength, uint32_t* returned);

    // Control side.
    void Unplug();
    bool Plugged() const;
    int Trigger(int pulses);
    void SetScene(SceneKind kind);
    bool HasRawFrames() const;
    void SetRawFrames(std::shared_ptr<const RawFrames> frames);
    void SetRealTime(bool realTime);
    void FailNext(FaultKind kind, int count);
    void SetStall(bool stalled);
    void UnplugAfterFrames(int frames);

    uint16_t SensorRegister(uint8_t reg) const;
    uint8_t ControllerRegister(uint8_t reg) const;
    uint8_t SromByte(uint16_t address) const;
    void WriteSromByte(uint16_t address, uint8_t value);
    uint32_t TransferSize() const;
    uint32_t DriverSetting() const;
    TavlinVcamCounters Counters() const;

    size_t TraceCount() const;
    std::vector<TavlinVcamTraceEntry> Trace(size_t first, size_t maxEntries) const;
    void ClearTrace();

  private:
    using Clock = std::chrono::steady_clock;
    using Lock = std::unique_lock<std::mutex>;

    struct Faults {
        int commandSend = 0;
        int replyRead = 0;
        int frameRead = 0;
        int shortFrame = 0;
    };

    bool HandleCommand(TavlinVcamTraceEntry& entry, const uint8_t* packet, uint32_t length);
    bool HandleReply(TavlinVcamTraceEntry& entry, uint8_t* block, uint32_t length);
    bool HandleFrameRead(Lock& lock, TavlinVcamTraceEntry& entry, uint8_t* out, uint32_t length);
    bool WaitForFrame(Lock& lock);
    static bool TakeFault(int& counter);
    void Record(const TavlinVcamTraceEntry& entry);

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    ModelState state_;
    Scene scene_;
    Faults faults_;
    bool plugged_ = true;
    bool realTime_ = true;
    bool stalled_ = false;
    int unplugAfter_ = -1;
    uint64_t triggersPending_ = 0;
    uint64_t framesProduced_ = 0;
    Clock::time_point nextFrameDue_ = Clock::now();
    uint32_t nextHandle_ = 1;
    uint64_t handlesOpen_ = 0;
    TavlinVcamCounters counters_{};
    std::deque<TavlinVcamTraceEntry> trace_;
    uint32_t nextSequence_ = 0;
};

}  // namespace tavlin::vcam
