#include "settings_table.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <limits>
#include <optional>

#include "options.h"
#include "tavlin/tavlin.h"
#include "tavlin/tavlin_ext.h"

namespace ctl {

namespace {

std::optional<int32_t> ParseValue(const std::string& text) {
    const auto value = ParseInteger(text);
    if (!value || *value < std::numeric_limits<int32_t>::min() ||
        *value > std::numeric_limits<int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<int32_t>(*value);
}

// Getters with a success flag, and setters of one integer returning 1 or 0.
template <int32_t (*Get)(int32_t, int32_t*)>
bool FlagGet(int32_t camera, std::string* value) {
    int32_t ok = 0;
    const int32_t result = Get(camera, &ok);
    if (ok != 1) return false;
    *value = std::to_string(result);
    return true;
}

template <int32_t (*Set)(int32_t, int32_t)>
bool IntSet(int32_t camera, const std::string& text, bool* parsed) {
    const auto value = ParseValue(text);
    *parsed = value.has_value();
    return value && Set(camera, *value) == 1;
}

// The one-shot automatic gray adjustment has no named export, only its filter id.
bool GrayAutoGet(int32_t camera, std::string* value) {
    int32_t ok = 0;
    const int32_t result = Tavlin_GetFilterValue(camera, TAVLIN_FILTER_28, &ok);
    if (ok != 1) return false;
    *value = std::to_string(result);
    return true;
}

bool GrayAutoSet(int32_t camera, const std::string& text, bool* parsed) {
    const auto value = ParseValue(text);
    *parsed = value.has_value();
    return value && Tavlin_SetFilterValue(camera, TAVLIN_FILTER_28, *value) == 1;
}

// Tavlin_GetColorMode answers 10, 42 and 58 for the 16-bit-per-sample modes set as 16, 48 and
// 64; the tool shows the value --set takes, so a printed value can be set again.
bool ColorModeGet(int32_t camera, std::string* value) {
    const int32_t mode = Tavlin_GetColorMode(camera);
    if (mode < 0) return false;
    *value = std::to_string(mode == 10 || mode == 42 || mode == 58 ? mode + 6 : mode);
    return true;
}

template <int32_t (*Get)(int32_t)>
bool PlainGet(int32_t camera, std::string* value) {
    const int32_t result = Get(camera);
    if (result < 0) return false;
    *value = std::to_string(result);
    return true;
}

bool IoPortGet(int32_t camera, std::string* value) {
    uint8_t port = 0;
    if (Tavlin_GetIOPort(camera, &port, 0, 0) != 1) return false;
    *value = std::to_string(port);
    return true;
}

bool IoPortSet(int32_t camera, const std::string& text, bool* parsed) {
    const auto value = ParseValue(text);
    *parsed = value.has_value();
    // The export keeps the low 8 bits; a larger value is refused rather than cut.
    return value && *value >= 0 && *value <= 255 &&
           Tavlin_SetIOPort(camera, static_cast<uint8_t>(*value)) == 1;
}

bool WindowGet(int32_t camera, std::string* value) {
    int32_t totalWidth = 0, startX = 0, width = 0, totalHeight = 0, startY = 0, height = 0;
    if (Tavlin_GetCaptureWindowEx(camera, &totalWidth, &startX, &width, &totalHeight, &startY,
                                  &height) != 1) {
        return false;
    }
    char text[64];
    std::snprintf(text, sizeof(text), "%dx%d+%d+%d", width, height, startX, startY);
    *value = text;
    return true;
}

// WIDTHxHEIGHT[+X+Y]; the total size stays what the camera holds.
bool WindowSet(int32_t camera, const std::string& text, bool* parsed) {
    int32_t width = 0, height = 0, x = 0, y = 0;
    int consumed = 0;
    const bool withOrigin =
        std::sscanf(text.c_str(), "%dx%d+%d+%d%n", &width, &height, &x, &y, &consumed) == 4 &&
        static_cast<size_t>(consumed) == text.size();
    const bool sizeOnly = !withOrigin &&
                          std::sscanf(text.c_str(), "%dx%d%n", &width, &height, &consumed) == 2 &&
                          static_cast<size_t>(consumed) == text.size();
    *parsed = withOrigin || sizeOnly;
    if (!*parsed) return false;
    if (sizeOnly) x = y = 0;
    int32_t totalWidth = 0, totalHeight = 0;
    if (Tavlin_GetCaptureWindowEx(camera, &totalWidth, nullptr, nullptr, &totalHeight, nullptr,
                                  nullptr) != 1) {
        return false;
    }
    return Tavlin_SetCaptureWindowEx(camera, totalWidth, x, width, totalHeight, y, height) == 1;
}

bool RealExposureGet(int32_t camera, std::string* value) {
    int32_t ok = 0;
    const int32_t result = Tavlin_GetRealExposureTime(camera, &ok);
    if (ok != 1) return false;
    *value = std::to_string(result);
    return true;
}

constexpr Setting kSettings[] = {
    {"exposure", nullptr, "", "Tavlin_SetExposureTime / Tavlin_GetExposureTime",
     "exposure time in sensor lines", FlagGet<Tavlin_GetExposureTime>,
     IntSet<Tavlin_SetExposureTime>, TAVLIN_FILTER_EXPOSURE_TIME},
    {"realexposure", "about 64..1040320 at full width", "us",
     "Tavlin_SetRealExposureTime / Tavlin_GetRealExposureTime",
     "exposure time in microseconds (depends on window width, sub-sampling and clock)",
     RealExposureGet, IntSet<Tavlin_SetRealExposureTime>},
    {"globalgain", nullptr, "", "Tavlin_SetGlobalGain / Tavlin_GetGlobalGain",
     "analog gain of all four colour channels", FlagGet<Tavlin_GetGlobalGain>,
     IntSet<Tavlin_SetGlobalGain>, TAVLIN_FILTER_GLOBAL_GAIN},
    {"colorgainred", nullptr, "", "Tavlin_SetColorGainRed / Tavlin_GetColorGainRed",
     "analog gain of the red pixels", FlagGet<Tavlin_GetColorGainRed>,
     IntSet<Tavlin_SetColorGainRed>, TAVLIN_FILTER_COLOR_GAIN_RED},
    {"colorgaingreen1", nullptr, "", "Tavlin_SetColorGainGreen1 / Tavlin_GetColorGainGreen1",
     "analog gain of the green pixels on red rows", FlagGet<Tavlin_GetColorGainGreen1>,
     IntSet<Tavlin_SetColorGainGreen1>, TAVLIN_FILTER_COLOR_GAIN_GREEN1},
    {"colorgaingreen2", nullptr, "", "Tavlin_SetColorGainGreen2 / Tavlin_GetColorGainGreen2",
     "analog gain of the green pixels on blue rows", FlagGet<Tavlin_GetColorGainGreen2>,
     IntSet<Tavlin_SetColorGainGreen2>, TAVLIN_FILTER_COLOR_GAIN_GREEN2},
    {"colorgainblue", nullptr, "", "Tavlin_SetColorGainBlue / Tavlin_GetColorGainBlue",
     "analog gain of the blue pixels", FlagGet<Tavlin_GetColorGainBlue>,
     IntSet<Tavlin_SetColorGainBlue>, TAVLIN_FILTER_COLOR_GAIN_BLUE},
    {"brightness", nullptr, "", "Tavlin_SetBrightness / Tavlin_GetBrightness", "brightness offset",
     FlagGet<Tavlin_GetBrightness>, IntSet<Tavlin_SetBrightness>, TAVLIN_FILTER_BRIGHTNESS},
    {"contrast", nullptr, "", "Tavlin_SetContrast / Tavlin_GetContrast", "contrast",
     FlagGet<Tavlin_GetContrast>, IntSet<Tavlin_SetContrast>, TAVLIN_FILTER_CONTRAST},
    {"hue", nullptr, "", "Tavlin_SetHue / Tavlin_GetHue", "hue rotation", FlagGet<Tavlin_GetHue>,
     IntSet<Tavlin_SetHue>, TAVLIN_FILTER_HUE},
    {"saturation", nullptr, "", "Tavlin_SetSaturation / Tavlin_GetSaturation", "saturation change",
     FlagGet<Tavlin_GetSaturation>, IntSet<Tavlin_SetSaturation>, TAVLIN_FILTER_SATURATION},
    {"sharpness", nullptr, "", "Tavlin_SetSharpness / Tavlin_GetSharpness", "sharpening",
     FlagGet<Tavlin_GetSharpness>, IntSet<Tavlin_SetSharpness>, TAVLIN_FILTER_SHARPNESS},
    {"gamma", nullptr, "", "Tavlin_SetGamma / Tavlin_GetGamma", "gamma (100 = linear)",
     FlagGet<Tavlin_GetGamma>, IntSet<Tavlin_SetGamma>, TAVLIN_FILTER_GAMMA},
    {"bayergainred", nullptr, "", "Tavlin_SetBayerGainRed / Tavlin_GetBayerGainRed",
     "white balance gain of red", FlagGet<Tavlin_GetBayerGainRed>, IntSet<Tavlin_SetBayerGainRed>,
     TAVLIN_FILTER_BAYER_GAIN_RED},
    {"bayergaingreen", nullptr, "", "Tavlin_SetBayerGainGreen / Tavlin_GetBayerGainGreen",
     "white balance gain of green", FlagGet<Tavlin_GetBayerGainGreen>,
     IntSet<Tavlin_SetBayerGainGreen>, TAVLIN_FILTER_BAYER_GAIN_GREEN},
    {"bayergainblue", nullptr, "", "Tavlin_SetBayerGainBlue / Tavlin_GetBayerGainBlue",
     "white balance gain of blue", FlagGet<Tavlin_GetBayerGainBlue>,
     IntSet<Tavlin_SetBayerGainBlue>, TAVLIN_FILTER_BAYER_GAIN_BLUE},
    {"bayergainrgb", "any (bits 0-7 red, 8-15 green, 16-23 blue)", "",
     "Tavlin_SetBayerGainRGB / Tavlin_GetBayerGainRGB", "the three white balance gains packed",
     FlagGet<Tavlin_GetBayerGainRGB>, IntSet<Tavlin_SetBayerGainRGB>, TAVLIN_FILTER_BAYER_GAIN_RGB},
    {"bayergainauto", "0 or 1 (any non-zero is 1)", "",
     "Tavlin_SetBayerGainAuto / Tavlin_GetBayerGainAuto", "automatic white balance",
     FlagGet<Tavlin_GetBayerGainAuto>, IntSet<Tavlin_SetBayerGainAuto>,
     TAVLIN_FILTER_BAYER_GAIN_AUTO},
    {"bayermode", nullptr, "", "Tavlin_SetBayerMode / Tavlin_GetBayerMode",
     "Bayer phase of the sensor data", FlagGet<Tavlin_GetBayerMode>, IntSet<Tavlin_SetBayerMode>,
     TAVLIN_FILTER_BAYER_MODE},
    {"graymode", nullptr, "", "Tavlin_SetGrayMode / Tavlin_GetGrayMode", "gray filter mode",
     FlagGet<Tavlin_GetGrayMode>, IntSet<Tavlin_SetGrayMode>, TAVLIN_FILTER_GRAY_MODE},
    {"graygainr", nullptr, "", "Tavlin_SetGrayGainR / Tavlin_GetGrayGainR",
     "gray filter gain of red pixels", FlagGet<Tavlin_GetGrayGainR>, IntSet<Tavlin_SetGrayGainR>,
     TAVLIN_FILTER_GRAY_GAIN_R},
    {"graygaing1", nullptr, "", "Tavlin_SetGrayGainG1 / Tavlin_GetGrayGainG1",
     "gray filter gain of green 1 pixels", FlagGet<Tavlin_GetGrayGainG1>,
     IntSet<Tavlin_SetGrayGainG1>, TAVLIN_FILTER_GRAY_GAIN_G1},
    {"graygaing2", nullptr, "", "Tavlin_SetGrayGainG2 / Tavlin_GetGrayGainG2",
     "gray filter gain of green 2 pixels", FlagGet<Tavlin_GetGrayGainG2>,
     IntSet<Tavlin_SetGrayGainG2>, TAVLIN_FILTER_GRAY_GAIN_G2},
    {"graygainb", nullptr, "", "Tavlin_SetGrayGainB / Tavlin_GetGrayGainB",
     "gray filter gain of blue pixels", FlagGet<Tavlin_GetGrayGainB>, IntSet<Tavlin_SetGrayGainB>,
     TAVLIN_FILTER_GRAY_GAIN_B},
    {"grayoffsetr", nullptr, "", "Tavlin_SetGrayOffsetR / Tavlin_GetGrayOffsetR",
     "gray filter offset of red pixels", FlagGet<Tavlin_GetGrayOffsetR>,
     IntSet<Tavlin_SetGrayOffsetR>, TAVLIN_FILTER_GRAY_OFFSET_R},
    {"grayoffsetg1", nullptr, "", "Tavlin_SetGrayOffsetG1 / Tavlin_GetGrayOffsetG1",
     "gray filter offset of green 1 pixels", FlagGet<Tavlin_GetGrayOffsetG1>,
     IntSet<Tavlin_SetGrayOffsetG1>, TAVLIN_FILTER_GRAY_OFFSET_G1},
    {"grayoffsetg2", nullptr, "", "Tavlin_SetGrayOffsetG2 / Tavlin_GetGrayOffsetG2",
     "gray filter offset of green 2 pixels", FlagGet<Tavlin_GetGrayOffsetG2>,
     IntSet<Tavlin_SetGrayOffsetG2>, TAVLIN_FILTER_GRAY_OFFSET_G2},
    {"grayoffsetb", nullptr, "", "Tavlin_SetGrayOffsetB / Tavlin_GetGrayOffsetB",
     "gray filter offset of blue pixels", FlagGet<Tavlin_GetGrayOffsetB>,
     IntSet<Tavlin_SetGrayOffsetB>, TAVLIN_FILTER_GRAY_OFFSET_B},
    {"grayauto", nullptr, "", "Tavlin_SetFilterValue / Tavlin_GetFilterValue (id 28)",
     "1: measure the gray gains once from the next frame", GrayAutoGet, GrayAutoSet,
     TAVLIN_FILTER_28},
    {"colormode", "8, 16, 24, 32, 48, 64", "bits per pixel",
     "Tavlin_SetColorMode / Tavlin_GetColorMode",
     "output format: 8/16 monochrome, 24/32 colour, 48/64 colour with 16-bit samples", ColorModeGet,
     IntSet<Tavlin_SetColorMode>},
    {"subsample", "0..3", "", "Tavlin_SetSubSample / Tavlin_GetSubSample",
     "sub-sampling: 0 none, 1 half, 2 quarter, 3 eighth", PlainGet<Tavlin_GetSubSample>,
     IntSet<Tavlin_SetSubSample>},
    {"window", "WIDTHxHEIGHT[+X+Y] within 1280x1024", "pixels",
     "Tavlin_SetCaptureWindowEx / Tavlin_GetCaptureWindowEx", "capture window on the sensor",
     WindowGet, WindowSet},
    {"waittime", "0 or more", "ms", "Tavlin_SetWaitTime / Tavlin_GetWaitTime",
     "pause of the preview loop between frames", PlainGet<Tavlin_GetWaitTime>,
     IntSet<Tavlin_SetWaitTime>},
    {"halfclock", "0..5", "", "Tavlin_SetHalfClock / Tavlin_GetHalfClock",
     "pixel clock: 0 24 MHz, 1 12, 2 48, 3 40, 4 20, 5 10 (read back from the camera)",
     FlagGet<Tavlin_GetHalfClock>, IntSet<Tavlin_SetHalfClock>},
    {"mirrorh", "0 or 1", "", "Tavlin_SetMirrorH / Tavlin_GetMirrorH", "horizontal mirror",
     PlainGet<Tavlin_GetMirrorH>, IntSet<Tavlin_SetMirrorH>},
    {"mirrorv", "0 or 1", "", "Tavlin_SetMirrorV / Tavlin_GetMirrorV", "vertical mirror",
     PlainGet<Tavlin_GetMirrorV>, IntSet<Tavlin_SetMirrorV>},
    {"autoiris", "0..2", "", "Tavlin_SetAutoIris / Tavlin_GetAutoIris", "automatic iris",
     FlagGet<Tavlin_GetAutoIris>, IntSet<Tavlin_SetAutoIris>},
    {"ioport", "0..255", "", "Tavlin_SetIOPort / Tavlin_GetIOPort",
     "general-purpose I/O port of the camera", IoPortGet, IoPortSet},

};

std::string Normalised(const std::string& name) {
    std::string result;
    for (const char c : name) {
        if (c == '-' || c == '_') continue;
        result += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return result;
}

// The library's description of a setting's filter id.
std::optional<TavlinExtFilterInfo> FilterInfo(const Setting& setting) {
    if (setting.filterId == 0) return std::nullopt;
    TavlinExtFilterInfo info{};
    info.size = sizeof info;
    if (TavlinExt_GetFilterInfo(setting.filterId - 1, &info) != 1) return std::nullopt;
    return info;
}

}  // namespace

std::string RangeText(const Setting& setting) {
    const auto info = FilterInfo(setting);
    // Values that take any number say how they are read instead of the int32_t limits.
    if (!info || (info->flags & TAVLIN_EXT_FILTER_ANY_VALUE) != 0) {
        return setting.range != nullptr ? setting.range : "";
    }
    return std::to_string(info->minimum) + ".." + std::to_string(info->maximum);
}

std::string UnitText(const Setting& setting) {
    const auto info = FilterInfo(setting);
    return info ? info->unit : setting.unit;
}

std::span<const Setting> Settings() {
    return kSettings;
}

const Setting* FindSetting(const std::string& name) {
    const std::string wanted = Normalised(name);
    // The export names' own spellings are accepted too.
    const std::string alias = wanted == "exposuretime"       ? "exposure"
                              : wanted == "realexposuretime" ? "realexposure"
                              : wanted == "capturewindow"    ? "window"
                                                             : wanted;
    const auto found = std::find_if(std::begin(kSettings), std::end(kSettings),
                                    [&](const Setting& s) { return alias == s.name; });
    return found == std::end(kSettings) ? nullptr : &*found;
}

}  // namespace ctl
