#include "dialogs/filter_pages.h"

namespace tavlin::dialogs {

namespace {

using Settings = settings::FilterSettings;

constexpr int32_t kFirstGrayModeRadio = 1046;
constexpr int32_t kGrayModes = 3;
constexpr int32_t kBayerRadios = 4;
constexpr int32_t kMeasureEveryFrame = -1;

FilterPage::Row GrayRow(int32_t trackbar, FilterPage::Field field) {
    return {trackbar, trackbar + 1, trackbar + 2, 0, 400, 32, field, true};
}

std::vector<FilterPage::Row> GrayRows() {
    return {
        GrayRow(2100, [](Settings& f) -> int32_t& { return f.gray.grayGainR; }),
        GrayRow(2103, [](Settings& f) -> int32_t& { return f.gray.grayGainG1; }),
        GrayRow(2106, [](Settings& f) -> int32_t& { return f.gray.grayGainG2; }),
        GrayRow(2109, [](Settings& f) -> int32_t& { return f.gray.grayGainB; }),
        GrayRow(2112, [](Settings& f) -> int32_t& { return f.gray.grayOffsetR; }),
        GrayRow(2115, [](Settings& f) -> int32_t& { return f.gray.grayOffsetG1; }),
        GrayRow(2118, [](Settings& f) -> int32_t& { return f.gray.grayOffsetG2; }),
        GrayRow(2121, [](Settings& f) -> int32_t& { return f.gray.grayOffsetB; }),
    };
}

}  // namespace

GrayFilterPage::GrayFilterPage(camera::DialogPort& camera) : FilterPage(camera, GrayRows()) {}

void GrayFilterPage::InitialiseButtons(Dialog& page, const settings::FilterSettings& current) {
    CheckRadio(page, kFirstGrayModeRadio, kGrayModes, current.gray.grayMode);
    CheckRadio(page, kFirstBayerRadio, kBayerRadios, current.bayerMode);
}

void GrayFilterPage::ButtonClicked(Dialog&, int32_t id) {
    if (id >= kFirstBayerRadio && id < kFirstBayerRadio + kBayerRadios) {
        const int32_t mode = id - kFirstBayerRadio;
        Update([mode](Settings& f) { f.bayerMode = mode; });
    } else if (id >= kFirstGrayModeRadio && id < kFirstGrayModeRadio + kGrayModes) {
        const int32_t mode = id - kFirstGrayModeRadio;
        Update([mode](Settings& f) { f.gray.grayMode = mode; });
    } else if (id == kAllFramesBox) {
        // Each click switches between measuring every frame and not measuring.
        Update([](Settings& f) {
            f.grayAutoRequest = f.grayAutoRequest == 0 ? kMeasureEveryFrame : 0;
        });
    } else if (id == kOnceButton) {
        Update([](Settings& f) { f.grayAutoRequest = 1; });
    }
}

}  // namespace tavlin::dialogs
