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

// Listeners by camera. Process-wide, as the dialogs are; the acquisition thread reads it.
std::mutex gListenerLock;
std::unordered_map<const DialogPort*, std::shared_ptr<DialogPort::DialogListener>>& Listeners() {
    static std::unordered_map<const DialogPort*, std::shared_ptr<DialogPort::DialogListener>> map;
    return map;
}

std::shared_ptr<DialogPort::DialogListener> ListenerOf(const DialogPort* camera) {
    std::lock_guard<std::mutex> guard(gListenerLock);
    const auto found = Listeners().find(camera);
    return found == Listeners().end() ? nullptr : found->second;
}

}  // namespace

bool CTavlin::AttachDialogListener(std::shared_ptr<DialogListener> listener) {
    std::lock_guard<std::mutex> guard(gListenerLock);
    return Listeners().emplace(this, std::move(listener)).second;
}

void CTavlin::DetachDialogListener(const DialogListener* listener) {
    std::lock_guard<std::mutex> guard(gListenerLock);
    const auto found = Listeners().find(this);
    if (found != Listeners().end() && found->second.get() == listener) Listeners().erase(found);
}

void NotifyGainChosen(const DialogPort& camera, int32_t gain) {
    if (const auto listener = ListenerOf(&camera)) listener->GainChosen(gain);
}

void NotifyExposureChosen(const DialogPort& camera, int32_t lines) {
    if (const auto listener = ListenerOf(&camera)) listener->ExposureChosen(lines);
}

void NotifyFilterMeasured(const DialogPort& camera) {
    if (const auto listener = ListenerOf(&camera)) listener->FilterMeasured();
}

CTavlin::AnalogLimits CTavlin::AnalogCapabilities() const {
    return sensor_.Limits();
}

settings::AnalogSettings CTavlin::ReadAnalogFromDevice() {
    return sensor_.ReadFromDevice();
}

settings::AnalogSettings CTavlin::AnalogSettingsCopy() const {
    return sensor_.Analog();
}

void CTavlin::RestoreAnalogSettings(const settings::AnalogSettings& saved) {
    // Between frames: an automatic correction of a frame in flight must not land after this.
    acquisition_.BetweenFrames([&] { sensor_.Restore(saved); });
}

void CTavlin::StoreGlobalGain(int32_t gain) {
    sensor_.StoreGlobalGain(gain);
}

void CTavlin::StoreColourGain(int32_t reg, int32_t gain) {
    sensor_.StoreColourGain(reg, gain);
}

void CTavlin::StoreExposure(int32_t lines) {
    sensor_.StoreExposure(lines);
}

double CTavlin::ExposureMilliseconds(int32_t lines) const {
    return sensor_.ExposureMilliseconds(lines);
}

settings::FilterSettings CTavlin::FilterSettingsCopy() const {
    return sensor_.Filter();
}

void CTavlin::RestoreFilterSettings(const settings::FilterSettings& saved) {
    // Between frames: a measurement of a frame in flight must not land after this.
    acquisition_.BetweenFrames([&] { sensor_.SetFilter(saved); });
}

void CTavlin::UpdateFilterSettings(const std::function<void(settings::FilterSettings&)>& change) {
    sensor_.UpdateFilter(change);
}

int32_t CTavlin::DeviceObjectNumber() const {
    return device_ ? device_->SelectedIndex() : 0;
}

void CTavlin::PauseTriggerLoop(bool paused) {
    acquisition_.PauseTrigger(paused);
}

void CTavlin::ReloadStreamFormat() {
    const int32_t cameraNumber = deviceNumber_.load();
    settings::SizePreset preset;
    {
        std::lock_guard<std::mutex> guard(windowLock_);
        preset = window_;
    }
    settings::LoadSizePreset(cameraNumber, preset);
    {
        std::lock_guard<std::mutex> guard(windowLock_);
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
