// Waiting for the next processed frame without a message window: the application's thread
// blocks on the frame accounting, then copies the current image under the frame lock.
#include <algorithm>
#include <chrono>

#include "camera/acquisition_part.h"

namespace tavlin::camera {

namespace {

using Clock = std::chrono::steady_clock;

int32_t RemainingMs(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return static_cast<int32_t>(std::clamp<int64_t>(left.count(), 0, INT32_MAX));
}

}  // namespace

int Acquisition::WaitFrame(uint64_t after, int32_t timeoutMs, uint8_t* buffer, int32_t length,
                           int32_t rowOrder, WaitedFrame* info) {
    if (buffer == nullptr || info == nullptr) return Fail(TAVLIN_ERR_INVALID_ARGUMENT);
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    for (;;) {
        const auto waited =
            accounting_.WaitForFrame(after, timeoutMs < 0 ? -1 : RemainingMs(deadline));
        if (waited == FrameAccounting::Wait::TimedOut) return Fail(kErrTimedOut);
        if (waited == FrameAccounting::Wait::Stopped) return Fail(TAVLIN_ERR_STREAM_STOPPED);
        std::lock_guard<std::mutex> frame(frameLock_);
        // The count moves with the image under this lock; a new acquisition may have reset it
        // since the wait ended, and then the wait goes on.
        const FrameCounts counts = accounting_.Snapshot();
        if (counts.sequence <= after) continue;
        const output::ImageBuffer& image = imageBuffers_[OutputSlot(activeColorMode_)];
        info->width = image.Width();
        info->height = image.Height();
        info->bitsPerPixel = image.BitCount();
        info->stride = image.Stride();
        info->imageBytes = int64_t{image.Stride()} * image.Height();
        info->sequence = counts.sequence;
        info->timestampNs = counts.timestampNs;
        return CopyImageOut(image, buffer, length, rowOrder, false) ? 1 : 0;
    }
}

}  // namespace tavlin::camera
