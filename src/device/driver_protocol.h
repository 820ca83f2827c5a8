// The camera driver's wire contract and the camera's register map. The device layer sends it;
// every transport (and the virtual camera that answers) reads it from here, so none can drift.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tavlin::device::protocol {

// Control codes of DeviceIoControl.
inline constexpr uint32_t kCodePipeInput = 0x222051;   // function 0x814, input direct
inline constexpr uint32_t kCodePipeOutput = 0x22204E;  // function 0x813, output direct
inline constexpr uint32_t kCodeDriverSetting = 0x2220A0;

inline constexpr uint32_t kPipeCommand = 0;
inline constexpr uint32_t kPipeReply = 1;
inline constexpr uint32_t kPipeFrame = 2;

inline constexpr size_t kPacketSize = 64;
inline constexpr size_t kPipeRequestSize = 4;
inline constexpr size_t kDriverSettingSize = 44;

// Device paths are "\\.\<prefix>-<c>" with c the index's character in this alphabet (note the
// N before M).
inline constexpr char kDevicePathStart[] = "\\\\.\\";
inline constexpr char kModelNamePrefix[] = "TvlnQZ410VKE";
inline constexpr char16_t kDeviceAlphabet[] = u"0123456789ABCDEFGHIJKLNMOPQRSTUVWXYZ";
inline constexpr int kDeviceCount = 32;

// Command codes (byte 0 of a packet).
enum Command : uint8_t {
    kCmdPrepareTransfer = 0x01,
    kCmdFrameRequest = 0x02,
    kCmdSensorWrite = 0x04,
    kCmdSelect = 0x06,
    kCmdTransferSize = 0x09,
    kCmdSampleWidth = 0x0A,
    kCmdSensorRead = 0x0C,
    kCmdControllerWrite = 0x25,
    kCmdControllerRead = 0x26,
    kCmdSromWrite = 0x40,
    kCmdSromRead = 0x41,
};

inline constexpr uint8_t kSromMemory = 0x51;
inline constexpr uint8_t kSromWriteCount = 0x03;
inline constexpr uint8_t kSromReadAddressCount = 0x02;
inline constexpr uint8_t kSromReadCount = 0x01;
inline constexpr size_t kSromSize = 0x10000;
inline constexpr uint32_t kSromIdentificationBase = 0x1800;
inline constexpr uint32_t kSromColourVariant = 0x1EB0;

// Sensor registers (16-bit values).
namespace sensor {
inline constexpr uint8_t kChipVersion = 0;
inline constexpr uint8_t kRowStart = 1;
inline constexpr uint8_t kColumnStart = 2;
inline constexpr uint8_t kRowCount = 3;  // minus one
inline constexpr uint8_t kColumnCount = 4;
inline constexpr uint8_t kHorizontalBlank = 5;
inline constexpr uint8_t kVerticalBlank = 6;
inline constexpr uint8_t kShutter = 9;
inline constexpr uint8_t kReset = 13;
inline constexpr uint8_t kReadModeA = 30;
inline constexpr uint8_t kReadModeB = 32;
inline constexpr uint8_t kInit41 = 41;
inline constexpr uint8_t kGainGreen1 = 43;
inline constexpr uint8_t kGainBlue = 44;
inline constexpr uint8_t kGainRed = 45;
inline constexpr uint8_t kGainGreen2 = 46;
inline constexpr uint8_t kGlobalGain = 53;
inline constexpr uint8_t kInit63 = 63;
inline constexpr uint8_t kInit64 = 64;
inline constexpr uint8_t kInit74 = 74;
inline constexpr uint8_t kInit78 = 78;

inline constexpr uint16_t kReadModeATrigger = 0x0100;
inline constexpr uint16_t kReadModeASkip4 = 0x000C;
inline constexpr uint16_t kReadModeASkip8 = 0x0030;
inline constexpr uint16_t kReadModeBSkip2 = 0x0018;

// Rows and columns the window programming adds in front of the image area.
inline constexpr int kRowOffset = 12;
inline constexpr int kColumnOffset = 20;
inline constexpr int kShutterMax = 16383;
}  // namespace sensor

// Controller registers (8-bit values).
namespace controller {
inline constexpr uint8_t kFrameBytes0 = 0;  // 0..3, least significant first
inline constexpr uint8_t kIoPort = 7;
inline constexpr uint8_t kTriggerControl = 11;
inline constexpr uint8_t kSampleWidth = 14;
inline constexpr uint8_t kClock = 15;

inline constexpr uint8_t kTriggerEnable = 0x01;
}  // namespace controller

}  // namespace tavlin::device::protocol

namespace tavlin::device {
// One command packet or reply block.
using Packet = std::array<uint8_t, protocol::kPacketSize>;
}  // namespace tavlin::device
