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

    int32_t SelectCamera(int32_t index);  // 0, or 22 for a refused index
    int32_t InitSensor();                 // always 1
    int32_t ProgramWindow(int32_t x, int32_t y, int32_t width, int32_t height, int32_t mode);
    int32_t SetSampleWidth(int32_t wide) override;  // always 1
    int32_t SetTriggerMode(int32_t mode);

    int32_t SetClockSetting(int32_t value);
    int32_t GetClockSetting(int32_t* value);
    int32_t SetColourGain(int32_t reg, int32_t value);
    int32_t GetColourGain(int32_t reg, int32_t* value);
    int32_t SetGlobalGain(int32_t value);
    int32_t GetGlobalGain();  // the gain, 0 when the read fails
    int32_t SetShutter(int32_t value);
    int32_t GetShutter(int32_t* value);

    int32_t SetMirrorH(int32_t flag);
    int32_t SetMirrorV(int32_t flag);
    int32_t MirrorH() const { return mirrorH; }
    int32_t MirrorV() const { return mirrorV; }

    // Capability values.
    int32_t SensorWidth() const { return kSensorWidth; }
    int32_t SensorHeight() const { return kSensorHeight; }
    int32_t ColourGainDefault(int32_t reg, int32_t* value) const;  // 1 for registers 43..46
    int32_t ColourGainMinimum(int32_t reg, int32_t* value) const;
    int32_t GlobalGainDefault() const { return 14; }
    int32_t GlobalGainMinimum() const { return 0; }
    int32_t GainMaximum() const { return 63; }
    int32_t ShutterDefault() const { return 1049; }
    int32_t ShutterMaximum() const { return 16383; }
};

}  // namespace tavlin::device
