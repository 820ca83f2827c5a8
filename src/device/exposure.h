// Conversion between exposure times in microseconds and shutter lines for this model. The clock
// durations are single-precision fractions widened to double; results depend on those bits.
#pragma once

#include <cstdint>

namespace tavlin::device {

// Milliseconds per pixel clock for a clock setting (0 and unknown settings: 24 MHz).
double ClockMilliseconds(int32_t clockSetting);

// Line length in clocks for a capture width and sub-sample mode, kept to 16 bits, as the exposure
// conversion has always computed it (1/8 sub-sampling counts the whole width there).
int32_t LineLength(int32_t width, int32_t subSampleMode);

// Clocks the sensor spends on one line it reads out: the pixels it delivers and the overhead.
int32_t ReadoutLineClocks(int32_t width, int32_t divisor);

// Truncated microseconds of S shutter lines.
int64_t ExposureMicroseconds(int32_t shutter, int32_t lineLength, double clockMs);

// Truncated shutter lines for an exposure time (may lie outside 1..16383; the caller checks).
int64_t ShutterForMicroseconds(int64_t microseconds, int32_t lineLength, double clockMs);

// Vertical blanking the window programming writes, in lines.
inline constexpr int32_t kVerticalBlankLines = 25;

// Lines one frame takes to read out: the window's rows and the blanking, or the shutter when it
// is longer, as the sensor stretches the frame to fit the exposure.
int64_t FrameLines(int32_t windowRows, int32_t shutter);

// Rounded nanoseconds of a frame of that many lines.
int64_t FramePeriodNanoseconds(int64_t frameLines, int32_t lineLength, double clockMs);

}  // namespace tavlin::device
