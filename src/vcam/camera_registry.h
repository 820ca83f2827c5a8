// The cameras attached in this process, by device index and by device name.
#pragma once

#include <array>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "vcam/camera_model.h"
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
    // The camera published under the name; null when none is attached there or it is withheld.
    std::shared_ptr<VirtualCamera> ByName(std::string_view name) const;
    // A withheld camera stays attached (and controllable by index) but no device path of this
    // process reaches it: another transport presents it, as the emulated USB bus does.
    bool SetPublished(int index, bool published);

  private:
    mutable std::mutex mutex_;
    std::array<std::shared_ptr<VirtualCamera>, protocol::kDeviceCount> cameras_;
    std::array<bool, protocol::kDeviceCount> withheld_{};
};

}  // namespace tavlin::vcam
