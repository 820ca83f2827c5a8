#include "dialogs/analog_page.h"

#include <algorithm>
#include <cstdio>

namespace tavlin::dialogs {

namespace {

constexpr int32_t kMirrorVBox = 1028;
constexpr int32_t kMirrorHBox = 1029;
constexpr int32_t kAutoGainBox = 1036;
constexpr int32_t kAutoExposureBox = 1037;
constexpr int32_t kMillisecondsLabel = 1049;
constexpr int32_t kColourGainEdits[] = {1019, 1021, 1023, 1025};

constexpr int32_t kAutoIrisOff = 0;
constexpr int32_t kAutoIrisExposure = 1;
constexpr int32_t kAutoIrisGain = 2;

}  // namespace

AnalogPage::AnalogPage(camera::DialogPort& camera) : camera_(camera) {
    const camera::DialogPort::AnalogLimits limits = camera.AnalogCapabilities();
    // Colour gain limits are kept in register order (green 1, blue, red, green 2).
    const auto& gainMin = limits.colourGainMinimum;
    const int32_t gainMax = limits.gainMaximum;
    rows_ = {{
        {1013, 1015, 1038, limits.globalGainMinimum, gainMax, Target::GlobalGain, 0},
        {1018, 1019, 1039, gainMin[0], gainMax, Target::ColourGain, camera::kGainRegisterGreen1},
        {1020, 1021, 1040, gainMin[2], gainMax, Target::ColourGain, camera::kGainRegisterRed},
        {1022, 1023, 1041, gainMin[1], gainMax, Target::ColourGain, camera::kGainRegisterBlue},
        {1024, 1025, 1042, gainMin[3], gainMax, Target::ColourGain, camera::kGainRegisterGreen2},
        {1026, 1027, 1043, 1, limits.shutterMaximum, Target::Exposure, 0},
    }};
}

bool AnalogPage::OnMessage(Dialog& page, const DialogMessage& message) {
    switch (message.id) {
        case MessageId::InitDialog:
            Initialise(page);
            return true;
        case MessageId::HScroll:
            if (const Row* row = RowOfTrackbar(message.controlId)) {
                const Control* trackbar = page.Item(row->trackbar);
                // The edit's change handling applies the value.
                page.SetItemInt(row->edit, trackbar->Position(), true);
            }
            return true;
        case MessageId::Command:
            if (message.code == kEditChanged) {
                const Row* row = RowOfEdit(message.controlId);
                if (row != nullptr && ready_) EditChanged(page, *row);
                return true;
            }
            if (message.code == kButtonClicked) {
                ButtonClicked(page, message.controlId);
                return true;
            }
            return false;
        default:
            return false;
    }
}

void AnalogPage::Initialise(Dialog& page) {
    window_ = &page;
    ready_ = false;
    const settings::AnalogSettings analog = camera_.AnalogSettingsCopy();
    for (const Row& row : rows_) {
        const int32_t value = Setting(analog, row);
        Control* trackbar = page.Item(row.trackbar);
        trackbar->SetRange(row.minimum, row.maximum);
        trackbar->SetPosition(value);
        trackbar->SetTicFrequency((row.maximum - row.minimum) / 8);
        Control* upDown = page.Item(row.upDown);
        upDown->SetRange(row.minimum, row.maximum);
        upDown->SetPosition(static_cast<int16_t>(value & 0xFFFF));
        upDown->SetBuddy(row.edit);
        page.SetItemInt(row.edit, value, true);
        for (const int32_t id : {row.trackbar, row.edit, row.upDown}) page.EnableItem(id, true);
    }
    page.CheckButton(kMirrorVBox, analog.mirrorV != 0);
    page.CheckButton(kMirrorHBox, analog.mirrorH != 0);
    page.CheckButton(kAutoExposureBox, analog.autoIris == kAutoIrisExposure);
    page.CheckButton(kAutoGainBox, analog.autoIris == kAutoIrisGain);
    ShowMilliseconds(page);
    ready_ = true;
}

void AnalogPage::EditChanged(Dialog& page, const Row& row) {
    const std::optional<int32_t> value = RowValue(page, row);
    if (!value) return;  // nothing to apply until the text is a number again
    Apply(row, *value);
    page.Item(row.trackbar)->SetPosition(*value);
    if (row.target == Target::GlobalGain) {
        // The colour gains follow the global gain, each through its own edit.
        for (const int32_t edit : kColourGainEdits) page.SetItemInt(edit, *value, true);
    } else if (row.target == Target::Exposure) {
        ShowMilliseconds(page);
    }
}

void AnalogPage::ButtonClicked(Dialog& page, int32_t id) {
    const bool checked = page.IsButtonChecked(id);
    switch (id) {
        case kMirrorVBox:
            camera_.SetMirrorV(checked ? 1 : 0);
            break;
        case kMirrorHBox:
            camera_.SetMirrorH(checked ? 1 : 0);
            break;
        case kAutoGainBox:
            if (checked) page.CheckButton(kAutoExposureBox, false);
            camera_.SetAutoIris(checked ? kAutoIrisGain : kAutoIrisOff);
            break;
        case kAutoExposureBox:
            if (checked) page.CheckButton(kAutoGainBox, false);
            camera_.SetAutoIris(checked ? kAutoIrisExposure : kAutoIrisOff);
            break;
        default:
            break;
    }
}

void AnalogPage::ShowMilliseconds(Dialog& page) {
    const double ms = camera_.ExposureMilliseconds(camera_.AnalogSettingsCopy().exposure);
    char text[64];
    std::snprintf(text, sizeof text, "=%.2fms", ms);
    page.SetItemText(kMillisecondsLabel, text);
}

void AnalogPage::ShowValue(int32_t editId, int32_t value) {
    if (window_ != nullptr) window_->SetItemInt(editId, value, true);
}

void AnalogPage::Refresh() {
    if (window_ == nullptr) return;
    const settings::AnalogSettings analog = camera_.AnalogSettingsCopy();
    for (const Row& row : rows_) window_->Item(row.trackbar)->SetPosition(Setting(analog, row));
    // Each edit re-applies its value through its change handling.
    for (const Row& row : rows_) window_->SetItemInt(row.edit, Setting(analog, row), true);
}

void AnalogPage::CommitEdits() {
    if (window_ == nullptr) return;
    for (const Row& row : rows_) {
        const std::optional<int32_t> value = RowValue(*window_, row);
        // The sensor keeps agreeing with the settings: only a value that differs is written.
        if (value && *value != Setting(camera_.AnalogSettingsCopy(), row)) Apply(row, *value);
    }
}

const AnalogPage::Row* AnalogPage::RowOfEdit(int32_t edit) const {
    const auto found =
        std::find_if(rows_.begin(), rows_.end(), [edit](const Row& r) { return r.edit == edit; });
    return found == rows_.end() ? nullptr : &*found;
}

const AnalogPage::Row* AnalogPage::RowOfTrackbar(int32_t trackbar) const {
    const auto found = std::find_if(rows_.begin(), rows_.end(),
                                    [trackbar](const Row& r) { return r.trackbar == trackbar; });
    return found == rows_.end() ? nullptr : &*found;
}

std::optional<int32_t> AnalogPage::RowValue(const Dialog& page, const Row& row) const {
    const std::optional<int32_t> typed = page.ItemInt(row.edit, true);
    if (!typed) return std::nullopt;
    // The sensor registers hold only the row's range; a typed value beyond it would be masked
    // into an unrelated setting.
    return std::clamp(*typed, row.minimum, row.maximum);
}

int32_t AnalogPage::Setting(const settings::AnalogSettings& analog, const Row& row) const {
    switch (row.target) {
        case Target::GlobalGain:
            return analog.globalGain;
        case Target::Exposure:
            return analog.exposure;
        case Target::ColourGain:
            break;
    }
    switch (row.reg) {
        case camera::kGainRegisterGreen1:
            return analog.colorGainG1;
        case camera::kGainRegisterBlue:
            return analog.colorGainB;
        case camera::kGainRegisterRed:
            return analog.colorGainR;
        default:
            return analog.colorGainG2;
    }
}

void AnalogPage::Apply(const Row& row, int32_t value) {
    switch (row.target) {
        case Target::GlobalGain:
            camera_.StoreGlobalGain(value);
            break;
        case Target::ColourGain:
            camera_.StoreColourGain(row.reg, value);
            break;
        case Target::Exposure:
            camera_.StoreExposure(value);
            break;
    }
}

}  // namespace tavlin::dialogs
