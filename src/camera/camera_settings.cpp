// The camera's simple settings: capture window, output format, sub-sampling, polling interval,
// mirrors, automatic iris, preview placement and the camera information record.
#include <array>

#include "camera/ctavlin.h"
#include "settings/preset_list.h"

namespace tavlin::camera {

namespace {

constexpr std::array<int32_t, 6> kColorModeSetValues = {8, 16, 24, 32, 48, 64};
constexpr std::array<int32_t, 6> kColorModeGetValues = {8, 10, 24, 32, 42, 58};

void Put(int32_t* out, int32_t value) {
    if (out != nullptr) *out = value;
}

}  // namespace

int CTavlin::SetCaptureWindowEx(int32_t totalWidth, int32_t startX, int32_t width,
                                int32_t totalHeight, int32_t startY, int32_t height) {
    if (!device_) {
        errors_.Report(TAVLIN_ERR_NO_DEVICE);
        return 0;
    }
    settings::SizePreset w;
    {
        // A rejected window stays stored; the next preparation refuses it until it is mended.
        std::lock_guard<std::mutex> guard(settingsLock_);
        window_.totalWidth = totalWidth;
        window_.startX = startX;
        window_.width = width;
        window_.totalHeight = totalHeight;
        window_.startY = startY;
        window_.height = height;
        w = window_;
    }
    if (!WindowCheck(w, subSample_.load())) {
        errors_.Report(TAVLIN_ERR_CAPTURE_WINDOW);
        return 0;
    }
    ProgramSensorWindow();
    return 1;
}

int CTavlin::SetCaptureWindow(int32_t width, int32_t height) {
    if (!device_) {
        errors_.Report(TAVLIN_ERR_NO_DEVICE);
        return 0;
    }
    settings::SizePreset preset;
    {
        std::lock_guard<std::mutex> guard(settingsLock_);
        preset = window_;
    }
    if (!settings::FindSizePreset(deviceNumber_.load(), width, height, preset)) {
        errors_.Report(TAVLIN_ERR_WINDOW);
        return 0;
    }
    if (!WindowCheck(preset, subSample_.load())) {
        errors_.Report(TAVLIN_ERR_CAPTURE_WINDOW);
        const int32_t buffers = preset.bufferCount;
        preset = settings::SizePreset{};
        preset.bufferCount = buffers;
    }
    {
        std::lock_guard<std::mutex> guard(settingsLock_);
        window_ = preset;
    }
    ProgramSensorWindow();
    return 1;
}

int CTavlin::GetCaptureWindowEx(int32_t* totalWidth, int32_t* startX, int32_t* width,
                                int32_t* totalHeight, int32_t* startY, int32_t* height) {
    std::lock_guard<std::mutex> guard(settingsLock_);
    Put(totalWidth, window_.totalWidth);
    Put(startX, window_.startX);
    Put(width, window_.width);
    Put(totalHeight, window_.totalHeight);
    Put(startY, window_.startY);
    Put(height, window_.height);
    return 1;
}

int32_t CTavlin::Width() {
    std::lock_guard<std::mutex> guard(settingsLock_);
    return window_.width;
}

int32_t CTavlin::Height() {
    std::lock_guard<std::mutex> guard(settingsLock_);
    return window_.height;
}

int CTavlin::SetColorMode(int32_t bitsPerPixel) {
    for (size_t index = 0; index < kColorModeSetValues.size(); ++index) {
        if (kColorModeSetValues[index] == bitsPerPixel) {
            colorMode_.store(static_cast<int32_t>(index));
            return 1;
        }
    }
    errors_.Report(TAVLIN_ERR_INVALID_ARGUMENT);
    return 0;
}

int32_t CTavlin::GetColorMode() const {
    const int32_t index = colorMode_.load();
    if (index < 0 || index >= static_cast<int32_t>(kColorModeGetValues.size())) return -1;
    return kColorModeGetValues[static_cast<size_t>(index)];
}

int CTavlin::SetSubSample(int32_t subSample) {
    if (subSample < 0 || subSample > 3) return 0;
    subSample_.store(subSample);
    return 1;
}

int CTavlin::SetWaitTime(int32_t milliseconds) {
    if (milliseconds < 0) return 0;
    waitTime_.store(milliseconds);
    return 1;
}

int CTavlin::SetMirrorH(int32_t flag) {
    if (!device_) {
        errors_.Report(TAVLIN_ERR_NO_DEVICE);
        return 0;
    }
    const int32_t reduced = flag != 0 ? 1 : 0;
    device_->SetMirrorH(reduced);
    std::lock_guard<std::mutex> guard(settingsLock_);
    analog_.mirrorH = reduced;
    return 1;
}

int32_t CTavlin::GetMirrorH() {
    if (!device_) {
        errors_.Report(TAVLIN_ERR_NO_DEVICE);
        return 0;
    }
    std::lock_guard<std::mutex> guard(settingsLock_);
    return analog_.mirrorH;
}

int CTavlin::SetMirrorV(int32_t flag) {
    if (!device_) {
        errors_.PostOnly(TAVLIN_ERR_NO_DEVICE);
        return 0;
    }
    const int32_t reduced = flag != 0 ? 1 : 0;
    device_->SetMirrorV(reduced);
    std::lock_guard<std::mutex> guard(settingsLock_);
    analog_.mirrorV = reduced;
    return 1;
}

int32_t CTavlin::GetMirrorV() {
    if (!device_) {
        errors_.PostOnly(TAVLIN_ERR_NO_DEVICE);
        return 0;
    }
    std::lock_guard<std::mutex> guard(settingsLock_);
    return analog_.mirrorV;
}

int CTavlin::SetAutoIris(int32_t value) {
    if (static_cast<uint32_t>(value) >= 3) {
        errors_.PostOnly(TAVLIN_ERR_INVALID_ARGUMENT);
        return 0;
    }
    std::lock_guard<std::mutex> guard(settingsLock_);
    analog_.autoIris = value;
    return 1;
}

int32_t CTavlin::GetAutoIris(int32_t* ok) {
    Put(ok, 1);
    std::lock_guard<std::mutex> guard(settingsLock_);
    return analog_.autoIris;
}

int CTavlin::SetPreviewWindow(platform::WindowHandle parent, int32_t left, int32_t top,
                              int32_t right, int32_t bottom) {
    if (!device_) {
        errors_.Report(TAVLIN_ERR_NO_DEVICE);
        return 0;
    }
    std::lock_guard<std::mutex> guard(settingsLock_);
    previewParent_ = parent;
    previewRect_ = {left, top, right, bottom};
    return 1;
}

int CTavlin::GetCameraInfo(TavlinCameraInfo* info) {
    if (!device_) {
        errors_.Report(TAVLIN_ERR_NO_DEVICE);
        return 0;
    }
    if (info == nullptr) {
        errors_.Report(TAVLIN_ERR_INVALID_ARGUMENT);
        return 0;
    }
    if (info->size < sizeof(TavlinCameraInfo)) {
        errors_.Report(TAVLIN_ERR_MEMORY);
        return 0;
    }
    info->sensorWidth = device_->SensorWidth();
    info->sensorHeight = device_->SensorHeight();
    info->globalGainMin = device_->GlobalGainMinimum();
    info->globalGainMax = device_->GainMaximum();
    info->colorGainMin = ColourGainMinimum(43);
    info->colorGainMax = device_->GainMaximum();
    info->exposureMin = 1;
    info->exposureMax = device_->ShutterMaximum();
    return 1;
}

int32_t CTavlin::ColourGainMinimum(int32_t reg) const {
    int32_t minimum = 0;
    return device_->ColourGainMinimum(reg, &minimum) == device::Status::Ok ? minimum : 0;
}

}  // namespace tavlin::camera
