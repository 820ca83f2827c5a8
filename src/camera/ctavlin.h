// The camera object behind a camera handle: owns the device object, the image buffers, the
// settings, the error history, the preview window and the worker threads of one camera.
//
// Threads: any application thread may call any operation; worker threads read the settings
// while they run. Settings blocks are guarded by settingsLock_ (held only to copy or store
// values, never across device traffic); single values the workers poll are atomics.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include "camera/buffer_slots.h"
#include "camera/device_claims.h"
#include "camera/error_reporter.h"
#include "camera/filter_mapping.h"
#include "camera/frame_accounting.h"
#include "device/tavlin_410qz_sdk.h"
#include "output/avi_writer.h"
#include "output/image_buffer.h"
#include "output/preview_window.h"
#include "window/host_window.h"
#include "platform/sync.h"
#include "platform/thread.h"
#include "settings/config_file.h"
#include "settings/settings_types.h"
#include "tavlin/tavlin.h"

namespace tavlin::camera {

inline constexpr int32_t kSensorWidth = 1280;
inline constexpr int32_t kSensorHeight = 1024;

// Passes when the window lies inside the sensor and the sub-sampling is not one of the codes
// 17..19 that stored settings may hold.
bool WindowCheck(const settings::SizePreset& window, int32_t subSample);

struct PreviewRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

// The image TavlinExt_WaitFrame copied, described under the same frame lock.
struct WaitedFrame {
    int32_t width = 0;
    int32_t height = 0;
    int32_t bitsPerPixel = 0;
    int32_t stride = 0;
    int64_t imageBytes = 0;
    uint64_t sequence = 0;
    int64_t timestampNs = 0;
};

// What the exposure conversion last computed (clock duration, line length, lines, µs).
struct ExposureState {
    double clockMs = 1.0;
    int32_t lineLength = 1;
    int32_t shutter = 0;
    int64_t microseconds = 0;
};

class CTavlin {
  public:
    CTavlin();
    virtual ~CTavlin();
    CTavlin(const CTavlin&) = delete;
    CTavlin& operator=(const CTavlin&) = delete;

    // Runs once after construction; 1 on success, 0 after reporting the failure.
    int Initialize(platform::WindowHandle notifyWindow);
    // Saves the settings, stops everything and frees what the camera owns. Idempotent.
    void Destroy();

    ErrorReporter& Errors() { return errors_; }
    bool HasDevice() const { return device_ != nullptr; }

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
    int SetMirrorH(int32_t flag);
    int32_t GetMirrorH();
    int SetMirrorV(int32_t flag);
    int32_t GetMirrorV();
    int SetAutoIris(int32_t value);
    int32_t GetAutoIris(int32_t* ok);
    int SetPreviewWindow(platform::WindowHandle parent, int32_t left, int32_t top, int32_t right,
                         int32_t bottom);
    int GetCameraInfo(TavlinCameraInfo* info);

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
    int StartPreview();
    int StopPreview();
    int Capture();
    int SnapShot(uint8_t* buffer, int32_t length, int32_t rowOrder);
    int Trigger(platform::WindowHandle frameWindow, uint8_t* buffer, int32_t length,
                int32_t rowOrder);
    int GetImage(uint8_t* buffer, int32_t length, int32_t rowOrder);
    int32_t AcquisitionMode() const { return acquisitionMode_.load(); }
    // Frame accounting of the current (or last) acquisition, as one consistent snapshot.
    FrameCounts FrameStats() const { return accounting_.Snapshot(); }
    // Waits for a processed frame numbered above `after` and copies it with its description;
    // 0 after reporting 9 (null output), 5 (buffer too small; *info filled), 13 (no acquisition
    // and no such frame) or 8 (time-out).
    int WaitFrame(uint64_t after, int32_t timeoutMs, uint8_t* buffer, int32_t length,
                  int32_t rowOrder, WaitedFrame* info);

    // Image files and AVI recording (file names in UTF-8, or UTF-16 for the wide forms).
    int SaveImage(const char* fileName, int32_t format);
    int SaveImageW(const char16_t* fileName, int32_t format);
    int Record(const char* fileName, int32_t durationMs, int32_t showWindow);
    int RecordW(const char16_t* fileName, int32_t durationMs, int32_t showWindow);
    // Ends any acquisition and releases the preview window; always 1.
    int Close();

    // Property dialog access
    // What an open property dialog hears from the acquisition thread. The calls come while that
    // thread holds frameLock, so a listener only queues work for the dialog and never waits.
    class DialogListener {
      public:
        virtual ~DialogListener() = default;
        virtual void GainChosen(int32_t gain) = 0;       // automatic gain changed the gains
        virtual void ExposureChosen(int32_t lines) = 0;  // automatic exposure changed it
        virtual void FilterMeasured() = 0;               // white balance or gray gains measured
    };
    // The sensor's limits and defaults as the analog dialog offers them; colour gains by register
    // 43, 44, 45, 46.
    struct AnalogLimits {
        int32_t globalGainMinimum = 0;
        int32_t globalGainDefault = 0;
        int32_t gainMaximum = 0;
        std::array<int32_t, 4> colourGainMinimum{};
        std::array<int32_t, 4> colourGainDefault{};
        int32_t shutterMaximum = 0;
        int32_t shutterDefault = 0;
    };
    // At most one property dialog listens per camera: false when one already does.
    bool AttachDialogListener(std::shared_ptr<DialogListener> listener);
    void DetachDialogListener(const DialogListener* listener);
    // Called by the frame pipeline after an automatic correction or measurement.
    void NotifyDialogGain(int32_t gain);
    void NotifyDialogExposure(int32_t lines);
    void NotifyDialogFilterMeasured();

    AnalogLimits AnalogCapabilities() const;
    // Reads the gains, the shutter and the device's mirror flags into the analog settings.
    settings::AnalogSettings ReadAnalogFromDevice();
    settings::AnalogSettings AnalogSettingsCopy() const;
    // Writes the saved gains, shutter and mirrors to the camera, then restores all nine values.
    void RestoreAnalogSettings(const settings::AnalogSettings& saved);
    // Stores one analog value and writes it to the sensor (no range check, no fan-out).
    void StoreGlobalGain(int32_t gain);
    void StoreColourGain(int32_t reg, int32_t gain);
    void StoreExposure(int32_t lines);
    // lines x line length x clock duration of the conversion state as it stands; 0 before any
    // conversion has run.
    double ExposureMilliseconds(int32_t lines) const;
    settings::FilterSettings FilterSettingsCopy() const;
    void RestoreFilterSettings(const settings::FilterSettings& saved);
    // Changes filter settings as typed (no range checks), under the settings lock.
    void UpdateFilterSettings(const std::function<void(settings::FilterSettings&)>& change);
    int32_t ColorModeIndex() const { return colorMode_.load(); }
    // The device object's selected device number (0 without a device object).
    int32_t DeviceObjectNumber() const;
    // Holds (or releases) a running trigger loop without ending it.
    void PauseTriggerLoop(bool paused);
    // Takes over the stored size preset and format ("Size", "Color", "SubSample", "WaitTime",
    // "Clock"); the sensor gets them at the next acquisition start.
    void ReloadStreamFormat();

  private:
    enum Mode : int32_t { kIdle = 0, kPreviewMode = 1, kCaptureMode = 2, kTriggerMode = 3 };
    enum RunFlag : int32_t { kStop = 0, kRun = 1, kPaused = 2 };

    // Sizes the buffers for the colour mode and sub-sampling and programs the sensor.
    int PrepareAcquisition();
    // With modeLock_ held: 1 when `target` already runs, 0 (reported) when another mode runs or
    // preparation fails, kPrepared when idle and prepared for `target`.
    static constexpr int kPrepared = -1;
    int EnterFromIdle(int32_t target);
    int StartAcquisitionThread();
    void StopAcquisitionThread();
    void AcquisitionThreadMain();
    void PreviewLoop();
    void TriggerLoop();
    // One frame in the raw buffer through the pipeline, under frameLock_.
    void ProcessFrame();
    void AutoExposureStep(output::ImageBuffer& raw, int32_t autoIris);
    void StoreMeasurements(const struct FrameMeasurements& found);
    // Takes the ready frame (ring or single read) into the raw buffer; false when it fails or
    // no longer fits the buffer.
    bool TakeRawFrame(output::ImageBuffer& raw, bool single);
    // Re-strides the raw buffer if the device delivered it packed.
    void RestrideRaw(output::ImageBuffer& raw);
    // Fills the next frame record and returns its address for the frame notice.
    const TavlinFrameInfo* FillFrameInfo(int32_t frameRate);
    int32_t UpdateFrameRate();
    // Copies the output image into the caller's memory; false (reported) when it does not fit.
    bool CopyImageOut(const output::ImageBuffer& image, uint8_t* data, int32_t length,
                      int32_t rowOrder, bool notifyFrameWindow);
    void PostFrameNotice(uintptr_t wParam, intptr_t lParam);
    // Creates the preview window when the application placed one; false (reported 4) when it
    // cannot be made.
    bool CreatePreviewWindow();
    // Copies the output image of the colour mode under frameLock_; false when there is none.
    bool CopyOutputImage(output::ImageBuffer& copy);
    int SaveImageCommon(const char* fileName, int32_t format, bool requireFrame);
    void RecordLoop(int32_t durationMs);
    void StopRecording();
    void ReleaseClaim();
    // Where claims on the selected device are filed.
    ClaimScope SelectedScope() const;

    void LoadImageSettings(int32_t cameraNumber);
    void SaveImageSettings(int32_t cameraNumber);
    // Writes the analog settings to the sensor and the mirror flags to the device object.
    void ApplyAnalogSettings();
    void ProgramSensorWindow();
    ExposureState ComputeExposure();
    // The device's minimum for a colour gain register (0 when it names none).
    int32_t ColourGainMinimum(int32_t reg) const;

    std::atomic<bool> destroyed_{false};
    DeviceClaims claims_;
    ErrorReporter errors_;
    std::unique_ptr<device::CTavlin410QZVKESdk> device_;
    ImageBuffers imageBuffers_;

    mutable std::mutex settingsLock_;  // guards the blocks below
    settings::SizePreset window_;
    settings::AnalogSettings analog_;
    settings::FilterSettings filter_;
    ExposureState exposure_;
    PreviewRect previewRect_{0, 0, kSensorWidth, kSensorHeight};
    platform::WindowHandle previewParent_ = 0;

    // Polled by worker threads, written by application threads.
    std::atomic<int32_t> colorMode_{0};
    std::atomic<int32_t> subSample_{0};
    std::atomic<int32_t> waitTime_{10};
    std::atomic<int32_t> clockMode_{0};
    std::atomic<int32_t> deviceNumber_{0};
    std::atomic<int32_t> acquisitionMode_{0};
    std::atomic<int32_t> imageReady_{0};

    // Acquisition state. Mode changes are serialised by modeLock_ (never taken by the worker);
    // the caller's buffer, the frame record and the buffers are guarded by frameLock_.
    std::mutex modeLock_;
    // Serialises the camera's short device calls (not the blocking frame waits and reads).
    std::recursive_mutex deviceLock_;
    int32_t activeColorMode_ = 0;  // colour mode the buffers were prepared for
    std::atomic<int32_t> runFlag_{kStop};
    // Set when the acquisition thread is asked to stop, so the preview loop's pause between
    // polls (the wait time, any length) ends at once.
    platform::Event stopWake_{platform::Event::Reset::Manual};
    std::atomic<int32_t> skipNextTrigger_{0};
    std::atomic<int32_t> recordFrame_{0};
    std::atomic<platform::WindowHandle> frameWindow_{0};
    platform::WorkerThread acquisitionThread_;
    uint8_t* callerBuffer_ = nullptr;
    int32_t callerLength_ = 0;
    int32_t rowOrder_ = 0;
    // Frame records, used in turn: a notice's record stays as posted until eight more frames
    // have been delivered, so an application that keeps up never reads a record being rewritten.
    // Fields are stored atomically, as a reader on another thread may look at any time.
    std::array<TavlinFrameInfo, 8> frameInfos_{};
    size_t frameInfoSlot_ = 0;
    int32_t frameCounter_ = 0;
    uint32_t rateTimestamp_ = 0;
    int32_t frameRate_ = 0;
    output::ImageBuffer mirrorBuffer_;
    output::PreviewWindow preview_;  // has its own lock; drawn under frameLock_
    // Updated by the acquisition paths; resets under frameLock_ when buffers are prepared, and
    // a frame's count moves under frameLock_ with its image (lock order: frameLock_ first).
    FrameAccounting accounting_;

    // Recording: one record thread per camera, riding on the preview.
    std::recursive_mutex recordLock_;  // serialises starting and stopping a recording
    std::atomic<int32_t> recordRun_{0};
    platform::WorkerThread recordThread_;
    output::AviWriter avi_;  // used by the record thread while it runs

    platform::CriticalSection frameLock_;
    platform::CriticalSection configLock_;
    settings::ConfigList configList_;  // guarded by configLock_
};

}  // namespace tavlin::camera
