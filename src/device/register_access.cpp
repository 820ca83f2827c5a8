// Register, SROM and I/O port access on the selected camera, each in its own transaction.
#include "device/tvl_sdk_lib.h"

namespace tavlin::device {

namespace {

constexpr int32_t kSromLowestReadable = protocol::kSromIdentificationBase;
constexpr int32_t kSromHighest = 0xFFFF;

}  // namespace

Status CTVLSdkLib::ReadSensorRegister(int32_t reg, uint16_t* value) {
    if (value == nullptr) return Status::BadArgument;
    return device::ReadSensorRegister(devicePath.data(), uint8_t(reg), value, &requestWatchdog_);
}

Status CTVLSdkLib::WriteSensorRegister(int32_t reg, int32_t value) {
    return device::WriteSensorRegister(devicePath.data(), uint8_t(reg), uint16_t(value),
                                       &requestWatchdog_);
}

Status CTVLSdkLib::ReadControllerRegister(int32_t reg, uint8_t* value) {
    if (value == nullptr) return Status::BadArgument;
    return device::ReadControllerRegister(devicePath.data(), uint8_t(reg), value,
                                          &requestWatchdog_);
}

Status CTVLSdkLib::WriteControllerRegister(int32_t reg, int32_t value) {
    return device::WriteControllerRegister(devicePath.data(), uint8_t(reg), uint8_t(value),
                                           &requestWatchdog_);
}

Status CTVLSdkLib::ReadSromByte(int32_t address, uint8_t* value) {
    if (value == nullptr) return Status::BadArgument;
    *value = 0;
    if (address < kSromLowestReadable || address > kSromHighest) return Status::BadArgument;
    return device::ReadSromByte(devicePath.data(), uint16_t(address), value, &requestWatchdog_);
}

Status CTVLSdkLib::ReadSromID(int32_t index, uint8_t* value) {
    return ReadSromByte(kSromLowestReadable + (index & 0xFF), value);
}

Status CTVLSdkLib::WriteSromID(int32_t index, int32_t value) {
    return device::WriteSromByte(devicePath.data(), uint16_t(kSromLowestReadable + (index & 0xFF)),
                                 uint8_t(value), &requestWatchdog_);
}

Status CTVLSdkLib::ReadIOPort(uint8_t* value) {
    return ReadControllerRegister(protocol::controller::kIoPort, value);
}

Status CTVLSdkLib::WriteIOPort(int32_t value) {
    return WriteControllerRegister(protocol::controller::kIoPort, value);
}

}  // namespace tavlin::device
