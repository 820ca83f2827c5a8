#include "camera/band_workers.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <thread>

namespace tavlin::camera {

int32_t ConfiguredBandThreads() {
    if (const char* text = std::getenv("TAVLIN_WORKERS"); text != nullptr && text[0] != '\0') {
        char* end = nullptr;
        const long value = std::strtol(text, &end, 10);
        if (end != text && *end == '\0') {
            return static_cast<int32_t>(std::clamp<long>(value, 1, kMaxBandThreads));
        }
    }
    const auto cores = static_cast<int32_t>(std::thread::hardware_concurrency());
    return std::clamp(cores, 1, kDefaultBandThreads);
}

BandWorkers::BandWorkers(int32_t threads) {
    const int32_t wanted = std::clamp(threads, 1, kMaxBandThreads) - 1;
    for (int32_t i = 0; i < wanted; ++i) {
        auto helper = std::make_unique<platform::WorkerThread>();
        if (!helper->Start("tavlin-bands", platform::ThreadPriority::Normal,
                           [this] { HelperLoop(); })) {
            break;
        }
        helpers_.push_back(std::move(helper));
    }
}

BandWorkers::~BandWorkers() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        stopping_ = true;
    }
    wake_.notify_all();
    for (auto& helper : helpers_) helper->Join();
}

void BandWorkers::TakeBands() {
    for (int32_t band = nextBand_.fetch_add(1); band < bands_; band = nextBand_.fetch_add(1)) {
        (*task_)(band);
    }
}

void BandWorkers::Run(int32_t bands, const std::function<void(int32_t)>& task) {
    if (helpers_.empty() || bands <= 1) {
        for (int32_t band = 0; band < bands; ++band) task(band);
        return;
    }
    {
        std::lock_guard<std::mutex> guard(lock_);
        task_ = &task;
        bands_ = bands;
        nextBand_.store(0);
        helpersBusy_ = static_cast<int32_t>(helpers_.size());
        ++generation_;
    }
    wake_.notify_all();
    TakeBands();
    std::unique_lock<std::mutex> guard(lock_);
    // Helpers that wake late still pass through TakeBands, so the task must outlive them.
    finished_.wait(guard, [this] { return helpersBusy_ == 0; });
    task_ = nullptr;
}

void BandWorkers::HelperLoop() {
    uint64_t seen = 0;
    std::unique_lock<std::mutex> guard(lock_);
    while (true) {
        wake_.wait(guard, [&] { return stopping_ || generation_ != seen; });
        if (stopping_) return;
        seen = generation_;
        guard.unlock();
        TakeBands();
        guard.lock();
        if (--helpersBusy_ == 0) finished_.notify_one();
    }
}

BandWorkers* BandWorkerPool::Get() {
    if (!decided_) {
        decided_ = true;
        const int32_t threads = threads_ > 0 ? threads_ : ConfiguredBandThreads();
        if (threads > 1) workers_ = std::make_unique<BandWorkers>(threads);
    }
    return workers_.get();
}

}  // namespace tavlin::camera
