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

// "idle", "preview", "capture", "trigger", for the log.
constexpr const char* ModeName(int32_t mode) {
    switch (mode) {
        case kIdle:
            return "idle";
        case kPreviewMode:
            return "preview";
        case kCaptureMode:
            return "capture";
        case kTriggerMode:
            return "trigger";
        default:
            return "unknown";
    }
}

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

namespace tavlin::camera {

// The modes each mode-bound operation may start from; any other mode refuses it (kErrNotNow).
// Starting the mode that already runs succeeds without doing anything.
inline constexpr AllowedModes kStartPreviewFrom{kIdle, kPreviewMode};
inline constexpr AllowedModes kCaptureFrom{kIdle, kCaptureMode};
inline constexpr AllowedModes kSnapshotFrom{kIdle, kCaptureMode};
inline constexpr AllowedModes kTriggerFrom{kIdle, kTriggerMode};
// Selecting resets the device object a running acquisition streams from.
inline constexpr AllowedModes kSelectDeviceFrom{kIdle};

}  // namespace tavlin::camera
