#include "camera/sensor_control.h"

#include "camera/filter_mapping.h"
#include "device/exposure.h"
#include "imaging/gray_filter.h"
#include "settings/registry_settings.h"

namespace tavlin::camera {

namespace {

constexpr std::array<int32_t, 4> kColourGainRegisters = {kGainRegisterGreen1, kGainRegisterBlue,
                                                         kGainRegisterRed, kGainRegisterGreen2};
// The shortest line a conversion can give (a zero-width window at full clock count).
constexpr int32_t kShortestLine = 244;

}  // namespace

settings::AnalogSettings SensorControl::Analog() const {
    std::lock_guard<std::mutex> guard(lock_);
    return analog_;
}

settings::FilterSettings SensorControl::Filter() const {
    std::lock_guard<std::mutex> guard(lock_);
    return filter_;
}

void SensorControl::SetAnalog(const settings::AnalogSettings& analog) {
    std::lock_guard<std::mutex> guard(lock_);
    analog_ = analog;
}

void SensorControl::SetFilter(const settings::FilterSettings& filter) {
    std::lock_guard<std::mutex> guard(lock_);
    filter_ = filter;
}

void SensorControl::UpdateAnalog(const std::function<void(settings::AnalogSettings&)>& change) {
    std::lock_guard<std::mutex> guard(lock_);
    change(analog_);
}

void SensorControl::UpdateFilter(const std::function<void(settings::FilterSettings&)>& change) {
    std::lock_guard<std::mutex> guard(lock_);
    change(filter_);
}

void SensorControl::Load(int32_t cameraNumber) {
    settings::FilterSettings filter;
    settings::AnalogSettings analog;
    {
        std::lock_guard<std::mutex> guard(lock_);
        filter = filter_;
        analog = analog_;
    }
    settings::LoadFilter(cameraNumber, filter);
    settings::LoadGray(cameraNumber, filter.gray);
    const auto& device = device_.object;
    const settings::MirrorFlags deviceMirrors{device->MirrorV(), device->MirrorH()};
    settings::LoadAnalog(cameraNumber, deviceMirrors, analog);
    std::lock_guard<std::mutex> guard(lock_);
    filter_ = filter;
    analog_ = analog;
}

void SensorControl::Save(int32_t cameraNumber) const {
    settings::FilterSettings filter;
    settings::AnalogSettings analog;
    {
        std::lock_guard<std::mutex> guard(lock_);
        filter = filter_;
        analog = analog_;
    }
    settings::SaveAnalog(cameraNumber, analog);
    settings::SaveFilter(cameraNumber, filter);
    settings::SaveGray(cameraNumber, filter.gray);
}

void SensorControl::WriteGainsAndShutter(const settings::AnalogSettings& analog) {
    const auto& device = device_.object;
    device->SetGlobalGain(analog.globalGain);
    device->SetColourGain(kGainRegisterGreen1, analog.colorGainG1);
    device->SetColourGain(kGainRegisterRed, analog.colorGainR);
    device->SetColourGain(kGainRegisterBlue, analog.colorGainB);
    device->SetColourGain(kGainRegisterGreen2, analog.colorGainG2);
    device->SetShutter(analog.exposure);
}

void SensorControl::ApplyStored() {
    const settings::AnalogSettings analog = Analog();
    WriteGainsAndShutter(analog);
    // The flags go to the device object as stored, not reduced to 0/1.
    device_.object->SetMirrorV(analog.mirrorV);
    device_.object->SetMirrorH(analog.mirrorH);
}

void SensorControl::Restore(const settings::AnalogSettings& saved) {
    if (device_.object) {
        std::lock_guard<std::mutex> device(device_.lock);
        WriteGainsAndShutter(saved);
        device_.object->SetMirrorV(saved.mirrorV);
        device_.object->SetMirrorH(saved.mirrorH);
    }
    SetAnalog(saved);
}

settings::AnalogSettings SensorControl::ReadFromDevice() {
    settings::AnalogSettings analog = Analog();
    const auto& device = device_.object;
    if (!device) return analog;
    {
        std::lock_guard<std::mutex> deviceGuard(device_.lock);
        analog.globalGain = device->GetGlobalGain() & 0xFF;
        // A failed read leaves the value the settings held.
        device->GetColourGain(kGainRegisterGreen1, &analog.colorGainG1);
        device->GetColourGain(kGainRegisterRed, &analog.colorGainR);
        device->GetColourGain(kGainRegisterBlue, &analog.colorGainB);
        device->GetColourGain(kGainRegisterGreen2, &analog.colorGainG2);
        device->GetShutter(&analog.exposure);
        analog.mirrorV = device->MirrorV();
        analog.mirrorH = device->MirrorH();
    }
    std::lock_guard<std::mutex> guard(lock_);
    analog.autoIris = analog_.autoIris;
    analog_ = analog;
    return analog;
}

void SensorControl::StoreGlobalGain(int32_t gain) {
    {
        std::lock_guard<std::mutex> guard(lock_);
        analog_.globalGain = gain;
    }
    std::lock_guard<std::mutex> device(device_.lock);
    if (device_.object) device_.object->SetGlobalGain(gain);
}

void SensorControl::StoreColourGain(int32_t reg, int32_t gain) {
    {
        std::lock_guard<std::mutex> guard(lock_);
        switch (reg) {
            case kGainRegisterGreen1:
                analog_.colorGainG1 = gain;
                break;
            case kGainRegisterBlue:
                analog_.colorGainB = gain;
                break;
            case kGainRegisterRed:
                analog_.colorGainR = gain;
                break;
            case kGainRegisterGreen2:
                analog_.colorGainG2 = gain;
                break;
            default:
                return;
        }
    }
    std::lock_guard<std::mutex> device(device_.lock);
    if (device_.object) device_.object->SetColourGain(reg, gain);
}

void SensorControl::StoreExposure(int32_t lines) {
    {
        std::lock_guard<std::mutex> guard(lock_);
        analog_.exposure = lines;
    }
    std::lock_guard<std::mutex> device(device_.lock);
    if (device_.object) device_.object->SetShutter(lines);
}

DialogPort::AnalogLimits SensorControl::Limits() const {
    DialogPort::AnalogLimits limits;
    const auto& device = device_.object;
    if (!device) return limits;
    limits.globalGainMinimum = device->GlobalGainMinimum();
    limits.globalGainDefault = device->GlobalGainDefault();
    limits.gainMaximum = device->GainMaximum();
    for (size_t i = 0; i < kColourGainRegisters.size(); ++i) {
        device->ColourGainMinimum(kColourGainRegisters[i], &limits.colourGainMinimum[i]);
        device->ColourGainDefault(kColourGainRegisters[i], &limits.colourGainDefault[i]);
    }
    limits.shutterMaximum = device->ShutterMaximum();
    limits.shutterDefault = device->ShutterDefault();
    return limits;
}

int32_t SensorControl::ColourGainMinimum(int32_t reg) const {
    int32_t minimum = 0;
    return device_.object->ColourGainMinimum(reg, &minimum) == device::Status::Ok ? minimum : 0;
}

FrameSettings SensorControl::ForFrame(int32_t colorMode, int32_t* autoIris) const {
    FrameSettings frame;
    std::lock_guard<std::mutex> guard(lock_);
    frame.colorMode = colorMode;
    frame.mirrorV = analog_.mirrorV != 0;
    frame.mirrorH = analog_.mirrorH != 0;
    frame.values = ToFilterValues(filter_);
    *autoIris = analog_.autoIris;
    return frame;
}

void SensorControl::StoreAutoGain(int32_t gain) {
    std::lock_guard<std::mutex> guard(lock_);
    analog_.globalGain = gain;
    analog_.colorGainG1 = gain;
    analog_.colorGainR = gain;
    analog_.colorGainB = gain;
    analog_.colorGainG2 = gain;
}

void SensorControl::StoreAutoShutter(int32_t lines) {
    std::lock_guard<std::mutex> guard(lock_);
    analog_.exposure = lines;
}

bool SensorControl::StoreMeasurements(const FrameMeasurements& found) {
    if (!found.whiteBalanceMeasured && !found.grayMeasured) return false;
    std::lock_guard<std::mutex> guard(lock_);
    if (found.whiteBalanceMeasured) {
        filter_.bayerGainR = found.whiteBalance.gainR;
        filter_.bayerGainG = found.whiteBalance.gainG;
        filter_.bayerGainB = found.whiteBalance.gainB;
        if (found.whiteBalance.oneShotDone) filter_.whiteBalance = settings::WhiteBalanceState{};
    }
    if (found.grayMeasured) {
        filter_.gray.grayGainR = found.gray.gainR;
        filter_.gray.grayGainG1 = found.gray.gainG1;
        filter_.gray.grayGainG2 = found.gray.gainG2;
        filter_.gray.grayGainB = found.gray.gainB;
        filter_.grayAutoRequest = imaging::NextGrayAutoRequest(filter_.grayAutoRequest);
    }
    return true;
}

ExposureState SensorControl::ComputeExposure(int32_t windowWidth, int32_t subSample,
                                             int32_t clockMode) {
    std::lock_guard<std::mutex> guard(lock_);
    exposure_.clockMs = device::ClockMilliseconds(clockMode);
    exposure_.lineLength = device::LineLength(windowWidth, subSample);
    return exposure_;
}

int64_t SensorControl::ExposureMicroseconds(int32_t windowWidth, int32_t subSample,
                                            int32_t clockMode) {
    ExposureState state = ComputeExposure(windowWidth, subSample, clockMode);
    std::lock_guard<std::mutex> guard(lock_);
    state.shutter = analog_.exposure;
    state.microseconds =
        device::ExposureMicroseconds(state.shutter, state.lineLength, state.clockMs);
    exposure_ = state;
    return state.microseconds;
}

void SensorControl::StoreConvertedShutter(int64_t shutter, int32_t shutterMaximum) {
    std::lock_guard<std::mutex> guard(lock_);
    exposure_.shutter = static_cast<int32_t>(shutter);
    if (shutter >= 1 && shutter <= shutterMaximum) analog_.exposure = static_cast<int32_t>(shutter);
}

double SensorControl::ExposureMilliseconds(int32_t lines) const {
    std::lock_guard<std::mutex> guard(lock_);
    // The initial conversion state (line length 1) means no conversion has run yet.
    if (exposure_.lineLength < kShortestLine) return 0.0;
    return static_cast<double>(lines) * exposure_.lineLength * exposure_.clockMs;
}

}  // namespace tavlin::camera
