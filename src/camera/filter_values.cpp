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
    if (!RequireDevice()) return 0;
    const settings::FilterInfo* row = settings::FindFilter(id);
    if (row == nullptr) return Fail(TAVLIN_ERR_INVALID_ARGUMENT);
    switch (row->kind) {
        case FilterKind::Stored: {
            if (value < row->minimum || value > row->maximum) break;
            sensor_.UpdateFilter(
                [&](settings::FilterSettings& filter) { *StoredField(filter, *row) = value; });
            return 1;
        }
        case FilterKind::PackedRgb: {
            sensor_.UpdateFilter([value](settings::FilterSettings& filter) {
                filter.bayerGainR = value & 0xFF;
                filter.bayerGainG = (value >> 8) & 0xFF;
                filter.bayerGainB = (value >> 16) & 0xFF;
            });
            return 1;
        }
        case FilterKind::Switch: {
            sensor_.UpdateFilter([&](settings::FilterSettings& filter) {
                *StoredField(filter, *row) = value != 0 ? 1 : 0;
            });
            return 1;
        }
        case FilterKind::GlobalGain:
            if (value < device_->GlobalGainMinimum() || value > device_->GainMaximum()) break;
            sensor_.UpdateAnalog([value](settings::AnalogSettings& analog) {
                analog.globalGain = value;
                analog.colorGainR = value;
                analog.colorGainG1 = value;
                analog.colorGainG2 = value;
                analog.colorGainB = value;
            });
            // Only the global register: the colour registers keep what they hold.
            device_->SetGlobalGain(value);
            return 1;
        case FilterKind::ColourGain: {
            const int32_t reg = row->sensorRegister;
            if (value < sensor_.ColourGainMinimum(reg) || value > device_->GainMaximum()) break;
            sensor_.UpdateAnalog(
                [&](settings::AnalogSettings& analog) { analog.*row->analogField = value; });
            device_->SetColourGain(reg, value);
            return 1;
        }
        case FilterKind::Exposure:
            if (value < row->minimum || value > device_->ShutterMaximum()) break;
            sensor_.UpdateAnalog(
                [&](settings::AnalogSettings& analog) { analog.*row->analogField = value; });
            device_->SetShutter(value);
            return 1;
    }
    // Out-of-range values of every kind.
    return Fail(TAVLIN_ERR_INVALID_ARGUMENT);
}

int32_t CTavlin::GetFilterValue(int32_t id, int32_t* ok) {
    if (!device_) {
        if (ok != nullptr) *ok = 0;
        return Fail(TAVLIN_ERR_NO_DEVICE);
    }
    const settings::FilterInfo* row = settings::FindFilter(id);
    if (row == nullptr) {
        if (ok != nullptr) *ok = 0;
        return Fail(TAVLIN_ERR_INVALID_ARGUMENT);
    }
    if (ok != nullptr) *ok = 1;
    // Sensor values are read back from the sensor, not from the stored fields; a failed read
    // gives 0.
    uint16_t raw = 0;
    switch (row->kind) {
        case FilterKind::PackedRgb: {
            const settings::FilterSettings filter = sensor_.Filter();
            return (filter.bayerGainR & 0xFF) | ((filter.bayerGainG & 0xFF) << 8) |
                   ((filter.bayerGainB & 0xFF) << 16);
        }
        case FilterKind::Stored:
        case FilterKind::Switch: {
            settings::FilterSettings filter = sensor_.Filter();
            return *StoredField(filter, *row);
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
