// Device files served by the camera daemon: one socket connection per open handle, so a frame
// read blocking on one handle never holds up requests on another.
#pragma once

#include <memory>
#include <string_view>

#include "vcam/device_file.h"

namespace tavlin::vcam {

// Connects to the daemon's socket for the device name and waits (bounded) for the daemon to
// open a handle on its camera; null when no daemon serves the name or it refused.
std::unique_ptr<DeviceFile> OpenDaemonDeviceFile(std::string_view deviceName);

}  // namespace tavlin::vcam
