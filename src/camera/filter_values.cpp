// The filter values by id: software adjustments stored in the filter settings, and the sensor's
// gains and exposure, which are written to the sensor and read back from it.
#include "camera/ctavlin.h"

namespace tavlin::camera {

namespace {

constexpr int32_t kGlobalGainRegister = 53;
constexpr int32_t kExposureRegister = 9;

struct RangeRow {
    int32_t id;
    int32_t minimum;
    int32_t maximum;
};

// Ids whose setter only checks a range and stores.
constexpr RangeRow kRangeRows[] = {
    {1, -255, 255},  {2, -127, 127},  {3, -360, 360},  {4, -255, 255},  {5, 0, 30},
    {7, 0, 400},     {8, 0, 400},     {9, 0, 400},     {11, 0, 200},    {12, 0, 3},
    {19, 0, 2},      {20, 0, 255},    {21, 0, 255},    {22, 0, 255},    {23, 0, 255},
    {24, -255, 255}, {25, -255, 255}, {26, -255, 255}, {27, -255, 255}, {28, 0, 1},
};

const RangeRow* FindRangeRow(int32_t id) {
    for (const RangeRow& row : kRangeRows) {
        if (row.id == id) return &row;
    }
    return nullptr;
}

// The stored field of a range row or of id 10.
int32_t* StoredField(settings::FilterSettings& f, int32_t id) {
    switch (id) {
        case 1:
            return &f.brightness;
        case 2:
            return &f.contrast;
        case 3:
            return &f.hue;
        case 4:
            return &f.saturation;
        case 5:
            return &f.sharpness;
        case 7:
            return &f.bayerGainR;
        case 8:
            return &f.bayerGainG;
        case 9:
            return &f.bayerGainB;
        case 10:
            return &f.whiteBalance.bayerGainAuto;
        case 11:
            return &f.gamma;
        case 12:
            return &f.bayerMode;
        case 19:
            return &f.gray.grayMode;
        case 20:
            return &f.gray.grayGainR;
        case 21:
            return &f.gray.grayGainG1;
        case 22:
            return &f.gray.grayGainG2;
        case 23:
            return &f.gray.grayGainB;
        case 24:
            return &f.gray.grayOffsetR;
        case 25:
            return &f.gray.grayOffsetG1;
        case 26:
            return &f.gray.grayOffsetG2;
        case 27:
            return &f.gray.grayOffsetB;
        case 28:
            return &f.grayAutoRequest;
        default:
            return nullptr;
    }
}

// Sensor register of a colour gain id (14..17).
int32_t ColourGainRegister(int32_t id) {
    switch (id) {
        case 14:
            return 45;  // red
        case 15:
            return 43;  // green 1
        case 16:
            return 46;  // green 2
        case 17:
            return 44;  // blue
        default:
            return 0;
    }
}

int32_t* ColourGainField(settings::AnalogSettings& a, int32_t id) {
    switch (id) {
        case 14:
            return &a.colorGainR;
        case 15:
            return &a.colorGainG1;
        case 16:
            return &a.colorGainG2;
        case 17:
            return &a.colorGainB;
        default:
            return nullptr;
    }
}

}  // namespace

int CTavlin::SetFilterValue(int32_t id, int32_t value) {
    if (!device_) {
        errors_.Report(TAVLIN_ERR_NO_DEVICE);
        return 0;
    }
    if (const RangeRow* row = FindRangeRow(id)) {
        if (value < row->minimum || value > row->maximum) {
            errors_.Report(TAVLIN_ERR_INVALID_ARGUMENT);
            return 0;
        }
        sensor_.UpdateFilter(
            [&](settings::FilterSettings& filter) { *StoredField(filter, id) = value; });
        return 1;
    }
    switch (id) {
        case 6: {
            sensor_.UpdateFilter([value](settings::FilterSettings& filter) {
                filter.bayerGainR = value & 0xFF;
                filter.bayerGainG = (value >> 8) & 0xFF;
                filter.bayerGainB = (value >> 16) & 0xFF;
            });
            return 1;
        }
        case 10: {
            sensor_.UpdateFilter([value](settings::FilterSettings& filter) {
                filter.whiteBalance.bayerGainAuto = value != 0 ? 1 : 0;
            });
            return 1;
        }
        case 13:
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
        case 14:
        case 15:
        case 16:
        case 17: {
            const int32_t reg = ColourGainRegister(id);
            if (value < sensor_.ColourGainMinimum(reg) || value > device_->GainMaximum()) break;
            sensor_.UpdateAnalog([id, value](settings::AnalogSettings& analog) {
                *ColourGainField(analog, id) = value;
            });
            device_->SetColourGain(reg, value);
            return 1;
        }
        case 18:
            if (value < 1 || value > device_->ShutterMaximum()) break;
            sensor_.UpdateAnalog(
                [value](settings::AnalogSettings& analog) { analog.exposure = value; });
            device_->SetShutter(value);
            return 1;
        default:
            break;
    }
    // Unknown ids and out-of-range sensor values alike.
    errors_.Report(TAVLIN_ERR_INVALID_ARGUMENT);
    return 0;
}

int32_t CTavlin::GetFilterValue(int32_t id, int32_t* ok) {
    if (!device_) {
        if (ok != nullptr) *ok = 0;
        errors_.Report(TAVLIN_ERR_NO_DEVICE);
        return 0;
    }
    if (ok != nullptr) *ok = 1;
    if (id == 6) {
        const settings::FilterSettings filter = sensor_.Filter();
        return (filter.bayerGainR & 0xFF) | ((filter.bayerGainG & 0xFF) << 8) |
               ((filter.bayerGainB & 0xFF) << 16);
    }
    if (id >= 1 && id <= 28 && (id <= 12 || id >= 19)) {
        settings::FilterSettings filter = sensor_.Filter();
        return *StoredField(filter, id);
    }
    // Sensor values are read back from the sensor, not from the stored fields; a failed read
    // gives 0.
    uint16_t raw = 0;
    switch (id) {
        case 13:
            device_->ReadSensorRegister(kGlobalGainRegister, &raw);
            return raw & 0x7F;
        case 14:
        case 15:
        case 16:
        case 17:
            device_->ReadSensorRegister(ColourGainRegister(id), &raw);
            return raw & 0x7F;
        case 18:
            device_->ReadSensorRegister(kExposureRegister, &raw);
            return raw;
        default:
            if (ok != nullptr) *ok = 0;
            errors_.Report(TAVLIN_ERR_INVALID_ARGUMENT);
            return 0;
    }
}

}  // namespace tavlin::camera
