#include "transport/transport_choice.h"

#include <sys/stat.h>

#include <array>
#include <atomic>
#include <string>

#include "diag/log.h"

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
        const int index = IndexOfDevicePath(path);
        std::unique_ptr<device::DeviceFile> file;
        // An attached camera answers even when unplugged (its opens fail), as a local device
        // would; it shadows whatever else serves the index.
        if (vcam::IsAttachedPath(path)) {
            file = vcam::OpenAttachedDeviceFile(path);
            Note(index, path, Reach::InProcess, file != nullptr,
                 [] { return std::string("the in-process virtual camera"); });
        } else if (auto camera = UsbCameraAt(index)) {
            file = usb::Open(*camera).file;
            Note(index, path, Reach::Usb, file != nullptr, [&] { return "USB " + camera->Node(); });
        } else {
            file = vcam::OpenDaemonDeviceFile(path.substr(kPathStart.size()));
            Note(index, path, Reach::Daemon, file != nullptr, [&] {
                return "the daemon at " + vcam::DeviceSocketPath(path.substr(kPathStart.size()));
            });
        }
        return file;
    }

  private:
    enum class Reach : uint8_t { None, InProcess, Daemon, Usb };

    // Once per camera and transport serving an index, so that the log says which transport
    // each camera goes through; the device layer opens a path for every request, so single
    // opens are trace. A failed open is the usual answer for an index nobody
    // serves: the transport says at warn when it is anything else.
    template <typename Describe>
    void Note(int index, std::string_view path, Reach reach, bool opened, Describe describe) {
        if (!diag::On(diag::Category::Device, diag::Level::Info)) return;
        const std::string name(path);
        if (!opened) {
            TAVLIN_LOG(Device, Trace, "%s: cannot open through %s", name.c_str(),
                       describe().c_str());
            return;
        }
        // The camera handle in the upper half, the transport in the lower.
        constexpr unsigned kCameraShift = 32;
        const uint64_t seen =
            (static_cast<uint64_t>(static_cast<uint32_t>(diag::CurrentCamera())) << kCameraShift) |
            static_cast<uint64_t>(reach);
        const bool changed =
            index >= 0 && lastSeen_[static_cast<size_t>(index)].exchange(seen) != seen;
        if (changed) {
            TAVLIN_LOG(Device, Info, "%s: served by %s", name.c_str(), describe().c_str());
        } else {
            TAVLIN_LOG(Device, Trace, "%s: opened through %s", name.c_str(), describe().c_str());
        }
    }

    std::array<std::atomic<uint64_t>, protocol::kDeviceCount> lastSeen_{};

  public:
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
