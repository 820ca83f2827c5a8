// The cameras attached in this process, by device index and by device name.
#pragma once

#include <array>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "vcam/driver_protocol.h"
#include "vcam/virtual_camera.h"

namespace tavlin::vcam {

// "TvlnQZ410VKE-<c>": the name a camera at the index is published under (empty outside 0..35).
std::string DeviceNameOf(int index);

class CameraRegistry {
  public:
    static CameraRegistry& Instance();

    bool Attach(int index);
    bool Detach(int index);  // unplugs the camera; handles still open on it fail from now on
    int DetachAll();
    std::shared_ptr<VirtualCamera> At(int index) const;
    std::shared_ptr<VirtualCamera> ByName(std::string_view name) const;

  private:
    mutable std::mutex mutex_;
    std::array<std::shared_ptr<VirtualCamera>, protocol::kDeviceCount> cameras_;
};

}  // namespace tavlin::vcam
