#include "camera/ctavlin.h"

#include <array>

namespace tavlin::camera {

namespace {

constexpr std::array<int32_t, 6> kColorModeSetValues = {8, 16, 24, 32, 48, 64};
constexpr std::array<int32_t, 6> kColorModeGetValues = {8, 10, 24, 32, 42, 58};

}  // namespace

bool WindowCheck(const CaptureWindow& w, int32_t subSample) {
    if (w.width < 0 || w.height < 0 || w.startX < 0 || w.startY < 0) return false;
    if (w.width > kSensorWidth || w.startX > kSensorWidth) return false;
    if (w.height > kSensorHeight || w.startY > kSensorHeight) return false;
    if (w.startX + w.width > kSensorWidth || w.startY + w.height > kSensorHeight) return false;
    return subSample < 17 || subSample > 19;
}

CTavlin::CTavlin() = default;

CTavlin::~CTavlin() {
    Destroy();
}

int CTavlin::Initialize(platform::WindowHandle notifyWindow) {
    // No notification window is known yet, so this failure is recorded but not posted.
    if (!claims_.Open()) {
        errors_.Report(5);
        return 0;
    }
    // The device object and the image buffers come next; the window is stored first so their
    // failure reaches it.
    errors_.SetNotifyWindow(notifyWindow);
    if (!hasDevice_) {
        errors_.Report(5);
        return 0;
    }
    return 1;
}

void CTavlin::Destroy() {
    if (destroyed_.exchange(true)) return;
    Close();
    claims_.Release(deviceNumber_.load(), errors_.NotifyWindow());
    {
        platform::ScopedLock guard(configLock_);
        configList_.clear();
    }
    claims_.Close();
}

int CTavlin::SetDeviceNumber(int32_t deviceNumber) {
    if (!hasDevice_) {
        errors_.Report(1);
        return 0;
    }
    // Device selection arrives with the device layer.
    errors_.Report(2);
    return 0;
}

int CTavlin::SetColorMode(int32_t bitsPerPixel) {
    for (size_t index = 0; index < kColorModeSetValues.size(); ++index) {
        if (kColorModeSetValues[index] == bitsPerPixel) {
            colorMode_.store(static_cast<int32_t>(index));
            return 1;
        }
    }
    errors_.Report(9);
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

int CTavlin::SetAutoIris(int32_t value) {
    if (static_cast<uint32_t>(value) >= 3) {
        errors_.PostOnly(9);
        return 0;
    }
    autoIris_.store(value);
    return 1;
}

int32_t CTavlin::GetAutoIris(int32_t* ok) const {
    if (ok != nullptr) *ok = 1;
    return autoIris_.load();
}

int CTavlin::SetHalfClock(int32_t clock) {
    clockMode_.store(clock);
    return 1;
}

int CTavlin::Close() {
    imageReady_.store(0);
    acquisitionMode_.store(0);
    return 1;
}

}  // namespace tavlin::camera
