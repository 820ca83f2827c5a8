// The image and gray filter dialog driven through automation.
#include <string>
#include <vector>

#include "integration/dialog_fixture.h"

namespace tavlin::test {
namespace {

constexpr int32_t kBrightnessTrackbar = 2001;
constexpr int32_t kBrightnessEdit = 2002;
constexpr int32_t kOnce = 2074;
constexpr int32_t kAllFrames = 1035;
constexpr int32_t kTabs = 1001;

class ImageDialogTest : public DialogTest {
  protected:
    void SmallFrames(int32_t bits) {
        ASSERT_EQ(Tavlin_SetColorMode(camera_, bits), 1);
        ASSERT_EQ(Tavlin_SetSubSample(camera_, 3), 1);
    }
    int32_t GrayAutoRequest() { return Tavlin_GetFilterValue(camera_, 28, nullptr); }
    void ShowGrayTab() {
        ASSERT_EQ(TavlinHost_DialogSelectEntry(dialog_, kTabs, 1), 1);
        ASSERT_EQ(TavlinHost_DialogIsVisible(TavlinHost_DialogPage(dialog_, 1)), 1);
    }
};

TEST_F(ImageDialogTest, CancelRestoresEveryFilterSettingIncludingAMeasuredWhiteBalance) {
    // One position of the 2 x 2 mosaic twice as bright as the others: a colour cast.
    std::vector<uint8_t> cast(TAVLIN_VCAM_SENSOR_WIDTH * TAVLIN_VCAM_SENSOR_HEIGHT, 60);
    for (int32_t y = 0; y < TAVLIN_VCAM_SENSOR_HEIGHT; y += 2) {
        for (int32_t x = 0; x < TAVLIN_VCAM_SENSOR_WIDTH; x += 2) {
            cast[size_t(y) * TAVLIN_VCAM_SENSOR_WIDTH + size_t(x)] = 120;
        }
    }
    ASSERT_EQ(TavlinVcam_SetRawFrames(kDevice, cast.data(), 8, 1), 1);
    SmallFrames(24);
    StartPreview();
    OpenDialog(Tavlin_SetImageDlg);
    ASSERT_EQ(TavlinHost_DialogMoveTrackbar(dialog_, kBrightnessTrackbar, 100), 1);
    EXPECT_EQ(Text(kBrightnessEdit), "100");
    EXPECT_EQ(Tavlin_GetBrightness(camera_, nullptr), 100);

    // "Once" measures the white balance on the next frame; the dialog shows the result.
    ASSERT_EQ(TavlinHost_DialogClick(dialog_, kOnce), 1);
    ASSERT_TRUE(Eventually([&] { return Tavlin_GetBayerGainAuto(camera_, nullptr) == 0; }));
    const int32_t red = Tavlin_GetBayerGainRed(camera_, nullptr);
    const int32_t blue = Tavlin_GetBayerGainBlue(camera_, nullptr);
    EXPECT_NE(red * 1000 + blue, 100 * 1000 + 100) << "the scene should need a correction";
    EXPECT_TRUE(Eventually(
        [&] { return Text(2052) == std::to_string(red) && Text(2072) == std::to_string(blue); }));

    EXPECT_EQ(CloseWith(2), 1);
    EXPECT_EQ(Tavlin_GetBrightness(camera_, nullptr), 0);
    EXPECT_EQ(Tavlin_GetBayerGainRed(camera_, nullptr), 100);
    EXPECT_EQ(Tavlin_GetBayerGainBlue(camera_, nullptr), 100);
    EXPECT_EQ(Tavlin_GetBayerGainAuto(camera_, nullptr), 0);
}

TEST_F(ImageDialogTest, GrayModesDisableTheColourRowsAndAddTheGrayTab) {
    ASSERT_EQ(Tavlin_SetColorMode(camera_, 8), 1);
    OpenDialog(Tavlin_SetImageDlg);
    for (const int32_t id : {2001, 2002, 2004, 2011, 2041, 2081, 2082}) {
        EXPECT_EQ(TavlinHost_DialogIsItemEnabled(dialog_, id), 1) << id;
    }
    for (const int32_t id : {2021, 2022, 2024, 2031, 2051, 2062, 2073, kOnce, 1030, 1033}) {
        EXPECT_EQ(TavlinHost_DialogIsItemEnabled(dialog_, id), 0) << id;
    }
    EXPECT_EQ(TavlinHost_DialogClick(dialog_, kOnce), 0);  // a user cannot click it either
    ASSERT_EQ(TavlinHost_DialogGetEntryCount(dialog_, kTabs), 2);
    EXPECT_EQ(Entry(kTabs, 0), "Image Filter");
    EXPECT_EQ(Entry(kTabs, 1), "Gray Filter");
    const TAVLIN_HWND imagePage = TavlinHost_DialogPage(dialog_, 0);
    const TAVLIN_HWND grayPage = TavlinHost_DialogPage(dialog_, 1);
    EXPECT_EQ(TavlinHost_DialogIsVisible(imagePage), 1);
    EXPECT_EQ(TavlinHost_DialogIsVisible(grayPage), 0);
    ShowGrayTab();
    EXPECT_EQ(TavlinHost_DialogIsVisible(imagePage), 0);
    EXPECT_EQ(TavlinHost_DialogGetResourceId(grayPage), 112);
    EXPECT_EQ(CloseWith(1), 1);

    ASSERT_EQ(Tavlin_SetColorMode(camera_, 24), 1);
    OpenDialog(Tavlin_SetImageDlg);
    for (const int32_t id : {2021, 2031, 2051, 2061, 2071, kOnce, kAllFrames, 1030}) {
        EXPECT_EQ(TavlinHost_DialogIsItemEnabled(dialog_, id), 1) << id;
    }
    EXPECT_EQ(TavlinHost_DialogGetEntryCount(dialog_, kTabs), 1);
    EXPECT_EQ(TavlinHost_DialogPage(dialog_, 1), nullptr);
    EXPECT_EQ(CloseWith(1), 1);
}

TEST_F(ImageDialogTest, DefaultLeavesGrayModeAndTheAutomaticSettings) {
    ASSERT_EQ(Tavlin_SetColorMode(camera_, 8), 1);
    ASSERT_EQ(Tavlin_SetBayerGainAuto(camera_, 1), 1);
    OpenDialog(Tavlin_SetImageDlg);
    ASSERT_TRUE(Type(kBrightnessEdit, "50"));
    ASSERT_TRUE(Type(2082, "150"));  // gamma
    ShowGrayTab();
    ASSERT_EQ(TavlinHost_DialogClick(dialog_, 1048), 1);  // Grayscale
    ASSERT_EQ(TavlinHost_DialogClick(dialog_, kAllFrames), 1);
    ASSERT_EQ(TavlinHost_DialogClick(dialog_, 1030), 1);  // Bayer mode 0
    ASSERT_TRUE(Type(2101, "200"));
    ASSERT_TRUE(Type(2113, "-20"));
    EXPECT_EQ(Tavlin_GetGrayMode(camera_, nullptr), 2);
    EXPECT_EQ(Tavlin_GetBayerMode(camera_, nullptr), 0);

    ASSERT_EQ(TavlinHost_DialogClick(dialog_, 3), 1);
    EXPECT_EQ(Tavlin_GetBrightness(camera_, nullptr), 0);
    EXPECT_EQ(Tavlin_GetGamma(camera_, nullptr), 100);
    EXPECT_EQ(Tavlin_GetBayerMode(camera_, nullptr), 3);
    EXPECT_EQ(Tavlin_GetGrayGainR(camera_, nullptr), 128);
    EXPECT_EQ(Tavlin_GetGrayOffsetR(camera_, nullptr), 0);
    EXPECT_EQ(Text(2101), "128");
    EXPECT_EQ(Text(kBrightnessEdit, TavlinHost_DialogPage(dialog_, 0)), "0");
    EXPECT_EQ(Tavlin_GetGrayMode(camera_, nullptr), 2);
    EXPECT_EQ(GrayAutoRequest(), -1);
    EXPECT_EQ(Tavlin_GetBayerGainAuto(camera_, nullptr), 1);
    EXPECT_EQ(CloseWith(1), 1);
    EXPECT_EQ(Tavlin_GetGrayGainR(camera_, nullptr), 128);
}

TEST_F(ImageDialogTest, TypedValuesAreStoredAsTypedBeyondTheTrackbarRange) {
    ASSERT_EQ(Tavlin_SetColorMode(camera_, 8), 1);
    OpenDialog(Tavlin_SetImageDlg);
    ASSERT_TRUE(Type(kBrightnessEdit, "500"));
    EXPECT_EQ(Tavlin_GetBrightness(camera_, nullptr), 500);
    EXPECT_EQ(Value(kBrightnessTrackbar), 255);

    ShowGrayTab();
    ASSERT_TRUE(Type(2113, "-20"));  // gray offset red: the trackbar starts at 0
    EXPECT_EQ(Tavlin_GetGrayOffsetR(camera_, nullptr), -20);
    EXPECT_EQ(Text(2113), "-20");
    EXPECT_EQ(Value(2112), 0);

    // Text that is not a number stores nothing, neither now nor when OK reads the edits back.
    ASSERT_EQ(TavlinHost_DialogSelectEntry(dialog_, kTabs, 0), 1);
    ASSERT_TRUE(Type(kBrightnessEdit, "12x"));
    EXPECT_EQ(Tavlin_GetBrightness(camera_, nullptr), 500);
    int32_t value = 0;
    EXPECT_EQ(TavlinHost_DialogGetItemValue(dialog_, kBrightnessEdit, &value), 0);
    EXPECT_EQ(CloseWith(1), 1);
    EXPECT_EQ(Tavlin_GetBrightness(camera_, nullptr), 500);
    EXPECT_EQ(Tavlin_GetGrayOffsetR(camera_, nullptr), -20);
}

TEST_F(ImageDialogTest, GrayAllFramesSwitchesBetweenEveryFrameAndOff) {
    ASSERT_EQ(Tavlin_SetColorMode(camera_, 8), 1);
    OpenDialog(Tavlin_SetImageDlg);
    ShowGrayTab();
    EXPECT_EQ(GrayAutoRequest(), 0);
    ASSERT_EQ(TavlinHost_DialogClick(dialog_, kAllFrames), 1);
    EXPECT_EQ(GrayAutoRequest(), -1);
    ASSERT_EQ(TavlinHost_DialogClick(dialog_, kAllFrames), 1);
    EXPECT_EQ(GrayAutoRequest(), 0);
    ASSERT_EQ(TavlinHost_DialogClick(dialog_, kOnce), 1);
    EXPECT_EQ(GrayAutoRequest(), 1);
    EXPECT_EQ(CloseWith(2), 1);
    EXPECT_EQ(GrayAutoRequest(), 0);
}

TEST_F(ImageDialogTest, AGrayMeasurementDuringThePreviewRefreshesTheGrayPage) {
    SmallFrames(8);
    StartPreview();
    OpenDialog(Tavlin_SetImageDlg);
    ShowGrayTab();
    ASSERT_EQ(TavlinHost_DialogClick(dialog_, 1047), 1);  // gray mode 1 measures
    ASSERT_EQ(TavlinHost_DialogClick(dialog_, kOnce), 1);
    ASSERT_TRUE(Eventually([&] { return GrayAutoRequest() == 0; }));
    const std::string red = std::to_string(Tavlin_GetGrayGainR(camera_, nullptr));
    const std::string blue = std::to_string(Tavlin_GetGrayGainB(camera_, nullptr));
    EXPECT_TRUE(Eventually([&] { return Text(2101) == red && Text(2110) == blue; }));
    EXPECT_EQ(CloseWith(1), 1);
    EXPECT_EQ(std::to_string(Tavlin_GetGrayGainR(camera_, nullptr)), red);
}

}  // namespace
}  // namespace tavlin::test
