// Which transport answers a device path: a camera attached in this process first, then a USB
// camera placed on the index, then the camera daemon. The one place that knows every transport;
// the device layer sees only the opener installed here.
#pragma once

#include <array>
#include <optional>
#include <string_view>
#include <vector>

#include "device/device_file.h"
#include "device/driver_protocol.h"
#include "usb/usb_cameras.h"

namespace tavlin::transport {

using IndexFlags = std::array<bool, device::protocol::kDeviceCount>;
using UsbPlacement = std::array<std::optional<usb::UsbCamera>, device::protocol::kDeviceCount>;

// The device index a path names, or -1 when it names no camera index.
int IndexOfDevicePath(std::string_view path);

// USB cameras, in their order, take the indices no virtual camera holds, lowest first; cameras
// beyond the last free index are not placed.
UsbPlacement PlaceUsbCameras(const IndexFlags& taken, const std::vector<usb::UsbCamera>& cameras);

// Indices a virtual camera holds now: attached in this process, or served by the daemon.
IndexFlags VirtualIndices();
IndexFlags AttachedIndices();
bool DaemonServes(int index);

// The USB camera placed on the index now, if any.
std::optional<usb::UsbCamera> UsbCameraAt(int index);

// Installs the opener that makes this choice into the device layer (once per process).
void InstallTransports();

}  // namespace tavlin::transport
