// The error codes' names and texts: the one table the exports, the tools and the Python package
// read (through TavlinExt_GetErrorText / TavlinExt_GetErrorName), the diagnostic log names, and
// the README's table mirrors.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "tavlin/tavlin.h"

namespace tavlin::camera {

struct ErrorText {
    int32_t code;
    const char* name;  // the enumerator without its TAVLIN_ERR_ prefix
    const char* text;  // lower case, no final stop: callers embed it in sentences
};

inline constexpr std::array<ErrorText, 13> kErrorTexts{{
    {TAVLIN_ERR_NONE, "NONE", "no error"},
    {TAVLIN_ERR_NO_DEVICE, "NO_DEVICE", "no device, or not possible now"},
    {TAVLIN_ERR_DEVICE_BUSY, "DEVICE_BUSY", "device not available (absent or claimed elsewhere)"},
    {TAVLIN_ERR_THREAD, "THREAD", "thread or event could not be created"},
    {TAVLIN_ERR_WINDOW, "WINDOW", "window not created, or no matching size preset"},
    {TAVLIN_ERR_MEMORY, "MEMORY", "out of memory or initialisation failed"},
    {TAVLIN_ERR_IO, "IO", "device input/output failed"},
    {TAVLIN_ERR_CAPTURE_WINDOW, "CAPTURE_WINDOW", "capture window invalid"},
    {TAVLIN_ERR_TRANSFER, "TRANSFER", "frame transfer failed"},
    // Also null pointers and struct sizes, not only values out of range and unknown ids.
    {TAVLIN_ERR_INVALID_ARGUMENT, "INVALID_ARGUMENT", "invalid argument"},
    {TAVLIN_ERR_NOT_SUPPORTED, "NOT_SUPPORTED", "not supported"},
    {TAVLIN_ERR_FILE, "FILE", "file or name failure"},
    {TAVLIN_ERR_STREAM_STOPPED, "STREAM_STOPPED", "stream stopped"},
}};

inline constexpr ErrorText kUnknownError{-1, "UNKNOWN", "unknown error"};

constexpr const ErrorText& FindErrorText(int32_t code) {
    for (const ErrorText& entry : kErrorTexts) {
        if (entry.code == code) return entry;
    }
    return kUnknownError;
}

// Codes ascend, none repeats, and every entry has a name and a text.
constexpr bool ErrorTableIsWellFormed() {
    for (size_t i = 0; i < kErrorTexts.size(); ++i) {
        if (std::string_view(kErrorTexts[i].name).empty() ||
            std::string_view(kErrorTexts[i].text).empty()) {
            return false;
        }
        if (i > 0 && kErrorTexts[i - 1].code >= kErrorTexts[i].code) return false;
    }
    return true;
}
static_assert(ErrorTableIsWellFormed());
static_assert(FindErrorText(TAVLIN_ERR_STREAM_STOPPED).code == TAVLIN_ERR_STREAM_STOPPED);

}  // namespace tavlin::camera
