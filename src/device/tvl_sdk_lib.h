// The device object: which camera it talks to, the frame geometry and raw frame memory, the
// transfer thread with its ring of buffers, the single-frame path, and the register, SROM, I/O
// port and naming operations the exports forward to. Model subclasses add the sensor map.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "device/driver_channel.h"
#include "device/transfer_block.h"
#include "platform/thread.h"

namespace tavlin::device {

// Name results: 0 written; 9 buffer too short or index outside 0..31; 2 no camera there.
inline constexpr int32_t kNameInvalid = 9;
inline constexpr int32_t kNameAbsent = 2;

class CTVLSdkLib {
  public:
    static constexpr int32_t kDeviceCount = protocol::kDeviceCount;
    static constexpr int32_t kFrameWaitMs = 6000;

    CTVLSdkLib();
    virtual ~CTVLSdkLib();
    CTVLSdkLib(const CTVLSdkLib&) = delete;
    CTVLSdkLib& operator=(const CTVLSdkLib&) = delete;

    // Virtual operations.
    virtual Status CopyVisible(uint8_t* destination, const uint8_t* source);
    virtual Status SetColourVariant(int32_t value);
    virtual Status SetSampleWidth(int32_t wide);

    // Enumeration and selection.
    void ProbeDevices();
    int32_t DeviceCount() const { return kDeviceCount; }
    bool IsPresent(int32_t index) const;
    // BadArgument for an index without a path (outside 0..32; 32 names a path nothing answers).
    Status SelectDevice(int32_t index);
    Status OpenDevice(int32_t index);
    int32_t SelectedIndex() const { return selectedIndex; }
    const char* DevicePath() const { return devicePath.data(); }
    // True when the selected device exists for this process alone (a camera attached in it),
    // so its claims concern no other process.
    bool SelectedDeviceIsPrivate() const;

    // Display names. The lists write max(10, found) slots and return found (they write nothing
    // into a null buffer); the narrow list probes first, the wide one uses the last probe.
    int32_t EnumerateNames(char* buffer);
    int32_t EnumerateNamesWide(char16_t* buffer) const;
    int32_t DeviceName(int32_t index, char* buffer, int32_t length) const;
    int32_t DeviceNameWide(int32_t index, char16_t* buffer, int32_t length) const;

    // Frame geometry and frames.
    void ResetDefaults();
    Status SetFrameGeometry(int32_t lineWidth, int32_t visibleX, int32_t visibleWidth,
                            int32_t frameLines, int32_t visibleY, int32_t visibleHeight,
                            int32_t bufferCount);
    Status StartTransfer();
    // The run's outcome (Ok when none was under way or it ended cleanly).
    Status StopTransfer();
    // Ok: a frame is ready to take. NoFrameYet: ask again. NotRunning: no run. Failed: the run
    // failed, or no frame came within kFrameWaitMs.
    Status WaitFrame();
    Status TakeFrame(uint8_t* destination);
    Status ReadSingleFrame();
    Status TakeSingleFrame(uint8_t* destination);
    void CloseFrameChannel();

    // Frame accounting. After WaitFrame answered Ok: the stamp of the frame it picked, and
    // PassFrame gives that frame up without copying it (as TakeFrame would after the copy). The
    // run's read totals are final once the run has ended.
    FrameStamp ReadyFrameStamp() const;
    void PassFrame();
    TransferTally TransferTotals() const;
    // CLOCK_MONOTONIC nanoseconds at which the last successful single-frame read completed.
    int64_t SingleFrameArrivalNs() const { return singleArrivalNs.load(); }
    // From any thread: a single-frame read under way fails at once (Failed), and so does every
    // later one until AllowSingleFrames. A stop uses it so that no read the camera holds can
    // keep it waiting.
    void CancelSingleFrames();
    void AllowSingleFrames();
    bool SingleFramesCancelled() const { return singleFrameCancel.Cancelled(); }

    // Driver setting on the selected path (the trigger read time-out in milliseconds).
    void SendDriverSetting(uint32_t value);

    // Register, SROM and I/O port access. Register numbers use their low 8 bits, values their
    // low 16 (sensor) or 8 (controller, port, SROM) bits; a null value is BadArgument.
    Status ReadSensorRegister(int32_t reg, uint16_t* value);
    Status WriteSensorRegister(int32_t reg, int32_t value);
    Status ReadControllerRegister(int32_t reg, uint8_t* value);
    Status WriteControllerRegister(int32_t reg, int32_t value);
    Status ReadSromByte(int32_t address, uint8_t* value);  // 0x1800..0xFFFF only
    Status ReadSromID(int32_t index, uint8_t* value);      // index: low 8 bits
    Status WriteSromID(int32_t index, int32_t value);
    Status ReadIOPort(uint8_t* value);
    Status WriteIOPort(int32_t value);

    // Read access to the state other layers and tests look at.
    int32_t WideSamples() const { return wideSamples; }
    int32_t WindowX() const { return windowX; }
    int32_t WindowY() const { return windowY; }
    int32_t WindowWidth() const { return windowWidth; }
    int32_t WindowHeight() const { return windowHeight; }
    int32_t LineWidth() const { return lineWidth; }
    int32_t VisibleX() const { return visibleX; }
    int32_t VisibleWidth() const { return visibleWidth; }
    int32_t FrameLines() const { return frameLines; }
    int32_t VisibleY() const { return visibleY; }
    int32_t VisibleHeight() const { return visibleHeight; }
    int32_t FrameBytes() const { return frameBytes; }
    int32_t BufferCount() const { return bufferCount; }
    size_t RingBufferBytes() const { return bufferTable.empty() ? 0 : bufferTable[0].size(); }
    size_t WorkBufferBytes() const { return workBuffer.size(); }
    int32_t ColourVariant() const { return colourVariant; }
    int32_t SubSampleMode() const { return subSampleMode; }
    int32_t RowStart() const { return rowStart; }
    int32_t ColumnStart() const { return columnStart; }
    int32_t RowCount() const { return rowCount; }
    int32_t ColumnCount() const { return columnCount; }
    int32_t TriggerMode() const { return triggerMode; }
    bool FrameChannelOpen() const { return frameHandle != nullptr; }
    // Last run's outcome (Ok, NoDevice or Failed).
    Status TransferResult() const { return transfer.result.load(); }

  protected:
    // Sends a command packet in its own transaction; the outcome is returned, seldom examined.
    Status SendCommandPacket(Packet packet);

    int32_t wideSamples = 0;
    int32_t windowX = 0, windowY = 0, windowWidth = 0, windowHeight = 0;
    int32_t lineWidth = 0;
    int32_t visibleX = 0;
    int32_t visibleWidth = 0;
    int32_t frameLines = 0;
    int32_t visibleY = 0;
    int32_t visibleHeight = 0;
    int32_t frameBytes = 0;
    std::vector<uint8_t> workBuffer;
    int32_t bufferCount = 0;
    std::string namePrefix;
    int32_t colourVariant = 0;
    int32_t subSampleMode = 0;
    int32_t rowStart = 0, columnStart = 0, rowCount = 0, columnCount = 0;
    int32_t mirrorH = 0, mirrorV = 0;
    std::array<int32_t, kDeviceCount> present{};
    int32_t selectedIndex = 0;
    int32_t triggerMode = 0;
    TransferBlock transfer;
    std::vector<std::vector<uint8_t>> bufferTable;
    std::array<char, 128> devicePath{};
    ChannelHandle frameHandle;
    std::atomic<int64_t> singleArrivalNs{0};
    CancelPoint singleFrameCancel;
    // Held by a single-frame read for its whole length; the geometry is not changed under it.
    std::mutex singleFrameLock;

  private:
    bool TransferRunning() const { return transfer.stopFlag.load() == 0; }
    void ReleaseBuffers();
    Status AllocateBuffers();
    const uint8_t* RingBuffer(int32_t index) const;

    // A register or SROM request still running after this long is taken as hung.
    static constexpr std::chrono::milliseconds kRequestLimit{1000};
    RequestWatchdog requestWatchdog_{kRequestLimit};
    platform::WorkerThread transferThread;
};

}  // namespace tavlin::device
