// Frame time stamps (CLOCK_MONOTONIC) on a pipeline's clock.
#pragma once

#include <gst/gst.h>

#include <cstdint>

namespace tavlin::gst {

// The current CLOCK_MONOTONIC time in nanoseconds, as the SDK stamps frames.
int64_t MonotonicNowNs();

// The time of `clock` at the monotonic instant `monotonicNs`. A system clock of the monotonic
// type reads CLOCK_MONOTONIC itself; any other clock is related to it by reading both now.
GstClockTime ClockTimeOf(int64_t monotonicNs, GstClock* clock);

// The running time of the instant for an element started at `baseTime`; GST_CLOCK_TIME_NONE
// without a clock or for an instant before the start.
GstClockTime RunningTimeOf(int64_t monotonicNs, GstClock* clock, GstClockTime baseTime);

}  // namespace tavlin::gst
