#include "vcam/device_file.h"

#include "vcam/camera_registry.h"
#include "vcam/socket_device_file.h"

namespace tavlin::vcam {

namespace {

class InProcessDeviceFile final : public DeviceFile {
  public:
    InProcessDeviceFile(std::shared_ptr<VirtualCamera> camera, uint32_t handle)
        : camera_(std::move(camera)), handle_(handle) {}
    ~InProcessDeviceFile() override { camera_->Close(handle_); }

    bool IoControl(uint32_t code, const void* in, uint32_t inLength, void* out, uint32_t outLength,
                   uint32_t* bytesReturned) override {
        return camera_->Request(handle_, code, in, inLength, out, outLength, bytesReturned);
    }

    void Cancel() override { camera_->Cancel(handle_); }

  private:
    std::shared_ptr<VirtualCamera> camera_;
    uint32_t handle_;
};

}  // namespace

std::unique_ptr<DeviceFile> OpenAttachedDeviceFile(std::string_view path) {
    constexpr std::string_view kStart = protocol::kDevicePathStart;
    if (!path.starts_with(kStart)) return nullptr;
    auto camera = CameraRegistry::Instance().ByName(path.substr(kStart.size()));
    if (!camera) return nullptr;
    const auto handle = camera->Open();
    if (!handle) return nullptr;
    return std::make_unique<InProcessDeviceFile>(std::move(camera), *handle);
}

DeviceScope ScopeOfDevicePath(std::string_view path) {
    constexpr std::string_view kStart = protocol::kDevicePathStart;
    if (!path.starts_with(kStart)) return DeviceScope::kMachine;
    // The same choice OpenDeviceFile makes: a camera attached here shadows the daemon's.
    return CameraRegistry::Instance().ByName(path.substr(kStart.size())) ? DeviceScope::kProcess
                                                                         : DeviceScope::kMachine;
}

std::unique_ptr<DeviceFile> OpenDeviceFile(std::string_view path) {
    constexpr std::string_view kStart = protocol::kDevicePathStart;
    if (!path.starts_with(kStart)) return nullptr;
    const std::string_view name = path.substr(kStart.size());
    // A camera attached here answers even when unplugged (its opens fail), as a local device
    // would; only names with no camera here go to the daemon.
    if (CameraRegistry::Instance().ByName(name)) return OpenAttachedDeviceFile(path);
    return OpenDaemonDeviceFile(name);
}

}  // namespace tavlin::vcam
