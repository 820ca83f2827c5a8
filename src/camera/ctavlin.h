// The camera object behind a camera handle: owns the device object, the image buffers, the
// settings, the error history, the preview window and the worker threads of one camera.
#pragma once

#include <atomic>
#include <cstdint>
#include <utility>
#include <vector>

#include "camera/claim_table.h"
#include "camera/error_reporter.h"
#include "platform/host_window.h"
#include "platform/sync.h"

namespace tavlin::camera {

inline constexpr int32_t kSensorWidth = 1280;
inline constexpr int32_t kSensorHeight = 1024;

// The capture window and the size preset it came from ("TH", "TV", "EH", "EV", "EHS", "EVS",
// "Buf").
struct CaptureWindow {
    int32_t totalWidth = kSensorWidth;
    int32_t totalHeight = kSensorHeight;
    int32_t width = kSensorWidth;
    int32_t height = kSensorHeight;
    int32_t startX = 0;
    int32_t startY = 0;
    int32_t bufferCount = 4;
};

// Passes when the window lies inside the sensor and the sub-sampling is not one of the stored
// values 17..19 that older settings could hold.
bool WindowCheck(const CaptureWindow& window, int32_t subSample);

struct PreviewRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
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
    bool HasDevice() const { return hasDevice_; }

    int SetDeviceNumber(int32_t deviceNumber);
    int32_t DeviceNumber() const { return deviceNumber_.load(); }

    // Settings that need no device object.
    int SetColorMode(int32_t bitsPerPixel);
    int32_t GetColorMode() const;
    int SetSubSample(int32_t subSample);
    int32_t GetSubSample() const { return subSample_.load(); }
    int SetWaitTime(int32_t milliseconds);
    int32_t GetWaitTime() const { return waitTime_.load(); }
    int SetAutoIris(int32_t value);
    int32_t GetAutoIris(int32_t* ok) const;
    int SetHalfClock(int32_t clock);
    int32_t ClockMode() const { return clockMode_.load(); }

    // Ends any acquisition and releases the preview window; always 1.
    int Close();

    // Claim table access for acquisition start/stop.
    ClaimTable& Claims() { return claims_; }

  private:
    std::atomic<bool> destroyed_{false};
    bool hasDevice_ = false;
    ClaimTable claims_;
    ErrorReporter errors_;

    CaptureWindow window_;
    PreviewRect previewRect_{0, 0, kSensorWidth, kSensorHeight};
    platform::WindowHandle previewParent_ = 0;
    platform::WindowHandle frameWindow_ = 0;

    // Read by worker threads while they run, written by application threads.
    std::atomic<int32_t> colorMode_{0};
    std::atomic<int32_t> subSample_{0};
    std::atomic<int32_t> waitTime_{10};
    std::atomic<int32_t> clockMode_{0};
    std::atomic<int32_t> autoIris_{0};
    std::atomic<int32_t> deviceNumber_{0};
    std::atomic<int32_t> acquisitionMode_{0};
    std::atomic<int32_t> imageReady_{0};

    platform::CriticalSection frameLock_;
    platform::CriticalSection configLock_;
    std::vector<std::pair<int32_t, int32_t>> configList_;  // guarded by configLock_
};

}  // namespace tavlin::camera
