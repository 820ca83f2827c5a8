// Millisecond time as the SDK counts it: a 32-bit tick that wraps, from the monotonic clock.
#pragma once

#include <cstdint>

namespace tavlin::platform {

// Milliseconds of CLOCK_MONOTONIC, wrapping as unsigned 32-bit (GetTickCount / timeGetTime).
uint32_t TickCount();

// Nanoseconds of CLOCK_MONOTONIC, the time base frame arrival stamps are given in.
int64_t MonotonicNs();

// Sleeps at least the given milliseconds; 0 yields the processor.
void SleepMs(uint32_t milliseconds);

}  // namespace tavlin::platform
