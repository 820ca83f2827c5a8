#include "transport/transport_choice.h"

#include <sys/stat.h>

#include <string>

#include "vcam/camera_registry.h"
#include "vcam/device_file.h"
#include "vcam/socket_device_file.h"
#include "vcam/unix_socket.h"

namespace tavlin::transport {

namespace protocol = device::protocol;

namespace {

constexpr std::string_view kPathStart = protocol::kDevicePathStart;

class TransportChoice final : public device::DeviceFileOpener {
  public:
    std::unique_ptr<device::DeviceFile> Open(std::string_view path) override {
        if (!path.starts_with(kPathStart)) return nullptr;
        // An attached camera answers even when unplugged (its opens fail), as a local device
        // would; it shadows whatever else serves the index.
        if (vcam::IsAttachedPath(path)) return vcam::OpenAttachedDeviceFile(path);
        if (auto camera = UsbCameraAt(IndexOfDevicePath(path))) return usb::Open(*camera).file;
        return vcam::OpenDaemonDeviceFile(path.substr(kPathStart.size()));
    }

    device::DeviceScope Scope(std::string_view path) override {
        return vcam::IsAttachedPath(path) ? device::DeviceScope::kProcess
                                          : device::DeviceScope::kMachine;
    }
};

}  // namespace

int IndexOfDevicePath(std::string_view path) {
    if (!path.starts_with(kPathStart)) return -1;
    for (int i = 0; i < protocol::kDeviceCount; ++i) {
        if (path.substr(kPathStart.size()) == vcam::DeviceNameOf(i)) return i;
    }
    return -1;
}

UsbPlacement PlaceUsbCameras(const IndexFlags& taken, const std::vector<usb::UsbCamera>& cameras) {
    UsbPlacement placement;
    size_t next = 0;
    for (int i = 0; i < protocol::kDeviceCount && next < cameras.size(); ++i) {
        if (!taken[i]) placement[i] = cameras[next++];
    }
    return placement;
}

bool DaemonServes(int index) {
    struct stat info {};
    const std::string socket = vcam::DeviceSocketPath(vcam::DeviceNameOf(index));
    return ::lstat(socket.c_str(), &info) == 0 && S_ISSOCK(info.st_mode);
}

IndexFlags AttachedIndices() {
    IndexFlags attached{};
    for (int i = 0; i < protocol::kDeviceCount; ++i) {
        attached[i] = vcam::IsAttachedPath(std::string(kPathStart) + vcam::DeviceNameOf(i));
    }
    return attached;
}

IndexFlags VirtualIndices() {
    IndexFlags taken = AttachedIndices();
    for (int i = 0; i < protocol::kDeviceCount; ++i) taken[i] = taken[i] || DaemonServes(i);
    return taken;
}

std::optional<usb::UsbCamera> UsbCameraAt(int index) {
    if (index < 0 || index >= protocol::kDeviceCount) return std::nullopt;
    const std::vector<usb::UsbCamera> cameras = usb::Cameras();
    if (cameras.empty()) return std::nullopt;  // the usual case costs no probing
    return PlaceUsbCameras(VirtualIndices(), cameras)[index];
}

void InstallTransports() {
    static TransportChoice choice;
    device::InstallDeviceFileOpener(&choice);
}

}  // namespace tavlin::transport
