#include "camera/band_workers.h"

#include <algorithm>
#include <chrono>
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

namespace {

// How long a thread looks for work (a helper) or for the last band (the caller) before it
// sleeps: the phases of one frame follow each other within microseconds, and a sleeping thread
// may take far longer than that to wake on a loaded machine. Short, so that a helper between
// frames gives its core back.
constexpr auto kSpinTime = std::chrono::microseconds(30);
constexpr int32_t kPausesPerClockRead = 32;

inline void Pause() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#else
    std::this_thread::yield();
#endif
}

// Spins until done() or the spin time is over.
template <typename Done>
void SpinUntil(Done done) {
    const auto until = std::chrono::steady_clock::now() + kSpinTime;
    while (!done()) {
        for (int32_t i = 0; i < kPausesPerClockRead; ++i) Pause();
        if (std::chrono::steady_clock::now() >= until) return;
    }
}

constexpr int32_t kGenerationShift = 32;
constexpr uint64_t kBandMask = (uint64_t{1} << kGenerationShift) - 1;

}  // namespace

void BandWorkers::TakeBands(uint32_t generation, int32_t bands,
                            const std::function<void(int32_t)>* task) {
    uint64_t claim = claim_.load();
    while (true) {
        if ((claim >> kGenerationShift) != generation ||
            static_cast<int32_t>(claim & kBandMask) >= bands) {
            return;
        }
        if (!claim_.compare_exchange_weak(claim, claim + 1)) continue;
        (*task)(static_cast<int32_t>(claim & kBandMask));
        if (bandsDone_.fetch_add(1) + 1 == bands) {
            std::lock_guard<std::mutex> guard(lock_);
            finished_.notify_one();
        }
        claim = claim_.load();
    }
}

void BandWorkers::Run(int32_t bands, const std::function<void(int32_t)>& task) {
    if (helpers_.empty() || bands <= 1) {
        for (int32_t band = 0; band < bands; ++band) task(band);
        return;
    }
    uint32_t generation = 0;
    {
        std::lock_guard<std::mutex> guard(lock_);
        generation = ++generation_;
        task_ = &task;
        bands_ = bands;
        bandsDone_.store(0);
        claim_.store(uint64_t{generation} << kGenerationShift);
        published_.store(generation);
    }
    wake_.notify_all();
    TakeBands(generation, bands, &task);
    SpinUntil([&] { return bandsDone_.load() >= bands; });
    std::unique_lock<std::mutex> guard(lock_);
    finished_.wait(guard, [&] { return bandsDone_.load() == bands; });
    task_ = nullptr;
}

void BandWorkers::HelperLoop() {
    uint32_t seen = 0;
    std::unique_lock<std::mutex> guard(lock_);
    while (true) {
        if (generation_ == seen && !stopping_) {
            guard.unlock();
            SpinUntil([&] { return published_.load() != seen; });
            guard.lock();
        }
        wake_.wait(guard, [&] { return stopping_ || generation_ != seen; });
        if (stopping_) return;
        seen = generation_;
        const std::function<void(int32_t)>* task = task_;
        const int32_t bands = bands_;
        guard.unlock();
        TakeBands(seen, bands, task);
        guard.lock();
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
