#include "transport/device_description.h"

#include "transport/transport_choice.h"

namespace tavlin::transport {

DeviceDescription DescribeDevice(int index) {
    DeviceDescription description;
    if (index < 0 || index >= device::protocol::kDeviceCount) return description;
    const IndexFlags attached = AttachedIndices();
    if (attached[index]) {
        description.reach = Reach::kInProcess;
    } else if (auto camera = UsbCameraAt(index)) {
        description.reach = Reach::kUsb;
        description.access = usb::Open(*camera).status;
        if (description.access != usb::OpenStatus::kOk) {
            description.advice = usb::OpenStatusAdvice(description.access, *camera);
        }
        description.usb = std::move(camera);
    } else if (DaemonServes(index)) {
        description.reach = Reach::kDaemon;
    }
    return description;
}

std::string UsbReport() {
    const usb::UsbScan scan = usb::Scan();
    std::string report;
    if (!scan.available) report += "libusb could not start: USB cameras are not looked for\n";
    for (const std::string& warning : scan.idListWarnings) report += warning + "\n";
    for (const usb::SkippedDevice& skipped : scan.skipped) {
        report += "skipped " + skipped.device.PortPath() + " (" + skipped.device.Node() +
                  "): " + skipped.reason + "\n";
    }
    return report;
}

}  // namespace tavlin::transport
