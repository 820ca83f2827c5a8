// The sensor's analog settings, the image filter settings and the exposure conversion state of
// one camera, under one lock, and the writes that carry the analog values to the sensor.
//
// The lock is held only to copy or store values, never across device traffic; short device
// calls that must not interleave take the camera's device lock first (lock order: device lock,
// then this one).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include "camera/dialog_port.h"
#include "camera/frame_pipeline.h"
#include "device/tavlin_410qz_sdk.h"
#include "settings/settings_types.h"

namespace tavlin::camera {

// What the exposure conversion last computed (clock duration, line length, lines, µs).
struct ExposureState {
    double clockMs = 1.0;
    int32_t lineLength = 1;
    int32_t shutter = 0;
    int64_t microseconds = 0;
};

class SensorControl {
  public:
    // The camera's device object (absent before initialisation and after destruction) and the
    // lock serialising its short device calls; both stay the camera's.
    struct Device {
        const std::unique_ptr<device::CTavlin410QZVKESdk>& object;
        std::mutex& lock;
    };

    explicit SensorControl(Device device) : device_(device) {}
    SensorControl(const SensorControl&) = delete;
    SensorControl& operator=(const SensorControl&) = delete;

    settings::AnalogSettings Analog() const;
    settings::FilterSettings Filter() const;
    void SetAnalog(const settings::AnalogSettings& analog);
    void SetFilter(const settings::FilterSettings& filter);
    // Changes the settings in place, under the lock (no device traffic inside).
    void UpdateAnalog(const std::function<void(settings::AnalogSettings&)>& change);
    void UpdateFilter(const std::function<void(settings::FilterSettings&)>& change);

    // Registry settings of a camera number: filter, gray and analog (mirrors default to the
    // device object's).
    void Load(int32_t cameraNumber);
    void Save(int32_t cameraNumber) const;

    // Gains and shutter to the sensor: global, G1, R, B, G2, shutter.
    void WriteGainsAndShutter(const settings::AnalogSettings& analog);
    // The stored gains and shutter, then the mirror flags to the device object as stored.
    void ApplyStored();
    // Writes the saved analog values to the camera under the device lock, then stores them.
    void Restore(const settings::AnalogSettings& saved);
    // Reads the gains, the shutter and the device's mirror flags into the analog settings.
    settings::AnalogSettings ReadFromDevice();
    // Stores one analog value and writes it to the sensor (no range check, no fan-out).
    void StoreGlobalGain(int32_t gain);
    void StoreColourGain(int32_t reg, int32_t gain);
    void StoreExposure(int32_t lines);

    DialogPort::AnalogLimits Limits() const;
    // The device's minimum for a colour gain register (0 when it names none).
    int32_t ColourGainMinimum(int32_t reg) const;

    // What the frame pipeline needs of the settings, copied in one step.
    FrameSettings ForFrame(int32_t colorMode, int32_t* autoIris) const;
    // The automatic corrections and measurements of a frame.
    void StoreAutoGain(int32_t gain);
    void StoreAutoShutter(int32_t lines);
    // False when the frame measured nothing.
    bool StoreMeasurements(const FrameMeasurements& found);

    // Brings the conversion state's clock and line length up to date.
    ExposureState ComputeExposure(int32_t windowWidth, int32_t subSample, int32_t clockMode);
    // The shutter of the analog settings in µs; records it as the conversion state.
    int64_t ExposureMicroseconds(int32_t windowWidth, int32_t subSample, int32_t clockMode);
    // Records the converted shutter; stores it as the exposure when it lies in 1..maximum.
    void StoreConvertedShutter(int64_t shutter, int32_t shutterMaximum);
    double ExposureMilliseconds(int32_t lines) const;

  private:
    Device device_;
    mutable std::mutex lock_;  // guards the blocks below
    settings::AnalogSettings analog_;
    settings::FilterSettings filter_;
    ExposureState exposure_;
};

}  // namespace tavlin::camera
