// The three property dialogs of a camera, each run modally on the calling thread. Each returns 1
// after the dialog has closed, or 0 after reporting error 1 when the camera has no device object
// or another property dialog is already open for it (one at a time per camera; dialogs for
// different cameras may be open at once, on different threads).
#pragma once

#include <cstdint>

#include "camera/dialog_port.h"
#include "dialogs/modal_run.h"

namespace tavlin::dialogs {

// Gains, exposure, automatic iris and mirrors; Cancel puts them back.
int32_t RunAnalogDialog(camera::DialogPort& camera, const ModalOptions& options);

// Picture adjustments, white balance and (in the gray colour modes) the gray filter; Cancel puts
// the whole filter block back.
int32_t RunImageDialog(camera::DialogPort& camera, const ModalOptions& options);

// Colour mode, size presets, sub-sampling, wait time and clock in the stored settings; the
// acquisition is stopped meanwhile and restarted afterwards, with the new format after OK.
int32_t RunStreamFormatDialog(camera::DialogPort& camera, const ModalOptions& options);

}  // namespace tavlin::dialogs
