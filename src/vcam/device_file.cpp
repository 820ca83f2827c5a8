#include "vcam/device_file.h"

#include "vcam/camera_registry.h"

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

    bool HasFrameClock() const override { return camera_->HasFrameClock(); }

  private:
    std::shared_ptr<VirtualCamera> camera_;
    uint32_t handle_;
};

std::shared_ptr<VirtualCamera> CameraOfPath(std::string_view path) {
    constexpr std::string_view kStart = protocol::kDevicePathStart;
    if (!path.starts_with(kStart)) return nullptr;
    return CameraRegistry::Instance().ByName(path.substr(kStart.size()));
}

}  // namespace

std::unique_ptr<DeviceFile> OpenAttachedDeviceFile(std::string_view path) {
    auto camera = CameraOfPath(path);
    if (!camera) return nullptr;
    const auto handle = camera->Open();
    if (!handle) return nullptr;
    return std::make_unique<InProcessDeviceFile>(std::move(camera), *handle);
}

bool IsAttachedPath(std::string_view path) {
    return CameraOfPath(path) != nullptr;
}

}  // namespace tavlin::vcam
