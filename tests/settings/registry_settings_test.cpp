#include "settings/registry_settings.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>

#include "settings/preset_list.h"
#include "settings/registry_store.h"
#include "settings/settings_keys.h"
#include "support/child_process.h"
#include "temp_folder.h"

namespace tavlin::settings {
namespace {

class RegistrySettingsTest : public TempFolderTest {
  protected:
    void SetUp() override {
        TempFolderTest::SetUp();
        storePath_ = (folder_ / "config" / "tavlin" / "registry.reg").string();
    }

    RegistryStore Store() const { return RegistryStore(storePath_); }

    // Writes values into a key below the settings root, as another program might have left them.
    void Put(const std::string& key,
             std::initializer_list<std::pair<const char*, int32_t>> values) {
        RegistryKey handle;
        ASSERT_EQ(Store().CreateKey(std::string(kRootKey) + "\\" + key, handle),
                  RegResult::Success);
        for (const auto& [name, value] : values)
            handle.SetValue(name, static_cast<uint32_t>(value));
        ASSERT_EQ(handle.Close(), RegResult::Success);
    }

    bool HasKey(const std::string& key) const {
        RegistryKey handle;
        return Store().OpenKey(std::string(kRootKey) + (key.empty() ? "" : "\\" + key),
                               RegAccess::Read, handle) == RegResult::Success;
    }

    std::optional<int32_t> Get(const std::string& key, const char* name) const {
        RegistryKey handle;
        uint32_t value = 0;
        if (Store().OpenKey(std::string(kRootKey) + "\\" + key, RegAccess::Read, handle) !=
                RegResult::Success ||
            handle.QueryValue(name, value) != RegResult::Success) {
            return std::nullopt;
        }
        return static_cast<int32_t>(value);
    }

    std::string storePath_;
};

TEST_F(RegistrySettingsTest, FreshAccountGetsTheDefaultTree) {
    SizePreset preset;
    preset.width = 640;  // must stay: nothing is loaded on first use
    EXPECT_FALSE(LoadSizePreset(0, preset, Store()));
    EXPECT_EQ(preset.width, 640);

    EXPECT_EQ(Get("Camera_00", "Size"), 0);
    EXPECT_EQ(Get("Camera_00", "Color"), 2);
    EXPECT_EQ(Get("Camera_00", "SubSample"), 0);
    EXPECT_EQ(Get("Camera_00", "WaitTime"), 1);
    EXPECT_EQ(Get("Camera_00", "Clock"), 2);
    EXPECT_EQ(Get("Camera_00\\Size_00", "TH"), 1280);
    EXPECT_EQ(Get("Camera_00\\Size_00", "TV"), 1024);
    EXPECT_EQ(Get("Camera_00\\Size_00", "EH"), 1280);
    EXPECT_EQ(Get("Camera_00\\Size_00", "EV"), 1024);
    EXPECT_EQ(Get("Camera_00\\Size_00", "EHS"), 0);
    EXPECT_EQ(Get("Camera_00\\Size_00", "EVS"), 0);
    EXPECT_EQ(Get("Camera_00\\Size_00", "Buf"), 4);
    EXPECT_FALSE(HasKey("Camera_00\\Gain"));
    EXPECT_FALSE(HasKey("Camera_00\\Filter"));
    EXPECT_FALSE(HasKey("Camera_00\\Gray"));

    // The next start loads what the first one created.
    EXPECT_TRUE(LoadSizePreset(0, preset, Store()));
    EXPECT_EQ(preset.width, 1280);
    FormatSettings format;
    EXPECT_TRUE(LoadFormat(0, format, Store()));
    EXPECT_EQ(format.colorMode, 2);
    EXPECT_EQ(format.subSample, 0);
    EXPECT_EQ(format.waitTime, 1);
    EXPECT_EQ(format.clockMode, 2);
}

TEST_F(RegistrySettingsTest, OnlyAMissingRootCreatesTheTree) {
    SizePreset preset;
    EXPECT_FALSE(LoadSizePreset(12, preset, Store()));
    EXPECT_TRUE(HasKey("Camera_12\\Size_00"));
    // With the root present, a missing camera key is not created.
    EXPECT_FALSE(LoadSizePreset(3, preset, Store()));
    EXPECT_FALSE(HasKey("Camera_03"));
    FormatSettings format;
    EXPECT_FALSE(LoadFormat(3, format, Store()));
    EXPECT_EQ(format.waitTime, 10);
}

TEST_F(RegistrySettingsTest, SizeSelectsAPresetThatMustExist) {
    Put("Camera_00", {{"Size", 3}});
    Put("Camera_00\\Size_00", {{"EH", 640}});
    SizePreset preset;
    EXPECT_FALSE(LoadSizePreset(0, preset, Store()));
    EXPECT_EQ(preset.width, 1280);
    EXPECT_EQ(preset.height, 1024);

    Put("Camera_00\\Size_03", {{"EH", 320}, {"EV", 240}, {"EHS", 8}, {"Buf", 9}});
    preset.totalWidth = 77;
    EXPECT_TRUE(LoadSizePreset(0, preset, Store()));
    EXPECT_EQ(preset.width, 320);
    EXPECT_EQ(preset.height, 240);
    EXPECT_EQ(preset.startX, 8);
    EXPECT_EQ(preset.bufferCount, 9);
    EXPECT_EQ(preset.totalWidth, 77);  // missing value: field unchanged
}

TEST_F(RegistrySettingsTest, StoredValuesLoadUnchecked) {
    Put("Camera_00", {{"Color", 7}, {"WaitTime", -5}, {"SubSample", 18}});
    FormatSettings format;
    EXPECT_TRUE(LoadFormat(0, format, Store()));
    EXPECT_EQ(format.colorMode, 7);
    EXPECT_EQ(format.waitTime, -5);
    EXPECT_EQ(format.subSample, 18);
    EXPECT_EQ(format.clockMode, 0);  // absent: unchanged
}

TEST_F(RegistrySettingsTest, MissingGainValuesRepeatThePreviousOne) {
    Put("Camera_00\\Gain", {{"Global", 20}, {"Exposure", 500}});
    AnalogSettings analog;
    EXPECT_TRUE(LoadAnalog(0, MirrorFlags{1, 1}, analog, Store()));
    EXPECT_EQ(analog.globalGain, 20);
    EXPECT_EQ(analog.colorGainG1, 20);
    EXPECT_EQ(analog.colorGainR, 20);
    EXPECT_EQ(analog.colorGainB, 20);
    EXPECT_EQ(analog.colorGainG2, 20);
    EXPECT_EQ(analog.exposure, 500);
    EXPECT_EQ(analog.mirrorV, 500);
    EXPECT_EQ(analog.mirrorH, 500);
    EXPECT_EQ(analog.autoIris, 500);

    Put("Camera_01\\Gain", {{"ColorR", 33}});
    EXPECT_TRUE(LoadAnalog(1, MirrorFlags{}, analog, Store()));
    EXPECT_EQ(analog.globalGain, 0);  // the carried value starts at 0
    EXPECT_EQ(analog.colorGainG1, 0);
    EXPECT_EQ(analog.colorGainR, 33);
    EXPECT_EQ(analog.autoIris, 33);
}

TEST_F(RegistrySettingsTest, MissingGainGivesSensorDefaultsAndDeviceMirrors) {
    Put("Camera_00", {{"Size", 0}});
    AnalogSettings analog;
    analog.autoIris = 9;
    EXPECT_TRUE(LoadAnalog(0, MirrorFlags{1, 0}, analog, Store()));
    EXPECT_EQ(analog.globalGain, 14);
    EXPECT_EQ(analog.colorGainG2, 14);
    EXPECT_EQ(analog.exposure, 1049);
    EXPECT_EQ(analog.mirrorV, 1);
    EXPECT_EQ(analog.mirrorH, 0);
    EXPECT_EQ(analog.autoIris, 0);
}

TEST_F(RegistrySettingsTest, MissingFilterResetsFilterAndWhiteBalance) {
    FilterSettings filter;
    filter.brightness = 50;
    filter.gray.grayGainR = 77;
    filter.whiteBalance = {1, 1, 1};
    filter.grayAutoRequest = 1;
    EXPECT_FALSE(LoadFilter(0, filter, Store()));
    EXPECT_EQ(filter.brightness, 0);
    EXPECT_EQ(filter.bayerGainR, 100);
    EXPECT_EQ(filter.bayerGainG, 100);
    EXPECT_EQ(filter.bayerGainB, 100);
    EXPECT_EQ(filter.gamma, 100);
    EXPECT_EQ(filter.bayerMode, 3);
    EXPECT_EQ(filter.whiteBalance.bayerGainAuto, 0);
    EXPECT_EQ(filter.whiteBalance.onceMarkA, 0);
    EXPECT_EQ(filter.whiteBalance.onceMarkB, 0);
    EXPECT_EQ(filter.gray.grayGainR, 77);  // the gray block is not the image filter's
    EXPECT_EQ(filter.grayAutoRequest, 1);
}

TEST_F(RegistrySettingsTest, PartialFilterKeepsTheOtherFields) {
    Put("Camera_00\\Filter", {{"Gamma", 150}});
    FilterSettings filter;
    filter.brightness = -20;
    filter.bayerGainR = 250;
    filter.bayerMode = 1;
    filter.whiteBalance.bayerGainAuto = 1;
    EXPECT_TRUE(LoadFilter(0, filter, Store()));
    EXPECT_EQ(filter.gamma, 150);
    EXPECT_EQ(filter.brightness, -20);
    EXPECT_EQ(filter.bayerGainR, 250);
    EXPECT_EQ(filter.bayerMode, 1);
    EXPECT_EQ(filter.whiteBalance.bayerGainAuto, 1);
}

TEST_F(RegistrySettingsTest, GrayDefaultsAndPartialKey) {
    GraySettings gray;
    gray.grayOffsetB = -9;
    EXPECT_FALSE(LoadGray(0, gray, Store()));
    EXPECT_EQ(gray.grayMode, 0);
    EXPECT_EQ(gray.grayGainR, 128);
    EXPECT_EQ(gray.grayGainG1, 128);
    EXPECT_EQ(gray.grayGainG2, 128);
    EXPECT_EQ(gray.grayGainB, 128);
    EXPECT_EQ(gray.grayOffsetB, 0);

    Put("Camera_00\\Gray", {{"GainB1", 5}, {"OffsetR1", -100}});
    gray.grayMode = 2;
    EXPECT_TRUE(LoadGray(0, gray, Store()));
    EXPECT_EQ(gray.grayGainB, 5);
    EXPECT_EQ(gray.grayOffsetR, -100);
    EXPECT_EQ(gray.grayMode, 2);
}

TEST_F(RegistrySettingsTest, SavedSettingsLoadBackUnderTheirOwnNumber) {
    AnalogSettings analog{1, 2, 3, 4, 5, 16383, 1, 0, 1};
    FilterSettings filter;
    filter.brightness = -255;
    filter.hue = 360;
    filter.bayerGainB = 400;
    filter.bayerMode = 2;
    filter.gray = GraySettings{2, 1, 2, 3, 4, -1, -2, -3, -4};
    EXPECT_TRUE(SaveAnalog(1, analog, Store()));
    EXPECT_TRUE(SaveFilter(1, filter, Store()));
    EXPECT_TRUE(SaveGray(1, filter.gray, Store()));
    EXPECT_EQ(Get("Camera_01\\Gain", "ColorG2"), 5);
    EXPECT_EQ(Get("Camera_01\\Filter", "B_Gain"), 400);
    EXPECT_EQ(Get("Camera_01\\Gray", "OffsetB1"), -4);
    EXPECT_FALSE(HasKey("Camera_00"));

    AnalogSettings loadedAnalog;
    EXPECT_TRUE(LoadAnalog(1, MirrorFlags{}, loadedAnalog, Store()));
    EXPECT_EQ(loadedAnalog.colorGainR, 3);
    EXPECT_EQ(loadedAnalog.exposure, 16383);
    EXPECT_EQ(loadedAnalog.mirrorH, 0);
    EXPECT_EQ(loadedAnalog.autoIris, 1);
    FilterSettings loaded;
    EXPECT_TRUE(LoadFilter(1, loaded, Store()));
    EXPECT_TRUE(LoadGray(1, loaded.gray, Store()));
    EXPECT_EQ(loaded.brightness, -255);
    EXPECT_EQ(loaded.hue, 360);
    EXPECT_EQ(loaded.bayerMode, 2);
    EXPECT_EQ(loaded.gray.grayOffsetG2, -3);
    EXPECT_EQ(loaded.gray.grayMode, 2);
}

TEST_F(RegistrySettingsTest, SavesThatCannotReachTheDiskFail) {
    std::ofstream(folder_ / "plainfile") << "x";
    const RegistryStore broken((folder_ / "plainfile" / "tavlin" / "registry.reg").string());
    EXPECT_FALSE(SaveAnalog(0, AnalogSettings{}, broken));
    EXPECT_FALSE(SaveFilter(0, FilterSettings{}, broken));
    EXPECT_FALSE(SaveGray(0, GraySettings{}, broken));
    EXPECT_FALSE(SavePresetList(0, PresetList{}, broken));
    // Loads fall back to their defaults.
    AnalogSettings analog;
    EXPECT_TRUE(LoadAnalog(0, MirrorFlags{}, analog, broken));
    EXPECT_EQ(analog.exposure, 1049);
    SizePreset preset;
    EXPECT_FALSE(LoadSizePreset(0, preset, broken));
}

TEST_F(RegistrySettingsTest, PresetListStopsAtTheFirstGap) {
    Put("Camera_02", {{"Size", 1}, {"Color", 4}, {"WaitTime", 30}});
    Put("Camera_02\\Size_00", {{"EH", 1280}, {"EV", 1024}});
    Put("Camera_02\\Size_01", {{"EH", 640}, {"EV", 480}, {"EHS", 16}});
    Put("Camera_02\\Size_02", {{"EH", 640}, {"EV", 480}, {"EHS", 32}});
    Put("Camera_02\\Size_04", {{"EH", 320}, {"EV", 240}});
    PresetList list;
    EXPECT_TRUE(LoadPresetList(2, list, Store()));
    EXPECT_EQ(list.presetCount, 3);
    EXPECT_EQ(list.presets[1].startX, 16);
    EXPECT_EQ(list.presets[1].totalWidth, 1280);  // missing: the preset's initial value
    EXPECT_EQ(list.sizeIndex, 1);
    EXPECT_EQ(list.colorIndex, 4);
    EXPECT_EQ(list.waitTimeValue, 30);
    EXPECT_EQ(list.clockIndex, 2);

    SizePreset found;
    EXPECT_TRUE(FindSizePreset(2, 640, 480, found, Store()));
    EXPECT_EQ(found.startX, 16);                                // the first match wins
    EXPECT_FALSE(FindSizePreset(2, 320, 240, found, Store()));  // beyond the gap
    EXPECT_FALSE(FindSizePreset(5, 1280, 1024, found, Store()));

    PresetList missing;
    missing.presetCount = 7;
    EXPECT_FALSE(LoadPresetList(5, missing, Store()));
    EXPECT_EQ(missing.presetCount, 7);
}

TEST_F(RegistrySettingsTest, PresetListSaveKeepsHigherPresets) {
    Put("Camera_00\\Size_03", {{"EH", 100}});
    PresetList list;
    list.presetCount = 2;
    list.presets[1].width = 800;
    list.sizeIndex = 1;
    list.clockIndex = 0;
    EXPECT_TRUE(SavePresetList(0, list, Store()));
    EXPECT_EQ(Get("Camera_00\\Size_00", "EH"), 1280);
    EXPECT_EQ(Get("Camera_00\\Size_01", "EH"), 800);
    EXPECT_EQ(Get("Camera_00\\Size_01", "Buf"), 4);
    EXPECT_FALSE(HasKey("Camera_00\\Size_02"));
    EXPECT_EQ(Get("Camera_00\\Size_03", "EH"), 100);
    EXPECT_EQ(Get("Camera_00", "Size"), 1);
    EXPECT_EQ(Get("Camera_00", "Clock"), 0);
    EXPECT_EQ(Get("Camera_00", "WaitTime"), 1);

    // A count past the table writes the table and nothing beyond it.
    list.presetCount = 150;
    EXPECT_TRUE(SavePresetList(0, list, Store()));
    EXPECT_TRUE(HasKey("Camera_00\\Size_99"));
    EXPECT_FALSE(HasKey("Camera_00\\Size_100"));
    PresetList reloaded;
    EXPECT_TRUE(LoadPresetList(0, reloaded, Store()));
    EXPECT_EQ(reloaded.presetCount, kMaxSizePresets);
}

TEST_F(RegistrySettingsTest, ProcessesSavingDifferentCamerasLoseNothing) {
    constexpr int kCameras = 3;
    constexpr int kRounds = 15;
    std::vector<std::unique_ptr<test::ChildProcess>> savers;
    for (int camera = 1; camera <= kCameras; ++camera) {
        savers.push_back(std::make_unique<test::ChildProcess>());
        ASSERT_TRUE(savers.back()->Start(
            "settings_saver", {storePath_, std::to_string(camera), std::to_string(kRounds)}));
    }
    for (auto& saver : savers) {
        EXPECT_EQ(saver->ReadLine(), "ok");
        EXPECT_EQ(saver->Wait(), 0);
    }
    for (int camera = 1; camera <= kCameras; ++camera) {
        AnalogSettings analog;
        FilterSettings filter;
        EXPECT_TRUE(LoadAnalog(camera, MirrorFlags{}, analog, Store()));
        EXPECT_TRUE(LoadFilter(camera, filter, Store()));
        EXPECT_TRUE(LoadGray(camera, filter.gray, Store()));
        EXPECT_EQ(analog.globalGain, camera);
        EXPECT_EQ(analog.exposure, 1000 * camera + kRounds - 1);
        EXPECT_EQ(filter.gamma, 100 + camera);
        EXPECT_EQ(filter.hue, kRounds - 1);
        EXPECT_EQ(filter.gray.grayGainB, 200 + camera);
    }
}

TEST(SettingsKeysTest, NamesUseAtLeastTwoDigits) {
    EXPECT_EQ(CameraKeyName(0), "Camera_00");
    EXPECT_EQ(CameraKeyName(7), "Camera_07");
    EXPECT_EQ(CameraKeyName(31), "Camera_31");
    EXPECT_EQ(CameraKeyName(123), "Camera_123");
    EXPECT_EQ(PresetKeyName(99), "Size_99");
    EXPECT_EQ(PresetKeyName(5), "Size_05");
}

}  // namespace
}  // namespace tavlin::settings
