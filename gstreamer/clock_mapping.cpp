#include "clock_mapping.h"

#include <time.h>

namespace tavlin::gst {

namespace {

constexpr int64_t kNanosecondsPerSecond = 1000000000;

}  // namespace

bool MonotonicClockCheck::ReadsMonotonic(GstClock* clock) {
    if (clock == clock_) return monotonic_;
    GstClockType type = GST_CLOCK_TYPE_REALTIME;
    if (GST_IS_SYSTEM_CLOCK(clock)) g_object_get(clock, "clock-type", &type, nullptr);
    clock_ = clock;
    monotonic_ = type == GST_CLOCK_TYPE_MONOTONIC;
    return monotonic_;
}

int64_t MonotonicNowNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t(now.tv_sec) * kNanosecondsPerSecond + now.tv_nsec;
}

GstClockTime ClockTimeOf(int64_t monotonicNs, GstClock* clock, MonotonicClockCheck* check) {
    if (check->ReadsMonotonic(clock)) return monotonicNs < 0 ? GST_CLOCK_TIME_NONE : monotonicNs;
    const GstClockTime clockNow = gst_clock_get_time(clock);
    const int64_t age = MonotonicNowNs() - monotonicNs;
    if (!GST_CLOCK_TIME_IS_VALID(clockNow) || age > int64_t(clockNow)) return GST_CLOCK_TIME_NONE;
    return clockNow - age;
}

GstClockTime RunningTimeOf(int64_t monotonicNs, GstClock* clock, GstClockTime baseTime,
                           MonotonicClockCheck* check) {
    if (clock == nullptr || !GST_CLOCK_TIME_IS_VALID(baseTime)) return GST_CLOCK_TIME_NONE;
    const GstClockTime at = ClockTimeOf(monotonicNs, clock, check);
    if (!GST_CLOCK_TIME_IS_VALID(at) || at < baseTime) return GST_CLOCK_TIME_NONE;
    return at - baseTime;
}

}  // namespace tavlin::gst
