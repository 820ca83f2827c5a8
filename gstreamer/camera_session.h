// One camera opened through the SDK's C interface for a tavlinsrc: open and configure it, start
// and stop its acquisition, take frames, change settings live. Failures come back as the SDK's
// error code with a sentence saying what failed and why.
#pragma once

#include <cstdint>
#include <string>

#include "tavlin/tavlin_ext.h"

namespace tavlin::gst {

inline constexpr int32_t kKeepCameraValue = -1;  // leave a setting as the camera holds it

struct SessionConfig {
    int32_t device = 0;
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;  // sensor pixels before sub-sampling
    int32_t height = 0;
    int32_t subSample = 0;
    int32_t exposureLines = kKeepCameraValue;
    int32_t exposureUs = kKeepCameraValue;
    int32_t globalGain = kKeepCameraValue;
    bool autoExposure = false;
    bool trigger = false;
};

struct SessionError {
    int32_t code = 0;  // TAVLIN_ERR_*; 0 when the SDK gave no reason
    std::string message;
};

class CameraSession {
  public:
    CameraSession() = default;
    ~CameraSession() { Close(); }
    CameraSession(const CameraSession&) = delete;
    CameraSession& operator=(const CameraSession&) = delete;

    // Makes a camera object, selects the device and applies every setting of the config except
    // the colour mode, which Start takes. False with *error when any step fails (nothing stays
    // open then).
    bool Open(const SessionConfig& config, SessionError* error);
    bool IsOpen() const { return handle_ != 0; }
    int32_t Handle() const { return handle_; }
    // Stops and releases the camera; its settings are saved by the SDK as on any release.
    void Close();

    // Starts a preview (or trigger mode) in the colour mode, without any window.
    bool Start(int32_t colorMode, SessionError* error);
    void Stop();
    bool IsStreaming() const { return streaming_; }
    int32_t StreamingColorMode() const { return streamingColorMode_; }

    enum class Wait { kFrame, kTimedOut, kStopped, kFailed };
    // Waits up to timeoutMs for a frame after `afterSequence` and copies it, rows top first.
    Wait WaitFrame(uint64_t afterSequence, int32_t timeoutMs, uint8_t* buffer, int32_t length,
                   TavlinExtFrameInfo* info, SessionError* error);

    // Timing of the stream as configured now.
    bool Timing(TavlinExtFrameTiming* timing);
    // The camera's stored colour mode in bits per pixel (0 when unknown).
    int32_t StoredColorMode();

    // Live settings; each is applied at once while streaming.
    bool SetExposureLines(int32_t lines, SessionError* error);
    bool SetExposureUs(int32_t microseconds, SessionError* error);
    bool SetGlobalGain(int32_t gain, SessionError* error);
    bool SetAutoExposure(bool on, SessionError* error);
    int32_t ExposureLines();
    int32_t ExposureUs();
    int32_t GlobalGain();
    bool AutoExposure();

  private:
    // The newest error the camera recorded, as text about `what`; clears the history.
    SessionError Failure(const std::string& what);
    void ClearErrors();
    // Whether the camera already holds the config's window (programming it takes a while).
    bool HasWindow(const SessionConfig& config);
    static bool IsPresent(int32_t device);
    // A getter's value, or kKeepCameraValue when the camera could not answer.
    int32_t Read(int32_t (*getter)(int32_t, int32_t*));

    int32_t handle_ = 0;
    bool streaming_ = false;
    bool trigger_ = false;
    int32_t streamingColorMode_ = 0;
};

}  // namespace tavlin::gst
