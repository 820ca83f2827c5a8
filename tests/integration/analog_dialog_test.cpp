// The camera (analog) property dialog driven through automation while a preview runs.
#include <cstring>
#include <vector>

#include "integration/dialog_fixture.h"

namespace tavlin::test {
namespace {

constexpr int32_t kGlobalEdit = 1015;
constexpr int32_t kColourEdits[] = {1019, 1021, 1023, 1025};
constexpr int32_t kExposureEdit = 1027;
constexpr int32_t kMirrorV = 1028;
constexpr int32_t kAutoGain = 1036;
constexpr int32_t kAutoExposure = 1037;
constexpr int32_t kMilliseconds = 1049;

class AnalogDialogTest : public DialogTest {};

TEST_F(AnalogDialogTest, GlobalGainFansOutToTheColourGainsWritingEachRegisterOnce) {
    StartPreview();
    OpenDialog(Tavlin_SetAnalogDlg);
    TavlinVcam_ClearTrace(kDevice);
    ASSERT_TRUE(Type(kGlobalEdit, "20"));
    const auto writes = SensorWrites();

    EXPECT_EQ(Text(kGlobalEdit), "20");
    for (const int32_t edit : kColourEdits) EXPECT_EQ(Text(edit), "20") << edit;
    EXPECT_EQ(Value(1013), 20);  // the global gain trackbar follows
    EXPECT_EQ(writes, (std::map<int32_t, int32_t>{{43, 1}, {44, 1}, {45, 1}, {46, 1}, {53, 1}}));
    for (const int32_t reg : {43, 44, 45, 46, 53}) EXPECT_EQ(SensorRegister(reg), 20) << reg;

    EXPECT_EQ(CloseWith(1), 1);
    EXPECT_EQ(Tavlin_GetColorGainBlue(camera_, nullptr), 20);
    EXPECT_EQ(Tavlin_GetGlobalGain(camera_, nullptr), 20);
}

TEST_F(AnalogDialogTest, CancelPutsRegistersSettingsAndBayerModeBack) {
    ASSERT_EQ(Tavlin_SetExposureTime(camera_, 700), 1);
    ASSERT_EQ(Tavlin_SetColorGainRed(camera_, 30), 1);
    StartPreview();
    OpenDialog(Tavlin_SetAnalogDlg);
    EXPECT_EQ(Text(1021), "30");  // the dialog starts from what the sensor holds
    ASSERT_TRUE(Type(kGlobalEdit, "50"));
    ASSERT_TRUE(Type(kExposureEdit, "2000"));
    ASSERT_EQ(TavlinHost_DialogClick(dialog_, kMirrorV), 1);
    ASSERT_EQ(TavlinHost_DialogClick(dialog_, kAutoGain), 1);
    ASSERT_EQ(Tavlin_SetBayerMode(camera_, 1), 1);
    EXPECT_EQ(SensorRegister(9), 2000);
    EXPECT_EQ(Tavlin_GetMirrorV(camera_), 1);

    EXPECT_EQ(CloseWith(2), 1);
    EXPECT_EQ(SensorRegister(53), 14);
    EXPECT_EQ(SensorRegister(45), 30);
    EXPECT_EQ(SensorRegister(43), 14);
    EXPECT_EQ(SensorRegister(9), 700);
    EXPECT_EQ(Tavlin_GetMirrorV(camera_), 0);
    EXPECT_EQ(Tavlin_GetAutoIris(camera_, nullptr), 0);
    EXPECT_EQ(Tavlin_GetBayerMode(camera_, nullptr), 3);
    // The stored settings are back too: a release saves them as they were.
    ASSERT_EQ(Tavlin_Release(camera_), 1);
    camera_ = 0;
    Reopen();
    EXPECT_EQ(Tavlin_GetExposureTime(camera_, nullptr), 700);
    EXPECT_EQ(Tavlin_GetColorGainRed(camera_, nullptr), 30);
}

TEST_F(AnalogDialogTest, DefaultResetsGainsAndExposureButNotMirrorsOrAutoIris) {
    OpenDialog(Tavlin_SetAnalogDlg);
    ASSERT_TRUE(Type(kGlobalEdit, "40"));
    ASSERT_TRUE(Type(kExposureEdit, "300"));
    ASSERT_EQ(TavlinHost_DialogClick(dialog_, kMirrorV), 1);
    ASSERT_EQ(TavlinHost_DialogClick(dialog_, kAutoExposure), 1);

    ASSERT_EQ(TavlinHost_DialogClick(dialog_, 3), 1);
    EXPECT_EQ(Text(kGlobalEdit), "14");
    for (const int32_t edit : kColourEdits) EXPECT_EQ(Text(edit), "14");
    EXPECT_EQ(Text(kExposureEdit), "1049");
    EXPECT_EQ(Value(1026), 1049);
    EXPECT_EQ(TavlinHost_DialogIsItemChecked(dialog_, kMirrorV), 1);
    EXPECT_EQ(TavlinHost_DialogIsItemChecked(dialog_, kAutoExposure), 1);
    EXPECT_EQ(Tavlin_GetAutoIris(camera_, nullptr), 1);
    EXPECT_EQ(SensorRegister(9), 1049);
    EXPECT_EQ(SensorRegister(53), 14);
    EXPECT_EQ(CloseWith(1), 1);
    EXPECT_EQ(Tavlin_GetMirrorV(camera_), 1);
}

TEST_F(AnalogDialogTest, GainAndExposureAutoIrisBoxesExcludeEachOther) {
    OpenDialog(Tavlin_SetAnalogDlg);
    ASSERT_EQ(TavlinHost_DialogClick(dialog_, kAutoExposure), 1);
    EXPECT_EQ(Tavlin_GetAutoIris(camera_, nullptr), 1);
    ASSERT_EQ(TavlinHost_DialogClick(dialog_, kAutoGain), 1);
    EXPECT_EQ(TavlinHost_DialogIsItemChecked(dialog_, kAutoExposure), 0);
    EXPECT_EQ(TavlinHost_DialogIsItemChecked(dialog_, kAutoGain), 1);
    EXPECT_EQ(Tavlin_GetAutoIris(camera_, nullptr), 2);
    ASSERT_EQ(TavlinHost_DialogClick(dialog_, kAutoGain), 1);
    EXPECT_EQ(Tavlin_GetAutoIris(camera_, nullptr), 0);
    EXPECT_EQ(CloseWith(1), 1);
    EXPECT_EQ(Tavlin_GetAutoIris(camera_, nullptr), 0);
}

TEST_F(AnalogDialogTest, MillisecondsFollowTheExposureConversion) {
    // No conversion has run before the first acquisition: nothing to show yet.
    OpenDialog(Tavlin_SetAnalogDlg);
    EXPECT_EQ(Text(kMilliseconds), "=0.00ms");
    EXPECT_EQ(CloseWith(2), 1);

    ASSERT_EQ(Tavlin_SetHalfClock(camera_, 0), 1);  // 24 MHz; full width gives L = 1524
    StartPreview();
    OpenDialog(Tavlin_SetAnalogDlg);
    EXPECT_EQ(Text(kMilliseconds), "=66.61ms");  // the stored exposure of 1049 lines
    ASSERT_TRUE(Type(kExposureEdit, "2098"));
    EXPECT_EQ(Text(kMilliseconds), "=133.22ms");
    EXPECT_EQ(CloseWith(1), 1);
}

TEST_F(AnalogDialogTest, TrackbarsAndUpDownsGoThroughTheEdits) {
    OpenDialog(Tavlin_SetAnalogDlg);
    int32_t minimum = 0, maximum = 0;
    ASSERT_EQ(TavlinHost_DialogGetItemRange(dialog_, 1026, &minimum, &maximum), 1);
    EXPECT_EQ(minimum, 1);
    EXPECT_EQ(maximum, 16383);
    ASSERT_EQ(TavlinHost_DialogMoveTrackbar(dialog_, 1020, 33), 1);  // red
    EXPECT_EQ(Text(1021), "33");
    EXPECT_EQ(SensorRegister(45), 33);
    ASSERT_EQ(TavlinHost_DialogSpin(dialog_, 1040, 2), 1);
    EXPECT_EQ(Text(1021), "35");
    EXPECT_EQ(Value(1020), 35);
    EXPECT_EQ(SensorRegister(45), 35);
    EXPECT_EQ(CloseWith(1), 1);
}

TEST_F(AnalogDialogTest, TypedValuesOutsideTheSensorRangeAndNonNumbersAreNotWritten) {
    OpenDialog(Tavlin_SetAnalogDlg);
    ASSERT_TRUE(Type(1021, "200"));  // red gain: 200 would be masked into 72 by the register
    EXPECT_EQ(SensorRegister(45), 63);
    ASSERT_TRUE(Type(1021, "abc"));
    EXPECT_EQ(SensorRegister(45), 63);
    ASSERT_TRUE(Type(kExposureEdit, "-5"));
    EXPECT_EQ(SensorRegister(9), 1);
    ASSERT_TRUE(Type(kExposureEdit, ""));
    EXPECT_EQ(CloseWith(1), 1);
    EXPECT_EQ(Tavlin_GetColorGainRed(camera_, nullptr), 63);
    EXPECT_EQ(Tavlin_GetExposureTime(camera_, nullptr), 1);
}

TEST_F(AnalogDialogTest, AutomaticGainReachesTheOpenDialogWhileThePreviewRuns) {
    // A white scene makes the automatic gain lower the gain frame after frame.
    std::vector<uint8_t> white(TAVLIN_VCAM_SENSOR_WIDTH * TAVLIN_VCAM_SENSOR_HEIGHT, 250);
    ASSERT_EQ(TavlinVcam_SetRawFrames(kDevice, white.data(), 8, 1), 1);
    StartPreview();
    OpenDialog(Tavlin_SetAnalogDlg);
    ASSERT_EQ(TavlinHost_DialogClick(dialog_, kAutoGain), 1);
    EXPECT_TRUE(Eventually([&] { return Text(kGlobalEdit) == "0"; }));
    for (const int32_t edit : kColourEdits) EXPECT_EQ(Text(edit), "0");
    EXPECT_EQ(Value(1013), 0);
    EXPECT_EQ(CloseWith(1), 1);
    EXPECT_EQ(Tavlin_StopPreview(camera_), 1);
    EXPECT_EQ(Tavlin_GetGlobalGain(camera_, nullptr), 0);
}

}  // namespace
}  // namespace tavlin::test
