#include "device/driver_channel.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "platform/clock.h"

namespace tavlin::device {

namespace {

constexpr uint32_t kSromWritePauseMs = 10;
constexpr uint32_t kSromReadPauseMs = 6;
constexpr size_t kAlphabetLength = sizeof(protocol::kDeviceAlphabet) / sizeof(char16_t) - 1;

std::array<uint8_t, 4> LittleEndian(uint32_t value) {
    return {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)};
}

}  // namespace

std::string BuildDevicePath(std::string_view prefix, int index) {
    if (index < 0 || size_t(index) >= kAlphabetLength) return {};
    // The alphabet is 16-bit text; the path takes its one character as narrow text.
    const char letter[2] = {static_cast<char>(protocol::kDeviceAlphabet[index]), '\0'};
    std::string path = protocol::kDevicePathStart;
    path.append(prefix);
    path += '-';
    path += letter;
    return path;
}

ChannelHandle OpenChannel(const char* path) {
    if (path == nullptr || *path == '\0') return nullptr;
    return OpenDeviceFile(path);
}

bool ChannelIsPrivate(const char* path) {
    return path != nullptr && ScopeOfDevicePath(path) == DeviceScope::kProcess;
}

void CloseChannel(ChannelHandle& handle) {
    handle.reset();
}

PipeStatus PipeRequest(DeviceFile* handle, uint32_t code, uint32_t pipe, void* buffer,
                       uint32_t length, uint32_t* returned) {
    *returned = 0;
    if (buffer == nullptr) return PipeStatus::NullBuffer;
    if (handle == nullptr) return PipeStatus::NullHandle;
    const auto pipeNumber = LittleEndian(pipe);
    const bool ok =
        handle->IoControl(code, pipeNumber.data(), pipeNumber.size(), buffer, length, returned);
    return ok ? PipeStatus::Ok : PipeStatus::Failed;
}

int32_t SendCommand(DeviceFile* handle, Packet& packet) {
    if (handle == nullptr) return kChannelNoHandle;
    uint32_t returned = 0;
    const PipeStatus status = PipeRequest(handle, protocol::kCodePipeInput, protocol::kPipeCommand,
                                          packet.data(), packet.size(), &returned);
    return status == PipeStatus::Ok && returned == packet.size() ? kChannelOk
                                                                 : kChannelTransferFailed;
}

int32_t ReadReply(DeviceFile* handle, Packet& block) {
    if (handle == nullptr) return kChannelNoHandle;
    uint32_t returned = 0;
    const PipeStatus status = PipeRequest(handle, protocol::kCodePipeOutput, protocol::kPipeReply,
                                          block.data(), block.size(), &returned);
    return status == PipeStatus::Ok && returned == block.size() ? kChannelOk
                                                                : kChannelTransferFailed;
}

Packet MakePacket(uint8_t command, std::initializer_list<uint8_t> arguments) {
    Packet packet{};
    packet[0] = command;
    size_t at = 1;
    for (uint8_t byte : arguments) {
        if (at < packet.size()) packet[at++] = byte;
    }
    return packet;
}

bool SendCommandTransaction(const char* path, Packet packet, RequestWatchdog* watchdog) {
    ChannelHandle handle = OpenChannel(path);
    if (!handle) return false;
    RequestWatchdog::Watch watch(watchdog, handle.get());
    return SendCommand(handle.get(), packet) == kChannelOk;
}

bool ReplyTransaction(const char* path, Packet packet, Packet& reply, RequestWatchdog* watchdog) {
    ChannelHandle handle = OpenChannel(path);
    if (!handle) return false;
    RequestWatchdog::Watch watch(watchdog, handle.get());
    if (SendCommand(handle.get(), packet) != kChannelOk) return false;
    (void)ReadReply(handle.get(), reply);  // the first block is stale; only the second counts
    return ReadReply(handle.get(), reply) == kChannelOk;
}

int32_t WriteSensorRegister(const char* path, uint8_t reg, uint16_t value,
                            RequestWatchdog* watchdog) {
    return SendCommandTransaction(
        path, MakePacket(protocol::kCmdSensorWrite, {reg, uint8_t(value >> 8), uint8_t(value)}),
        watchdog);
}

int32_t ReadSensorRegister(const char* path, uint8_t reg, uint16_t* value,
                           RequestWatchdog* watchdog) {
    Packet reply{};
    const bool ok =
        ReplyTransaction(path, MakePacket(protocol::kCmdSensorRead, {reg}), reply, watchdog);
    if (value != nullptr) *value = ok ? static_cast<uint16_t>(reply[0] * 256 + reply[1]) : 0;
    return ok ? 1 : 0;
}

int32_t WriteControllerRegister(const char* path, uint8_t reg, uint8_t value,
                                RequestWatchdog* watchdog) {
    return SendCommandTransaction(path, MakePacket(protocol::kCmdControllerWrite, {reg, value}),
                                  watchdog);
}

int32_t ReadControllerRegister(const char* path, uint8_t reg, uint8_t* value,
                               RequestWatchdog* watchdog) {
    Packet reply{};
    const bool ok =
        ReplyTransaction(path, MakePacket(protocol::kCmdControllerRead, {reg}), reply, watchdog);
    if (value != nullptr) *value = ok ? reply[0] : 0;
    return ok ? 1 : 0;
}

int32_t WriteSromByte(const char* path, uint16_t address, uint8_t value,
                      RequestWatchdog* watchdog) {
    ChannelHandle handle = OpenChannel(path);
    if (!handle) return 0;
    RequestWatchdog::Watch watch(watchdog, handle.get());
    Packet packet =
        MakePacket(protocol::kCmdSromWrite, {protocol::kSromMemory, protocol::kSromWriteCount,
                                             uint8_t(address >> 8), uint8_t(address), value});
    const bool ok = SendCommand(handle.get(), packet) == kChannelOk;
    // The memory needs the pause to finish its write cycle before the next access.
    platform::SleepMs(kSromWritePauseMs);
    return ok ? 1 : 0;
}

int32_t ReadSromByte(const char* path, uint16_t address, uint8_t* value,
                     RequestWatchdog* watchdog) {
    if (value != nullptr) *value = 0;
    ChannelHandle handle = OpenChannel(path);
    if (!handle) return 0;
    RequestWatchdog::Watch watch(watchdog, handle.get());
    Packet packet = MakePacket(protocol::kCmdSromRead,
                               {protocol::kSromMemory, protocol::kSromReadAddressCount,
                                protocol::kSromReadCount, uint8_t(address >> 8), uint8_t(address)});
    if (SendCommand(handle.get(), packet) != kChannelOk) return 0;
    platform::SleepMs(kSromReadPauseMs);
    Packet reply{};
    (void)ReadReply(handle.get(), reply);
    const bool ok = ReadReply(handle.get(), reply) == kChannelOk;
    platform::SleepMs(kSromReadPauseMs);
    if (ok && value != nullptr) *value = reply[0];
    return ok ? 1 : 0;
}

void SendDriverSetting(const char* path, uint32_t value) {
    ChannelHandle handle = OpenChannel(path);
    if (!handle) return;
    std::array<uint8_t, protocol::kDriverSettingSize> block{};
    const auto selector = LittleEndian(1);
    const auto word = LittleEndian(value);
    std::copy(selector.begin(), selector.end(), block.begin());
    std::copy(word.begin(), word.end(), block.begin() + 4);
    uint32_t returned = 0;
    (void)handle->IoControl(protocol::kCodeDriverSetting, block.data(), block.size(), nullptr, 0,
                            &returned);
}

}  // namespace tavlin::device
