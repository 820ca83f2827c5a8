#include "device/tavlin_410qz_sdk.h"

#include "device/exposure.h"

#include "platform/clock.h"

namespace tavlin::device {

namespace reg = protocol::sensor;
namespace ctl = protocol::controller;

namespace {

constexpr uint32_t kResetPauseMs = 20;
constexpr uint32_t kWindowPauseMs = 100;
constexpr int32_t kGainDefault = 14;

bool IsColourGainRegister(int32_t r) {
    return r >= reg::kGainGreen1 && r <= reg::kGainGreen2;
}

int32_t AlignUp(int32_t value, int32_t unit) {
    return (value + unit - 1) / unit * unit;
}

// New read-mode values for a sub-sample mode.
void ApplyReadModes(int32_t mode, uint16_t& a, uint16_t& b) {
    switch (mode) {
        case 1:
            a &= 0xFFC3;
            b |= 0x0018;
            break;
        case 2:
            a = (a & 0xFFCF) | 0x000C;
            b &= 0xFFE7;
            break;
        case 3:
            a = (a & 0xFFF3) | 0x0030;
            b &= 0xFFE7;
            break;
        default:
            a &= 0xFFC3;
            b &= 0xFFE7;
            break;
    }
}

// The divisor a window mode programs. Stored settings may carry codes 17 and 18, which program
// the full read without skipping; every other unknown code is refused (0).
int32_t ProgrammedDivisor(int32_t mode) {
    if (mode == 17 || mode == 18) return 1;
    return sensor::SubSampleDivisor(mode);
}

}  // namespace

CTavlin410QZVKESdk::CTavlin410QZVKESdk() {
    namePrefix = protocol::kModelNamePrefix;
    ProbeDevices();
    (void)SelectCamera(0);
}

Status CTavlin410QZVKESdk::SelectCamera(int32_t index) {
    if (const Status opened = OpenDevice(index); opened != Status::Ok) return opened;
    SendCommandPacket(MakePacket(protocol::kCmdSelect));
    InitSensor();
    ProgramWindow(0, 0, kSensorWidth, kSensorHeight, 0);
    SetMirrorV(0);
    SetTriggerMode(0);
    return Status::Ok;
}

Status CTavlin410QZVKESdk::InitSensor() {
    WriteSensorRegister(reg::kReset, 1);
    platform::SleepMs(kResetPauseMs);
    WriteSensorRegister(reg::kReset, 0);
    uint16_t unused = 0;
    ReadSensorRegister(reg::kChipVersion, &unused);
    for (uint8_t r :
         {reg::kGainGreen1, reg::kGainBlue, reg::kGainRed, reg::kGainGreen2, reg::kGlobalGain}) {
        WriteSensorRegister(r, kGainDefault);
    }
    WriteSensorRegister(reg::kInit41, 1);
    WriteSensorRegister(reg::kInit63, 0);
    WriteSensorRegister(reg::kInit64, 6);
    WriteSensorRegister(reg::kInit74, 96);
    WriteSensorRegister(reg::kInit78, 12);
    return Status::Ok;
}

Status CTavlin410QZVKESdk::ProgramWindow(int32_t x, int32_t y, int32_t width, int32_t height,
                                         int32_t mode) {
    const int32_t d = ProgrammedDivisor(mode);
    if (x < 0 || y < 0 || width < 4 || height < 1 || x > kSensorWidth - width ||
        y > kSensorHeight - height || d == 0) {
        return Status::BadArgument;
    }
    subSampleMode = mode;
    uint16_t readModeA = 0;
    uint16_t readModeB = 0;
    ReadSensorRegister(reg::kReadModeA, &readModeA);
    ReadSensorRegister(reg::kReadModeB, &readModeB);
    ApplyReadModes(mode, readModeA, readModeB);
    windowX = x;
    windowY = y;
    windowWidth = width;
    windowHeight = height;
    (void)SetFrameGeometry(width / d, 0, width / d, height / d, 0, height / d, kRingBuffers);

    const int32_t unit = 2 * d;
    rowStart = AlignUp(y, unit) + reg::kRowOffset;
    columnStart = AlignUp(x, unit) + reg::kColumnOffset;
    rowCount = AlignUp(height, unit) - 1;
    columnCount = AlignUp(width, unit) - 1;
    WriteSensorRegister(reg::kRowStart, rowStart);
    WriteSensorRegister(reg::kColumnStart, columnStart);
    WriteSensorRegister(reg::kRowCount, rowCount);
    WriteSensorRegister(reg::kColumnCount, columnCount);
    WriteSensorRegister(reg::kHorizontalBlank, 19);
    WriteSensorRegister(reg::kVerticalBlank, kVerticalBlankLines);
    WriteSensorRegister(reg::kReadModeA, readModeA);
    WriteSensorRegister(reg::kReadModeB, readModeB);
    const uint32_t size = static_cast<uint32_t>(frameBytes);
    for (int32_t i = 0; i < 4; ++i) {
        WriteControllerRegister(ctl::kFrameBytes0 + i, int32_t((size >> (8 * i)) & 0xFF));
    }
    platform::SleepMs(kWindowPauseMs);
    return Status::Ok;
}

Status CTavlin410QZVKESdk::SetSampleWidth(int32_t wide) {
    wideSamples = wide;
    // The camera wants the flag set whatever the width; register 14 picks the width.
    SendCommandPacket(MakePacket(protocol::kCmdSampleWidth, {1}));
    WriteControllerRegister(ctl::kSampleWidth, wide != 0 ? 1 : 0);
    return Status::Ok;
}

Status CTavlin410QZVKESdk::SetTriggerMode(int32_t mode) {
    if (const Status written = WriteControllerRegister(ctl::kTriggerControl, mode != 0 ? 1 : 0);
        written != Status::Ok) {
        return written;
    }
    uint16_t readModeA = 0;
    ReadSensorRegister(reg::kReadModeA, &readModeA);
    if (mode == 1) {
        readModeA |= reg::kReadModeATrigger;
    } else {
        readModeA &= static_cast<uint16_t>(~reg::kReadModeATrigger);
    }
    if (const Status written = WriteSensorRegister(reg::kReadModeA, readModeA);
        written != Status::Ok) {
        return written;
    }
    triggerMode = mode;
    return Status::Ok;
}

Status CTavlin410QZVKESdk::SetClockSetting(int32_t value) {
    return WriteControllerRegister(ctl::kClock, value & 0xFF);
}

Status CTavlin410QZVKESdk::GetClockSetting(int32_t* value) {
    uint8_t byte = 0;
    const Status status = ReadControllerRegister(ctl::kClock, &byte);
    if (status == Status::Ok && value != nullptr) *value = byte;
    return status;
}

Status CTavlin410QZVKESdk::SetColourGain(int32_t r, int32_t value) {
    if (!IsColourGainRegister(r)) return Status::BadArgument;
    return WriteSensorRegister(r, value & 0xFF);
}

Status CTavlin410QZVKESdk::GetColourGain(int32_t r, int32_t* value) {
    if (!IsColourGainRegister(r) || value == nullptr) return Status::BadArgument;
    uint16_t raw = 0;
    const Status status = ReadSensorRegister(r, &raw);
    *value = (raw & 0xFF) & 0x7F;
    return status;
}

Status CTavlin410QZVKESdk::SetGlobalGain(int32_t value) {
    return WriteSensorRegister(reg::kGlobalGain, value & 0x7F);
}

int32_t CTavlin410QZVKESdk::GetGlobalGain() {
    uint16_t raw = 0;
    ReadSensorRegister(reg::kGlobalGain, &raw);
    return raw & 0x7F;
}

Status CTavlin410QZVKESdk::SetShutter(int32_t value) {
    int32_t lines = value & 0xFFFF;
    if (lines == 0) lines = 1;
    if (lines > reg::kShutterMax) lines = reg::kShutterMax;
    return WriteSensorRegister(reg::kShutter, lines);
}

Status CTavlin410QZVKESdk::GetShutter(int32_t* value) {
    if (value == nullptr) return Status::BadArgument;
    uint16_t raw = 0;
    const Status status = ReadSensorRegister(reg::kShutter, &raw);
    *value = raw;
    return status;
}

Status CTavlin410QZVKESdk::SetMirrorH(int32_t flag) {
    mirrorH = flag;
    return Status::Ok;
}

Status CTavlin410QZVKESdk::SetMirrorV(int32_t flag) {
    mirrorV = flag;
    return Status::Ok;
}

Status CTavlin410QZVKESdk::ColourGainDefault(int32_t r, int32_t* value) const {
    if (!IsColourGainRegister(r) || value == nullptr) return Status::BadArgument;
    *value = kGainDefault;
    return Status::Ok;
}

Status CTavlin410QZVKESdk::ColourGainMinimum(int32_t r, int32_t* value) const {
    if (!IsColourGainRegister(r) || value == nullptr) return Status::BadArgument;
    *value = 0;
    return Status::Ok;
}

}  // namespace tavlin::device
