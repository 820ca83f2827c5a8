#include "dialogs/stream_format_texts.h"

#include <cstdio>

namespace tavlin::dialogs {

namespace {

constexpr int32_t kWideSampleBits = 10;
constexpr int32_t kHighClockMhz = 48;

std::string WithNumber(const char* format, int32_t value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

}  // namespace

StreamFormatTexts StreamFormatTextsFor(bool japanese) {
    StreamFormatTexts t;
    t.subSamples = {"1/1", "1/2 Skip", "1/4 Skip", "1/8 Skip"};
    if (japanese) {
        t.colorModes = {"白黒 8bit",      WithNumber("白黒 %dbit ※", kWideSampleBits),
                        "カラー 24bit",   "カラー 32bit",
                        "カラー 48bit ※", "カラー 64bit ※"};
        t.clocks = {"標準(24MHz)", "ハーフ(12MHz)", WithNumber("高速(%dMHz)", kHighClockMhz)};
        t.custom = "カスタム";
        t.tabLabel = "ストリーム形式";
    } else {
        t.colorModes = {"Monochrome 8bit", "Monochrome 10bit *", "Color 24bit",
                        "Color 32bit",     "Color 48bit *",      "Color 64bit *"};
        t.clocks = {"Nomal(24MHz)", "Half(12MHz)", WithNumber("High(%dMHz)", kHighClockMhz)};
        t.custom = "Custom";
        t.tabLabel = "Stream Format";
    }
    return t;
}

std::string SizeEntry(int32_t width, int32_t height) {
    char text[32];
    std::snprintf(text, sizeof text, "%d x %d", width, height);
    return text;
}

}  // namespace tavlin::dialogs
