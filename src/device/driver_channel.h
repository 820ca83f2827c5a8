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
#include "device/device_status.h"
#include "device/driver_protocol.h"
#include "device/request_watchdog.h"

namespace tavlin::device {

using ChannelHandle = std::unique_ptr<DeviceFile>;

// "\\.\<prefix>-<c>" for indices 0..35; an empty text outside the alphabet.
std::string BuildDevicePath(std::string_view prefix, int index);

ChannelHandle OpenChannel(const char* path);
// True when what OpenChannel reaches under the path exists in this process only.
bool ChannelIsPrivate(const char* path);
void CloseChannel(ChannelHandle& handle);

// One I/O control request on a pipe; *returned receives the reported byte count. NoDevice for a
// null handle, BadArgument for a null buffer.
Status PipeRequest(DeviceFile* handle, uint32_t code, uint32_t pipe, void* buffer, uint32_t length,
                   uint32_t* returned);

// Ok only when the whole packet went; NoDevice for a null handle.
Status SendCommand(DeviceFile* handle, Packet& packet);
Status ReadReply(DeviceFile* handle, Packet& block);

// A packet with the command code and its argument bytes, zero-filled to 64 bytes.
Packet MakePacket(uint8_t command, std::initializer_list<uint8_t> arguments = {});

// Command-only transaction: Ok when the open and the send succeeded (NoDevice when the open
// fails).
Status SendCommandTransaction(const char* path, Packet packet, RequestWatchdog* watchdog = nullptr);
// Command with reply: the reply is read twice into reply; the second read decides.
Status ReplyTransaction(const char* path, Packet packet, Packet& reply,
                        RequestWatchdog* watchdog = nullptr);

// Register and SROM transactions (value 0 on a failed read). With a watchdog, a transaction that
// runs past its limit is cancelled and fails.
Status WriteSensorRegister(const char* path, uint8_t reg, uint16_t value,
                           RequestWatchdog* watchdog = nullptr);
Status ReadSensorRegister(const char* path, uint8_t reg, uint16_t* value,
                          RequestWatchdog* watchdog = nullptr);
Status WriteControllerRegister(const char* path, uint8_t reg, uint8_t value,
                               RequestWatchdog* watchdog = nullptr);
Status ReadControllerRegister(const char* path, uint8_t reg, uint8_t* value,
                              RequestWatchdog* watchdog = nullptr);
Status WriteSromByte(const char* path, uint16_t address, uint8_t value,
                     RequestWatchdog* watchdog = nullptr);
Status ReadSromByte(const char* path, uint16_t address, uint8_t* value,
                    RequestWatchdog* watchdog = nullptr);

// Control code 0x2220A0 with the 44-byte block; the outcome is not examined.
void SendDriverSetting(const char* path, uint32_t value);

}  // namespace tavlin::device
