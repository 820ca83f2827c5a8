// The stream format dialog driven through automation: preset list, custom sizes, texts by
// language, and the acquisition stopped and restarted around it.
#include <stdlib.h>

#include <string>

#include "integration/dialog_fixture.h"
#include "settings/settings_keys.h"

namespace tavlin::test {
namespace {

constexpr int32_t kColorList = 1009;
constexpr int32_t kSizeList = 1010;
constexpr int32_t kSubSampleList = 1012;
constexpr int32_t kClockList = 1014;
constexpr int32_t kApply = 1002;

settings::SizePreset Preset(int32_t width, int32_t height) {
    settings::SizePreset p;
    p.width = width;
    p.height = height;
    return p;
}

class StreamFormatDialogTest : public DialogTest {
  protected:
    void Store(const settings::PresetList& list) {
        ASSERT_TRUE(settings::SavePresetList(kDevice, list));
    }
    settings::PresetList Stored() {
        settings::PresetList list;
        EXPECT_TRUE(settings::LoadPresetList(kDevice, list));
        return list;
    }
    settings::PresetList ThreePresets() {
        settings::PresetList list;
        list.presets[0] = Preset(640, 480);
        list.presets[1] = Preset(800, 600);
        list.presets[2] = Preset(1280, 1024);
        list.presetCount = 3;
        list.sizeIndex = 1;
        list.colorIndex = 0;
        list.subSampleIndex = 2;
        list.waitTimeValue = 5;
        list.clockIndex = 1;
        return list;
    }
    bool ApplyEnabled() { return TavlinHost_DialogIsItemEnabled(dialog_, kApply) == 1; }
};

TEST_F(StreamFormatDialogTest, ShowsTheStoredPresetsAndFormat) {
    Store(ThreePresets());
    OpenDialog(Tavlin_SetCameraDlg);
    ASSERT_EQ(TavlinHost_DialogGetEntryCount(dialog_, kSizeList), 4);
    EXPECT_EQ(Entry(kSizeList, 0), "640 x 480");
    EXPECT_EQ(Entry(kSizeList, 2), "1280 x 1024");
    EXPECT_EQ(Entry(kSizeList, 3), "Custom");
    EXPECT_EQ(Value(kSizeList), 1);
    EXPECT_EQ(Value(kColorList), 0);
    EXPECT_EQ(Value(kSubSampleList), 2);
    EXPECT_EQ(Value(kClockList), 1);
    EXPECT_EQ(Text(1041), "800");
    EXPECT_EQ(Text(1042), "600");
    EXPECT_EQ(Text(1039), "1280");
    EXPECT_EQ(Text(1045), "5");
    EXPECT_FALSE(ApplyEnabled());
    EXPECT_EQ(Entry(1001, 0), "Stream Format");

    ASSERT_EQ(TavlinHost_DialogSelectEntry(dialog_, kSizeList, 0), 1);
    EXPECT_EQ(Text(1041), "640");
    EXPECT_TRUE(ApplyEnabled());
    EXPECT_EQ(TavlinHost_DialogSetItemText(dialog_, 1039, "999"), 0);  // read-only
    EXPECT_EQ(CloseWith(2), 1);
    EXPECT_EQ(Stored().sizeIndex, 1);  // Cancel saves nothing
}

TEST_F(StreamFormatDialogTest, EachApplyOfTheCustomEntryAddsAPreset) {
    Store(ThreePresets());
    OpenDialog(Tavlin_SetCameraDlg);
    ASSERT_EQ(TavlinHost_DialogSelectEntry(dialog_, kSizeList, 3), 1);
    EXPECT_EQ(Text(1041), "800");  // the custom entry keeps what the edits show
    ASSERT_TRUE(Type(1041, "640"));
    ASSERT_TRUE(Type(1042, "400"));
    ASSERT_EQ(TavlinHost_DialogClick(dialog_, kApply), 1);
    ASSERT_EQ(TavlinHost_DialogGetEntryCount(dialog_, kSizeList), 5);
    EXPECT_EQ(Entry(kSizeList, 3), "640 x 400");
    EXPECT_EQ(Entry(kSizeList, 4), "Custom");
    EXPECT_EQ(Value(kSizeList), 3);
    EXPECT_FALSE(ApplyEnabled());

    ASSERT_EQ(TavlinHost_DialogSelectEntry(dialog_, kSizeList, 4), 1);
    ASSERT_TRUE(Type(1041, "320"));
    ASSERT_TRUE(Type(1042, "240"));
    ASSERT_EQ(TavlinHost_DialogClick(dialog_, kApply), 1);
    EXPECT_EQ(TavlinHost_DialogGetEntryCount(dialog_, kSizeList), 6);
    EXPECT_EQ(Entry(kSizeList, 4), "320 x 240");

    // Editing a preset replaces its entry.
    ASSERT_EQ(TavlinHost_DialogSelectEntry(dialog_, kSizeList, 0), 1);
    ASSERT_TRUE(Type(1042, "360"));
    EXPECT_EQ(CloseWith(1), 1);

    const settings::PresetList stored = Stored();
    EXPECT_EQ(stored.presetCount, 5);
    EXPECT_EQ(stored.presets[3].width, 640);
    EXPECT_EQ(stored.presets[3].height, 400);
    EXPECT_EQ(stored.presets[4].width, 320);
    EXPECT_EQ(stored.presets[4].bufferCount, 4);
    EXPECT_EQ(stored.presets[0].height, 360);
    EXPECT_EQ(stored.sizeIndex, 0);
    // OK took the saved size over.
    EXPECT_EQ(Tavlin_Width(camera_), 640);
    EXPECT_EQ(Tavlin_Height(camera_), 360);
}

TEST_F(StreamFormatDialogTest, AFullTableHasNoRoomForTheCustomSize) {
    settings::PresetList list;
    for (int32_t i = 0; i < settings::kMaxSizePresets; ++i) {
        list.presets[size_t(i)] = Preset(16 + i * 8, 16 + i * 8);
    }
    list.presetCount = settings::kMaxSizePresets;
    list.sizeIndex = 5;
    Store(list);
    OpenDialog(Tavlin_SetCameraDlg);
    ASSERT_EQ(TavlinHost_DialogGetEntryCount(dialog_, kSizeList), 101);
    ASSERT_EQ(TavlinHost_DialogSelectEntry(dialog_, kSizeList, 100), 1);
    ASSERT_TRUE(Type(1041, "640"));
    ASSERT_TRUE(Type(1042, "480"));
    ASSERT_EQ(TavlinHost_DialogSelectEntry(dialog_, kClockList, 0), 1);
    ASSERT_EQ(TavlinHost_DialogClick(dialog_, kApply), 1);
    EXPECT_EQ(TavlinHost_DialogGetEntryCount(dialog_, kSizeList), 101);
    EXPECT_EQ(Value(kSizeList), 5);
    EXPECT_EQ(Text(1041), "56");
    EXPECT_EQ(CloseWith(1), 1);

    const settings::PresetList stored = Stored();
    EXPECT_EQ(stored.presetCount, 100);
    EXPECT_EQ(stored.sizeIndex, 5);
    EXPECT_EQ(stored.clockIndex, 0);  // the rest was saved
    EXPECT_EQ(stored.presets[99].width, 16 + 99 * 8);
    settings::RegistryKey key;
    const std::string beyond = std::string(settings::kRootKey) + "\\" +
                               settings::CameraKeyName(kDevice) + "\\" +
                               settings::PresetKeyName(100);
    EXPECT_EQ(
        settings::RegistryStore::ForCurrentUser().OpenKey(beyond, settings::RegAccess::Read, key),
        settings::RegResult::NotFound);
}

TEST_F(StreamFormatDialogTest, AnUnknownStoredSubSampleShowsFullSize) {
    settings::PresetList list = ThreePresets();
    list.subSampleIndex = 7;
    Store(list);
    OpenDialog(Tavlin_SetCameraDlg);
    EXPECT_EQ(Value(kSubSampleList), 0);
    EXPECT_EQ(Entry(kSubSampleList, 0), "1/1");
    EXPECT_EQ(CloseWith(2), 1);
}

TEST_F(StreamFormatDialogTest, TextsFollowTheLanguage) {
    OpenDialog(Tavlin_SetCameraDlg);
    EXPECT_EQ(TavlinHost_DialogGetResourceId(dialog_), 106);
    EXPECT_EQ(Entry(kColorList, 1), "Monochrome 10bit *");
    EXPECT_EQ(Entry(kClockList, 0), "Nomal(24MHz)");
    EXPECT_EQ(Entry(kClockList, 2), "High(48MHz)");
    EXPECT_EQ(CloseWith(2), 1);

    setenv("LC_ALL", "ja_JP.UTF-8", 1);
    OpenDialog(Tavlin_SetCameraDlg);
    unsetenv("LC_ALL");
    EXPECT_EQ(TavlinHost_DialogGetResourceId(dialog_), 101);
    char title[64] = {};
    TavlinHost_DialogGetTitle(dialog_, title, sizeof title);
    EXPECT_STREQ(title, "プロパティ");
    EXPECT_EQ(Entry(kColorList, 1), "白黒 10bit ※");
    EXPECT_EQ(Entry(kClockList, 2), "高速(48MHz)");
    EXPECT_EQ(Entry(1001, 0), "ストリーム形式");
    EXPECT_EQ(Text(kApply), "適用(&A)");
    // A text getter never cuts a character in half: "プ" is three bytes.
    char small[5] = {};
    EXPECT_EQ(TavlinHost_DialogGetTitle(dialog_, small, sizeof small), 15);
    EXPECT_STREQ(small, "プ");
    EXPECT_EQ(CloseWith(2), 1);
}

TEST_F(StreamFormatDialogTest, CancelRestartsTheStoppedPreviewWithoutReloading) {
    ASSERT_EQ(Tavlin_SetSubSample(camera_, 3), 1);
    StartPreview();
    OpenDialog(Tavlin_SetCameraDlg);
    EXPECT_EQ(FramesWithin(150), 0);  // stopped while the dialog is open
    ASSERT_EQ(TavlinHost_DialogSelectEntry(dialog_, kColorList, 0), 1);
    ASSERT_EQ(TavlinHost_DialogClick(dialog_, kApply), 1);  // saved, but not taken over
    EXPECT_EQ(CloseWith(2), 1);
    EXPECT_EQ(Stored().colorIndex, 0);
    EXPECT_EQ(Tavlin_GetColorMode(camera_), 24);
    EXPECT_TRUE(Eventually([&] { return FramesWithin(50) > 0; }));
}

TEST_F(StreamFormatDialogTest, OkTakesTheFormatOverAndRestartsThePreview) {
    ASSERT_EQ(Tavlin_SetSubSample(camera_, 3), 1);
    StartPreview();
    OpenDialog(Tavlin_SetCameraDlg);
    ASSERT_EQ(TavlinHost_DialogSelectEntry(dialog_, kColorList, 0), 1);
    ASSERT_EQ(TavlinHost_DialogSelectEntry(dialog_, kSubSampleList, 2), 1);
    EXPECT_EQ(CloseWith(1), 1);
    EXPECT_EQ(Tavlin_GetColorMode(camera_), 8);
    EXPECT_EQ(Tavlin_GetSubSample(camera_), 2);
    TavlinMessage m;
    ASSERT_TRUE(Eventually([&] {
        return NextFrameMessage(m, 100) && m.wParam != 0 &&
               reinterpret_cast<const TavlinFrameInfo*>(m.wParam)->bitsPerPixel == 8;
    }));
    EXPECT_EQ(reinterpret_cast<const TavlinFrameInfo*>(m.wParam)->width, 1280 / 4);
}

TEST_F(StreamFormatDialogTest, CaptureAndTriggerModesResumeAfterTheDialog) {
    ASSERT_EQ(Tavlin_SetSubSample(camera_, 3), 1);
    ASSERT_EQ(Tavlin_Capture(camera_), 1);
    OpenDialog(Tavlin_SetCameraDlg);
    EXPECT_EQ(CloseWith(2), 1);
    EXPECT_EQ(Tavlin_StartPreview(camera_), 0);  // capture mode again: no preview on top
    EXPECT_EQ(Errors(), std::vector<int32_t>{1});
    ASSERT_EQ(Tavlin_Close(camera_), 1);

    ASSERT_EQ(Tavlin_Trigger(camera_, frames_, nullptr, 0, 0), 1);
    OpenDialog(Tavlin_SetCameraDlg);
    EXPECT_EQ(CloseWith(1), 1);
    TavlinMessage m;
    EXPECT_TRUE(Eventually([&] {
        TavlinVcam_Trigger(kDevice, 1);
        return NextFrameMessage(m, 100) && m.wParam != 0;
    }));
}

}  // namespace
}  // namespace tavlin::test
