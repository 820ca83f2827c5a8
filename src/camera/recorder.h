// The AVI recording of one camera: its thread, its writer and the lock that serialises starting
// and stopping a recording. It rides on the camera's preview: the preview loop marks each new
// frame, and the record thread converts the output image under the camera's frame lock.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "camera/buffer_slots.h"
#include "output/avi_writer.h"
#include "platform/thread.h"

namespace tavlin::camera {

class Recorder {
  public:
    // The output image the recording reads: the buffers and the colour mode they were prepared
    // for, both guarded by the owner's frame lock.
    struct Source {
        std::mutex& frameLock;
        const ImageBuffers& buffers;
        const int32_t& colorMode;
    };

    explicit Recorder(Source source) : source_(source) {}
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    // Held by the owner across the whole start of a recording, and by Stop.
    std::unique_lock<std::mutex> Serialise() { return std::unique_lock<std::mutex>(lock_); }

    // With the lock held: a recording is under way.
    bool Running() const { return thread_.Running() && run_.load() != 0; }
    // With the lock held: collects the thread of a recording that ended by itself.
    void JoinFinished() { thread_.Join(); }
    // With the lock held: opens the file for frames of this size; false when it cannot.
    bool Open(const char* fileName, int32_t width, int32_t height, int32_t bitsPerPixel);
    // With the lock held and the file open: starts the record thread; false (file dropped)
    // when it cannot be started.
    bool Start(int32_t durationMs);

    // The preview loop has a new output image.
    void FrameReady() { frame_.store(1); }

    // Ends a recording; one stopped before its end is closed as it stands, not finalised.
    void Stop();
    void StopHoldingLock();

  private:
    void RecordLoop(int32_t durationMs);

    Source source_;
    std::mutex lock_;  // serialises starting and stopping; taken before the camera's mode lock
    std::atomic<int32_t> run_{0};
    std::atomic<int32_t> frame_{0};
    platform::WorkerThread thread_;
    output::AviWriter avi_;  // used by the record thread while it runs
};

}  // namespace tavlin::camera
