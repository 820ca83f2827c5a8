// Direct hardware access for applications: sensor registers, SROM identification bytes, the I/O
// port, the clock selection, exposure in microseconds, and the list and names of the cameras.
#include "camera/ctavlin.h"
#include "device/exposure.h"

namespace tavlin::camera {

namespace {

void Put(int32_t* out, int32_t value) {
    if (out != nullptr) *out = value;
}

}  // namespace

int32_t CTavlin::ReadRegister(int32_t address, int32_t* ok) {
    Put(ok, 0);
    if (!device_) {
        errors_.Report(TAVLIN_ERR_NO_DEVICE);
        return 0;
    }
    uint16_t value = 0;
    if (device_->ReadSensorRegister(address & 0xFF, &value) != device::Status::Ok) {
        errors_.Report(TAVLIN_ERR_IO);
        return 0;
    }
    Put(ok, 1);
    return value;
}

int CTavlin::WriteRegister(int32_t address, int32_t value) {
    if (!device_) {
        errors_.Report(TAVLIN_ERR_NO_DEVICE);
        return 0;
    }
    if (device_->WriteSensorRegister(address & 0xFF, value & 0xFFFF) != device::Status::Ok) {
        errors_.Report(TAVLIN_ERR_IO);
        return 0;
    }
    return 1;
}

int32_t CTavlin::ReadSromID(int32_t index, int32_t* ok) {
    Put(ok, 0);
    uint8_t value = 0;
    if (!device_ || device_->ReadSromID(index & 0xFF, &value) != device::Status::Ok) {
        errors_.PostOnly(TAVLIN_ERR_NO_DEVICE);
        return 0;
    }
    Put(ok, 1);
    return value;
}

int CTavlin::WriteSromID(int32_t index, int32_t value) {
    if (!device_ || device_->WriteSromID(index & 0xFF, value & 0xFF) != device::Status::Ok) {
        errors_.PostOnly(TAVLIN_ERR_NO_DEVICE);
        return 0;
    }
    return 1;
}

int CTavlin::GetIOPort(uint8_t* value) {
    if (!device_) {
        errors_.PostOnly(TAVLIN_ERR_NO_DEVICE);
        return 0;
    }
    if (value == nullptr) {
        errors_.PostOnly(TAVLIN_ERR_INVALID_ARGUMENT);
        return 0;
    }
    uint8_t port = 0;
    if (device_->ReadIOPort(&port) != device::Status::Ok) {
        *value = 0;
        errors_.PostOnly(TAVLIN_ERR_NO_DEVICE);
        return 0;
    }
    *value = port;
    return 1;
}

int CTavlin::SetIOPort(uint8_t value) {
    if (!device_) {
        errors_.PostOnly(TAVLIN_ERR_NO_DEVICE);
        return 0;
    }
    // A failed write is only seen in the result.
    return device_->WriteIOPort(value) == device::Status::Ok ? 1 : 0;
}

int32_t CTavlin::GetHalfClock(int32_t* ok) {
    Put(ok, 0);
    int32_t clock = 0;
    if (!device_ || device_->GetClockSetting(&clock) != device::Status::Ok) {
        errors_.PostOnly(TAVLIN_ERR_NO_DEVICE);
        return 0;
    }
    Put(ok, 1);
    return clock;
}

int CTavlin::SetHalfClock(int32_t clock) {
    clockMode_.store(clock);
    return 1;
}

ExposureState CTavlin::ComputeExposure() {
    std::lock_guard<std::mutex> guard(settingsLock_);
    exposure_.clockMs = device::ClockMilliseconds(clockMode_.load());
    exposure_.lineLength = device::LineLength(window_.width, subSample_.load());
    return exposure_;
}

int32_t CTavlin::GetRealExposureTime(int32_t* ok) {
    if (!device_) {
        Put(ok, 0);
        errors_.Report(TAVLIN_ERR_NO_DEVICE);
        return 0;
    }
    ExposureState state = ComputeExposure();
    std::lock_guard<std::mutex> guard(settingsLock_);
    state.shutter = analog_.exposure;
    state.microseconds =
        device::ExposureMicroseconds(state.shutter, state.lineLength, state.clockMs);
    exposure_ = state;
    Put(ok, 1);
    return static_cast<int32_t>(state.microseconds);
}

int CTavlin::SetRealExposureTime(int32_t microseconds) {
    if (!device_) {
        errors_.Report(TAVLIN_ERR_NO_DEVICE);
        return 0;
    }
    ExposureState state = ComputeExposure();
    const int64_t shutter =
        device::ShutterForMicroseconds(microseconds, state.lineLength, state.clockMs);
    {
        std::lock_guard<std::mutex> guard(settingsLock_);
        exposure_.shutter = static_cast<int32_t>(shutter);
        if (shutter >= 1 && shutter <= device_->ShutterMaximum()) {
            analog_.exposure = static_cast<int32_t>(shutter);
        }
    }
    if (shutter < 1 || shutter > device_->ShutterMaximum()) {
        errors_.Report(TAVLIN_ERR_INVALID_ARGUMENT);
        return 0;
    }
    device_->SetShutter(static_cast<int32_t>(shutter));
    return 1;
}

int32_t CTavlin::EnumDevice(char* names) {
    if (!device_) {
        errors_.Report(TAVLIN_ERR_NO_DEVICE);
        return 0;
    }
    return device_->EnumerateNames(names);
}

int32_t CTavlin::EnumDeviceW(char16_t* names) {
    if (!device_) {
        errors_.Report(TAVLIN_ERR_NO_DEVICE);
        return 0;
    }
    return device_->EnumerateNamesWide(names);
}

int CTavlin::GetDeviceName(int32_t index, char* buffer, int32_t length) {
    if (!device_) {
        errors_.Report(TAVLIN_ERR_NO_DEVICE);
        return 0;
    }
    const int32_t result = device_->DeviceName(index, buffer, length);
    if (result != 0) errors_.Report(result);
    return result == 0 ? 1 : 0;
}

int CTavlin::GetDeviceNameW(int32_t index, char16_t* buffer, int32_t length) {
    if (!device_) {
        errors_.Report(TAVLIN_ERR_NO_DEVICE);
        return 0;
    }
    const int32_t result = device_->DeviceNameWide(index, buffer, length);
    if (result != 0) errors_.Report(result);
    return result == 0 ? 1 : 0;
}

int CTavlin::LoadConfigFile(const char* fileName) {
    return settings::LoadConfigFile(fileName, configList_, configLock_) ? 1 : 0;
}

int CTavlin::LoadConfigFileW(const char16_t* fileName) {
    switch (settings::LoadConfigFileWide(fileName, configList_, configLock_)) {
        case settings::WideConfigLoad::Loaded:
            return 1;
        case settings::WideConfigLoad::NotLoaded:
            return 0;
        case settings::WideConfigLoad::PathNotConvertible:
            errors_.Report(TAVLIN_ERR_FILE);
            return 0;
    }
    return 0;
}

settings::ConfigList CTavlin::ConfigPairs() {
    platform::ScopedLock guard(configLock_);
    return configList_;
}

}  // namespace tavlin::camera
