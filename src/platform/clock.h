// Millisecond time as the SDK counts it: a 32-bit tick that wraps, from the monotonic clock.
#pragma once

#include <cstdint>

namespace tavlin::platform {

// Milliseconds of CLOCK_MONOTONIC, wrapping as unsigned 32-bit (GetTickCount / timeGetTime).
// The count wraps every 49.7 days, so ticks are only ever compared as unsigned differences
// (now - start), never as points in time.
uint32_t TickCount();

// Makes TickCount read `value` now and run on from there, so tests can cross the wrap at will.
// Affects every later reading in the process.
void StartTicksAt(uint32_t value);

// Nanoseconds of CLOCK_MONOTONIC, the time base frame arrival stamps are given in.
int64_t MonotonicNs();

// Sleeps at least the given milliseconds; 0 yields the processor.
void SleepMs(uint32_t milliseconds);

}  // namespace tavlin::platform
