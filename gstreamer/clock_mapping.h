// Frame time stamps (CLOCK_MONOTONIC) on a pipeline's clock.
#pragma once

#include <gst/gst.h>

#include <cstdint>

namespace tavlin::gst {

// The current CLOCK_MONOTONIC time in nanoseconds, as the SDK stamps frames.
int64_t MonotonicNowNs();

// Whether a clock reads CLOCK_MONOTONIC, remembered for the clock last asked about: a stream asks
// about the same pipeline clock for every frame, and the answer is a property lookup.
class MonotonicClockCheck {
  public:
    bool ReadsMonotonic(GstClock* clock);

  private:
    GstClock* clock_ = nullptr;  // compared only, never dereferenced
    bool monotonic_ = false;
};

// The time of `clock` at the monotonic instant `monotonicNs`. A system clock of the monotonic
// type reads CLOCK_MONOTONIC itself; any other clock is related to it by reading both now.
GstClockTime ClockTimeOf(int64_t monotonicNs, GstClock* clock, MonotonicClockCheck* check);

// The running time of the instant for an element started at `baseTime`; GST_CLOCK_TIME_NONE
// without a clock or for an instant before the start.
GstClockTime RunningTimeOf(int64_t monotonicNs, GstClock* clock, GstClockTime baseTime,
                           MonotonicClockCheck* check);

}  // namespace tavlin::gst
