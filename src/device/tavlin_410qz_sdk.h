// The 410QZ-VKE model: sensor initialisation, window and sub-sampling, sample width, trigger
// mode, clock, gains, shutter, mirrors and the model's value ranges.
#pragma once

#include <cstdint>

#include "device/tvl_sdk_lib.h"
#include "sensor/sensor_geometry.h"

namespace tavlin::device {

class CTavlin410QZVKESdk : public CTVLSdkLib {
  public:
    static constexpr int32_t kSensorWidth = sensor::kSensorWidth;
    static constexpr int32_t kSensorHeight = sensor::kSensorHeight;
    static constexpr int32_t kRingBuffers = 4;

    // Probes the device paths and selects index 0 (whether or not a camera answers there).
    CTavlin410QZVKESdk();

    Status SelectCamera(int32_t index);  // BadArgument for a refused index
    Status InitSensor();                 // always Ok
    // BadArgument (nothing programmed) for a window outside the sensor or an unknown mode.
    Status ProgramWindow(int32_t x, int32_t y, int32_t width, int32_t height, int32_t mode);
    Status SetSampleWidth(int32_t wide) override;  // always Ok
    Status SetTriggerMode(int32_t mode);

    // Colour gains take registers 43..46 only (BadArgument otherwise, or for a null value).
    Status SetClockSetting(int32_t value);
    Status GetClockSetting(int32_t* value);
    Status SetColourGain(int32_t reg, int32_t value);
    Status GetColourGain(int32_t reg, int32_t* value);
    Status SetGlobalGain(int32_t value);
    int32_t GetGlobalGain();  // the gain, 0 when the read fails
    Status SetShutter(int32_t value);
    Status GetShutter(int32_t* value);

    Status SetMirrorH(int32_t flag);  // always Ok
    Status SetMirrorV(int32_t flag);
    int32_t MirrorH() const { return mirrorH; }
    int32_t MirrorV() const { return mirrorV; }

    // Capability values.
    int32_t SensorWidth() const { return kSensorWidth; }
    int32_t SensorHeight() const { return kSensorHeight; }
    Status ColourGainDefault(int32_t reg, int32_t* value) const;  // registers 43..46
    Status ColourGainMinimum(int32_t reg, int32_t* value) const;
    int32_t GlobalGainDefault() const { return 14; }
    int32_t GlobalGainMinimum() const { return 0; }
    int32_t GainMaximum() const { return 63; }
    int32_t ShutterDefault() const { return 1049; }
    int32_t ShutterMaximum() const { return 16383; }
};

}  // namespace tavlin::device
