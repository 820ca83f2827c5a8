#include "dialogs/filter_pages.h"

namespace tavlin::dialogs {

namespace {

using Settings = settings::FilterSettings;

std::vector<FilterPage::Row> ImageRows(const ImagePageFlags& flags) {
    std::vector<FilterPage::Row> rows = {
        {2001, 2002, 2004, -255, 255, 64, [](Settings& f) -> int32_t& { return f.brightness; },
         true},
        {2011, 2012, 2014, -127, 127, 32, [](Settings& f) -> int32_t& { return f.contrast; }, true},
        {2021, 2022, 2024, -360, 360, 90, [](Settings& f) -> int32_t& { return f.hue; }, true},
        {2031, 2032, 2034, -255, 255, 64, [](Settings& f) -> int32_t& { return f.saturation; },
         true},
        {2041, 2042, 2044, 0, 30, 4, [](Settings& f) -> int32_t& { return f.sharpness; }, true},
        {2051, 2052, 2054, 0, 400, 32, [](Settings& f) -> int32_t& { return f.bayerGainR; }, true},
        {2061, 2062, 2063, 0, 400, 32, [](Settings& f) -> int32_t& { return f.bayerGainG; }, true},
        {2071, 2072, 2073, 0, 400, 32, [](Settings& f) -> int32_t& { return f.bayerGainB; }, true},
        {2081, 2082, 2084, 0, 200, 32, [](Settings& f) -> int32_t& { return f.gamma; }, true},
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
