// Direct hardware access for applications: sensor registers, SROM identification bytes, the I/O
// port, the clock selection, exposure in microseconds, and the list and names of the cameras.
#include "camera/ctavlin.h"
#include "device/exposure.h"
#include "sensor/sensor_geometry.h"

#include <algorithm>
#include <cmath>

namespace tavlin::camera {

namespace {

void Put(int32_t* out, int32_t value) {
    if (out != nullptr) *out = value;
}

}  // namespace

int32_t CTavlin::ReadRegister(int32_t address, int32_t* ok) {
    Put(ok, 0);
    if (!RequireDevice()) return 0;
    uint16_t value = 0;
    if (device_->ReadSensorRegister(address & 0xFF, &value) != device::Status::Ok)
        return Fail(TAVLIN_ERR_IO);
    Put(ok, 1);
    return value;
}

int CTavlin::WriteRegister(int32_t address, int32_t value) {
    if (!RequireDevice()) return 0;
    if (device_->WriteSensorRegister(address & 0xFF, value & 0xFFFF) != device::Status::Ok) {
        return Fail(TAVLIN_ERR_IO);
    }
    return 1;
}

int32_t CTavlin::ReadSromID(int32_t index, int32_t* ok) {
    Put(ok, 0);
    uint8_t value = 0;
    if (!device_ || device_->ReadSromID(index & 0xFF, &value) != device::Status::Ok) {
        return FailPostOnly(kErrDeviceRefused);
    }
    Put(ok, 1);
    return value;
}

int CTavlin::WriteSromID(int32_t index, int32_t value) {
    if (!device_ || device_->WriteSromID(index & 0xFF, value & 0xFF) != device::Status::Ok) {
        return FailPostOnly(kErrDeviceRefused);
    }
    return 1;
}

int CTavlin::GetIOPort(uint8_t* value) {
    if (!RequireDevicePostOnly()) return 0;
    if (value == nullptr) return FailPostOnly(TAVLIN_ERR_INVALID_ARGUMENT);
    uint8_t port = 0;
    if (device_->ReadIOPort(&port) != device::Status::Ok) {
        *value = 0;
        return FailPostOnly(kErrDeviceRefused);
    }
    *value = port;
    return 1;
}

int CTavlin::SetIOPort(uint8_t value) {
    if (!RequireDevicePostOnly()) return 0;
    // A failed write is only seen in the result.
    return device_->WriteIOPort(value) == device::Status::Ok ? 1 : 0;
}

int32_t CTavlin::GetHalfClock(int32_t* ok) {
    Put(ok, 0);
    int32_t clock = 0;
    if (!device_ || device_->GetClockSetting(&clock) != device::Status::Ok) {
        return FailPostOnly(kErrDeviceRefused);
    }
    Put(ok, 1);
    return clock;
}

int CTavlin::SetHalfClock(int32_t clock) {
    clockMode_.store(clock);
    return 1;
}

ExposureState CTavlin::ComputeExposure() {
    return sensor_.ComputeExposure(Width(), subSample_.load(), clockMode_.load());
}

FrameTiming CTavlin::Timing() {
    const int32_t divisor = std::max(sensor::SubSampleDivisor(subSample_.load()), 1);
    const double clockMs = device::ClockMilliseconds(clockMode_.load());
    FrameTiming timing;
    timing.lines = device::FrameLines(Height() / divisor, sensor_.Analog().exposure);
    timing.lineClocks = device::ReadoutLineClocks(Width(), divisor);
    timing.pixelClockHz = static_cast<int32_t>(std::lround(1.0 / clockMs * 1000.0));
    timing.periodNs = device::FramePeriodNanoseconds(timing.lines, timing.lineClocks, clockMs);
    return timing;
}

int32_t CTavlin::GetRealExposureTime(int32_t* ok) {
    if (!device_) {
        Put(ok, 0);
        return Fail(TAVLIN_ERR_NO_DEVICE);
    }
    const int64_t microseconds =
        sensor_.ExposureMicroseconds(Width(), subSample_.load(), clockMode_.load());
    Put(ok, 1);
    return static_cast<int32_t>(microseconds);
}

int CTavlin::SetRealExposureTime(int32_t microseconds) {
    if (!RequireDevice()) return 0;
    ExposureState state = ComputeExposure();
    const int64_t shutter =
        device::ShutterForMicroseconds(microseconds, state.lineLength, state.clockMs);
    sensor_.StoreConvertedShutter(shutter, device_->ShutterMaximum());
    if (shutter < 1 || shutter > device_->ShutterMaximum())
        return Fail(TAVLIN_ERR_INVALID_ARGUMENT);
    device_->SetShutter(static_cast<int32_t>(shutter));
    return 1;
}

int32_t CTavlin::EnumDevice(char* names) {
    if (!RequireDevice()) return 0;
    return device_->EnumerateNames(names);
}

int32_t CTavlin::EnumDeviceW(char16_t* names) {
    if (!RequireDevice()) return 0;
    return device_->EnumerateNamesWide(names);
}

int CTavlin::GetDeviceName(int32_t index, char* buffer, int32_t length) {
    if (!RequireDevice()) return 0;
    const int32_t result = device_->DeviceName(index, buffer, length);
    if (result != 0) errors_.Report(result);
    return result == 0 ? 1 : 0;
}

int CTavlin::GetDeviceNameW(int32_t index, char16_t* buffer, int32_t length) {
    if (!RequireDevice()) return 0;
    const int32_t result = device_->DeviceNameWide(index, buffer, length);
    if (result != 0) errors_.Report(result);
    return result == 0 ? 1 : 0;
}

int CTavlin::LoadConfigFile(const char* fileName) {
    return configFiles_.Load(fileName);
}

int CTavlin::LoadConfigFileW(const char16_t* fileName) {
    switch (configFiles_.LoadWide(fileName)) {
        case settings::WideConfigLoad::Loaded:
            return 1;
        case settings::WideConfigLoad::NotLoaded:
            return 0;
        case settings::WideConfigLoad::PathNotConvertible:
            return Fail(TAVLIN_ERR_FILE);
    }
    return 0;
}

settings::ConfigList CTavlin::ConfigPairs() {
    return configFiles_.Pairs();
}

}  // namespace tavlin::camera
