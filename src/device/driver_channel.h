// The driver channel: device paths, pipe requests over the three control codes, 64-byte command
// packets and reply blocks, and the short transactions built from them. Every transaction opens
// its own handle on the path and closes it before returning.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>

#include "device/device_file.h"
#include "device/driver_protocol.h"
#include "device/request_watchdog.h"

namespace tavlin::device {

using ChannelHandle = std::unique_ptr<DeviceFile>;

// Results of SendCommand and ReadReply.
inline constexpr int32_t kChannelOk = 0;
inline constexpr int32_t kChannelNoHandle = 10;
inline constexpr int32_t kChannelTransferFailed = 12;

enum class PipeStatus { Ok, Failed, NullBuffer, NullHandle };

// "\\.\<prefix>-<c>" for indices 0..35; an empty text outside the alphabet.
std::string BuildDevicePath(std::string_view prefix, int index);

ChannelHandle OpenChannel(const char* path);
// True when what OpenChannel reaches under the path exists in this process only.
bool ChannelIsPrivate(const char* path);
void CloseChannel(ChannelHandle& handle);

// One I/O control request on a pipe; *returned receives the reported byte count.
PipeStatus PipeRequest(DeviceFile* handle, uint32_t code, uint32_t pipe, void* buffer,
                       uint32_t length, uint32_t* returned);

int32_t SendCommand(DeviceFile* handle, Packet& packet);
int32_t ReadReply(DeviceFile* handle, Packet& block);

// A packet with the command code and its argument bytes, zero-filled to 64 bytes.
Packet MakePacket(uint8_t command, std::initializer_list<uint8_t> arguments = {});

// Command-only transaction: true when the open and the send succeeded.
bool SendCommandTransaction(const char* path, Packet packet, RequestWatchdog* watchdog = nullptr);
// Command with reply: the reply is read twice into reply; the second read decides.
bool ReplyTransaction(const char* path, Packet packet, Packet& reply,
                      RequestWatchdog* watchdog = nullptr);

// Register and SROM transactions; 1 on success, 0 on failure (value 0 on a failed read). With a
// watchdog, a transaction that runs past its limit is cancelled and fails.
int32_t WriteSensorRegister(const char* path, uint8_t reg, uint16_t value,
                            RequestWatchdog* watchdog = nullptr);
int32_t ReadSensorRegister(const char* path, uint8_t reg, uint16_t* value,
                           RequestWatchdog* watchdog = nullptr);
int32_t WriteControllerRegister(const char* path, uint8_t reg, uint8_t value,
                                RequestWatchdog* watchdog = nullptr);
int32_t ReadControllerRegister(const char* path, uint8_t reg, uint8_t* value,
                               RequestWatchdog* watchdog = nullptr);
int32_t WriteSromByte(const char* path, uint16_t address, uint8_t value,
                      RequestWatchdog* watchdog = nullptr);
int32_t ReadSromByte(const char* path, uint16_t address, uint8_t* value,
                     RequestWatchdog* watchdog = nullptr);

// Control code 0x2220A0 with the 44-byte block; the outcome is not examined.
void SendDriverSetting(const char* path, uint32_t value);

}  // namespace tavlin::device
