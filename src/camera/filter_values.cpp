// The filter values by id: software adjustments stored in the filter settings, and the sensor's
// gains and exposure, which are written to the sensor and read back from it.
#include "camera/ctavlin.h"
#include "settings/filter_catalogue.h"

namespace tavlin::camera {

namespace {

using settings::FilterKind;

// The stored field of a Stored or Switch row.
int32_t* StoredField(settings::FilterSettings& f, const settings::FilterInfo& row) {
    return row.field(f);
}

}  // namespace

int CTavlin::SetFilterValue(int32_t id, int32_t value) {
    if (!device_) {
        errors_.Report(TAVLIN_ERR_NO_DEVICE);
        return 0;
    }
    const settings::FilterInfo* row = settings::FindFilter(id);
    if (row == nullptr) {
        errors_.Report(TAVLIN_ERR_INVALID_ARGUMENT);
        return 0;
    }
    switch (row->kind) {
        case FilterKind::Stored: {
            if (value < row->minimum || value > row->maximum) break;
            std::lock_guard<std::mutex> guard(settingsLock_);
            *StoredField(filter_, *row) = value;
            return 1;
        }
        case FilterKind::PackedRgb: {
            std::lock_guard<std::mutex> guard(settingsLock_);
            filter_.bayerGainR = value & 0xFF;
            filter_.bayerGainG = (value >> 8) & 0xFF;
            filter_.bayerGainB = (value >> 16) & 0xFF;
            return 1;
        }
        case FilterKind::Switch: {
            std::lock_guard<std::mutex> guard(settingsLock_);
            *StoredField(filter_, *row) = value != 0 ? 1 : 0;
            return 1;
        }
        case FilterKind::GlobalGain:
            if (value < device_->GlobalGainMinimum() || value > device_->GainMaximum()) break;
            {
                std::lock_guard<std::mutex> guard(settingsLock_);
                analog_.globalGain = value;
                analog_.colorGainR = value;
                analog_.colorGainG1 = value;
                analog_.colorGainG2 = value;
                analog_.colorGainB = value;
            }
            // Only the global register: the colour registers keep what they hold.
            device_->SetGlobalGain(value);
            return 1;
        case FilterKind::ColourGain: {
            const int32_t reg = row->sensorRegister;
            if (value < ColourGainMinimum(reg) || value > device_->GainMaximum()) break;
            {
                std::lock_guard<std::mutex> guard(settingsLock_);
                analog_.*row->analogField = value;
            }
            device_->SetColourGain(reg, value);
            return 1;
        }
        case FilterKind::Exposure:
            if (value < row->minimum || value > device_->ShutterMaximum()) break;
            {
                std::lock_guard<std::mutex> guard(settingsLock_);
                analog_.*row->analogField = value;
            }
            device_->SetShutter(value);
            return 1;
    }
    // Out-of-range values of every kind.
    errors_.Report(TAVLIN_ERR_INVALID_ARGUMENT);
    return 0;
}

int32_t CTavlin::GetFilterValue(int32_t id, int32_t* ok) {
    if (!device_) {
        if (ok != nullptr) *ok = 0;
        errors_.Report(TAVLIN_ERR_NO_DEVICE);
        return 0;
    }
    const settings::FilterInfo* row = settings::FindFilter(id);
    if (row == nullptr) {
        if (ok != nullptr) *ok = 0;
        errors_.Report(TAVLIN_ERR_INVALID_ARGUMENT);
        return 0;
    }
    if (ok != nullptr) *ok = 1;
    // Sensor values are read back from the sensor, not from the stored fields; a failed read
    // gives 0.
    uint16_t raw = 0;
    switch (row->kind) {
        case FilterKind::PackedRgb: {
            std::lock_guard<std::mutex> guard(settingsLock_);
            return (filter_.bayerGainR & 0xFF) | ((filter_.bayerGainG & 0xFF) << 8) |
                   ((filter_.bayerGainB & 0xFF) << 16);
        }
        case FilterKind::Stored:
        case FilterKind::Switch: {
            std::lock_guard<std::mutex> guard(settingsLock_);
            return *StoredField(filter_, *row);
        }
        case FilterKind::GlobalGain:
        case FilterKind::ColourGain:
            device_->ReadSensorRegister(row->sensorRegister, &raw);
            return raw & 0x7F;
        case FilterKind::Exposure:
            device_->ReadSensorRegister(row->sensorRegister, &raw);
            return raw;
    }
    return 0;
}

}  // namespace tavlin::camera
