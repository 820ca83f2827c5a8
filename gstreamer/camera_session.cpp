#include "camera_session.h"

#include <string>

#include "tavlin/tavlin.h"
#include "tavlin/tavlin_vcam.h"

namespace tavlin::gst {

namespace {

constexpr int32_t kTopRowFirst = 1;
constexpr int32_t kAutoIrisOff = 0;
constexpr int32_t kAutoIrisExposure = 1;

// Tavlin_GetColorMode's answers, in the order of the colour modes they stand for.
constexpr int32_t kReportedModes[][2] = {{8, 8}, {10, 16}, {24, 24}, {32, 32}, {42, 48}, {58, 64}};

}  // namespace

SessionError CameraSession::Failure(const std::string& what) {
    SessionError error;
    error.code = handle_ != 0 ? Tavlin_GetLastError(handle_) : 0;
    error.message = what;
    if (error.code != 0) {
        error.message += ": ";
        error.message += TavlinExt_GetErrorText(error.code);
        error.message += " (SDK error " + std::to_string(error.code) + ")";
    }
    ClearErrors();
    return error;
}

void CameraSession::ClearErrors() {
    while (handle_ != 0 && Tavlin_GetLastError(handle_) != 0) {
    }
}

bool CameraSession::IsPresent(int32_t device) {
    TavlinExtDeviceInfo info{};
    info.size = sizeof(info);
    return TavlinExt_GetDeviceInfo(device, &info) == 1 && info.reach != TAVLIN_EXT_REACH_NONE;
}

bool CameraSession::HasWindow(const SessionConfig& config) {
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
    Tavlin_GetCaptureWindowEx(handle_, nullptr, &x, &width, nullptr, &y, &height);
    return x == config.x && y == config.y && width == config.width && height == config.height;
}

bool CameraSession::Open(const SessionConfig& config, SessionError* error) {
    Close();
    handle_ = Tavlin_Initialize(nullptr);
    if (handle_ == 0) {
        *error = {TAVLIN_ERR_MEMORY, "the SDK could not make a camera object"};
        return false;
    }
    // What the first device reported while the object was made does not concern another one.
    ClearErrors();
    const std::string device = "camera " + std::to_string(config.device);
    // A new camera object starts on device 0; selecting it again would only reprogram it.
    bool ok = true;
    if (config.device != 0) {
        ok = Tavlin_SetDeviceNumber(handle_, config.device) == 1;
        if (!ok) *error = Failure("cannot select " + device);
    } else if (!IsPresent(0)) {
        *error = {TAVLIN_ERR_DEVICE_BUSY, "cannot select " + device + ": no camera answers there"};
        ok = false;
    }
    // No window of the SDK's own: frames go to the pipeline only.
    ok = ok && Tavlin_SetPreviewWindow(handle_, nullptr, 0, 0, 0, 0) == 1;
    if (ok && Tavlin_SetSubSample(handle_, config.subSample) != 1) {
        *error = {TAVLIN_ERR_INVALID_ARGUMENT, "sub-sample must be 0..3"};
        ok = false;
    }
    if (ok && !HasWindow(config) &&
        Tavlin_SetCaptureWindowEx(handle_, TAVLIN_VCAM_SENSOR_WIDTH, config.x, config.width,
                                  TAVLIN_VCAM_SENSOR_HEIGHT, config.y, config.height) != 1) {
        *error = Failure("window " + std::to_string(config.width) + "x" +
                         std::to_string(config.height) + "+" + std::to_string(config.x) + "+" +
                         std::to_string(config.y) + " does not fit the 1280x1024 sensor");
        ok = false;
    }
    ok = ok && SetAutoExposure(config.autoExposure, error);
    if (ok && config.exposureLines != kKeepCameraValue)
        ok = SetExposureLines(config.exposureLines, error);
    if (ok && config.exposureUs != kKeepCameraValue) ok = SetExposureUs(config.exposureUs, error);
    if (ok && config.globalGain != kKeepCameraValue) ok = SetGlobalGain(config.globalGain, error);
    if (!ok) {
        Close();
        return false;
    }
    trigger_ = config.trigger;
    return true;
}

void CameraSession::Close() {
    if (handle_ == 0) return;
    Stop();
    Tavlin_Release(handle_);
    handle_ = 0;
}

bool CameraSession::Start(int32_t colorMode, SessionError* error) {
    if (streaming_) Stop();
    if (Tavlin_SetColorMode(handle_, colorMode) != 1) {
        *error = Failure("colour mode " + std::to_string(colorMode));
        return false;
    }
    const bool started = trigger_ ? Tavlin_Trigger(handle_, nullptr, nullptr, 0, kTopRowFirst) == 1
                                  : Tavlin_StartPreview(handle_) == 1;
    if (!started) {
        *error = Failure(trigger_ ? "cannot enter trigger mode" : "cannot start streaming");
        Tavlin_StopPreview(handle_);
        return false;
    }
    streaming_ = true;
    streamingColorMode_ = colorMode;
    return true;
}

void CameraSession::Stop() {
    if (handle_ != 0 && streaming_) Tavlin_StopPreview(handle_);
    streaming_ = false;
}

CameraSession::Wait CameraSession::WaitFrame(uint64_t afterSequence, int32_t timeoutMs,
                                             uint8_t* buffer, int32_t length,
                                             TavlinExtFrameInfo* info, SessionError* error) {
    info->size = sizeof(*info);
    if (TavlinExt_WaitFrame(handle_, afterSequence, timeoutMs, buffer, length, kTopRowFirst,
                            info) == 1) {
        return Wait::kFrame;
    }
    const int32_t code = Tavlin_GetLastError(handle_);
    ClearErrors();
    if (code == TAVLIN_ERR_TRANSFER) return Wait::kTimedOut;
    error->code = code;
    error->message = std::string(code == TAVLIN_ERR_STREAM_STOPPED
                                     ? "the camera stream stopped (unplugged or transfer failed)"
                                     : "cannot take a frame") +
                     ": " + TavlinExt_GetErrorText(code) + " (SDK error " + std::to_string(code) +
                     ")";
    return code == TAVLIN_ERR_STREAM_STOPPED ? Wait::kStopped : Wait::kFailed;
}

bool CameraSession::Timing(TavlinExtFrameTiming* timing) {
    timing->size = sizeof(*timing);
    return handle_ != 0 && TavlinExt_GetFrameTiming(handle_, timing) == 1;
}

int32_t CameraSession::StoredColorMode() {
    const int32_t reported = handle_ != 0 ? Tavlin_GetColorMode(handle_) : -1;
    for (const auto& pair : kReportedModes) {
        if (pair[0] == reported) return pair[1];
    }
    return 0;
}

bool CameraSession::SetExposureLines(int32_t lines, SessionError* error) {
    if (Tavlin_SetExposureTime(handle_, lines) == 1) return true;
    *error = Failure("exposure-lines " + std::to_string(lines));
    return false;
}

bool CameraSession::SetExposureUs(int32_t microseconds, SessionError* error) {
    if (Tavlin_SetRealExposureTime(handle_, microseconds) == 1) return true;
    *error = Failure("exposure-us " + std::to_string(microseconds) +
                     " (1..16383 lines at this clock and window)");
    return false;
}

bool CameraSession::SetGlobalGain(int32_t gain, SessionError* error) {
    if (Tavlin_SetGlobalGain(handle_, gain) == 1) return true;
    *error = Failure("global-gain " + std::to_string(gain));
    return false;
}

bool CameraSession::SetAutoExposure(bool on, SessionError* error) {
    if (Tavlin_SetAutoIris(handle_, on ? kAutoIrisExposure : kAutoIrisOff) == 1) return true;
    *error = Failure("auto-exposure");
    return false;
}

int32_t CameraSession::Read(int32_t (*getter)(int32_t, int32_t*)) {
    int32_t ok = 0;
    const int32_t value = getter(handle_, &ok);
    ClearErrors();
    return ok == 1 ? value : kKeepCameraValue;
}

int32_t CameraSession::ExposureLines() {
    return Read(&Tavlin_GetExposureTime);
}

int32_t CameraSession::ExposureUs() {
    return Read(&Tavlin_GetRealExposureTime);
}

int32_t CameraSession::GlobalGain() {
    return Read(&Tavlin_GetGlobalGain);
}

bool CameraSession::AutoExposure() {
    int32_t ok = 0;
    return Tavlin_GetAutoIris(handle_, &ok) == kAutoIrisExposure;
}

}  // namespace tavlin::gst
