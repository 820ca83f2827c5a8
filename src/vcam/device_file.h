// Device files of the cameras attached in this process.
#pragma once

#include <memory>
#include <string_view>

#include "device/device_file.h"

namespace tavlin::vcam {

using device::DeviceFile;

// The camera attached in this process under "\\.\NAME"; null when none is, or it is unplugged.
std::unique_ptr<DeviceFile> OpenAttachedDeviceFile(std::string_view path);

// True when a camera is attached in this process under the path's name (unplugged or not).
bool IsAttachedPath(std::string_view path);

}  // namespace tavlin::vcam
