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

Status PipeRequest(DeviceFile* handle, uint32_t code, uint32_t pipe, void* buffer, uint32_t length,
                   uint32_t* returned) {
    *returned = 0;
    if (buffer == nullptr) return Status::BadArgument;
    if (handle == nullptr) return Status::NoDevice;
    const auto pipeNumber = LittleEndian(pipe);
    const bool ok =
        handle->IoControl(code, pipeNumber.data(), pipeNumber.size(), buffer, length, returned);
    return ok ? Status::Ok : Status::Failed;
}

Status SendCommand(DeviceFile* handle, Packet& packet) {
    if (handle == nullptr) return Status::NoDevice;
    uint32_t returned = 0;
    const Status status = PipeRequest(handle, protocol::kCodePipeInput, protocol::kPipeCommand,
                                      packet.data(), packet.size(), &returned);
    return status == Status::Ok && returned == packet.size() ? Status::Ok : Status::Failed;
}

Status ReadReply(DeviceFile* handle, Packet& block) {
    if (handle == nullptr) return Status::NoDevice;
    uint32_t returned = 0;
    const Status status = PipeRequest(handle, protocol::kCodePipeOutput, protocol::kPipeReply,
                                      block.data(), block.size(), &returned);
    return status == Status::Ok && returned == block.size() ? Status::Ok : Status::Failed;
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

Status SendCommandTransaction(const char* path, Packet packet, RequestWatchdog* watchdog) {
    ChannelHandle handle = OpenChannel(path);
    if (!handle) return Status::NoDevice;
    RequestWatchdog::Watch watch(watchdog, handle.get());
    return SendCommand(handle.get(), packet);
}

Status ReplyTransaction(const char* path, Packet packet, Packet& reply, RequestWatchdog* watchdog) {
    ChannelHandle handle = OpenChannel(path);
    if (!handle) return Status::NoDevice;
    RequestWatchdog::Watch watch(watchdog, handle.get());
    if (const Status sent = SendCommand(handle.get(), packet); sent != Status::Ok) return sent;
    (void)ReadReply(handle.get(), reply);  // the first block is stale; only the second counts
    return ReadReply(handle.get(), reply);
}

Status WriteSensorRegister(const char* path, uint8_t reg, uint16_t value,
                           RequestWatchdog* watchdog) {
    return SendCommandTransaction(
        path, MakePacket(protocol::kCmdSensorWrite, {reg, uint8_t(value >> 8), uint8_t(value)}),
        watchdog);
}

Status ReadSensorRegister(const char* path, uint8_t reg, uint16_t* value,
                          RequestWatchdog* watchdog) {
    Packet reply{};
    const Status status =
        ReplyTransaction(path, MakePacket(protocol::kCmdSensorRead, {reg}), reply, watchdog);
    const bool ok = status == Status::Ok;
    if (value != nullptr) *value = ok ? static_cast<uint16_t>(reply[0] * 256 + reply[1]) : 0;
    return status;
}

Status WriteControllerRegister(const char* path, uint8_t reg, uint8_t value,
                               RequestWatchdog* watchdog) {
    return SendCommandTransaction(path, MakePacket(protocol::kCmdControllerWrite, {reg, value}),
                                  watchdog);
}

Status ReadControllerRegister(const char* path, uint8_t reg, uint8_t* value,
                              RequestWatchdog* watchdog) {
    Packet reply{};
    const Status status =
        ReplyTransaction(path, MakePacket(protocol::kCmdControllerRead, {reg}), reply, watchdog);
    if (value != nullptr) *value = status == Status::Ok ? reply[0] : 0;
    return status;
}

Status WriteSromByte(const char* path, uint16_t address, uint8_t value, RequestWatchdog* watchdog) {
    ChannelHandle handle = OpenChannel(path);
    if (!handle) return Status::NoDevice;
    RequestWatchdog::Watch watch(watchdog, handle.get());
    Packet packet =
        MakePacket(protocol::kCmdSromWrite, {protocol::kSromMemory, protocol::kSromWriteCount,
                                             uint8_t(address >> 8), uint8_t(address), value});
    const Status status = SendCommand(handle.get(), packet);
    // The memory needs the pause to finish its write cycle before the next access.
    platform::SleepMs(kSromWritePauseMs);
    return status;
}

Status ReadSromByte(const char* path, uint16_t address, uint8_t* value, RequestWatchdog* watchdog) {
    if (value != nullptr) *value = 0;
    ChannelHandle handle = OpenChannel(path);
    if (!handle) return Status::NoDevice;
    RequestWatchdog::Watch watch(watchdog, handle.get());
    Packet packet = MakePacket(protocol::kCmdSromRead,
                               {protocol::kSromMemory, protocol::kSromReadAddressCount,
                                protocol::kSromReadCount, uint8_t(address >> 8), uint8_t(address)});
    if (const Status sent = SendCommand(handle.get(), packet); sent != Status::Ok) return sent;
    platform::SleepMs(kSromReadPauseMs);
    Packet reply{};
    (void)ReadReply(handle.get(), reply);
    const Status status = ReadReply(handle.get(), reply);
    platform::SleepMs(kSromReadPauseMs);
    if (status == Status::Ok && value != nullptr) *value = reply[0];
    return status;
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
