// The camera object behind a camera handle: owns the device object, the settings, the error
// history and the preview window of one camera, and the parts that run its acquisition, sensor
// control, recording and configuration files.
//
// Threads: any application thread may call any operation; worker threads read the settings
// while they run. The parts (acquisition, sensor control, recorder, configuration files) keep
// their own state under their own locks; single values the workers poll are atomics.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include "camera/acquisition_mode.h"
#include "camera/acquisition_part.h"
#include "camera/buffer_slots.h"
#include "camera/camera_errors.h"
#include "camera/config_files.h"
#include "camera/device_claims.h"
#include "camera/dialog_port.h"
#include "camera/error_reporter.h"
#include "camera/filter_mapping.h"
#include "camera/frame_accounting.h"
#include "camera/recorder.h"
#include "camera/sensor_control.h"
#include "device/tavlin_410qz_sdk.h"
#include "diag/log.h"
#include "output/image_buffer.h"
#include "output/preview_window.h"
#include "platform/sync.h"
#include "platform/thread.h"
#include "sensor/sensor_geometry.h"
#include "settings/settings_types.h"
#include "tavlin/tavlin.h"
#include "window/host_window.h"

namespace tavlin::camera {

using sensor::kSensorHeight;
using sensor::kSensorWidth;

// Passes when the window lies inside the sensor and the sub-sampling is not one of the codes
// 17..19 that stored settings may hold.
bool WindowCheck(const settings::SizePreset& window, int32_t subSample);

struct PreviewRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

struct FrameTiming {
    int64_t periodNs = 0;
    int64_t lines = 0;
    int32_t lineClocks = 0;
    int32_t pixelClockHz = 0;
};

class CTavlin final : public DialogPort {
  public:
    CTavlin();
    virtual ~CTavlin();
    CTavlin(const CTavlin&) = delete;
    CTavlin& operator=(const CTavlin&) = delete;

    // Runs once after construction; 1 on success, 0 after reporting the failure.
    int Initialize(platform::WindowHandle notifyWindow);
    // Saves the settings, stops everything and frees what the camera owns. Idempotent.
    void Destroy();

    ErrorReporter& Errors() override { return errors_; }
    bool HasDevice() const override { return device_ != nullptr; }

    int SetDeviceNumber(int32_t deviceNumber);
    int32_t DeviceNumber() const { return deviceNumber_.load(); }

    // Capture window, format, mirrors, iris, preview placement, camera information.
    int SetCaptureWindowEx(int32_t totalWidth, int32_t startX, int32_t width, int32_t totalHeight,
                           int32_t startY, int32_t height);
    int SetCaptureWindow(int32_t width, int32_t height);
    int GetCaptureWindowEx(int32_t* totalWidth, int32_t* startX, int32_t* width,
                           int32_t* totalHeight, int32_t* startY, int32_t* height);
    int32_t Width();
    int32_t Height();
    int SetColorMode(int32_t bitsPerPixel);
    int32_t GetColorMode() const;
    int SetSubSample(int32_t subSample);
    int32_t GetSubSample() const { return subSample_.load(); }
    int SetWaitTime(int32_t milliseconds);
    int32_t GetWaitTime() const { return waitTime_.load(); }
    int SetMirrorH(int32_t flag) override;
    int32_t GetMirrorH();
    int SetMirrorV(int32_t flag) override;
    int32_t GetMirrorV();
    int SetAutoIris(int32_t value) override;
    int32_t GetAutoIris(int32_t* ok);
    int SetPreviewWindow(platform::WindowHandle parent, int32_t left, int32_t top, int32_t right,
                         int32_t bottom);
    int GetCameraInfo(TavlinCameraInfo* info);
    // Readout timing of the next acquisition: from the stored window, sub-sampling, clock and
    // shutter, as the sensor will be programmed with them.
    FrameTiming Timing();

    // Filter values by id (1..28).
    int SetFilterValue(int32_t id, int32_t value);
    int32_t GetFilterValue(int32_t id, int32_t* ok);

    // Device access: registers, SROM, I/O port, clock, exposure time, enumeration and names.
    int32_t ReadRegister(int32_t address, int32_t* ok);
    int WriteRegister(int32_t address, int32_t value);
    int32_t ReadSromID(int32_t index, int32_t* ok);
    int WriteSromID(int32_t index, int32_t value);
    int GetIOPort(uint8_t* value);
    int SetIOPort(uint8_t value);
    int32_t GetHalfClock(int32_t* ok);
    int SetHalfClock(int32_t clock);
    int32_t GetRealExposureTime(int32_t* ok);
    int SetRealExposureTime(int32_t microseconds);
    int32_t EnumDevice(char* names);
    int32_t EnumDeviceW(char16_t* names);
    int GetDeviceName(int32_t index, char* buffer, int32_t length);
    int GetDeviceNameW(int32_t index, char16_t* buffer, int32_t length);

    // Configuration files.
    int LoadConfigFile(const char* fileName);
    int LoadConfigFileW(const char16_t* fileName);
    settings::ConfigList ConfigPairs();

    // Acquisition: preview (with or without frame messages), capture with snapshots, trigger.
    int Preview();
    int CallBackPreview(platform::WindowHandle frameWindow, uint8_t* buffer, int32_t length,
                        int32_t rowOrder);
    int StartPreview() override;
    int StopPreview() override;
    int Capture() override;
    int SnapShot(uint8_t* buffer, int32_t length, int32_t rowOrder);
    int Trigger(platform::WindowHandle frameWindow, uint8_t* buffer, int32_t length,
                int32_t rowOrder);
    int GetImage(uint8_t* buffer, int32_t length, int32_t rowOrder);
    int32_t AcquisitionMode() const override { return acquisition_.Mode(); }
    // Frame accounting of the current (or last) acquisition, as one consistent snapshot.
    FrameCounts FrameStats() const { return acquisition_.FrameStats(); }
    // Waits for a processed frame numbered above `after` and copies it with its description;
    // 0 after reporting 9 (null output), 5 (buffer too small; *info filled), 13 (no acquisition
    // and no such frame) or 8 (time-out).
    int WaitFrame(uint64_t after, int32_t timeoutMs, uint8_t* buffer, int32_t length,
                  int32_t rowOrder, WaitedFrame* info) {
        return acquisition_.WaitFrame(after, timeoutMs, buffer, length, rowOrder, info);
    }

    // Image files and AVI recording (file names in UTF-8, or UTF-16 for the wide forms).
    int SaveImage(const char* fileName, int32_t format);
    int SaveImageW(const char16_t* fileName, int32_t format);
    int Record(const char* fileName, int32_t durationMs, int32_t showWindow);
    int RecordW(const char16_t* fileName, int32_t durationMs, int32_t showWindow);
    // Ends any acquisition and releases the preview window; always 1.
    int Close();

    // Property dialog access (DialogPort, which says what each does).
    bool AttachDialogListener(std::shared_ptr<DialogListener> listener) override;
    void DetachDialogListener(const DialogListener* listener) override;
    AnalogLimits AnalogCapabilities() const override;
    settings::AnalogSettings ReadAnalogFromDevice() override;
    settings::AnalogSettings AnalogSettingsCopy() const override;
    void RestoreAnalogSettings(const settings::AnalogSettings& saved) override;
    void StoreGlobalGain(int32_t gain) override;
    void StoreColourGain(int32_t reg, int32_t gain) override;
    void StoreExposure(int32_t lines) override;
    double ExposureMilliseconds(int32_t lines) const override;
    settings::FilterSettings FilterSettingsCopy() const override;
    void RestoreFilterSettings(const settings::FilterSettings& saved) override;
    void UpdateFilterSettings(
        const std::function<void(settings::FilterSettings&)>& change) override;
    int32_t ColorModeIndex() const override { return colorMode_.load(); }
    int32_t DeviceObjectNumber() const override;
    void PauseTriggerLoop(bool paused) override;
    void ReloadStreamFormat() override;

  private:
    // The one error path of the operations: reports `code` and gives their failure result.
    int Fail(int32_t code, diag::Where where = {}) {
        errors_.Report(code, where);
        return 0;
    }
    // As Fail, posting the notification without recording it, as some operations always have.
    int FailPostOnly(int32_t code, diag::Where where = {}) {
        errors_.PostOnly(code, where);
        return 0;
    }
    // False, after reporting error 1, when the camera has no device object.
    bool RequireDevice();
    bool RequireDevicePostOnly();

    // Sizes the buffers for the colour mode and sub-sampling and programs the sensor.
    int PrepareAcquisition();
    // With the mode lock held: 1 when `target` already runs, 0 (reported) when another mode
    // runs or preparation fails, kPrepared when idle and prepared for `target`.
    static constexpr int kPrepared = -1;
    int EnterFromIdle(int32_t target, AllowedModes from);
    // Creates the preview window when the application placed one; false (reported 4) when it
    // cannot be made.
    bool CreatePreviewWindow();
    int SaveImageCommon(const char* fileName, int32_t format, bool requireFrame);
    // Whether the caller already holds the recorder's lock (a failing Record closes the camera).
    enum class RecordLock { kFree, kHeld };
    int StopAcquisition(RecordLock recordLock);
    int CloseCamera(RecordLock recordLock);
    void ReleaseClaim();
    // Where claims on the selected device are filed.
    ClaimScope SelectedScope() const;

    void ProgramSensorWindow();
    ExposureState ComputeExposure();

    // Locks, taken in this order when nested; every one a std::mutex that its holder never
    // takes again:
    //   recorder_'s lock > acquisition_'s mode lock > acquisition_'s frame lock > deviceLock_
    //   > sensor_'s lock > the leaf locks (windowLock_, frame accounting, error history,
    //   preview window, dialog listeners).
    // configFiles_' lock nests with none of them.
    std::atomic<bool> destroyed_{false};
    DeviceClaims claims_;
    ErrorReporter errors_;
    std::unique_ptr<device::CTavlin410QZVKESdk> device_;

    // The device lock serialises the camera's short device calls (not the blocking frame waits
    // and reads); the sensor part takes it before its own lock.
    std::mutex deviceLock_;
    SensorControl sensor_{{device_, deviceLock_}};

    mutable std::mutex windowLock_;  // guards the capture window and the preview placement
    settings::SizePreset window_;
    PreviewRect previewRect_{0, 0, kSensorWidth, kSensorHeight};
    platform::WindowHandle previewParent_ = 0;

    // Polled by worker threads, written by application threads.
    std::atomic<int32_t> colorMode_{0};
    std::atomic<int32_t> subSample_{0};
    std::atomic<int32_t> waitTime_{10};
    std::atomic<int32_t> clockMode_{0};
    std::atomic<int32_t> deviceNumber_{0};

    output::PreviewWindow preview_;  // has its own lock; drawn under the frame lock
    // The modes, buffers, loops and frame delivery; the recorder reads its output buffers.
    Acquisition acquisition_{{{device_, deviceLock_},
                              sensor_,
                              errors_,
                              preview_,
                              recorder_,
                              *this,
                              colorMode_,
                              waitTime_}};
    Recorder recorder_{acquisition_.RecorderSource()};
    ConfigFiles configFiles_;
};

}  // namespace tavlin::camera
