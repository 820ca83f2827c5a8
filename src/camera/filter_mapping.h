// The stored filter settings as the image stages read them.
#pragma once

#include <array>

#include "imaging/filter_values.h"
#include "settings/filter_catalogue.h"
#include "settings/settings_types.h"
#include "tavlin/tavlin.h"

namespace tavlin::camera {

// The image stages' field of each stored filter id; the packed id 6 and the sensor's values
// have none.
struct FilterValueField {
    int32_t id;
    int32_t imaging::FilterValues::*field;
};

inline constexpr std::array<FilterValueField, 21> kFilterValueFields{{
    {TAVLIN_FILTER_BRIGHTNESS, &imaging::FilterValues::brightness},
    {TAVLIN_FILTER_CONTRAST, &imaging::FilterValues::contrast},
    {TAVLIN_FILTER_HUE, &imaging::FilterValues::hue},
    {TAVLIN_FILTER_SATURATION, &imaging::FilterValues::saturation},
    {TAVLIN_FILTER_SHARPNESS, &imaging::FilterValues::sharpness},
    {TAVLIN_FILTER_BAYER_GAIN_RED, &imaging::FilterValues::bayerGainR},
    {TAVLIN_FILTER_BAYER_GAIN_GREEN, &imaging::FilterValues::bayerGainG},
    {TAVLIN_FILTER_BAYER_GAIN_BLUE, &imaging::FilterValues::bayerGainB},
    {TAVLIN_FILTER_BAYER_GAIN_AUTO, &imaging::FilterValues::bayerGainAuto},
    {TAVLIN_FILTER_GAMMA, &imaging::FilterValues::gamma},
    {TAVLIN_FILTER_BAYER_MODE, &imaging::FilterValues::bayerMode},
    {TAVLIN_FILTER_GRAY_MODE, &imaging::FilterValues::grayMode},
    {TAVLIN_FILTER_GRAY_GAIN_R, &imaging::FilterValues::grayGainR},
    {TAVLIN_FILTER_GRAY_GAIN_G1, &imaging::FilterValues::grayGainG1},
    {TAVLIN_FILTER_GRAY_GAIN_G2, &imaging::FilterValues::grayGainG2},
    {TAVLIN_FILTER_GRAY_GAIN_B, &imaging::FilterValues::grayGainB},
    {TAVLIN_FILTER_GRAY_OFFSET_R, &imaging::FilterValues::grayOffsetR},
    {TAVLIN_FILTER_GRAY_OFFSET_G1, &imaging::FilterValues::grayOffsetG1},
    {TAVLIN_FILTER_GRAY_OFFSET_G2, &imaging::FilterValues::grayOffsetG2},
    {TAVLIN_FILTER_GRAY_OFFSET_B, &imaging::FilterValues::grayOffsetB},
    {TAVLIN_FILTER_28, &imaging::FilterValues::grayAutoRequest},
}};

// Every id with a stored field reaches the image stages.
constexpr bool EveryStoredFilterIsMapped() {
    for (const settings::FilterInfo& row : settings::kFilterCatalogue) {
        // By kind, not by the field accessor: the sanitizer builds do not let a constant
        // expression compare it with null (the unit tests tie the two together).
        if (row.kind != settings::FilterKind::Stored && row.kind != settings::FilterKind::Switch) {
            continue;
        }
        bool found = false;
        for (const FilterValueField& mapped : kFilterValueFields) found |= mapped.id == row.id;
        if (!found) return false;
    }
    return true;
}
static_assert(EveryStoredFilterIsMapped());

inline imaging::FilterValues ToFilterValues(const settings::FilterSettings& f) {
    settings::FilterSettings source = f;  // the catalogue's fields take a writable block
    imaging::FilterValues v;
    for (const FilterValueField& mapped : kFilterValueFields) {
        v.*mapped.field = *settings::FindFilter(mapped.id)->field(source);
    }
    // The once marks are no filter ids: set only by the dialogs.
    v.onceMarkA = f.whiteBalance.onceMarkA;
    v.onceMarkB = f.whiteBalance.onceMarkB;
    return v;
}

}  // namespace tavlin::camera
