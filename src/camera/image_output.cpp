// Saving the current image to a file, and recording the preview into an AVI file.
#include <cstring>
#include <string>

#include "camera/ctavlin.h"
#include "output/image_file.h"
#include "output/record_frame.h"
#include "platform/clock.h"
#include "platform/text_convert.h"

namespace tavlin::camera {

namespace {

constexpr int kSignificantBits = 10;
// Converted names must fit the 1024-byte buffer of the narrow forms, terminator included.
constexpr size_t kMaxNarrowName = 1023;
// How often a running recording's header is brought up to date.
constexpr uint32_t kCheckpointMs = 1000;

std::optional<std::string> NarrowName(const char16_t* fileName) {
    const auto wide = platform::BoundedWideString(fileName, 4 * kMaxNarrowName);
    if (!wide) return std::nullopt;
    auto narrow = platform::Utf16ToUtf8(*wide);
    if (!narrow || narrow->size() > kMaxNarrowName) return std::nullopt;
    return narrow;
}

}  // namespace

bool CTavlin::CopyOutputImage(output::ImageBuffer& copy) {
    platform::ScopedLock frame(frameLock_);
    const int32_t colorMode = colorMode_.load();
    if (!ValidColorMode(colorMode)) return false;
    return output::SnapshotImage(imageBuffers_[OutputSlot(colorMode)], copy) != 0;
}

int CTavlin::SaveImageCommon(const char* fileName, int32_t format, bool requireFrame) {
    if (!device_ || (requireFrame && imageReady_.load() == 0)) {
        errors_.Report(TAVLIN_ERR_NO_DEVICE);
        return 0;
    }
    // Encoding takes tens to hundreds of milliseconds: it works on a copy taken under the frame
    // lock, so the preview keeps running meanwhile and the file never holds a half-made frame.
    output::ImageBuffer copy;
    if (!CopyOutputImage(copy)) {
        errors_.Report(TAVLIN_ERR_NO_DEVICE);
        return 0;
    }
    if (fileName == nullptr) return 0;
    return output::SaveImageFile(fileName, copy, format, kSignificantBits);
}

int CTavlin::SaveImage(const char* fileName, int32_t format) {
    return SaveImageCommon(fileName, format, true);
}

int CTavlin::SaveImageW(const char16_t* fileName, int32_t format) {
    if (!device_) {
        errors_.Report(TAVLIN_ERR_NO_DEVICE);
        return 0;
    }
    const auto narrow = NarrowName(fileName);
    if (!narrow) {
        errors_.Report(TAVLIN_ERR_NO_DEVICE);
        return 0;
    }
    return SaveImageCommon(narrow->c_str(), format, false);
}

int CTavlin::RecordW(const char16_t* fileName, int32_t durationMs, int32_t showWindow) {
    const auto narrow = NarrowName(fileName);
    if (!narrow) {
        errors_.Report(TAVLIN_ERR_FILE);
        return 0;
    }
    return Record(narrow->c_str(), durationMs, showWindow);
}

int CTavlin::Record(const char* fileName, int32_t durationMs, int32_t showWindow) {
    if (fileName == nullptr || *fileName == '\0') {
        errors_.Report(TAVLIN_ERR_INVALID_ARGUMENT);
        return 0;
    }
    std::lock_guard<std::recursive_mutex> record(recordLock_);
    // One recording per camera: a second one would pull the file out from under the first.
    if (recordThread_.Running() && recordRun_.load() != 0) {
        errors_.Report(TAVLIN_ERR_NO_DEVICE);
        return 0;
    }
    recordThread_.Join();
    {
        platform::ScopedLock frame(frameLock_);
        frameWindow_.store(0);
        callerBuffer_ = nullptr;
        callerLength_ = 0;
        rowOrder_ = 0;
    }
    if (showWindow != 0 && !CreatePreviewWindow()) {
        Close();
        return 0;
    }
    if (StartPreview() == 0) {
        Close();
        errors_.Report(TAVLIN_ERR_FILE);
        return 0;
    }
    int32_t width = 0, height = 0, bits = 0;
    {
        platform::ScopedLock frame(frameLock_);
        const output::ImageBuffer& image = imageBuffers_[OutputSlot(activeColorMode_)];
        width = image.Width();
        height = image.Height();
        bits = image.BitCount();
    }
    if (avi_.Open(fileName, width, height, static_cast<int16_t>(bits)) !=
        output::AviWriteResult::kWritten) {
        Close();
        errors_.Report(TAVLIN_ERR_FILE);
        return 0;
    }
    recordFrame_.store(0);
    recordRun_.store(1);
    if (!recordThread_.Start("tavlin-record", platform::ThreadPriority::Normal,
                             [this, durationMs] { RecordLoop(durationMs); })) {
        recordRun_.store(0);
        avi_.Reset();
        Close();
        errors_.Report(TAVLIN_ERR_THREAD);
        return 0;
    }
    return 1;
}

void CTavlin::RecordLoop(int32_t durationMs) {
    output::RecordFrameConverter converter;
    {
        platform::ScopedLock frame(frameLock_);
        const output::ImageBuffer& image = imageBuffers_[OutputSlot(activeColorMode_)];
        if (converter.Prepare(image.Width(), image.Height()) == 0) {
            recordRun_.store(0);
            avi_.Reset();
            return;
        }
    }
    uint32_t start = 0;
    uint32_t frames = 0;
    uint32_t checkpoint = 0;
    bool started = false;
    while (recordRun_.load() != 0) {
        platform::SleepMs(10);
        if (recordFrame_.exchange(0) == 0) continue;
        const uint32_t now = platform::TickCount();
        if (!started) {
            start = now;
            started = true;
        }
        bool converted;
        {
            platform::ScopedLock frame(frameLock_);
            converted = converter.Convert(imageBuffers_[OutputSlot(activeColorMode_)]) != nullptr;
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
            recordRun_.store(0);
        } else if (frames == 1 || now - checkpoint >= kCheckpointMs) {
            // A recording that is never finalised (the process killed) still plays up to here.
            avi_.Checkpoint(output::MeasuredAviRate(frames, now - start));
            checkpoint = now;
        }
    }
}

void CTavlin::StopRecording() {
    std::lock_guard<std::recursive_mutex> record(recordLock_);
    recordRun_.store(0);
    recordThread_.Join();
    // A recording stopped before its end is not finalised; its file is closed as it stands.
    if (avi_.IsOpen()) avi_.Reset();
}

}  // namespace tavlin::camera
