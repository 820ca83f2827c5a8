// Construction, the initialize and destroy sequences, and device selection.
#include "camera/ctavlin.h"

#include <new>

#include "diag/log.h"
#include "settings/registry_settings.h"

namespace tavlin::camera {

bool WindowCheck(const settings::SizePreset& w, int32_t subSample) {
    if (w.width < 0 || w.height < 0 || w.startX < 0 || w.startY < 0) return false;
    if (w.width > kSensorWidth || w.startX > kSensorWidth) return false;
    if (w.height > kSensorHeight || w.startY > kSensorHeight) return false;
    if (w.startX + w.width > kSensorWidth || w.startY + w.height > kSensorHeight) return false;
    return !sensor::IsStoredSubSampleCode(subSample);
}

CTavlin::CTavlin() = default;

CTavlin::~CTavlin() {
    Destroy();
}

int CTavlin::Initialize(platform::WindowHandle notifyWindow) {
    // No notification window is known yet, so this failure is recorded but not posted.
    if (!claims_.Open()) return Fail(TAVLIN_ERR_MEMORY);
    try {
        device_ = std::make_unique<device::CTavlin410QZVKESdk>();
    } catch (const std::bad_alloc&) {
        device_.reset();
    }
    errors_.SetNotifyWindow(notifyWindow);
    if (!device_) return Fail(TAVLIN_ERR_MEMORY);

    const int32_t cameraNumber = deviceNumber_.load();
    {
        settings::SizePreset preset;
        {
            std::lock_guard<std::mutex> guard(windowLock_);
            preset = window_;
        }
        settings::LoadSizePreset(cameraNumber, preset);
        if (!WindowCheck(preset, subSample_.load())) {
            errors_.Report(TAVLIN_ERR_CAPTURE_WINDOW);
            const int32_t buffers = preset.bufferCount;
            preset = settings::SizePreset{};
            preset.bufferCount = buffers;
        }
        std::lock_guard<std::mutex> guard(windowLock_);
        window_ = preset;
        previewRect_ = {0, 0, preset.width, preset.height};
    }
    ProgramSensorWindow();
    // Camera number 0 is the device object's own after construction.
    sensor_.Load(device_->SelectedIndex());
    sensor_.ApplyStored();

    settings::FormatSettings format{colorMode_.load(), subSample_.load(), waitTime_.load(),
                                    clockMode_.load()};
    settings::LoadFormat(cameraNumber, format);
    colorMode_.store(format.colorMode);
    subSample_.store(format.subSample);
    waitTime_.store(format.waitTime);
    clockMode_.store(format.clockMode);
    TAVLIN_LOG(Camera, Info, "opened on device %d: colour mode %d, sub-sampling %d", cameraNumber,
               format.colorMode, format.subSample);
    return 1;
}

void CTavlin::Destroy() {
    if (destroyed_.exchange(true)) return;
    TAVLIN_LOG(Camera, Info, "closing");
    if (device_) sensor_.Save(device_->SelectedIndex());
    Close();
    claims_.Release();
    device_.reset();
    acquisition_.ReleaseBuffers();
    configFiles_.Clear();
    claims_.Close();
    TAVLIN_LOG(Camera, Info, "closed");
}

void CTavlin::ProgramSensorWindow() {
    settings::SizePreset w;
    {
        std::lock_guard<std::mutex> guard(windowLock_);
        w = window_;
    }
    std::lock_guard<std::mutex> device(deviceLock_);
    device_->ProgramWindow(w.startX, w.startY, w.width, w.height, subSample_.load());
}

int CTavlin::SetDeviceNumber(int32_t deviceNumber) {
    if (!RequireDevice()) return 0;
    // Selecting resets the device object, which a running acquisition streams from and whose
    // number its claim is filed under: the device changes only while the camera is idle.
    const auto mode = acquisition_.LockMode();
    if (!acquisition_.RequireMode(kSelectDeviceFrom, kErrNotNow)) return 0;
    sensor_.Save(device_->SelectedIndex());
    if (!device_->IsPresent(deviceNumber) ||
        device_->SelectCamera(deviceNumber) != device::Status::Ok) {
        TAVLIN_LOG(Camera, Warn, "device %d absent or cannot be selected", deviceNumber);
        return Fail(TAVLIN_ERR_DEVICE_BUSY);
    }
    TAVLIN_LOG(Camera, Info, "device %d selected", deviceNumber);
    sensor_.Load(deviceNumber);
    sensor_.ApplyStored();
    uint8_t variant = 0;
    if (device_->ReadSromByte(device::protocol::kSromColourVariant, &variant) ==
        device::Status::Ok) {
        if (variant == 1) device_->SetColourVariant(0);
        if (variant == 2) device_->SetColourVariant(1);
    }
    deviceNumber_.store(deviceNumber);
    return 1;
}

}  // namespace tavlin::camera
