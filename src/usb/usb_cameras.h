// USB cameras reached through libusb: which devices are cameras (the id list and the endpoint
// layout), in a stable order, kept current by hotplug, and opening one as a device file.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "device/device_file.h"

namespace tavlin::usb {

struct UsbCamera {
    uint8_t bus = 0;
    std::vector<uint8_t> ports;  // port numbers from the root hub down
    uint8_t address = 0;         // the device's address on its bus
    uint16_t vendor = 0;
    uint16_t product = 0;
    std::string serial;  // the serial number string, when readable without claiming the device

    std::string Node() const;                       // "/dev/bus/usb/BBB/DDD"
    std::string PortPath() const;                   // "B-P.P.P", as sysfs names the device
    bool SameDevice(const UsbCamera& other) const;  // bus, port path and address
};

// A device on the id list that is not used, and why (for tavlin-ctl).
struct SkippedDevice {
    UsbCamera device;
    std::string reason;
};

struct UsbScan {
    std::vector<UsbCamera> cameras;           // in (bus, port path) order
    std::vector<SkippedDevice> skipped;       // on the id list, but not the camera's layout
    std::vector<std::string> idListWarnings;  // entries of the id list that do not parse
    bool available = true;                    // false when libusb could not start
};

// The cameras now present, in (bus, port path) order. Returns at once, without starting libusb,
// when the id list is empty.
std::vector<UsbCamera> Cameras();
// The same with what was passed over and why.
UsbScan Scan();

enum class OpenStatus { kOk, kGone, kPermissionDenied, kBusy, kFailed };

struct OpenResult {
    std::unique_ptr<device::DeviceFile> file;
    OpenStatus status = OpenStatus::kFailed;
};

// Opens one camera found by Cameras(). Device files on one camera share one claim of its
// interface in this process.
OpenResult Open(const UsbCamera& camera);

// A sentence for tavlin-ctl: what went wrong and what to do about it, naming the node and the
// rules file.
std::string OpenStatusAdvice(OpenStatus status, const UsbCamera& camera);

}  // namespace tavlin::usb
