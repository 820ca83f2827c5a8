// Millisecond time as the SDK counts it: a 32-bit tick that wraps, from the monotonic clock.
#pragma once

#include <cstdint>

namespace tavlin::platform {

// Milliseconds of CLOCK_MONOTONIC, wrapping as unsigned 32-bit (GetTickCount / timeGetTime).
uint32_t TickCount();

// Sleeps at least the given milliseconds; 0 yields the processor.
void SleepMs(uint32_t milliseconds);

}  // namespace tavlin::platform
