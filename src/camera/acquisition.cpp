// The acquisition modes: preparation, starting and stopping preview and trigger mode, capture
// with snapshots on the caller's thread, and copying the output image out.
#include <cstring>

#include "camera/ctavlin.h"
#include "platform/clock.h"

namespace tavlin::camera {

namespace {

int32_t SubSampleDivisor(int32_t subSample) {
    switch (subSample) {
        case 1:
            return 2;
        case 2:
            return 4;
        case 3:
            return 8;
        default:
            return 1;
    }
}

}  // namespace

int CTavlin::PrepareAcquisition() {
    const int32_t deviceNumber = device_->SelectedIndex();
    if (!device_->IsPresent(deviceNumber) || claims_.Claimed(deviceNumber, SelectedScope())) {
        errors_.Report(TAVLIN_ERR_DEVICE_BUSY);
        return 0;
    }
    settings::SizePreset w;
    settings::AnalogSettings analog;
    {
        std::lock_guard<std::mutex> guard(settingsLock_);
        w = window_;
        analog = analog_;
    }
    const int32_t subSample = subSample_.load();
    // Stored settings may hold sub-sampling codes the sensor does not know; they are refused
    // like an invalid window rather than streamed at a size the buffers do not have.
    if (!WindowCheck(w, subSample) || subSample < 0 || subSample > 3) {
        errors_.Report(TAVLIN_ERR_CAPTURE_WINDOW);
        return 0;
    }
    const int32_t colorMode = colorMode_.load();
    // Stored settings may hold any colour mode; only the six real ones can be acquired.
    if (!ValidColorMode(colorMode)) {
        errors_.Report(TAVLIN_ERR_MEMORY);
        return 0;
    }
    const int32_t divisor = SubSampleDivisor(subSample);
    const int32_t outWidth = w.width / divisor;
    const int32_t outHeight = w.height / divisor;
    {
        platform::ScopedLock frame(frameLock_);
        auto create = [&](BufferSlot slot) {
            return imageBuffers_[slot].Create(outWidth, outHeight, BitsPerPixel(slot)) != 0;
        };
        bool ok = true;
        if (colorMode <= 3) ok = ok && create(kBuffer8) && imageBuffers_[kBuffer8].SetGrayPalette();
        if (colorMode == 1 || colorMode >= 4) ok = ok && create(kBuffer16);
        if (colorMode != 1) ok = ok && create(kBuffer24);
        if (colorMode == 3) ok = ok && create(kBuffer32);
        // Colour mode 1 also takes the 48-bit buffer: its gray mode 2 goes through colour.
        if (colorMode == 4 || colorMode == 1) ok = ok && create(kBuffer48);
        if (colorMode == 5) ok = ok && create(kBuffer64);
        ok = ok && imageBuffers_[kBufferScratch].CreateLike(&imageBuffers_[OutputSlot(colorMode)]);
        if (!ok) {
            errors_.Report(TAVLIN_ERR_MEMORY);
            return 0;
        }
        activeColorMode_ = colorMode;
        // Under the frame lock, so a waiter never pairs the new buffers with the old count.
        accounting_.Start();
    }
    std::lock_guard<std::recursive_mutex> device(deviceLock_);
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
    device_->SetGlobalGain(analog.globalGain);
    device_->SetColourGain(43, analog.colorGainG1);
    device_->SetColourGain(45, analog.colorGainR);
    device_->SetColourGain(44, analog.colorGainB);
    device_->SetColourGain(46, analog.colorGainG2);
    device_->SetShutter(analog.exposure);
    ComputeExposure();
    preview_.PrepareDisplayBuffer(static_cast<uint16_t>(BitsPerPixel(colorMode)));
    return 1;
}

bool CTavlin::CreatePreviewWindow() {
    platform::WindowHandle parent = 0;
    PreviewRect rect;
    settings::SizePreset w;
    {
        std::lock_guard<std::mutex> guard(settingsLock_);
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

int CTavlin::EnterFromIdle(int32_t target) {
    const int32_t current = acquisitionMode_.load();
    if (current == target) return 1;
    if (current != kIdle) {
        errors_.Report(TAVLIN_ERR_NO_DEVICE);
        return 0;
    }
    if (PrepareAcquisition() == 0) {
        errors_.Report(TAVLIN_ERR_NO_DEVICE);
        return 0;
    }
    return kPrepared;
}

int CTavlin::StartPreview() {
    if (!device_) {
        errors_.Report(TAVLIN_ERR_NO_DEVICE);
        return 0;
    }
    std::lock_guard<std::mutex> mode(modeLock_);
    const int entered = EnterFromIdle(kPreviewMode);
    if (entered != kPrepared) return entered;
    // Checked afresh and taken in one step: another process may have claimed the device since
    // the preparation looked, and of processes starting at once only one may stream.
    if (!claims_.ClaimIfFree(device_->SelectedIndex(), SelectedScope(), errors_.NotifyWindow())) {
        accounting_.Stop();
        errors_.Report(TAVLIN_ERR_DEVICE_BUSY);
        errors_.Report(TAVLIN_ERR_NO_DEVICE);
        return 0;
    }
    runFlag_.store(kRun);
    if (StartAcquisitionThread() == 0) {
        StopAcquisitionThread();
        accounting_.Stop();
        ReleaseClaim();
        errors_.Report(TAVLIN_ERR_THREAD);
        return 0;
    }
    device_->SetTriggerMode(0);
    if (device_->StartTransfer() != 0) {
        StopAcquisitionThread();
        device_->StopTransfer();
        accounting_.Stop();
        ReleaseClaim();
        errors_.Report(TAVLIN_ERR_IO);
        return 0;
    }
    acquisitionMode_.store(kPreviewMode);
    return 1;
}

int CTavlin::Preview() {
    {
        platform::ScopedLock frame(frameLock_);
        frameWindow_.store(0);
        callerBuffer_ = nullptr;
        callerLength_ = 0;
        rowOrder_ = 0;
    }
    if (!CreatePreviewWindow()) return 0;
    if (StartPreview() == 0) {
        Close();
        errors_.Report(TAVLIN_ERR_TRANSFER);
        return 0;
    }
    return 1;
}

int CTavlin::CallBackPreview(platform::WindowHandle frameWindow, uint8_t* buffer, int32_t length,
                             int32_t rowOrder) {
    {
        platform::ScopedLock frame(frameLock_);
        frameWindow_.store(frameWindow);
        callerBuffer_ = buffer;
        callerLength_ = length;
        rowOrder_ = rowOrder;
    }
    if (!CreatePreviewWindow()) return 0;
    if (StartPreview() == 0) {
        Close();
        errors_.Report(TAVLIN_ERR_TRANSFER);
        return 0;
    }
    return 1;
}

int CTavlin::Capture() {
    if (!device_) {
        errors_.Report(TAVLIN_ERR_NO_DEVICE);
        return 0;
    }
    std::lock_guard<std::mutex> mode(modeLock_);
    const int entered = EnterFromIdle(kCaptureMode);
    if (entered != kPrepared) return entered;
    acquisitionMode_.store(kCaptureMode);
    return 1;
}

int CTavlin::SnapShot(uint8_t* buffer, int32_t length, int32_t rowOrder) {
    if (!device_) {
        errors_.Report(TAVLIN_ERR_NO_DEVICE);
        return 0;
    }
    std::lock_guard<std::mutex> mode(modeLock_);
    const int32_t current = acquisitionMode_.load();
    if (current == kPreviewMode || current == kTriggerMode) {
        errors_.Report(TAVLIN_ERR_NO_DEVICE);
        return 0;
    }
    if (current == kIdle && PrepareAcquisition() == 0) {
        errors_.Report(TAVLIN_ERR_NO_DEVICE);
        return 0;
    }
    const bool keepChannel = current == kCaptureMode;
    // A snapshot from idle is an acquisition of one frame.
    const auto endSnapshot = [&] {
        if (keepChannel) return;
        device_->CloseFrameChannel();
        accounting_.Stop();
    };
    platform::ScopedLock frame(frameLock_);
    const int32_t colorMode = activeColorMode_;
    output::ImageBuffer& raw = imageBuffers_[RawSlot(colorMode)];
    bool taken = device_->ReadSingleFrame() == 0;
    if (taken && !TakeRawFrame(raw, true)) {
        PostFrameNotice(0, TAVLIN_ERR_TRANSFER);
        taken = false;
    }
    if (!taken) {
        accounting_.SingleFrameFailed();
        endSnapshot();
        errors_.Report(TAVLIN_ERR_TRANSFER);
        return 0;
    }
    ProcessFrame();
    accounting_.SingleFrameProcessed(device_->SingleFrameArrivalNs());
    imageReady_.store(1);
    bool copied = true;
    if (buffer != nullptr && length != 0) {
        copied = CopyImageOut(imageBuffers_[OutputSlot(colorMode)], buffer, length, rowOrder, true);
    }
    endSnapshot();
    if (!copied) {
        errors_.Report(TAVLIN_ERR_MEMORY);
        return 0;
    }
    return 1;
}

int CTavlin::Trigger(platform::WindowHandle frameWindow, uint8_t* buffer, int32_t length,
                     int32_t rowOrder) {
    if (!device_) {
        errors_.Report(TAVLIN_ERR_NO_DEVICE);
        return 0;
    }
    {
        std::lock_guard<std::mutex> mode(modeLock_);
        const int32_t current = acquisitionMode_.load();
        if (current == kPreviewMode || current == kCaptureMode) {
            errors_.Report(TAVLIN_ERR_NO_DEVICE);
            return 0;
        }
        // One trigger thread per camera: a second call keeps the running one and its buffers.
        if (current == kTriggerMode) return 1;
        {
            platform::ScopedLock frame(frameLock_);
            frameWindow_.store(frameWindow);
            callerBuffer_ = buffer;
            callerLength_ = length;
            rowOrder_ = rowOrder;
        }
        if (!CreatePreviewWindow()) return 0;
        if (PrepareAcquisition() != 0) {
            acquisitionMode_.store(kTriggerMode);
            device_->SendDriverSetting(3000);
            device_->SetTriggerMode(1);
            skipNextTrigger_.store(1);
            runFlag_.store(kRun);
            if (StartAcquisitionThread() != 0) return 1;
            runFlag_.store(kStop);
            accounting_.Stop();
            device_->SetTriggerMode(0);
            acquisitionMode_.store(kIdle);
            Close();
            errors_.Report(TAVLIN_ERR_THREAD);
            return 0;
        }
    }
    Close();
    errors_.Report(TAVLIN_ERR_NO_DEVICE);
    return 0;
}

int CTavlin::StopPreview() {
    if (!device_) {
        errors_.Report(TAVLIN_ERR_NO_DEVICE);
        return 0;
    }
    // Before the mode lock, which a snapshot holds while it reads: a read the camera never
    // completes (stalled, hung) then fails at once instead of holding the stop. Trigger reads
    // end the same way.
    device_->CancelSingleFrames();
    {
        std::lock_guard<std::mutex> mode(modeLock_);
        runFlag_.store(kStop);
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
    StopRecording();
    return 1;
}

int CTavlin::GetImage(uint8_t* buffer, int32_t length, int32_t rowOrder) {
    if (!device_) {
        errors_.Report(TAVLIN_ERR_NO_DEVICE);
        return 0;
    }
    platform::ScopedLock frame(frameLock_);
    const int32_t colorMode = colorMode_.load();
    if (!ValidColorMode(colorMode)) {
        errors_.Report(TAVLIN_ERR_NO_DEVICE);
        return 0;
    }
    const output::ImageBuffer& image = imageBuffers_[OutputSlot(colorMode)];
    if (image.Bits() == nullptr || buffer == nullptr) {
        errors_.Report(TAVLIN_ERR_MEMORY);
        return 0;
    }
    if (!CopyImageOut(image, buffer, length, rowOrder, false)) {
        errors_.Report(TAVLIN_ERR_MEMORY);
        return 0;
    }
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

int CTavlin::Close() {
    preview_.Close();
    StopPreview();  // reports 1 when there is no device object
    imageReady_.store(0);
    if (device_) device_->CloseFrameChannel();
    preview_.UnregisterClass();
    return 1;
}

}  // namespace tavlin::camera
