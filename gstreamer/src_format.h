// What the camera's colour modes are in GStreamer: raw video formats, frame sizes, rates and
// the caps tavlinsrc offers.
#pragma once

#include <gst/gst.h>
#include <gst/video/video.h>

#include <cstdint>
#include <optional>
#include <vector>

namespace tavlin::gst {

// Colour modes by bits per pixel; 0 lets the caps decide.
inline constexpr int32_t kColorModeAuto = 0;

// The GStreamer format of a colour mode; GST_VIDEO_FORMAT_UNKNOWN for 48 (no packed three-word
// format exists) and for values that are no colour mode.
GstVideoFormat FormatOfColorMode(int32_t bitsPerPixel);
// The colour mode of a format, 0 for formats the camera cannot give.
int32_t ColorModeOfFormat(GstVideoFormat format);

// Why a colour mode has no format, for the error message; null when it has one.
const char* WhyNoFormat(int32_t bitsPerPixel);

// The colour modes tavlinsrc can stream, in the order offered when the caps decide: the
// camera's own first (when it is one of them), then the rest.
std::vector<int32_t> OfferedColorModes(int32_t preferred);

// A frame rate as a fraction for a period in nanoseconds (microsecond precision); 0/1 for a
// period of 0 (triggered frames come when they are triggered).
struct Fraction {
    int numerator = 0;
    int denominator = 1;
};
Fraction RateOfPeriod(int64_t periodNs);

struct StreamShape {
    int32_t width = 0;  // after sub-sampling
    int32_t height = 0;
    int64_t periodNs = 0;  // 0: triggered
};

// Caps of one shape in each of the modes, in order.
GstCaps* CapsFor(const StreamShape& shape, const std::vector<int32_t>& colorModes);
// Every format and size the camera can give (pad template, device provider).
GstCaps* TemplateCaps();

// The sub-sampled frame size the SDK delivers for a window.
StreamShape ShapeOfWindow(int32_t width, int32_t height, int32_t subSample);

}  // namespace tavlin::gst
