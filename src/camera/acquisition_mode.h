// The camera's acquisition modes and the sets of them an operation may start from.
#pragma once

#include <cstdint>
#include <initializer_list>

namespace tavlin::camera {

enum AcquisitionModeId : int32_t {
    kIdle = 0,
    kPreviewMode = 1,
    kCaptureMode = 2,
    kTriggerMode = 3,
};

class AllowedModes {
  public:
    constexpr AllowedModes(std::initializer_list<AcquisitionModeId> modes) {
        for (const AcquisitionModeId mode : modes) bits_ |= Bit(mode);
    }
    constexpr bool Contains(int32_t mode) const { return (bits_ & Bit(mode)) != 0; }

  private:
    static constexpr uint32_t Bit(int32_t mode) {
        return mode >= 0 && mode < 32 ? 1u << static_cast<uint32_t>(mode) : 0u;
    }
    uint32_t bits_ = 0;
};

}  // namespace tavlin::camera
