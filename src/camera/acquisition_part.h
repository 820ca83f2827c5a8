// The acquisition of one camera: its mode, the image buffers and the frame lock that guards
// them, the acquisition thread with its preview and trigger loops, the frame accounting, and
// where frames are delivered (frame window, caller's buffer).
//
// The camera keeps the device object, the sensor settings, the preview window and the recorder;
// this part reaches them through the references it is built with. Starting and stopping (which
// also claim the device and create the preview window) stay with the camera, which holds the
// mode lock through LockMode while it drives the steps here.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "camera/acquisition_mode.h"
#include "camera/acquisition_thread.h"
#include "camera/band_workers.h"
#include "camera/buffer_slots.h"
#include "camera/camera_errors.h"
#include "camera/error_reporter.h"
#include "camera/frame_accounting.h"
#include "camera/frame_records.h"
#include "camera/recorder.h"
#include "camera/sensor_control.h"
#include "device/tavlin_410qz_sdk.h"
#include "diag/log.h"
#include "output/image_buffer.h"
#include "output/preview_window.h"
#include "tavlin/tavlin.h"

namespace tavlin::camera {

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

// Size and depth of the output image the buffers were prepared for.
struct OutputFormat {
    int32_t width = 0;
    int32_t height = 0;
    int32_t bitsPerPixel = 0;
};

class Acquisition {
  public:
    // What the part uses of the camera; all of it outlives the part.
    struct Links {
        SensorControl::Device device;
        SensorControl& sensor;
        ErrorReporter& errors;
        output::PreviewWindow& preview;
        Recorder& recorder;
        // Whom an open property dialog's listener is filed under.
        const DialogPort& dialogs;
        // The application's colour mode, and its pause between preview polls.
        const std::atomic<int32_t>& colorMode;
        const std::atomic<int32_t>& waitTime;
    };

    explicit Acquisition(Links links)
        : device_(links.device.object),
          deviceLock_(links.device.lock),
          sensor_(links.sensor),
          errors_(links.errors),
          preview_(links.preview),
          recorder_(links.recorder),
          dialogs_(links.dialogs),
          colorMode_(links.colorMode),
          waitTime_(links.waitTime) {}
    Acquisition(const Acquisition&) = delete;
    Acquisition& operator=(const Acquisition&) = delete;

    // What the recorder reads: the output buffers under the frame lock.
    Recorder::Source RecorderSource() { return {frameLock_, imageBuffers_, activeColorMode_}; }

    // Mode changes are serialised by this lock (never taken by the worker).
    std::unique_lock<std::mutex> LockMode() { return std::unique_lock<std::mutex>(modeLock_); }
    int32_t Mode() const { return acquisitionMode_.load(); }
    // With the mode lock held.
    void SetMode(int32_t mode);
    // With the mode lock held: false, after reporting `code`, unless the camera is in one of the
    // allowed modes, so the mode cannot change before the operation acts on it.
    bool RequireMode(AllowedModes allowed, int32_t code, diag::Where where = {});

    // Sizes the buffers the colour mode's pipeline writes and restarts the accounting; false
    // when memory runs out.
    bool PrepareBuffers(int32_t colorMode, int32_t width, int32_t height);
    void ReleaseBuffers();

    // The acquisition thread, started with the mode lock held.
    bool StartThread();
    void StopThread() { acquisitionThread_.Stop(); }
    void SetRunFlag(AcquisitionThread::RunFlag flag) { acquisitionThread_.SetFlag(flag); }
    void SkipNextFrame() { acquisitionThread_.SkipNextFrame(); }
    // Holds (or releases) a running trigger loop without ending it.
    void PauseTrigger(bool paused);

    // The run's accounting ends (a failed start, a stop), settling frames the run stored first.
    void SettleRun(const device::TransferTally& totals) { accounting_.SettleRun(totals); }
    void EndRun() { accounting_.Stop(); }
    FrameCounts FrameStats() const { return accounting_.Snapshot(); }

    // Where frames are delivered: the frame window, the caller's buffer and its row order.
    void SetFrameTarget(platform::WindowHandle frameWindow, uint8_t* buffer, int32_t length,
                        int32_t rowOrder);

    // With the mode lock held and the buffers prepared: reads one frame on the caller's thread
    // and copies it out; 0 after reporting. `keepChannel` keeps the frame handle open.
    int SnapShot(uint8_t* buffer, int32_t length, int32_t rowOrder, bool keepChannel);
    // Copies the output image of the application's colour mode into the caller's memory; 0
    // after reporting.
    int GetImage(uint8_t* buffer, int32_t length, int32_t rowOrder);
    int WaitFrame(uint64_t after, int32_t timeoutMs, uint8_t* buffer, int32_t length,
                  int32_t rowOrder, WaitedFrame* info);
    // Copies the output image of the application's colour mode; false when there is none.
    bool CopyOutputImage(output::ImageBuffer& copy);
    OutputFormat CurrentOutputFormat();
    bool ImageReady() const { return imageReady_.load() != 0; }
    void ClearImageReady() { imageReady_.store(0); }

    // Runs `change` between frames, so a frame in flight never lands after it.
    template <typename Change>
    void BetweenFrames(Change&& change) {
        std::lock_guard<std::mutex> frame(frameLock_);
        change();
    }

  private:
    void ThreadMain();
    void PreviewLoop();
    void TriggerLoop();
    // One frame in the raw buffer through the pipeline, under frameLock_.
    void ProcessFrame();
    void AutoExposureStep(output::ImageBuffer& raw, int32_t autoIris);
    // Takes the ready frame (ring or single read) into the raw buffer; false when it fails or
    // no longer fits the buffer.
    bool TakeRawFrame(output::ImageBuffer& raw, bool single);
    // Re-strides the raw buffer if the device delivered it packed.
    void RestrideRaw(output::ImageBuffer& raw);
    // Fills the next frame record and returns its address for the frame notice.
    const TavlinFrameInfo* FillFrameInfo(int32_t frameRate);
    // Copies the output image into the caller's memory; false (reported) when it does not fit.
    bool CopyImageOut(const output::ImageBuffer& image, uint8_t* data, int32_t length,
                      int32_t rowOrder, bool notifyFrameWindow);
    void PostFrameNotice(uintptr_t wParam, intptr_t lParam);
    int Fail(int32_t code) {
        errors_.Report(code);
        return 0;
    }

    const std::unique_ptr<device::CTavlin410QZVKESdk>& device_;
    std::mutex& deviceLock_;
    SensorControl& sensor_;
    ErrorReporter& errors_;
    output::PreviewWindow& preview_;  // has its own lock; drawn under frameLock_
    Recorder& recorder_;
    const DialogPort& dialogs_;
    const std::atomic<int32_t>& colorMode_;
    const std::atomic<int32_t>& waitTime_;

    // Lock order: the recorder's lock > modeLock_ > frameLock_ > the camera's device lock > the
    // sensor part's lock > the leaf locks (frame accounting, error history, preview window,
    // dialog listeners). The worker takes frameLock_, never modeLock_.
    std::mutex modeLock_;
    std::atomic<int32_t> acquisitionMode_{0};

    // The caller's buffer, the frame records and the buffers are guarded by frameLock_.
    std::mutex frameLock_;
    ImageBuffers imageBuffers_;
    int32_t activeColorMode_ = 0;  // colour mode the buffers were prepared for
    output::ImageBuffer mirrorBuffer_;
    // Used under frameLock_ like the buffers; outlives the acquisition thread (declared before
    // it), and ReleaseBuffers joins its helpers.
    BandWorkerPool bandPool_;
    uint8_t* callerBuffer_ = nullptr;
    int32_t callerLength_ = 0;
    int32_t rowOrder_ = 0;
    FrameRecords frameRecords_;
    std::atomic<platform::WindowHandle> frameWindow_{0};
    std::atomic<int32_t> imageReady_{0};
    // Resets under frameLock_ when buffers are prepared, and a frame's count moves under
    // frameLock_ with its image (lock order: frameLock_ first).
    FrameAccounting accounting_;
    AcquisitionThread acquisitionThread_;
};

}  // namespace tavlin::camera
