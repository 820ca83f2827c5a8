// What the property dialogs may do with a camera: the few operations they start, the settings
// blocks they keep and restore, single analog writes without the exports' checks, and the
// listener through which the acquisition thread reaches an open dialog. The dialogs see a camera
// only through this port.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>

#include "camera/error_reporter.h"
#include "device/driver_protocol.h"
#include "settings/settings_types.h"

namespace tavlin::camera {

// The sensor's colour gain registers, as StoreColourGain takes them.
inline constexpr int32_t kGainRegisterGreen1 = device::protocol::sensor::kGainGreen1;
inline constexpr int32_t kGainRegisterBlue = device::protocol::sensor::kGainBlue;
inline constexpr int32_t kGainRegisterRed = device::protocol::sensor::kGainRed;
inline constexpr int32_t kGainRegisterGreen2 = device::protocol::sensor::kGainGreen2;

class DialogPort {
  public:
    // What an open property dialog hears from the acquisition thread. The calls come while that
    // thread holds the frame lock, so a listener only queues work for the dialog and never waits.
    class DialogListener {
      public:
        virtual ~DialogListener() = default;
        virtual void GainChosen(int32_t gain) = 0;       // automatic gain changed the gains
        virtual void ExposureChosen(int32_t lines) = 0;  // automatic exposure changed it
        virtual void FilterMeasured() = 0;               // white balance or gray gains measured
    };
    // The sensor's limits and defaults as the analog dialog offers them; colour gains in register
    // order: green 1, blue, red, green 2.
    struct AnalogLimits {
        int32_t globalGainMinimum = 0;
        int32_t globalGainDefault = 0;
        int32_t gainMaximum = 0;
        std::array<int32_t, 4> colourGainMinimum{};
        std::array<int32_t, 4> colourGainDefault{};
        int32_t shutterMaximum = 0;
        int32_t shutterDefault = 0;
    };

    virtual ErrorReporter& Errors() = 0;
    virtual bool HasDevice() const = 0;

    // The exported operations the dialogs start, with the exports' checks and reports.
    virtual int32_t AcquisitionMode() const = 0;
    virtual int Capture() = 0;
    virtual int StartPreview() = 0;
    virtual int StopPreview() = 0;
    virtual int SetAutoIris(int32_t value) = 0;
    virtual int SetMirrorH(int32_t flag) = 0;
    virtual int SetMirrorV(int32_t flag) = 0;

    // At most one property dialog listens per camera: false when one already does.
    virtual bool AttachDialogListener(std::shared_ptr<DialogListener> listener) = 0;
    virtual void DetachDialogListener(const DialogListener* listener) = 0;

    virtual AnalogLimits AnalogCapabilities() const = 0;
    // Reads the gains, the shutter and the device's mirror flags into the analog settings.
    virtual settings::AnalogSettings ReadAnalogFromDevice() = 0;
    virtual settings::AnalogSettings AnalogSettingsCopy() const = 0;
    // Writes the saved gains, shutter and mirrors to the camera, then restores all nine values.
    virtual void RestoreAnalogSettings(const settings::AnalogSettings& saved) = 0;
    // Stores one analog value and writes it to the sensor (no range check, no fan-out).
    virtual void StoreGlobalGain(int32_t gain) = 0;
    virtual void StoreColourGain(int32_t reg, int32_t gain) = 0;
    virtual void StoreExposure(int32_t lines) = 0;
    // lines x line length x clock duration of the conversion state as it stands; 0 before any
    // conversion has run.
    virtual double ExposureMilliseconds(int32_t lines) const = 0;

    virtual settings::FilterSettings FilterSettingsCopy() const = 0;
    virtual void RestoreFilterSettings(const settings::FilterSettings& saved) = 0;
    // Changes filter settings as typed (no range checks), under the settings lock.
    virtual void UpdateFilterSettings(
        const std::function<void(settings::FilterSettings&)>& change) = 0;

    virtual int32_t ColorModeIndex() const = 0;
    // The device object's selected device number (0 without a device object).
    virtual int32_t DeviceObjectNumber() const = 0;
    // Holds (or releases) a running trigger loop without ending it.
    virtual void PauseTriggerLoop(bool paused) = 0;
    // Takes over the stored size preset and format ("Size", "Color", "SubSample", "WaitTime",
    // "Clock"); the sensor gets them at the next acquisition start.
    virtual void ReloadStreamFormat() = 0;

  protected:
    ~DialogPort() = default;
};

// What the acquisition thread tells the dialog listening to `camera`, if one does.
void NotifyGainChosen(const DialogPort& camera, int32_t gain);
void NotifyExposureChosen(const DialogPort& camera, int32_t lines);
void NotifyFilterMeasured(const DialogPort& camera);

}  // namespace tavlin::camera
