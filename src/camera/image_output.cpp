// Saving the current image to a file, and recording the preview into an AVI file.
#include <cstring>
#include <string>

#include "camera/ctavlin.h"
#include "output/image_file.h"
#include "platform/text_convert.h"

namespace tavlin::camera {

namespace {

constexpr int kSignificantBits = 10;
// Converted names must fit the 1024-byte buffer of the narrow forms, terminator included.
constexpr size_t kMaxNarrowName = 1023;

std::optional<std::string> NarrowName(const char16_t* fileName) {
    const auto wide = platform::BoundedWideString(fileName, 4 * kMaxNarrowName);
    if (!wide) return std::nullopt;
    auto narrow = platform::Utf16ToUtf8(*wide);
    if (!narrow || narrow->size() > kMaxNarrowName) return std::nullopt;
    return narrow;
}

}  // namespace

int CTavlin::SaveImageCommon(const char* fileName, int32_t format, bool requireFrame) {
    if (!RequireDevice()) return 0;
    if (requireFrame && !acquisition_.ImageReady()) return Fail(kErrNoImage);
    // Encoding takes tens to hundreds of milliseconds: it works on a copy taken under the frame
    // lock, so the preview keeps running meanwhile and the file never holds a half-made frame.
    output::ImageBuffer copy;
    if (!acquisition_.CopyOutputImage(copy)) return Fail(kErrNoImage);
    if (fileName == nullptr) return 0;
    return output::SaveImageFile(fileName, copy, format, kSignificantBits);
}

int CTavlin::SaveImage(const char* fileName, int32_t format) {
    return SaveImageCommon(fileName, format, true);
}

int CTavlin::SaveImageW(const char16_t* fileName, int32_t format) {
    if (!RequireDevice()) return 0;
    const auto narrow = NarrowName(fileName);
    if (!narrow) return Fail(kErrUnusableName);
    return SaveImageCommon(narrow->c_str(), format, false);
}

int CTavlin::RecordW(const char16_t* fileName, int32_t durationMs, int32_t showWindow) {
    const auto narrow = NarrowName(fileName);
    if (!narrow) return Fail(TAVLIN_ERR_FILE);
    return Record(narrow->c_str(), durationMs, showWindow);
}

int CTavlin::Record(const char* fileName, int32_t durationMs, int32_t showWindow) {
    if (fileName == nullptr || *fileName == '\0') return Fail(TAVLIN_ERR_INVALID_ARGUMENT);
    const auto recording = recorder_.Serialise();
    // One recording per camera: a second one would pull the file out from under the first.
    if (recorder_.Running()) return Fail(kErrNotNow);
    recorder_.JoinFinished();
    acquisition_.SetFrameTarget(0, nullptr, 0, 0);
    if (showWindow != 0 && !CreatePreviewWindow()) {
        CloseCamera(RecordLock::kHeld);
        return 0;
    }
    if (StartPreview() == 0) {
        CloseCamera(RecordLock::kHeld);
        return Fail(TAVLIN_ERR_FILE);
    }
    const OutputFormat format = acquisition_.CurrentOutputFormat();
    if (!recorder_.Open(fileName, format.width, format.height, format.bitsPerPixel)) {
        CloseCamera(RecordLock::kHeld);
        return Fail(TAVLIN_ERR_FILE);
    }
    if (!recorder_.Start(durationMs)) {
        CloseCamera(RecordLock::kHeld);
        return Fail(TAVLIN_ERR_THREAD);
    }
    return 1;
}

}  // namespace tavlin::camera
