#include "src_format.h"

#include <algorithm>
#include <numeric>

#include "tavlin/tavlin_vcam.h"

namespace tavlin::gst {

namespace {

constexpr int32_t kModes[] = {8, 16, 24, 32, 64};
constexpr int64_t kNanosecondsPerMicrosecond = 1000;
constexpr int kMicrosecondsPerSecond = 1000000;
constexpr int kLargestRate = 1000000;  // frames per second a template admits

}  // namespace

GstVideoFormat FormatOfColorMode(int32_t bitsPerPixel) {
    switch (bitsPerPixel) {
        case 8:
            return GST_VIDEO_FORMAT_GRAY8;
        case 16:
            return GST_VIDEO_FORMAT_GRAY16_LE;  // 10 significant bits, as the sensor gives them
        case 24:
            return GST_VIDEO_FORMAT_BGR;
        case 32:
            return GST_VIDEO_FORMAT_BGRx;
        case 64:
            return GST_VIDEO_FORMAT_BGRA64_LE;  // 10 significant bits; alpha set opaque
        default:
            return GST_VIDEO_FORMAT_UNKNOWN;
    }
}

int32_t ColorModeOfFormat(GstVideoFormat format) {
    for (int32_t mode : kModes) {
        if (FormatOfColorMode(mode) == format) return mode;
    }
    return 0;
}

const char* WhyNoFormat(int32_t bitsPerPixel) {
    if (FormatOfColorMode(bitsPerPixel) != GST_VIDEO_FORMAT_UNKNOWN) return nullptr;
    if (bitsPerPixel == 48) {
        return "colour mode 48 (three 16-bit words per pixel) has no GStreamer raw video format; "
               "use color-mode=bgra64 (64 bits: the same samples with an opaque alpha word)";
    }
    return "not a colour mode of the camera (8, 16, 24, 32, 48 or 64 bits per pixel)";
}

std::vector<int32_t> OfferedColorModes(int32_t preferred) {
    std::vector<int32_t> modes;
    if (FormatOfColorMode(preferred) != GST_VIDEO_FORMAT_UNKNOWN) modes.push_back(preferred);
    for (int32_t mode : kModes) {
        if (mode != preferred) modes.push_back(mode);
    }
    return modes;
}

Fraction RateOfPeriod(int64_t periodNs) {
    const int64_t us = (periodNs + kNanosecondsPerMicrosecond / 2) / kNanosecondsPerMicrosecond;
    if (us <= 0) return {};
    const int64_t divisor = std::gcd<int64_t>(kMicrosecondsPerSecond, us);
    const int64_t denominator = std::min<int64_t>(us / divisor, G_MAXINT);
    return {static_cast<int>(kMicrosecondsPerSecond / divisor), static_cast<int>(denominator)};
}

GstCaps* CapsFor(const StreamShape& shape, const std::vector<int32_t>& colorModes) {
    GstCaps* caps = gst_caps_new_empty();
    const Fraction rate = RateOfPeriod(shape.periodNs);
    for (int32_t mode : colorModes) {
        const GstVideoFormat format = FormatOfColorMode(mode);
        if (format == GST_VIDEO_FORMAT_UNKNOWN) continue;
        gst_caps_append_structure(
            caps, gst_structure_new("video/x-raw", "format", G_TYPE_STRING,
                                    gst_video_format_to_string(format), "width", G_TYPE_INT,
                                    shape.width, "height", G_TYPE_INT, shape.height, "framerate",
                                    GST_TYPE_FRACTION, rate.numerator, rate.denominator,
                                    "pixel-aspect-ratio", GST_TYPE_FRACTION, 1, 1, nullptr));
    }
    return caps;
}

GstCaps* TemplateCaps() {
    GstCaps* caps = gst_caps_new_empty();
    for (int32_t mode : kModes) {
        gst_caps_append_structure(
            caps, gst_structure_new("video/x-raw", "format", G_TYPE_STRING,
                                    gst_video_format_to_string(FormatOfColorMode(mode)), "width",
                                    GST_TYPE_INT_RANGE, 1, TAVLIN_VCAM_SENSOR_WIDTH, "height",
                                    GST_TYPE_INT_RANGE, 1, TAVLIN_VCAM_SENSOR_HEIGHT, "framerate",
                                    GST_TYPE_FRACTION_RANGE, 0, 1, kLargestRate, 1,
                                    "pixel-aspect-ratio", GST_TYPE_FRACTION, 1, 1, nullptr));
    }
    return caps;
}

StreamShape ShapeOfWindow(int32_t width, int32_t height, int32_t subSample) {
    const int32_t divisor = 1 << std::clamp(subSample, 0, 3);
    return {width / divisor, height / divisor, 0};
}

}  // namespace tavlin::gst
