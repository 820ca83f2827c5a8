// The acquisition modes: preparation, starting and stopping preview and trigger mode, capture
// with snapshots on the caller's thread, and copying the output image out.
#include <cstring>

#include "camera/ctavlin.h"
#include "platform/clock.h"
#include "sensor/sensor_geometry.h"

namespace tavlin::camera {

namespace {

constexpr uint32_t SlotBit(BufferSlot slot) {
    return 1u << static_cast<uint32_t>(slot);
}

// The buffers a colour mode's pipeline writes, besides the scratch buffer. Gray 16 also takes
// the 48-bit buffer: its gray conversion goes through colour.
uint32_t PipelineSlots(int32_t colorMode) {
    switch (colorMode) {
        case kGray8:
        case kColour24:
            return SlotBit(kBuffer8) | SlotBit(kBuffer24);
        case kGray16:
            return SlotBit(kBuffer8) | SlotBit(kBuffer16) | SlotBit(kBuffer48);
        case kColour32:
            return SlotBit(kBuffer8) | SlotBit(kBuffer24) | SlotBit(kBuffer32);
        case kColour48:
            return SlotBit(kBuffer16) | SlotBit(kBuffer24) | SlotBit(kBuffer48);
        case kColour64:
            return SlotBit(kBuffer16) | SlotBit(kBuffer24) | SlotBit(kBuffer64);
        default:
            return 0;
    }
}

}  // namespace

int CTavlin::PrepareAcquisition() {
    const int32_t deviceNumber = device_->SelectedIndex();
    if (!device_->IsPresent(deviceNumber) || claims_.Claimed(deviceNumber, SelectedScope())) {
        return Fail(TAVLIN_ERR_DEVICE_BUSY);
    }
    settings::SizePreset w;
    {
        std::lock_guard<std::mutex> guard(windowLock_);
        w = window_;
    }
    const settings::AnalogSettings analog = sensor_.Analog();
    const int32_t subSample = subSample_.load();
    // Stored settings may hold sub-sampling codes the sensor does not know; they are refused
    // like an invalid window rather than streamed at a size the buffers do not have.
    const int32_t divisor = sensor::SubSampleDivisor(subSample);
    if (!WindowCheck(w, subSample) || divisor == 0) {
        return Fail(TAVLIN_ERR_CAPTURE_WINDOW);
    }
    const int32_t colorMode = colorMode_.load();
    // Stored settings may hold any colour mode; only the six real ones can be acquired.
    if (!ValidColorMode(colorMode)) return Fail(kErrBadColorMode);
    const int32_t outWidth = w.width / divisor;
    const int32_t outHeight = w.height / divisor;
    {
        std::lock_guard<std::mutex> frame(frameLock_);
        auto create = [&](BufferSlot slot) {
            return imageBuffers_[slot].Create(outWidth, outHeight, BitsPerPixel(slot)) != 0;
        };
        const uint32_t slots = PipelineSlots(colorMode);
        bool ok = true;
        for (const BufferSlot slot :
             {kBuffer8, kBuffer16, kBuffer24, kBuffer32, kBuffer48, kBuffer64}) {
            if ((slots & SlotBit(slot)) == 0) continue;
            ok = ok && create(slot);
            if (slot == kBuffer8) ok = ok && imageBuffers_[kBuffer8].SetGrayPalette();
        }
        ok = ok && imageBuffers_[kBufferScratch].CreateLike(&imageBuffers_[OutputSlot(colorMode)]);
        if (!ok) return Fail(TAVLIN_ERR_MEMORY);
        activeColorMode_ = colorMode;
        // Under the frame lock, so a waiter never pairs the new buffers with the old count.
        accounting_.Start();
    }
    std::lock_guard<std::mutex> device(deviceLock_);
    device_->SetSampleWidth(RawSlot(colorMode) == kBuffer16 ? 1 : 0);
    int32_t clock = 0;
    if (device_->GetClockSetting(&clock) != device::Status::Ok || clock != clockMode_.load()) {
        device_->SetClockSetting(clockMode_.load());
        platform::SleepMs(100);
    }
    device_->ProgramWindow(w.startX, w.startY, w.width, w.height, subSample);
    device_->SetMirrorV(analog.mirrorV);
    device_->SetMirrorH(analog.mirrorH);
    device_->SetTriggerMode(0);
    sensor_.WriteGainsAndShutter(analog);
    ComputeExposure();
    preview_.PrepareDisplayBuffer(static_cast<uint16_t>(BitsPerPixel(colorMode)));
    return 1;
}

bool CTavlin::CreatePreviewWindow() {
    platform::WindowHandle parent = 0;
    PreviewRect rect;
    settings::SizePreset w;
    {
        std::lock_guard<std::mutex> guard(windowLock_);
        parent = previewParent_;
        rect = previewRect_;
        w = window_;
    }
    if (parent == 0 && rect.left == 0 && rect.top == 0 && rect.right == 0 && rect.bottom == 0) {
        return true;
    }
    const output::PreviewWindow::Placement placement{rect.left, rect.top, rect.right, rect.bottom};
    if (preview_.Create(this, parent, placement, w.width, w.height, subSample_.load()) == 0 ||
        preview_.GetDc() == nullptr) {
        errors_.Report(TAVLIN_ERR_WINDOW);
        return false;
    }
    return true;
}

int CTavlin::EnterFromIdle(int32_t target, AllowedModes from) {
    if (!RequireMode(from, kErrNotNow)) return 0;
    if (acquisitionMode_.load() == target) return 1;
    // The cause is reported first, then what failed.
    if (PrepareAcquisition() == 0) return Fail(kErrStartFailed);
    return kPrepared;
}

bool CTavlin::RequireMode(AllowedModes allowed, int32_t code) {
    if (allowed.Contains(acquisitionMode_.load())) return true;
    errors_.Report(code);
    return false;
}

bool CTavlin::RequireDevice() {
    if (device_) return true;
    errors_.Report(TAVLIN_ERR_NO_DEVICE);
    return false;
}

bool CTavlin::RequireDevicePostOnly() {
    if (device_) return true;
    errors_.PostOnly(TAVLIN_ERR_NO_DEVICE);
    return false;
}

int CTavlin::StartPreview() {
    if (!RequireDevice()) return 0;
    std::lock_guard<std::mutex> mode(modeLock_);
    const int entered = EnterFromIdle(kPreviewMode, kStartPreviewFrom);
    if (entered != kPrepared) return entered;
    // Checked afresh and taken in one step: another process may have claimed the device since
    // the preparation looked, and of processes starting at once only one may stream.
    if (!claims_.ClaimIfFree(device_->SelectedIndex(), SelectedScope(), errors_.NotifyWindow())) {
        accounting_.Stop();
        // The cause first, then the start's own failure, as a failed preparation reports.
        errors_.Report(TAVLIN_ERR_DEVICE_BUSY);
        return Fail(kErrStartFailed);
    }
    acquisitionThread_.SetFlag(AcquisitionThread::kRun);
    if (StartAcquisitionThread() == 0) {
        StopAcquisitionThread();
        accounting_.Stop();
        ReleaseClaim();
        return Fail(TAVLIN_ERR_THREAD);
    }
    device_->SetTriggerMode(0);
    if (device_->StartTransfer() != device::Status::Ok) {
        StopAcquisitionThread();
        device_->StopTransfer();
        accounting_.Stop();
        ReleaseClaim();
        return Fail(TAVLIN_ERR_IO);
    }
    acquisitionMode_.store(kPreviewMode);
    return 1;
}

int CTavlin::Preview() {
    SetFrameTarget(0, nullptr, 0, 0);
    if (!CreatePreviewWindow()) return 0;
    if (StartPreview() == 0) {
        Close();
        return Fail(kErrPreviewFailed);
    }
    return 1;
}

int CTavlin::CallBackPreview(platform::WindowHandle frameWindow, uint8_t* buffer, int32_t length,
                             int32_t rowOrder) {
    SetFrameTarget(frameWindow, buffer, length, rowOrder);
    if (!CreatePreviewWindow()) return 0;
    if (StartPreview() == 0) {
        Close();
        return Fail(kErrPreviewFailed);
    }
    return 1;
}

int CTavlin::Capture() {
    if (!RequireDevice()) return 0;
    std::lock_guard<std::mutex> mode(modeLock_);
    const int entered = EnterFromIdle(kCaptureMode, kCaptureFrom);
    if (entered != kPrepared) return entered;
    acquisitionMode_.store(kCaptureMode);
    return 1;
}

int CTavlin::SnapShot(uint8_t* buffer, int32_t length, int32_t rowOrder) {
    if (!RequireDevice()) return 0;
    std::lock_guard<std::mutex> mode(modeLock_);
    if (!RequireMode(kSnapshotFrom, kErrNotNow)) return 0;
    const int32_t current = acquisitionMode_.load();
    if (current == kIdle && PrepareAcquisition() == 0) return Fail(kErrStartFailed);
    const bool keepChannel = current == kCaptureMode;
    // A snapshot from idle is an acquisition of one frame.
    const auto endSnapshot = [&] {
        if (keepChannel) return;
        device_->CloseFrameChannel();
        accounting_.Stop();
    };
    std::lock_guard<std::mutex> frame(frameLock_);
    const int32_t colorMode = activeColorMode_;
    output::ImageBuffer& raw = imageBuffers_[RawSlot(colorMode)];
    bool taken = device_->ReadSingleFrame() == device::Status::Ok;
    if (taken && !TakeRawFrame(raw, true)) {
        PostFrameNotice(0, TAVLIN_ERR_TRANSFER);
        taken = false;
    }
    if (!taken) {
        accounting_.SingleFrameFailed();
        endSnapshot();
        return Fail(TAVLIN_ERR_TRANSFER);
    }
    ProcessFrame();
    accounting_.SingleFrameProcessed(device_->SingleFrameArrivalNs());
    imageReady_.store(1);
    bool copied = true;
    if (buffer != nullptr && length != 0) {
        copied = CopyImageOut(imageBuffers_[OutputSlot(colorMode)], buffer, length, rowOrder, true);
    }
    endSnapshot();
    // The copy reported the short buffer when it found it; the snapshot reports its own failure
    // again after ending, as applications have always seen two entries here.
    if (!copied) return Fail(kErrTooSmall);
    return 1;
}

int CTavlin::Trigger(platform::WindowHandle frameWindow, uint8_t* buffer, int32_t length,
                     int32_t rowOrder) {
    if (!RequireDevice()) return 0;
    int32_t failure = kErrStartFailed;
    {
        std::lock_guard<std::mutex> mode(modeLock_);
        if (!RequireMode(kTriggerFrom, kErrNotNow)) return 0;
        // One trigger thread per camera: a second call keeps the running one and its buffers.
        if (acquisitionMode_.load() == kTriggerMode) return 1;
        SetFrameTarget(frameWindow, buffer, length, rowOrder);
        if (!CreatePreviewWindow()) return 0;
        if (PrepareAcquisition() != 0) {
            acquisitionMode_.store(kTriggerMode);
            device_->SendDriverSetting(3000);
            device_->SetTriggerMode(1);
            acquisitionThread_.SkipNextFrame();
            acquisitionThread_.SetFlag(AcquisitionThread::kRun);
            if (StartAcquisitionThread() != 0) return 1;
            acquisitionThread_.SetFlag(AcquisitionThread::kStop);
            accounting_.Stop();
            device_->SetTriggerMode(0);
            acquisitionMode_.store(kIdle);
            failure = TAVLIN_ERR_THREAD;
        }
    }
    // After leaving the mode lock, which closing takes.
    Close();
    return Fail(failure);
}

int CTavlin::StopPreview() {
    return StopAcquisition(RecordLock::kFree);
}

int CTavlin::StopAcquisition(RecordLock recordLock) {
    if (!RequireDevice()) return 0;
    // Before the mode lock, which a snapshot holds while it reads: a read the camera never
    // completes (stalled, hung) then fails at once instead of holding the stop. Trigger reads
    // end the same way.
    device_->CancelSingleFrames();
    {
        std::lock_guard<std::mutex> mode(modeLock_);
        acquisitionThread_.SetFlag(AcquisitionThread::kStop);
        const int32_t stopped = acquisitionMode_.load();
        if (stopped != kIdle) {
            acquisitionMode_.store(kIdle);
            // Leaving trigger mode also completes a frame read that waits for a pulse, so the
            // trigger loop ends without waiting out the driver's time-out.
            device_->SetTriggerMode(0);
            device_->StopTransfer();
            ReleaseClaim();
        }
        StopAcquisitionThread();
        // Capture and trigger mode keep their frame handle open between frames; an idle camera
        // holds none, so a USB camera's interface is free for other programs.
        if (stopped != kIdle) device_->CloseFrameChannel();
        device_->AllowSingleFrames();
        // Frames the run stored that the loop never took were skipped.
        if (stopped == kPreviewMode) accounting_.SettleRun(device_->TransferTotals());
        if (stopped != kIdle) accounting_.Stop();
    }
    // Outside the mode lock: starting a recording takes the two locks the other way round.
    if (recordLock == RecordLock::kHeld) {
        recorder_.StopHoldingLock();
    } else {
        recorder_.Stop();
    }
    return 1;
}

int CTavlin::GetImage(uint8_t* buffer, int32_t length, int32_t rowOrder) {
    if (!RequireDevice()) return 0;
    std::lock_guard<std::mutex> frame(frameLock_);
    const int32_t colorMode = colorMode_.load();
    if (!ValidColorMode(colorMode)) return Fail(kErrNoImage);
    const output::ImageBuffer& image = imageBuffers_[OutputSlot(colorMode)];
    if (image.Bits() == nullptr || buffer == nullptr) return Fail(TAVLIN_ERR_MEMORY);
    // Reported twice, by the copy and here, as GetImage always has.
    if (!CopyImageOut(image, buffer, length, rowOrder, false)) return Fail(kErrTooSmall);
    return 1;
}

bool CTavlin::CopyImageOut(const output::ImageBuffer& image, uint8_t* data, int32_t length,
                           int32_t rowOrder, bool notifyFrameWindow) {
    const size_t stride = static_cast<size_t>(image.Stride());
    const size_t height = static_cast<size_t>(image.Height());
    if (image.Bits() == nullptr || length < 0 || static_cast<size_t>(length) < stride * height) {
        if (notifyFrameWindow) PostFrameNotice(0, TAVLIN_ERR_MEMORY);
        errors_.Report(TAVLIN_ERR_MEMORY);
        return false;
    }
    if (rowOrder != 0) {
        std::memcpy(data, image.Bits(), stride * height);
    } else {
        for (size_t i = 0; i < height; ++i) {
            std::memcpy(data + i * stride, image.Bits() + (height - 1 - i) * stride, stride);
        }
    }
    return true;
}

void CTavlin::PostFrameNotice(uintptr_t wParam, intptr_t lParam) {
    const platform::WindowHandle window = frameWindow_.load();
    if (window != 0) platform::PostMessageTo(window, kMsgFrame, wParam, lParam);
}

ClaimScope CTavlin::SelectedScope() const {
    return device_->SelectedDeviceIsPrivate() ? ClaimScope::kProcess : ClaimScope::kMachine;
}

void CTavlin::ReleaseClaim() {
    claims_.Release();
}

void CTavlin::SetFrameTarget(platform::WindowHandle frameWindow, uint8_t* buffer, int32_t length,
                             int32_t rowOrder) {
    std::lock_guard<std::mutex> frame(frameLock_);
    frameWindow_.store(frameWindow);
    callerBuffer_ = buffer;
    callerLength_ = length;
    rowOrder_ = rowOrder;
}

int CTavlin::Close() {
    return CloseCamera(RecordLock::kFree);
}

int CTavlin::CloseCamera(RecordLock recordLock) {
    preview_.Close();
    StopAcquisition(recordLock);  // reports 1 when there is no device object
    imageReady_.store(0);
    if (device_) device_->CloseFrameChannel();
    preview_.UnregisterClass();
    return 1;
}

}  // namespace tavlin::camera
