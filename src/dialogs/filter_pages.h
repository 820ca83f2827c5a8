// The two pages of the image and gray filter sheet.
#pragma once

#include <array>

#include "dialogs/filter_page.h"

namespace tavlin::dialogs {

// Which image-page controls a colour mode offers.
struct ImagePageFlags {
    // Brightness, contrast, hue, saturation, sharpness, R, G, B gain, gamma.
    std::array<bool, 9> rows{};
    bool whiteBalance = false;  // white balance buttons and Bayer mode radio buttons
};

// Picture adjustments, Bayer gains, automatic white balance and Bayer mode.
class ImageFilterPage : public FilterPage {
  public:
    ImageFilterPage(camera::DialogPort& camera, const ImagePageFlags& flags);
    void Refresh(RefreshMode mode) override;

  protected:
    void InitialiseButtons(Dialog& page, const settings::FilterSettings& current) override;
    void ButtonClicked(Dialog& page, int32_t id) override;

  private:
    const ImagePageFlags flags_;
};

// Gray gains and offsets per Bayer position, filter mode, automatic gain and Bayer mode.
class GrayFilterPage : public FilterPage {
  public:
    explicit GrayFilterPage(camera::DialogPort& camera);

  protected:
    void InitialiseButtons(Dialog& page, const settings::FilterSettings& current) override;
    void ButtonClicked(Dialog& page, int32_t id) override;
};

}  // namespace tavlin::dialogs
