#include "vcam/camera_registry.h"

namespace tavlin::vcam {

std::string DeviceNameOf(int index) {
    constexpr int kAlphabetLength = sizeof(protocol::kDeviceAlphabet) / sizeof(char16_t) - 1;
    if (index < 0 || index >= kAlphabetLength) return {};
    std::string name = protocol::kModelNamePrefix;
    name += '-';
    name += static_cast<char>(protocol::kDeviceAlphabet[index]);
    return name;
}

CameraRegistry& CameraRegistry::Instance() {
    static CameraRegistry registry;
    return registry;
}

bool CameraRegistry::Attach(int index) {
    if (index < 0 || index >= protocol::kDeviceCount) return false;
    std::lock_guard guard(mutex_);
    if (cameras_[index]) return false;
    cameras_[index] = std::make_shared<VirtualCamera>(static_cast<uint32_t>(index) + 1);
    return true;
}

bool CameraRegistry::Detach(int index) {
    if (index < 0 || index >= protocol::kDeviceCount) return false;
    std::shared_ptr<VirtualCamera> camera;
    {
        std::lock_guard guard(mutex_);
        camera = std::move(cameras_[index]);
        cameras_[index].reset();
        withheld_[index] = false;
    }
    if (!camera) return false;
    camera->Unplug();
    return true;
}

int CameraRegistry::DetachAll() {
    int detached = 0;
    for (int i = 0; i < protocol::kDeviceCount; ++i) detached += Detach(i) ? 1 : 0;
    return detached;
}

std::shared_ptr<VirtualCamera> CameraRegistry::At(int index) const {
    if (index < 0 || index >= protocol::kDeviceCount) return nullptr;
    std::lock_guard guard(mutex_);
    return cameras_[index];
}

std::shared_ptr<VirtualCamera> CameraRegistry::ByName(std::string_view name) const {
    for (int i = 0; i < protocol::kDeviceCount; ++i) {
        if (DeviceNameOf(i) != name) continue;
        std::lock_guard guard(mutex_);
        return withheld_[i] ? nullptr : cameras_[i];
    }
    return nullptr;
}

bool CameraRegistry::SetPublished(int index, bool published) {
    if (index < 0 || index >= protocol::kDeviceCount) return false;
    std::lock_guard guard(mutex_);
    if (!cameras_[index]) return false;
    withheld_[index] = !published;
    return true;
}

}  // namespace tavlin::vcam
