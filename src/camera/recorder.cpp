#include "camera/recorder.h"

#include "output/record_frame.h"
#include "platform/clock.h"

namespace tavlin::camera {

namespace {

// How often a running recording's header is brought up to date.
constexpr uint32_t kCheckpointMs = 1000;
// How often the record thread looks for a new frame.
constexpr uint32_t kFramePollMs = 10;

}  // namespace

bool Recorder::Open(const char* fileName, int32_t width, int32_t height, int32_t bitsPerPixel) {
    return avi_.Open(fileName, width, height, static_cast<int16_t>(bitsPerPixel)) ==
           output::AviWriteResult::kWritten;
}

bool Recorder::Start(int32_t durationMs) {
    frame_.store(0);
    run_.store(1);
    if (thread_.Start("tavlin-record", platform::ThreadPriority::Normal,
                      [this, durationMs] { RecordLoop(durationMs); })) {
        return true;
    }
    run_.store(0);
    avi_.Reset();
    return false;
}

void Recorder::Stop() {
    std::lock_guard<std::mutex> guard(lock_);
    StopHoldingLock();
}

void Recorder::StopHoldingLock() {
    run_.store(0);
    thread_.Join();
    if (avi_.IsOpen()) avi_.Reset();
}

void Recorder::RecordLoop(int32_t durationMs) {
    output::RecordFrameConverter converter;
    {
        std::lock_guard<std::mutex> frame(source_.frameLock);
        const output::ImageBuffer& image = source_.buffers[OutputSlot(source_.colorMode)];
        if (converter.Prepare(image.Width(), image.Height()) == 0) {
            run_.store(0);
            avi_.Reset();
            return;
        }
    }
    uint32_t start = 0;
    uint32_t frames = 0;
    uint32_t checkpoint = 0;
    bool started = false;
    while (run_.load() != 0) {
        platform::SleepMs(kFramePollMs);
        if (frame_.exchange(0) == 0) continue;
        const uint32_t now = platform::TickCount();
        if (!started) {
            start = now;
            started = true;
        }
        bool converted;
        {
            std::lock_guard<std::mutex> frame(source_.frameLock);
            converted =
                converter.Convert(source_.buffers[OutputSlot(source_.colorMode)]) != nullptr;
        }
        // Written outside the frame lock: the preview need not wait for the disk.
        const output::AviWriteResult written =
            converted ? converter.WriteConverted(avi_) : output::AviWriteResult::kFailed;
        if (written == output::AviWriteResult::kWritten) ++frames;
        // Finalise after the first frame past the duration. The elapsed time is an unsigned
        // difference, so a recording across the tick count's wrap lasts its full duration; a
        // negative duration ends after the first frame.
        const bool done = durationMs < 0 || now - start > static_cast<uint32_t>(durationMs);
        // A frame that failed to write (disk full) ends the recording with the frames that
        // made it, finalised, while the preview goes on.
        if (done || written != output::AviWriteResult::kWritten) {
            avi_.Close(output::MeasuredAviRate(frames, now - start));
            run_.store(0);
        } else if (frames == 1 || now - checkpoint >= kCheckpointMs) {
            // A recording that is never finalised (the process killed) still plays up to here.
            avi_.Checkpoint(output::MeasuredAviRate(frames, now - start));
            checkpoint = now;
        }
    }
}

}  // namespace tavlin::camera
