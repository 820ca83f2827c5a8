// Names for the error codes the camera reports with a meaning the public names do not say.
#pragma once

#include <cstdint>

#include "tavlin/tavlin.h"

namespace tavlin::camera {

// The operation is not possible in the camera's current mode or state.
inline constexpr int32_t kErrNotNow = TAVLIN_ERR_NO_DEVICE;
// An acquisition or snapshot could not start; reported after the cause.
inline constexpr int32_t kErrStartFailed = TAVLIN_ERR_NO_DEVICE;
// No image to save, or the output image could not be copied for saving.
inline constexpr int32_t kErrNoImage = TAVLIN_ERR_NO_DEVICE;
// A device read or write that failed, or no device object, as the SROM, I/O port and clock
// operations have always reported it.
inline constexpr int32_t kErrDeviceRefused = TAVLIN_ERR_NO_DEVICE;
// A UTF-16 file name that cannot be converted (saving).
inline constexpr int32_t kErrUnusableName = TAVLIN_ERR_NO_DEVICE;
// A stored colour mode outside 0..5 refuses preparation.
inline constexpr int32_t kErrBadColorMode = TAVLIN_ERR_MEMORY;
// The caller's buffer or record is smaller than what is copied into it.
inline constexpr int32_t kErrTooSmall = TAVLIN_ERR_MEMORY;
// No size preset matches the requested width and height.
inline constexpr int32_t kErrNoSizePreset = TAVLIN_ERR_WINDOW;
// A preview or snapshot could not be started or taken; reported after the cause.
inline constexpr int32_t kErrPreviewFailed = TAVLIN_ERR_TRANSFER;
// No frame came before the caller's time-out.
inline constexpr int32_t kErrTimedOut = TAVLIN_ERR_TRANSFER;

}  // namespace tavlin::camera
