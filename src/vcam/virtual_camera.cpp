#include "vcam/virtual_camera.h"

#include <algorithm>
#include <cstring>

namespace tavlin::vcam {

namespace proto = protocol;

namespace {

constexpr uint32_t kNoPipe = 0xFFFFFFFFu;

uint32_t ReadWord(const void* in) {
    const auto* b = static_cast<const uint8_t*>(in);
    return uint32_t{b[0]} | (uint32_t{b[1]} << 8) | (uint32_t{b[2]} << 16) | (uint32_t{b[3]} << 24);
}

// The renderer reads only the register files; copying them keeps frame rendering outside the
// lock without copying the SROM per frame.
ModelState RegistersOf(const ModelState& state) {
    ModelState copy;
    copy.sensor = state.sensor;
    copy.controller = state.controller;
    return copy;
}

}  // namespace

VirtualCamera::VirtualCamera(uint32_t serial) : state_(PowerOnState(serial)) {}

std::optional<uint32_t> VirtualCamera::Open() {
    std::lock_guard guard(mutex_);
    if (!plugged_) return std::nullopt;
    ++handlesOpen_;
    return nextHandle_++;
}

void VirtualCamera::Close(uint32_t handle) {
    std::lock_guard guard(mutex_);
    cancelled_.erase(handle);
    if (handlesOpen_ > 0) --handlesOpen_;
}

void VirtualCamera::Cancel(uint32_t handle) {
    std::lock_guard guard(mutex_);
    cancelled_.insert(handle);
    wake_.notify_all();
}

bool VirtualCamera::Request(uint32_t handle, uint32_t code, const void* in, uint32_t inLength,
                            void* out, uint32_t outLength, uint32_t* returned) {
    *returned = 0;
    Lock lock(mutex_);
    TavlinVcamTraceEntry entry{};
    entry.handle = handle;
    entry.controlCode = code;
    entry.pipe = kNoPipe;
    entry.length = outLength;
    bool ok = false;
    if (code == proto::kCodeDriverSetting) {
        entry.length = inLength;
        if (in != nullptr) {
            std::memcpy(entry.data, in, std::min<size_t>(inLength, sizeof(entry.data)));
        }
        ok = !Gone(handle) && in != nullptr && inLength == proto::kDriverSettingSize &&
             ApplyDriverSetting(state_, {static_cast<const uint8_t*>(in), inLength});
        if (ok) wake_.notify_all();
    } else if ((code == proto::kCodePipeInput || code == proto::kCodePipeOutput) && in != nullptr &&
               inLength == proto::kPipeRequestSize) {
        entry.pipe = ReadWord(in);
        auto* buffer = static_cast<uint8_t*>(out);
        if (Gone(handle) || buffer == nullptr) {
            ok = false;
        } else if (entry.pipe == proto::kPipeCommand) {
            ok = HandleCommand(lock, entry, buffer, outLength);
        } else if (entry.pipe == proto::kPipeReply) {
            ok = HandleReply(lock, entry, buffer, outLength);
        } else if (entry.pipe == proto::kPipeFrame) {
            ok = HandleFrameRead(lock, entry, buffer, outLength);
        }
    }
    entry.succeeded = ok ? 1 : 0;
    *returned = ok ? entry.returned : 0;
    entry.returned = *returned;
    Record(entry);
    return ok;
}

bool VirtualCamera::HandleCommand(Lock& lock, TavlinVcamTraceEntry& entry, const uint8_t* packet,
                                  uint32_t length) {
    std::memcpy(entry.data, packet, std::min<size_t>(length, sizeof(entry.data)));
    if (length != proto::kPacketSize) return false;
    if (TakeFault(FaultKind::HangCommand)) return Hang(lock, entry.handle);
    if (TakeFault(FaultKind::CommandSend)) return false;
    Packet p;
    std::memcpy(p.data(), packet, p.size());
    ApplyCommand(state_, p);
    ++counters_.commands;
    // Register writes may enter or leave trigger mode; waiting readers re-check.
    wake_.notify_all();
    entry.returned = proto::kPacketSize;
    return true;
}

bool VirtualCamera::HandleReply(Lock& lock, TavlinVcamTraceEntry& entry, uint8_t* block,
                                uint32_t length) {
    if (length < proto::kPacketSize) return false;
    if (TakeFault(FaultKind::HangReply)) return Hang(lock, entry.handle);
    if (TakeFault(FaultKind::ReplyRead)) return false;
    std::memcpy(block, state_.reply.data(), proto::kPacketSize);
    std::memcpy(entry.data, state_.reply.data(), proto::kPacketSize);
    entry.returned = proto::kPacketSize;
    return true;
}

bool VirtualCamera::HandleFrameRead(Lock& lock, TavlinVcamTraceEntry& entry, uint8_t* out,
                                    uint32_t length) {
    const bool requested = state_.frameRequested;
    state_.frameRequested = false;
    if (TakeFault(FaultKind::HangFrame)) {
        ++counters_.framesFailed;
        return Hang(lock, entry.handle);
    }
    if (TakeFault(FaultKind::FrameRead) || !requested || length == 0 ||
        !WaitForFrame(lock, entry.handle)) {
        ++counters_.framesFailed;
        return false;
    }
    // Each of these counts every read that delivers, whichever of them hits it.
    const bool empty = TakeFault(FaultKind::EmptyFrame);
    const bool cut = TakeFault(FaultKind::ShortFrame);
    const bool longer = TakeFault(FaultKind::LongFrame);
    uint32_t delivered = length;
    uint32_t reported = length;
    if (empty) {
        delivered = reported = 0;
    } else if (cut) {
        delivered = reported = length / 2;
    } else if (longer) {
        // A driver can only fill the buffer it was given; what it gets wrong is the count.
        reported = length + length / 2;
    }
    const ModelState registers = RegistersOf(state_);
    const Scene scene = scene_;
    const uint64_t frameNumber = framesProduced_++;
    lock.unlock();
    {
        std::lock_guard render(renderMutex_);
        renderer_.Render(registers, scene, frameNumber, out, delivered);
    }
    lock.lock();
    ++(reported == length ? counters_.framesDelivered : counters_.framesShort);
    if (unplugAfter_ > 0 && --unplugAfter_ == 0) {
        plugged_ = false;
        unplugAfter_ = -1;
        wake_.notify_all();
    }
    entry.returned = reported;
    return true;
}

bool VirtualCamera::Hang(Lock& lock, uint32_t handle) {
    const uint64_t release = releases_;
    ++waiting_;
    wake_.wait(lock, [&] { return releases_ != release || Gone(handle); });
    --waiting_;
    return false;
}

// Called with the lock held; false when the read must fail (unplugged, cancelled, trigger
// time-out).
bool VirtualCamera::WaitForFrame(Lock& lock, uint32_t handle) {
    ++waiting_;
    const bool ready = WaitForFrameLocked(lock, handle);
    --waiting_;
    return ready;
}

bool VirtualCamera::WaitForFrameLocked(Lock& lock, uint32_t handle) {
    wake_.wait(lock, [&] { return !stalled_ || Gone(handle); });
    if (Gone(handle)) return false;
    if (InTriggerMode(state_)) {
        auto ready = [&] { return triggersPending_ > 0 || Gone(handle) || !InTriggerMode(state_); };
        const uint32_t timeoutMs = state_.driverSetting;
        if (timeoutMs == 0) {
            wake_.wait(lock, ready);
        } else if (!wake_.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready)) {
            return false;
        }
        if (Gone(handle)) return false;
        if (triggersPending_ > 0) {
            --triggersPending_;
            return true;
        }
        // Trigger mode was left while waiting: fall through to a free-running frame.
    }
    if (realTime_) {
        const auto due = std::max(nextFrameDue_, Clock::now());
        wake_.wait_until(lock, due, [&] { return Gone(handle); });
        if (Gone(handle)) return false;
        nextFrameDue_ = due + std::chrono::microseconds(FramePeriodMicroseconds(state_));
    }
    return true;
}

bool VirtualCamera::TakeFault(FaultKind kind) {
    Fault& fault = faults_[static_cast<int>(kind)];
    if (fault.count <= 0) return false;
    if (fault.pass > 0) {
        --fault.pass;
        return false;
    }
    --fault.count;
    return true;
}

void VirtualCamera::Record(const TavlinVcamTraceEntry& entry) {
    TavlinVcamTraceEntry stored = entry;
    stored.sequence = nextSequence_++;
    if (trace_.size() == kTraceCapacity) trace_.pop_front();
    trace_.push_back(stored);
}

void VirtualCamera::Unplug() {
    std::lock_guard guard(mutex_);
    plugged_ = false;
    wake_.notify_all();
}

bool VirtualCamera::Plugged() const {
    std::lock_guard guard(mutex_);
    return plugged_;
}

int VirtualCamera::Trigger(int pulses) {
    std::lock_guard guard(mutex_);
    if (!plugged_ || pulses <= 0 || !InTriggerMode(state_)) return 0;
    triggersPending_ += uint64_t(pulses);
    wake_.notify_all();
    return pulses;
}

void VirtualCamera::SetScene(SceneKind kind) {
    std::lock_guard guard(mutex_);
    scene_.kind = kind;
}

void VirtualCamera::SetNoise(const SensorNoise& noise) {
    std::lock_guard guard(mutex_);
    scene_.noise = noise;
}

bool VirtualCamera::HasRawFrames() const {
    std::lock_guard guard(mutex_);
    return scene_.raw && scene_.raw->frameCount > 0;
}

void VirtualCamera::SetRawFrames(std::shared_ptr<const RawFrames> frames) {
    std::lock_guard guard(mutex_);
    scene_.raw = std::move(frames);
    scene_.kind = SceneKind::Raw;
}

void VirtualCamera::SetRealTime(bool realTime) {
    std::lock_guard guard(mutex_);
    realTime_ = realTime;
    nextFrameDue_ = Clock::now();
    wake_.notify_all();
}

void VirtualCamera::SetFrameClock(bool hasClock) {
    frameClock_.store(hasClock);
}

bool VirtualCamera::HasFrameClock() const {
    return frameClock_.load();
}

void VirtualCamera::FailNth(FaultKind kind, int nth, int count) {
    std::lock_guard guard(mutex_);
    Fault& fault = faults_[static_cast<int>(kind)];
    fault.count = std::max(count, 0);
    fault.pass = fault.count > 0 ? std::max(nth, 1) - 1 : 0;
}

void VirtualCamera::SetStall(bool stalled) {
    std::lock_guard guard(mutex_);
    stalled_ = stalled;
    if (!stalled) ++releases_;
    wake_.notify_all();
}

uint32_t VirtualCamera::WaitingRequests() const {
    std::lock_guard guard(mutex_);
    return waiting_;
}

void VirtualCamera::UnplugAfterFrames(int frames) {
    std::lock_guard guard(mutex_);
    if (frames <= 0) {
        plugged_ = false;
        wake_.notify_all();
        return;
    }
    unplugAfter_ = frames;
}

uint16_t VirtualCamera::SensorRegister(uint8_t reg) const {
    std::lock_guard guard(mutex_);
    return state_.sensor[reg];
}

uint8_t VirtualCamera::ControllerRegister(uint8_t reg) const {
    std::lock_guard guard(mutex_);
    return state_.controller[reg];
}

uint8_t VirtualCamera::SromByte(uint16_t address) const {
    std::lock_guard guard(mutex_);
    return state_.srom[address];
}

void VirtualCamera::WriteSromByte(uint16_t address, uint8_t value) {
    std::lock_guard guard(mutex_);
    state_.srom[address] = value;
}

uint32_t VirtualCamera::TransferSize() const {
    std::lock_guard guard(mutex_);
    return state_.transferSize;
}

uint32_t VirtualCamera::DriverSetting() const {
    std::lock_guard guard(mutex_);
    return state_.driverSetting;
}

TavlinVcamCounters VirtualCamera::Counters() const {
    std::lock_guard guard(mutex_);
    TavlinVcamCounters c = counters_;
    c.triggersPending = triggersPending_;
    c.handlesOpen = handlesOpen_;
    return c;
}

size_t VirtualCamera::TraceCount() const {
    std::lock_guard guard(mutex_);
    return trace_.size();
}

std::vector<TavlinVcamTraceEntry> VirtualCamera::Trace(size_t first, size_t maxEntries) const {
    std::lock_guard guard(mutex_);
    std::vector<TavlinVcamTraceEntry> out;
    for (size_t i = first; i < trace_.size() && out.size() < maxEntries; ++i) {
        out.push_back(trace_[i]);
    }
    return out;
}

void VirtualCamera::ClearTrace() {
    std::lock_guard guard(mutex_);
    trace_.clear();
}

}  // namespace tavlin::vcam
