#include "dialogs/filter_pages.h"
#include "settings/filter_catalogue.h"
#include "tavlin/tavlin.h"

namespace tavlin::dialogs {

namespace {

using Settings = settings::FilterSettings;

// A slider row over a filter id's accepted range.
FilterPage::Row ImageRow(int32_t trackbar, int32_t edit, int32_t upDown, int32_t filterId,
                         int32_t ticFrequency, FilterPage::Field field) {
    const settings::FilterInfo& info = *settings::FindFilter(filterId);
    return {trackbar, edit, upDown, info.minimum, info.maximum, ticFrequency, field, true};
}

std::vector<FilterPage::Row> ImageRows(const ImagePageFlags& flags) {
    std::vector<FilterPage::Row> rows = {
        ImageRow(2001, 2002, 2004, TAVLIN_FILTER_BRIGHTNESS, 64,
                 [](Settings& f) -> int32_t& { return f.brightness; }),
        ImageRow(2011, 2012, 2014, TAVLIN_FILTER_CONTRAST, 32,
                 [](Settings& f) -> int32_t& { return f.contrast; }),
        ImageRow(2021, 2022, 2024, TAVLIN_FILTER_HUE, 90,
                 [](Settings& f) -> int32_t& { return f.hue; }),
        ImageRow(2031, 2032, 2034, TAVLIN_FILTER_SATURATION, 64,
                 [](Settings& f) -> int32_t& { return f.saturation; }),
        ImageRow(2041, 2042, 2044, TAVLIN_FILTER_SHARPNESS, 4,
                 [](Settings& f) -> int32_t& { return f.sharpness; }),
        ImageRow(2051, 2052, 2054, TAVLIN_FILTER_BAYER_GAIN_RED, 32,
                 [](Settings& f) -> int32_t& { return f.bayerGainR; }),
        ImageRow(2061, 2062, 2063, TAVLIN_FILTER_BAYER_GAIN_GREEN, 32,
                 [](Settings& f) -> int32_t& { return f.bayerGainG; }),
        ImageRow(2071, 2072, 2073, TAVLIN_FILTER_BAYER_GAIN_BLUE, 32,
                 [](Settings& f) -> int32_t& { return f.bayerGainB; }),
        ImageRow(2081, 2082, 2084, TAVLIN_FILTER_GAMMA, 32,
                 [](Settings& f) -> int32_t& { return f.gamma; }),
    };
    for (size_t i = 0; i < rows.size(); ++i) rows[i].enabled = flags.rows[i];
    return rows;
}

constexpr int32_t kBayerRadios = 4;

}  // namespace

ImageFilterPage::ImageFilterPage(camera::DialogPort& camera, const ImagePageFlags& flags)
    : FilterPage(camera, ImageRows(flags)), flags_(flags) {}

void ImageFilterPage::InitialiseButtons(Dialog& page, const settings::FilterSettings& current) {
    page.EnableItem(kOnceButton, flags_.whiteBalance);
    page.EnableItem(kAllFramesBox, flags_.whiteBalance);
    for (int32_t i = 0; i < kBayerRadios; ++i) {
        page.EnableItem(kFirstBayerRadio + i, flags_.whiteBalance);
    }
    // "All frames" starts unchecked whatever the settings say.
    CheckRadio(page, kFirstBayerRadio, kBayerRadios, current.bayerMode);
}

void ImageFilterPage::ButtonClicked(Dialog& page, int32_t id) {
    if (id >= kFirstBayerRadio && id < kFirstBayerRadio + kBayerRadios) {
        const int32_t mode = id - kFirstBayerRadio;
        Update([mode](Settings& f) { f.bayerMode = mode; });
    } else if (id == kAllFramesBox) {
        const int32_t every = page.IsButtonChecked(kAllFramesBox) ? 1 : 0;
        Update([every](Settings& f) { f.whiteBalance = {every, 0, 0}; });
    } else if (id == kOnceButton) {
        Update([](Settings& f) { f.whiteBalance = {1, 1, 1}; });
        page.CheckButton(kAllFramesBox, false);
    }
}

void ImageFilterPage::Refresh(RefreshMode mode) {
    FilterPage::Refresh(mode);
    Dialog* page = Window();
    if (page == nullptr) return;
    if (mode == RefreshMode::FromSettings) {
        CheckRadio(*page, kFirstBayerRadio, kBayerRadios, Current().bayerMode);
        return;
    }
    for (int32_t i = 0; i < kBayerRadios; ++i) {
        if (page->IsButtonChecked(kFirstBayerRadio + i)) {
            Update([i](Settings& f) { f.bayerMode = i; });
            break;
        }
    }
}

}  // namespace tavlin::dialogs
