// One virtual camera: the model state behind a lock, plus what makes it a device rather than a
// table: blocking frame reads with pacing and trigger pulses, fault injection, unplugging, and a
// trace of what it received. Transport-neutral: device files call Request with a handle id.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <vector>

#include "tavlin/tavlin_vcam.h"
#include "vcam/camera_model.h"
#include "vcam/frame_renderer.h"

namespace tavlin::vcam {

// What an injected fault does to the request it hits. The frame kinds count pipe-2 reads, the
// others the requests of their pipe; each kind keeps its own count.
enum class FaultKind {
    CommandSend,  // pipe 0 fails
    ReplyRead,    // pipe 1 fails
    FrameRead,    // pipe 2 fails
    ShortFrame,   // pipe 2 delivers half the bytes
    LongFrame,    // pipe 2 fills the buffer and reports half as many bytes again
    EmptyFrame,   // pipe 2 succeeds with no bytes
    HangCommand,  // pipe 0 waits until released, cancelled or unplugged, then fails
    HangReply,
    HangFrame,
};
inline constexpr int kFaultKinds = 9;

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
    // The pending request on the handle fails at once, and so does every later one (what
    // cancelling I/O and closing does to a driver handle).
    void Cancel(uint32_t handle);

    // Control side.
    void Unplug();
    bool Plugged() const;
    int Trigger(int pulses);
    void SetScene(SceneKind kind);
    void SetNoise(const SensorNoise& noise);
    bool HasRawFrames() const;
    void SetRawFrames(std::shared_ptr<const RawFrames> frames);
    void SetRealTime(bool realTime);
    // Without a frame clock the camera still serves reads as its pacing says; its in-process
    // device files tell the reader to ask only for frames that will be taken.
    void SetFrameClock(bool hasClock);
    bool HasFrameClock() const;
    void FailNext(FaultKind kind, int count) { FailNth(kind, 1, count); }
    // Lets nth - 1 requests of the kind pass, then hits count of them.
    void FailNth(FaultKind kind, int nth, int count);
    void SetStall(bool stalled);  // ending a stall also releases hung requests
    uint32_t WaitingRequests() const;
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

    struct Fault {
        int pass = 0;   // requests of the kind still let through
        int count = 0;  // requests hit after those
    };

    bool HandleCommand(Lock& lock, TavlinVcamTraceEntry& entry, const uint8_t* packet,
                       uint32_t length);
    bool HandleReply(Lock& lock, TavlinVcamTraceEntry& entry, uint8_t* block, uint32_t length);
    bool HandleFrameRead(Lock& lock, TavlinVcamTraceEntry& entry, uint8_t* out, uint32_t length);
    bool WaitForFrame(Lock& lock, uint32_t handle);
    bool WaitForFrameLocked(Lock& lock, uint32_t handle);
    // Holds a hung request; always false (the request fails once let go).
    bool Hang(Lock& lock, uint32_t handle);
    bool Gone(uint32_t handle) const { return !plugged_ || cancelled_.contains(handle); }
    bool TakeFault(FaultKind kind);
    void Record(const TavlinVcamTraceEntry& entry);

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    ModelState state_;
    Scene scene_;
    std::mutex renderMutex_;  // taken without mutex_: frames render outside the camera's lock
    CachedRenderer renderer_;
    Fault faults_[kFaultKinds];
    std::set<uint32_t> cancelled_;  // open handles whose requests fail
    uint64_t releases_ = 0;         // ends of stalls, which also let hung requests go
    uint32_t waiting_ = 0;          // requests blocked inside the camera now
    bool plugged_ = true;
    bool realTime_ = true;
    std::atomic<bool> frameClock_{true};
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
