// The acquisition thread (preview loop and trigger loop) and the per-frame work it shares with
// snapshots: taking the raw frame, the frame pipeline, measurements and the frame record.
#include "camera/acquisition_part.h"
#include "camera/auto_exposure.h"
#include "camera/frame_pipeline.h"
#include "diag/log.h"
#include "imaging/raw_kernels.h"
#include "platform/clock.h"

namespace tavlin::camera {

namespace {

// How often a paused trigger loop looks whether it may go on.
constexpr uint32_t kPausedPollMs = 10;

}  // namespace

bool Acquisition::StartThread() {
    return acquisitionThread_.Start([this] { ThreadMain(); });
}

void Acquisition::ThreadMain() {
    if (acquisitionMode_.load() == kTriggerMode) {
        TriggerLoop();
    } else {
        PreviewLoop();
    }
}

bool Acquisition::TakeRawFrame(output::ImageBuffer& raw, bool single) {
    std::lock_guard<std::mutex> device(deviceLock_);
    // The capture window may have been reprogrammed since the buffers were sized: a frame of
    // another size would not fit the raw buffer, so it is refused instead of copied.
    const int32_t sampleBytes = device_->WideSamples() != 0 ? 2 : 1;
    if (raw.Bits() == nullptr || device_->VisibleWidth() != raw.Width() ||
        device_->VisibleHeight() != raw.Height() || sampleBytes != raw.BytesPerPixel()) {
        return false;
    }
    const device::Status result =
        single ? device_->TakeSingleFrame(raw.Bits()) : device_->TakeFrame(raw.Bits());
    if (result != device::Status::Ok) return false;
    RestrideRaw(raw);
    return true;
}

void Acquisition::PreviewLoop() {
    while (acquisitionThread_.Flag() != AcquisitionThread::kStop) {
        const int32_t wait = waitTime_.load();
        if (wait > 0) acquisitionThread_.PauseBetweenPolls(static_cast<uint32_t>(wait));
        if (acquisitionThread_.Flag() != AcquisitionThread::kRun) continue;
        // The mode turns to preview only once the transfer has started, so a run seen ended
        // after that is this run.
        const bool started = acquisitionMode_.load() == kPreviewMode;
        const device::Status ready = device_->WaitFrame();
        // A transfer thread that could not even open the device will never deliver: treat it
        // like a failed run instead of polling forever. The result of an earlier run (the
        // camera was unplugged then) says nothing about this one.
        const bool failed = ready == device::Status::Failed ||
                            (started && ready == device::Status::NotRunning &&
                             device_->TransferResult() == device::Status::NoDevice);
        // A stop stops the transfer too, which can fail the wait that was under way: that is
        // the end of the run, not a stream failure.
        if (acquisitionThread_.Flag() == AcquisitionThread::kStop) break;
        if (failed) {
            TAVLIN_LOG(Transfer, Error, "stream ended: %s",
                       ready == device::Status::Failed ? "the transfer failed"
                                                       : "the transfer could not open the device");
            acquisitionThread_.SetFlag(AcquisitionThread::kStop);
            accounting_.SettleRun(device_->TransferTotals());
            accounting_.Stop();
            PostFrameNotice(0, TAVLIN_ERR_STREAM_STOPPED);
            errors_.Report(TAVLIN_ERR_STREAM_STOPPED);
            break;
        }
        if (ready != device::Status::Ok) continue;
        // A frame refused earlier stays where the ring handed it out until a newer one is
        // stored: it is given up instead of being counted and refused again.
        const device::FrameStamp stamp = device_->ReadyFrameStamp();
        if (!accounting_.IsNew(stamp)) {
            device_->PassFrame();
            continue;
        }

        bool deliver = true;
        const TavlinFrameInfo* record = nullptr;
        {
            std::lock_guard<std::mutex> frame(frameLock_);
            output::ImageBuffer& raw = imageBuffers_[RawSlot(activeColorMode_)];
            if (!TakeRawFrame(raw, false)) {
                TAVLIN_LOG(Transfer, Debug,
                           "frame %llu refused: its size no longer fits the buffers",
                           static_cast<unsigned long long>(stamp.sequence));
                accounting_.RingFrameFailed(stamp);
                PostFrameNotice(0, TAVLIN_ERR_TRANSFER);
                errors_.Report(TAVLIN_ERR_TRANSFER);
                continue;
            }
            record = FillFrameInfo(frameRecords_.CountFrame());
            ProcessFrame();
            accounting_.RingFrameProcessed(stamp);
            recorder_.FrameReady();
            imageReady_.store(1);
            preview_.Draw(imageBuffers_[OutputSlot(activeColorMode_)]);
            if (callerBuffer_ != nullptr && callerLength_ != 0) {
                deliver = CopyImageOut(imageBuffers_[OutputSlot(activeColorMode_)], callerBuffer_,
                                       callerLength_, rowOrder_, true);
            }
        }
        if (deliver) PostFrameNotice(reinterpret_cast<uintptr_t>(record), 0);
    }
}

void Acquisition::TriggerLoop() {
    while (acquisitionThread_.Flag() != AcquisitionThread::kStop) {
        if (acquisitionThread_.Flag() != AcquisitionThread::kRun) {
            platform::SleepMs(kPausedPollMs);
            continue;
        }
        const device::Status result = device_->ReadSingleFrame();
        if (acquisitionThread_.Flag() == AcquisitionThread::kStop) {
            // A frame that arrived as the stop came is not used; a read the stop cut short
            // brought none.
            if (result == device::Status::Ok) accounting_.SingleFrameSkipped();
            break;
        }
        if (result != device::Status::Ok) {
            // A stop cancels the reads before it sets the flag: no frame failed, and the loop
            // must not spin on reads that fail at once until the flag comes.
            if (device_->SingleFramesCancelled()) {
                acquisitionThread_.PauseBetweenPolls(kPausedPollMs);
                continue;
            }
            accounting_.SingleFrameFailed();
            continue;
        }
        if (acquisitionThread_.TakeSkip()) {  // the first frame after start
            accounting_.SingleFrameSkipped();
            continue;
        }

        std::lock_guard<std::mutex> frame(frameLock_);
        output::ImageBuffer& raw = imageBuffers_[RawSlot(activeColorMode_)];
        if (!TakeRawFrame(raw, true)) {
            accounting_.SingleFrameFailed();
            continue;
        }
        const TavlinFrameInfo* record = FillFrameInfo(0);
        ProcessFrame();
        accounting_.SingleFrameProcessed(device_->SingleFrameArrivalNs());
        imageReady_.store(1);
        if (callerBuffer_ != nullptr && callerLength_ != 0 &&
            !CopyImageOut(imageBuffers_[OutputSlot(activeColorMode_)], callerBuffer_, callerLength_,
                          rowOrder_, true)) {
            continue;
        }
        PostFrameNotice(reinterpret_cast<uintptr_t>(record), 0);
        preview_.Draw(imageBuffers_[OutputSlot(activeColorMode_)]);
    }
}

void Acquisition::RestrideRaw(output::ImageBuffer& raw) {
    if (raw.Stride() == raw.Width() * raw.BytesPerPixel()) return;
    raw.Transfer(raw.BitCount() == 16 ? imaging::Restride16 : imaging::Restride8, &raw, nullptr, 0,
                 0, nullptr, nullptr);
}

const TavlinFrameInfo* Acquisition::FillFrameInfo(int32_t frameRate) {
    const output::ImageBuffer& raw = imageBuffers_[RawSlot(activeColorMode_)];
    return frameRecords_.Fill(raw.Width(), raw.Height(), callerBuffer_,
                              BitsPerPixel(activeColorMode_), frameRate);
}

void Acquisition::ProcessFrame() {
    int32_t autoIris = 0;
    const FrameSettings frame = sensor_.ForFrame(activeColorMode_, &autoIris);
    output::ImageBuffer& raw = imageBuffers_[RawSlot(frame.colorMode)];
    MirrorRaw(raw, mirrorBuffer_, frame.mirrorV, frame.mirrorH);
    if (autoIris == 1 || autoIris == 2) AutoExposureStep(raw, autoIris);
    if (sensor_.StoreMeasurements(RunImageStages(frame, imageBuffers_, bandPool_))) {
        NotifyFilterMeasured(dialogs_);
    }
}

void Acquisition::AutoExposureStep(output::ImageBuffer& raw, int32_t autoIris) {
    const double factor = ExposureFactor(MeasureExposureWindows(raw));
    if (!NeedsCorrection(factor)) return;
    std::lock_guard<std::mutex> device(deviceLock_);
    if (autoIris == 2) {
        const int32_t gain = CorrectedGain(device_->GetGlobalGain(), factor);
        device_->SetGlobalGain(gain);
        NotifyGainChosen(dialogs_, gain);
        sensor_.StoreAutoGain(gain);
        return;
    }
    int32_t shutter = 0;
    device_->GetShutter(&shutter);
    const int32_t lines = CorrectedShutter(shutter, factor);
    device_->SetShutter(lines);
    NotifyExposureChosen(dialogs_, lines);
    sensor_.StoreAutoShutter(lines);
}

}  // namespace tavlin::camera
