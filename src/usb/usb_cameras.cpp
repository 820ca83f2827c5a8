#include "usb/usb_cameras.h"

#include <cstdio>

#include "usb/usb_context.h"
#include "usb/usb_device_file.h"
#include "usb/usb_ids.h"

namespace tavlin::usb {

namespace {

constexpr char kRulesFile[] = "60-tavlin.rules";

}  // namespace

std::string UsbCamera::Node() const {
    char text[32];
    std::snprintf(text, sizeof text, "/dev/bus/usb/%03u/%03u", unsigned{bus}, unsigned{address});
    return text;
}

std::string UsbCamera::PortPath() const {
    std::string path = std::to_string(bus) + "-";
    if (ports.empty()) return path + "0";
    for (size_t i = 0; i < ports.size(); ++i) {
        if (i > 0) path += '.';
        path += std::to_string(ports[i]);
    }
    return path;
}

bool UsbCamera::SameDevice(const UsbCamera& other) const {
    return bus == other.bus && ports == other.ports && address == other.address;
}

UsbScan Scan() {
    IdList ids = LoadIdList();
    UsbScan scan;
    // Nothing listed: libusb is not started at all.
    if (!ids.ids.empty()) scan = UsbContext::Instance()->Scan(ids);
    scan.idListWarnings = std::move(ids.warnings);
    return scan;
}

std::vector<UsbCamera> Cameras() {
    const IdList ids = LoadIdList();
    if (ids.ids.empty()) return {};
    return UsbContext::Instance()->Scan(ids).cameras;
}

OpenResult Open(const UsbCamera& camera) {
    return OpenCamera(camera);
}

std::string OpenStatusAdvice(OpenStatus status, const UsbCamera& camera) {
    const std::string node = camera.Node();
    switch (status) {
        case OpenStatus::kOk:
            return node + " is open";
        case OpenStatus::kGone:
            return node +
                   " is gone (unplugged or reset): plug the camera in again and open it "
                   "anew; with " +
                   kRulesFile + " installed it is usable as soon as it is back";
        case OpenStatus::kPermissionDenied:
            return "permission denied on " + node + ": install " + kRulesFile +
                   " (udev) and re-plug the camera, or add your user to group plugdev";
        case OpenStatus::kBusy:
            return node + " is busy: another program has claimed the camera, or a kernel driver " +
                   "holds it; close the other program, and install " + kRulesFile +
                   " (udev) to keep kernel drivers off the camera";
        case OpenStatus::kFailed:
            break;
    }
    return "could not open " + node + ": re-plug the camera, and check that " + kRulesFile +
           " (udev) is installed and that the camera is on a working port";
}

}  // namespace tavlin::usb
