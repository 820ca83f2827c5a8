#include "platform/clock.h"

#include <atomic>
#include <ctime>
#include <thread>

namespace tavlin::platform {

namespace {

std::atomic<uint32_t> gTickOffset{0};

uint32_t MonotonicMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const uint64_t ms =
        static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(ms);
}

}  // namespace

uint32_t TickCount() {
    return MonotonicMs() + gTickOffset.load(std::memory_order_relaxed);
}

void StartTicksAt(uint32_t value) {
    gTickOffset.store(value - MonotonicMs(), std::memory_order_relaxed);
}

int64_t MonotonicNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

void SleepMs(uint32_t milliseconds) {
    if (milliseconds == 0) {
        std::this_thread::yield();
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace tavlin::platform
