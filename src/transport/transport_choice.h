// Which transport answers a device path: a camera attached in this process first, then the
// camera daemon. The one place that knows every transport;
// the device layer sees only the opener installed here.
#pragma once

#include <array>
#include <optional>
#include <string_view>
#include <vector>

#include "device/device_file.h"
#include "device/driver_protocol.h"

namespace tavlin::transport {

using IndexFlags = std::array<bool, device::protocol::kDeviceCount>;

// The device index a path names, or -1 when it names no camera index.
int IndexOfDevicePath(std::string_view path);

// Indices a virtual camera holds now: attached in this process, or served by the daemon.
IndexFlags VirtualIndices();

// Installs the opener that makes this choice into the device layer (once per process).
void InstallTransports();

}  // namespace tavlin::transport
