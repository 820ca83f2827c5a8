// What the property dialogs need of the camera beyond the exported operations: the settings
// blocks to keep and restore, single analog writes without the exports' checks, the exposure
// display, the trigger pause and the reload after the stream format changed, and the listener
// through which the acquisition thread reaches an open dialog.
#include <mutex>
#include <unordered_map>

#include "camera/ctavlin.h"
#include "settings/registry_settings.h"

namespace tavlin::camera {

namespace {

constexpr std::array<int32_t, 4> kColourGainRegisters = {43, 44, 45, 46};
// The shortest line a conversion can give (a zero-width window at full clock count).
constexpr int32_t kShortestLine = 244;

// Listeners by camera. Process-wide, as the dialogs are; the acquisition thread reads it.
std::mutex listenerLock;
std::unordered_map<const CTavlin*, std::shared_ptr<CTavlin::DialogListener>>& Listeners() {
    static std::unordered_map<const CTavlin*, std::shared_ptr<CTavlin::DialogListener>> map;
    return map;
}

std::shared_ptr<CTavlin::DialogListener> ListenerOf(const CTavlin* camera) {
    std::lock_guard<std::mutex> guard(listenerLock);
    const auto found = Listeners().find(camera);
    return found == Listeners().end() ? nullptr : found->second;
}

}  // namespace

bool CTavlin::AttachDialogListener(std::shared_ptr<DialogListener> listener) {
    std::lock_guard<std::mutex> guard(listenerLock);
    return Listeners().emplace(this, std::move(listener)).second;
}

void CTavlin::DetachDialogListener(const DialogListener* listener) {
    std::lock_guard<std::mutex> guard(listenerLock);
    const auto found = Listeners().find(this);
    if (found != Listeners().end() && found->second.get() == listener) Listeners().erase(found);
}

void CTavlin::NotifyDialogGain(int32_t gain) {
    if (const auto listener = ListenerOf(this)) listener->GainChosen(gain);
}

void CTavlin::NotifyDialogExposure(int32_t lines) {
    if (const auto listener = ListenerOf(this)) listener->ExposureChosen(lines);
}

void CTavlin::NotifyDialogFilterMeasured() {
    if (const auto listener = ListenerOf(this)) listener->FilterMeasured();
}

CTavlin::AnalogLimits CTavlin::AnalogCapabilities() const {
    AnalogLimits limits;
    if (!device_) return limits;
    limits.globalGainMinimum = device_->GlobalGainMinimum();
    limits.globalGainDefault = device_->GlobalGainDefault();
    limits.gainMaximum = device_->GainMaximum();
    for (size_t i = 0; i < kColourGainRegisters.size(); ++i) {
        device_->ColourGainMinimum(kColourGainRegisters[i], &limits.colourGainMinimum[i]);
        device_->ColourGainDefault(kColourGainRegisters[i], &limits.colourGainDefault[i]);
    }
    limits.shutterMaximum = device_->ShutterMaximum();
    limits.shutterDefault = device_->ShutterDefault();
    return limits;
}

settings::AnalogSettings CTavlin::ReadAnalogFromDevice() {
    settings::AnalogSettings analog = AnalogSettingsCopy();
    if (!device_) return analog;
    {
        std::lock_guard<std::mutex> device(deviceLock_);
        analog.globalGain = device_->GetGlobalGain() & 0xFF;
        // A failed read leaves the value the settings held.
        device_->GetColourGain(43, &analog.colorGainG1);
        device_->GetColourGain(45, &analog.colorGainR);
        device_->GetColourGain(44, &analog.colorGainB);
        device_->GetColourGain(46, &analog.colorGainG2);
        device_->GetShutter(&analog.exposure);
        analog.mirrorV = device_->MirrorV();
        analog.mirrorH = device_->MirrorH();
    }
    std::lock_guard<std::mutex> guard(settingsLock_);
    analog.autoIris = analog_.autoIris;
    analog_ = analog;
    return analog;
}

settings::AnalogSettings CTavlin::AnalogSettingsCopy() const {
    std::lock_guard<std::mutex> guard(settingsLock_);
    return analog_;
}

void CTavlin::RestoreAnalogSettings(const settings::AnalogSettings& saved) {
    // Between frames: an automatic correction of a frame in flight must not land after this.
    std::lock_guard<std::mutex> frame(frameLock_);
    if (device_) {
        std::lock_guard<std::mutex> device(deviceLock_);
        device_->SetGlobalGain(saved.globalGain);
        device_->SetColourGain(43, saved.colorGainG1);
        device_->SetColourGain(45, saved.colorGainR);
        device_->SetColourGain(44, saved.colorGainB);
        device_->SetColourGain(46, saved.colorGainG2);
        device_->SetShutter(saved.exposure);
        device_->SetMirrorV(saved.mirrorV);
        device_->SetMirrorH(saved.mirrorH);
    }
    std::lock_guard<std::mutex> guard(settingsLock_);
    analog_ = saved;
}

void CTavlin::StoreGlobalGain(int32_t gain) {
    {
        std::lock_guard<std::mutex> guard(settingsLock_);
        analog_.globalGain = gain;
    }
    std::lock_guard<std::mutex> device(deviceLock_);
    if (device_) device_->SetGlobalGain(gain);
}

void CTavlin::StoreColourGain(int32_t reg, int32_t gain) {
    {
        std::lock_guard<std::mutex> guard(settingsLock_);
        switch (reg) {
            case 43:
                analog_.colorGainG1 = gain;
                break;
            case 44:
                analog_.colorGainB = gain;
                break;
            case 45:
                analog_.colorGainR = gain;
                break;
            case 46:
                analog_.colorGainG2 = gain;
                break;
            default:
                return;
        }
    }
    std::lock_guard<std::mutex> device(deviceLock_);
    if (device_) device_->SetColourGain(reg, gain);
}

void CTavlin::StoreExposure(int32_t lines) {
    {
        std::lock_guard<std::mutex> guard(settingsLock_);
        analog_.exposure = lines;
    }
    std::lock_guard<std::mutex> device(deviceLock_);
    if (device_) device_->SetShutter(lines);
}

double CTavlin::ExposureMilliseconds(int32_t lines) const {
    std::lock_guard<std::mutex> guard(settingsLock_);
    // The initial conversion state (line length 1) means no conversion has run yet.
    if (exposure_.lineLength < kShortestLine) return 0.0;
    return static_cast<double>(lines) * exposure_.lineLength * exposure_.clockMs;
}

settings::FilterSettings CTavlin::FilterSettingsCopy() const {
    std::lock_guard<std::mutex> guard(settingsLock_);
    return filter_;
}

void CTavlin::RestoreFilterSettings(const settings::FilterSettings& saved) {
    // Between frames: a measurement of a frame in flight must not land after this.
    std::lock_guard<std::mutex> frame(frameLock_);
    std::lock_guard<std::mutex> guard(settingsLock_);
    filter_ = saved;
}

void CTavlin::UpdateFilterSettings(const std::function<void(settings::FilterSettings&)>& change) {
    std::lock_guard<std::mutex> guard(settingsLock_);
    change(filter_);
}

int32_t CTavlin::DeviceObjectNumber() const {
    return device_ ? device_->SelectedIndex() : 0;
}

void CTavlin::PauseTriggerLoop(bool paused) {
    std::lock_guard<std::mutex> mode(modeLock_);
    if (acquisitionMode_.load() != kTriggerMode) return;
    runFlag_.store(paused ? kPaused : kRun);
}

void CTavlin::ReloadStreamFormat() {
    const int32_t cameraNumber = deviceNumber_.load();
    settings::SizePreset preset;
    {
        std::lock_guard<std::mutex> guard(settingsLock_);
        preset = window_;
    }
    settings::LoadSizePreset(cameraNumber, preset);
    {
        std::lock_guard<std::mutex> guard(settingsLock_);
        window_ = preset;
    }
    settings::FormatSettings format{colorMode_.load(), subSample_.load(), waitTime_.load(),
                                    clockMode_.load()};
    settings::LoadFormat(cameraNumber, format);
    colorMode_.store(format.colorMode);
    subSample_.store(format.subSample);
    waitTime_.store(format.waitTime);
    clockMode_.store(format.clockMode);
}

}  // namespace tavlin::camera
