// Construction, the initialize and destroy sequences, and device selection.
#include "camera/ctavlin.h"

#include <new>

#include "platform/clock.h"
#include "settings/registry_settings.h"

namespace tavlin::camera {

bool WindowCheck(const settings::SizePreset& w, int32_t subSample) {
    if (w.width < 0 || w.height < 0 || w.startX < 0 || w.startY < 0) return false;
    if (w.width > kSensorWidth || w.startX > kSensorWidth) return false;
    if (w.height > kSensorHeight || w.startY > kSensorHeight) return false;
    if (w.startX + w.width > kSensorWidth || w.startY + w.height > kSensorHeight) return false;
    return subSample < 17 || subSample > 19;
}

CTavlin::CTavlin() : rateTimestamp_(platform::TickCount()) {}

CTavlin::~CTavlin() {
    Destroy();
}

int CTavlin::Initialize(platform::WindowHandle notifyWindow) {
    // No notification window is known yet, so this failure is recorded but not posted.
    if (!claims_.Open()) {
        errors_.Report(TAVLIN_ERR_MEMORY);
        return 0;
    }
    try {
        device_ = std::make_unique<device::CTavlin410QZVKESdk>();
    } catch (const std::bad_alloc&) {
        device_.reset();
    }
    errors_.SetNotifyWindow(notifyWindow);
    if (!device_) {
        errors_.Report(TAVLIN_ERR_MEMORY);
        return 0;
    }

    const int32_t cameraNumber = deviceNumber_.load();
    {
        settings::SizePreset preset;
        {
            std::lock_guard<std::mutex> guard(settingsLock_);
            preset = window_;
        }
        settings::LoadSizePreset(cameraNumber, preset);
        if (!WindowCheck(preset, subSample_.load())) {
            errors_.Report(TAVLIN_ERR_CAPTURE_WINDOW);
            const int32_t buffers = preset.bufferCount;
            preset = settings::SizePreset{};
            preset.bufferCount = buffers;
        }
        std::lock_guard<std::mutex> guard(settingsLock_);
        window_ = preset;
        previewRect_ = {0, 0, preset.width, preset.height};
    }
    ProgramSensorWindow();
    // Camera number 0 is the device object's own after construction.
    LoadImageSettings(device_->SelectedIndex());
    ApplyAnalogSettings();

    settings::FormatSettings format{colorMode_.load(), subSample_.load(), waitTime_.load(),
                                    clockMode_.load()};
    settings::LoadFormat(cameraNumber, format);
    colorMode_.store(format.colorMode);
    subSample_.store(format.subSample);
    waitTime_.store(format.waitTime);
    clockMode_.store(format.clockMode);
    return 1;
}

void CTavlin::Destroy() {
    if (destroyed_.exchange(true)) return;
    if (device_) SaveImageSettings(device_->SelectedIndex());
    Close();
    claims_.Release();
    device_.reset();
    for (auto& buffer : imageBuffers_) buffer.Release();
    {
        platform::ScopedLock guard(configLock_);
        configList_.clear();
    }
    claims_.Close();
}

void CTavlin::LoadImageSettings(int32_t cameraNumber) {
    settings::FilterSettings filter;
    settings::AnalogSettings analog;
    {
        std::lock_guard<std::mutex> guard(settingsLock_);
        filter = filter_;
        analog = analog_;
    }
    settings::LoadFilter(cameraNumber, filter);
    settings::LoadGray(cameraNumber, filter.gray);
    const settings::MirrorFlags deviceMirrors{device_->MirrorV(), device_->MirrorH()};
    settings::LoadAnalog(cameraNumber, deviceMirrors, analog);
    std::lock_guard<std::mutex> guard(settingsLock_);
    filter_ = filter;
    analog_ = analog;
}

void CTavlin::SaveImageSettings(int32_t cameraNumber) {
    settings::FilterSettings filter;
    settings::AnalogSettings analog;
    {
        std::lock_guard<std::mutex> guard(settingsLock_);
        filter = filter_;
        analog = analog_;
    }
    settings::SaveAnalog(cameraNumber, analog);
    settings::SaveFilter(cameraNumber, filter);
    settings::SaveGray(cameraNumber, filter.gray);
}

void CTavlin::ApplyAnalogSettings() {
    settings::AnalogSettings analog;
    {
        std::lock_guard<std::mutex> guard(settingsLock_);
        analog = analog_;
    }
    device_->SetGlobalGain(analog.globalGain);
    device_->SetColourGain(43, analog.colorGainG1);
    device_->SetColourGain(45, analog.colorGainR);
    device_->SetColourGain(44, analog.colorGainB);
    device_->SetColourGain(46, analog.colorGainG2);
    device_->SetShutter(analog.exposure);
    // The flags go to the device object as stored, not reduced to 0/1.
    device_->SetMirrorV(analog.mirrorV);
    device_->SetMirrorH(analog.mirrorH);
}

void CTavlin::ProgramSensorWindow() {
    settings::SizePreset w;
    {
        std::lock_guard<std::mutex> guard(settingsLock_);
        w = window_;
    }
    std::lock_guard<std::recursive_mutex> device(deviceLock_);
    device_->ProgramWindow(w.startX, w.startY, w.width, w.height, subSample_.load());
}

int CTavlin::SetDeviceNumber(int32_t deviceNumber) {
    if (!device_) {
        errors_.Report(TAVLIN_ERR_NO_DEVICE);
        return 0;
    }
    // Selecting resets the device object, which a running acquisition streams from and whose
    // number its claim is filed under: the device changes only while the camera is idle.
    std::lock_guard<std::mutex> mode(modeLock_);
    if (acquisitionMode_.load() != kIdle) {
        errors_.Report(TAVLIN_ERR_NO_DEVICE);
        return 0;
    }
    SaveImageSettings(device_->SelectedIndex());
    if (!device_->IsPresent(deviceNumber) ||
        device_->SelectCamera(deviceNumber) != device::Status::Ok) {
        errors_.Report(TAVLIN_ERR_DEVICE_BUSY);
        return 0;
    }
    LoadImageSettings(deviceNumber);
    ApplyAnalogSettings();
    uint8_t variant = 0;
    if (device_->ReadSromByte(0x1EB0, &variant) == device::Status::Ok) {
        if (variant == 1) device_->SetColourVariant(0);
        if (variant == 2) device_->SetColourVariant(1);
    }
    deviceNumber_.store(deviceNumber);
    return 1;
}

}  // namespace tavlin::camera
