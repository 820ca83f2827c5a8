// What answers each device index, in words a user can act on: for tools that explain a setup
// (tavlin-ctl --list) rather than for opening devices.
#pragma once

#include <optional>
#include <string>

#include "usb/usb_cameras.h"

namespace tavlin::transport {

enum class Reach { kNone, kInProcess, kDaemon, kUsb };

struct DeviceDescription {
    Reach reach = Reach::kNone;
    std::optional<usb::UsbCamera> usb;              // the USB camera placed on the index
    usb::OpenStatus access = usb::OpenStatus::kOk;  // whether this process can open it now
    std::string advice;                             // what to do when it cannot
};

// Opens a USB camera briefly to learn whether it can be opened.
DeviceDescription DescribeDevice(int index);

// One line per problem found while looking for USB cameras: id-list entries that do not parse,
// listed devices with another endpoint layout, libusb not starting. Empty when all is well.
std::string UsbReport();

}  // namespace tavlin::transport
