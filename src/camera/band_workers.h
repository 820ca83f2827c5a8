// Helper threads that share the image stages of one frame with the acquiring thread, in row
// bands. One pool per camera, made when a first frame is large enough to gain from it and kept
// until the camera is released, so no frame starts a thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/thread.h"

namespace tavlin::camera {

// Threads for one frame's stages (the acquiring thread counts as one): TAVLIN_WORKERS when it
// holds a number (0 or 1 turn bands off; at most kMaxBandThreads), else the machine's cores up to
// kDefaultBandThreads.
inline constexpr int32_t kMaxBandThreads = 16;
inline constexpr int32_t kDefaultBandThreads = 4;
int32_t ConfiguredBandThreads();

// Frames below this many pixels run as one band: waking the helpers costs more than the share
// they take (bench/frame_bands_bench.cpp).
inline constexpr int64_t kMinBandedPixels = 128 * 1024;
// Several bands per thread, so a thread held up on a loaded machine leaves less behind; each
// band also stays small enough for the cache between the stages that run on it in turn.
inline constexpr int32_t kBandsPerThread = 4;
inline constexpr int32_t kMinBandRows = 16;

class BandWorkers {
  public:
    // `threads` counts the calling thread: threads - 1 helpers start at once (fewer when the
    // system refuses some).
    explicit BandWorkers(int32_t threads);
    ~BandWorkers();
    BandWorkers(const BandWorkers&) = delete;
    BandWorkers& operator=(const BandWorkers&) = delete;

    // The caller and the helpers that did start.
    int32_t Threads() const { return static_cast<int32_t>(helpers_.size()) + 1; }

    // Runs task(band) once for every band in 0 .. bands - 1, on the caller and the helpers, and
    // returns when all are done. Bands are taken in turn, so a helper held up by a loaded
    // machine leaves its share to the others, and the caller never waits for a helper that took
    // no band. One Run at a time.
    void Run(int32_t bands, const std::function<void(int32_t)>& task);

  private:
    void HelperLoop();
    // Takes and runs bands of the given Run until none is left; a helper that wakes after its
    // Run has ended takes none, so it never touches a finished Run's task.
    void TakeBands(uint32_t generation, int32_t bands, const std::function<void(int32_t)>* task);

    std::mutex lock_;
    std::condition_variable wake_;
    std::condition_variable finished_;
    // Under lock_: the Run the helpers are told of.
    uint32_t generation_ = 0;
    bool stopping_ = false;
    const std::function<void(int32_t)>* task_ = nullptr;
    int32_t bands_ = 0;
    // The running Run's generation (high half) and its next band (low half), taken together so
    // a band is only ever taken for the Run it belongs to.
    std::atomic<uint64_t> claim_{0};
    std::atomic<uint32_t> published_{0};  // generation_, read without the lock while spinning
    std::atomic<int32_t> bandsDone_{0};
    std::vector<std::unique_ptr<platform::WorkerThread>> helpers_;
};

// Which frames run in bands and how many: at least minimumPixels pixels, rows cut into
// threads x kBandsPerThread bands of at least minimumRows rows (0: no least, bands may be
// empty).
struct BandShape {
    int64_t minimumPixels = kMinBandedPixels;
    int32_t minimumRows = kMinBandRows;
};

// A camera's pool: made on first Get() with the configured thread count and kept; null when
// bands are off. Stop() ends and joins the helpers (the camera is released); a later Get()
// makes them again.
class BandWorkerPool {
  public:
    BandWorkers* Get();
    const BandShape& Shape() const { return shape_; }
    void Stop() {
        workers_.reset();
        decided_ = false;
    }
    // For tests and benchmarks: the thread count to use instead of the configured one.
    void SetThreads(int32_t threads, BandShape shape = {}) {
        Stop();
        threads_ = threads;
        shape_ = shape;
    }

  private:
    std::unique_ptr<BandWorkers> workers_;
    bool decided_ = false;
    int32_t threads_ = -1;  // configured
    BandShape shape_;
};

}  // namespace tavlin::camera
