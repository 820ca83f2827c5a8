// The acquisition modes as the camera drives them: preparation (claims, buffers, sensor), starting
// and stopping preview and trigger mode, capture and snapshots, and closing.
#include "camera/ctavlin.h"
#include "diag/log.h"
#include "platform/clock.h"
#include "sensor/sensor_geometry.h"

namespace tavlin::camera {

namespace {

// The driver's frame-read time-out in triggered acquisition, in milliseconds.
constexpr int32_t kTriggerReadTimeoutMs = 3000;

}  // namespace

int CTavlin::PrepareAcquisition() {
    const int32_t deviceNumber = device_->SelectedIndex();
    if (!device_->IsPresent(deviceNumber)) {
        TAVLIN_LOG(Camera, Warn, "device %d is not present", deviceNumber);
        return Fail(TAVLIN_ERR_DEVICE_BUSY);
    }
    if (claims_.Claimed(deviceNumber, SelectedScope())) {
        TAVLIN_LOG(Camera, Warn, "device %d is claimed by another camera or process", deviceNumber);
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
    if (!acquisition_.PrepareBuffers(colorMode, w.width / divisor, w.height / divisor)) {
        return Fail(TAVLIN_ERR_MEMORY);
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
    if (!acquisition_.RequireMode(from, kErrNotNow)) return 0;
    if (acquisition_.Mode() == target) return 1;
    // The cause is reported first, then what failed.
    if (PrepareAcquisition() == 0) return Fail(kErrStartFailed);
    return kPrepared;
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
    const auto mode = acquisition_.LockMode();
    const int entered = EnterFromIdle(kPreviewMode, kStartPreviewFrom);
    if (entered != kPrepared) return entered;
    // Checked afresh and taken in one step: another process may have claimed the device since
    // the preparation looked, and of processes starting at once only one may stream.
    if (!claims_.ClaimIfFree(device_->SelectedIndex(), SelectedScope(), errors_.NotifyWindow())) {
        acquisition_.EndRun();
        TAVLIN_LOG(Camera, Warn, "device %d was claimed by another camera or process meanwhile",
                   device_->SelectedIndex());
        // The cause first, then the start's own failure, as a failed preparation reports.
        errors_.Report(TAVLIN_ERR_DEVICE_BUSY);
        return Fail(kErrStartFailed);
    }
    acquisition_.SetRunFlag(AcquisitionThread::kRun);
    if (!acquisition_.StartThread()) {
        acquisition_.StopThread();
        acquisition_.EndRun();
        ReleaseClaim();
        return Fail(TAVLIN_ERR_THREAD);
    }
    device_->SetTriggerMode(0);
    if (device_->StartTransfer() != device::Status::Ok) {
        TAVLIN_LOG(Camera, Warn, "the device transfer does not start");
        acquisition_.StopThread();
        device_->StopTransfer();
        acquisition_.EndRun();
        ReleaseClaim();
        return Fail(TAVLIN_ERR_IO);
    }
    acquisition_.SetMode(kPreviewMode);
    return 1;
}

int CTavlin::Preview() {
    acquisition_.SetFrameTarget(0, nullptr, 0, 0);
    if (!CreatePreviewWindow()) return 0;
    if (StartPreview() == 0) {
        Close();
        return Fail(kErrPreviewFailed);
    }
    return 1;
}

int CTavlin::CallBackPreview(platform::WindowHandle frameWindow, uint8_t* buffer, int32_t length,
                             int32_t rowOrder) {
    acquisition_.SetFrameTarget(frameWindow, buffer, length, rowOrder);
    if (!CreatePreviewWindow()) return 0;
    if (StartPreview() == 0) {
        Close();
        return Fail(kErrPreviewFailed);
    }
    return 1;
}

int CTavlin::Capture() {
    if (!RequireDevice()) return 0;
    const auto mode = acquisition_.LockMode();
    const int entered = EnterFromIdle(kCaptureMode, kCaptureFrom);
    if (entered != kPrepared) return entered;
    acquisition_.SetMode(kCaptureMode);
    return 1;
}

int CTavlin::SnapShot(uint8_t* buffer, int32_t length, int32_t rowOrder) {
    if (!RequireDevice()) return 0;
    const auto mode = acquisition_.LockMode();
    if (!acquisition_.RequireMode(kSnapshotFrom, kErrNotNow)) return 0;
    const int32_t current = acquisition_.Mode();
    if (current == kIdle && PrepareAcquisition() == 0) return Fail(kErrStartFailed);
    TAVLIN_LOG(Camera, Debug, "snapshot in %s mode", ModeName(current));
    return acquisition_.SnapShot(buffer, length, rowOrder, current == kCaptureMode);
}

int CTavlin::Trigger(platform::WindowHandle frameWindow, uint8_t* buffer, int32_t length,
                     int32_t rowOrder) {
    if (!RequireDevice()) return 0;
    int32_t failure = kErrStartFailed;
    {
        const auto mode = acquisition_.LockMode();
        if (!acquisition_.RequireMode(kTriggerFrom, kErrNotNow)) return 0;
        // One trigger thread per camera: a second call keeps the running one and its buffers.
        if (acquisition_.Mode() == kTriggerMode) return 1;
        acquisition_.SetFrameTarget(frameWindow, buffer, length, rowOrder);
        if (!CreatePreviewWindow()) return 0;
        if (PrepareAcquisition() != 0) {
            acquisition_.SetMode(kTriggerMode);
            device_->SendDriverSetting(kTriggerReadTimeoutMs);
            device_->SetTriggerMode(1);
            acquisition_.SkipNextFrame();
            acquisition_.SetRunFlag(AcquisitionThread::kRun);
            if (acquisition_.StartThread()) return 1;
            acquisition_.SetRunFlag(AcquisitionThread::kStop);
            acquisition_.EndRun();
            device_->SetTriggerMode(0);
            acquisition_.SetMode(kIdle);
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
        const auto mode = acquisition_.LockMode();
        acquisition_.SetRunFlag(AcquisitionThread::kStop);
        const int32_t stopped = acquisition_.Mode();
        if (stopped != kIdle) {
            acquisition_.SetMode(kIdle);
            // Leaving trigger mode also completes a frame read that waits for a pulse, so the
            // trigger loop ends without waiting out the driver's time-out.
            device_->SetTriggerMode(0);
            device_->StopTransfer();
            ReleaseClaim();
        }
        acquisition_.StopThread();
        // Capture and trigger mode keep their frame handle open between frames; an idle camera
        // holds none, so a USB camera's interface is free for other programs.
        if (stopped != kIdle) device_->CloseFrameChannel();
        device_->AllowSingleFrames();
        // Frames the run stored that the loop never took were skipped.
        if (stopped == kPreviewMode) acquisition_.SettleRun(device_->TransferTotals());
        if (stopped != kIdle) acquisition_.EndRun();
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
    return acquisition_.GetImage(buffer, length, rowOrder);
}

ClaimScope CTavlin::SelectedScope() const {
    return device_->SelectedDeviceIsPrivate() ? ClaimScope::kProcess : ClaimScope::kMachine;
}

void CTavlin::ReleaseClaim() {
    claims_.Release();
}

int CTavlin::Close() {
    return CloseCamera(RecordLock::kFree);
}

int CTavlin::CloseCamera(RecordLock recordLock) {
    preview_.Close();
    StopAcquisition(recordLock);  // reports 1 when there is no device object
    acquisition_.ClearImageReady();
    if (device_) device_->CloseFrameChannel();
    preview_.UnregisterClass();
    return 1;
}

}  // namespace tavlin::camera
