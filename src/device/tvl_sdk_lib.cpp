#include "device/tvl_sdk_lib.h"

#include <mutex>

#include <cstdio>
#include <cstring>
#include <exception>

namespace tavlin::device {

namespace {

// The largest frame whose doubled buffer still has a 32-bit size.
constexpr int64_t kMaxFrameBytes = 0x3FFFFC00;

int64_t RoundUpTo1024(int64_t bytes) {
    return (bytes + 1023) / 1024 * 1024;
}

}  // namespace

CTVLSdkLib::CTVLSdkLib() = default;

CTVLSdkLib::~CTVLSdkLib() {
    // A running thread writes into the ring; it must end before the memory goes.
    if (TransferRunning()) StopTransfer();
    transferThread.Join();
    CloseFrameChannel();
}

Status CTVLSdkLib::CopyVisible(uint8_t* destination, const uint8_t* source) {
    const size_t sample = wideSamples != 0 ? 2 : 1;
    if (lineWidth == visibleWidth && frameLines == visibleHeight) {
        std::memcpy(destination, source, size_t(visibleWidth) * size_t(visibleHeight) * sample);
        return Status::Ok;
    }
    const size_t rowBytes = size_t(visibleWidth) * sample;
    for (int32_t i = 0; i < visibleHeight; ++i) {
        const size_t from = (size_t(visibleY + i) * size_t(lineWidth) + size_t(visibleX)) * sample;
        std::memcpy(destination + size_t(i) * rowBytes, source + from, rowBytes);
    }
    return Status::Ok;
}

Status CTVLSdkLib::SetColourVariant(int32_t value) {
    colourVariant = value >= 0 && value < 3 ? value : 1;
    return Status::Ok;
}

Status CTVLSdkLib::SetSampleWidth(int32_t wide) {
    wideSamples = wide;
    SendCommandPacket(MakePacket(protocol::kCmdSampleWidth, {uint8_t(wide != 0 ? 1 : 0)}));
    return Status::Ok;
}

Status CTVLSdkLib::SendCommandPacket(Packet packet) {
    return SendCommandTransaction(devicePath.data(), packet, &requestWatchdog_);
}

void CTVLSdkLib::ProbeDevices() {
    for (int32_t index = 0; index < kDeviceCount; ++index) {
        std::array<char, 256> path{};
        std::snprintf(path.data(), path.size(), "%s", BuildDevicePath(namePrefix, index).c_str());
        ChannelHandle handle = OpenChannel(path.data());
        present[index] = handle ? 1 : 0;
    }
}

bool CTVLSdkLib::IsPresent(int32_t index) const {
    return index >= 0 && index < kDeviceCount && present[index] != 0;
}

Status CTVLSdkLib::SelectDevice(int32_t index) {
    // 32 is accepted (it names a path nothing answers on); negative indices have no path.
    if (index < 0 || index > kDeviceCount) return Status::BadArgument;
    selectedIndex = index;
    std::snprintf(devicePath.data(), devicePath.size(), "%s",
                  BuildDevicePath(namePrefix, index).c_str());
    return Status::Ok;
}

bool CTVLSdkLib::SelectedDeviceIsPrivate() const {
    return ChannelIsPrivate(devicePath.data());
}

Status CTVLSdkLib::OpenDevice(int32_t index) {
    ResetDefaults();
    if (const Status selected = SelectDevice(index); selected != Status::Ok) return selected;
    SetSampleWidth(0);
    return Status::Ok;
}

void CTVLSdkLib::ResetDefaults() {
    wideSamples = 0;
    lineWidth = 1339;
    visibleX = 50;
    visibleWidth = 1280;
    frameLines = 1040;
    visibleY = 10;
    visibleHeight = 1028;
    colourVariant = 0;
    subSampleMode = 0;
    triggerMode = 0;
    CloseFrameChannel();
}

Status CTVLSdkLib::SetFrameGeometry(int32_t newLineWidth, int32_t newVisibleX,
                                    int32_t newVisibleWidth, int32_t newFrameLines,
                                    int32_t newVisibleY, int32_t newVisibleHeight,
                                    int32_t newBufferCount) {
    if (newLineWidth <= 0 || newVisibleWidth <= 0 || newVisibleWidth > newLineWidth ||
        newVisibleX < 0 || int64_t(newVisibleX) + newVisibleWidth > newLineWidth) {
        return Status::BadLineWidth;
    }
    if (newFrameLines <= 0 || newVisibleHeight <= 0 || newVisibleY < 0 ||
        int64_t(newVisibleY) + newVisibleHeight > newFrameLines) {
        return Status::BadFrameLines;
    }
    if (newBufferCount < 2) return Status::TooFewBuffers;
    // The ring is in use while a run goes on; freeing it would pull memory from the thread.
    if (TransferRunning()) return Status::Busy;
    // A single-frame read (trigger mode, snapshots) reads the geometry and fills the work buffer.
    std::unique_lock<std::mutex> single(singleFrameLock, std::try_to_lock);
    if (!single.owns_lock()) return Status::Busy;
    const int64_t bytes =
        RoundUpTo1024(int64_t(newLineWidth) * (int64_t(newVisibleY) + newVisibleHeight));
    if (bytes > kMaxFrameBytes) return Status::NoMemory;

    ReleaseBuffers();
    lineWidth = newLineWidth;
    visibleX = newVisibleX;
    visibleWidth = newVisibleWidth;
    frameLines = newFrameLines;
    visibleY = newVisibleY;
    visibleHeight = newVisibleHeight;
    bufferCount = newBufferCount;
    frameBytes = static_cast<int32_t>(bytes);
    if (const Status result = AllocateBuffers(); result != Status::Ok) return result;

    const uint32_t size = static_cast<uint32_t>(frameBytes);
    SendCommandPacket(
        MakePacket(protocol::kCmdTransferSize,
                   {uint8_t(size), uint8_t(size >> 8), uint8_t(size >> 16), uint8_t(size >> 24)}));
    return Status::Ok;
}

void CTVLSdkLib::ReleaseBuffers() {
    workBuffer = {};
    bufferTable = {};
}

Status CTVLSdkLib::AllocateBuffers() {
    const size_t bytes = 2 * size_t(frameBytes);
    try {
        workBuffer.assign(bytes, 0);
    } catch (const std::bad_alloc&) {
        ReleaseBuffers();
        return Status::NoMemory;
    }
    try {
        bufferTable.resize(size_t(bufferCount));
        for (auto& buffer : bufferTable) buffer.assign(bytes, 0);
    } catch (const std::exception&) {
        // The ring is optional for single frames; without it StartTransfer refuses to run.
        bufferTable = {};
    }
    return Status::Ok;
}

const uint8_t* CTVLSdkLib::RingBuffer(int32_t index) const {
    if (index < 0 || size_t(index) >= bufferTable.size()) return nullptr;
    return bufferTable[size_t(index)].data();
}

}  // namespace tavlin::device
