// Settings and filter values through the C ABI, checked against the virtual camera's registers.
#include <fstream>

#include "integration/sdk_fixture.h"
#include "settings/registry_store.h"

namespace tavlin::test {
namespace {

uint16_t SensorRegister(int reg) {
    uint16_t value = 0;
    EXPECT_EQ(TavlinVcam_ReadSensorRegister(0, reg, &value), 1);
    return value;
}

using SettingsTest = SdkTest;

// Sensor register writes (command 0x04: register, value high, value low) in the packet trace.
std::vector<std::pair<int, int>> SensorWrites() {
    uint32_t count = 0;
    TavlinVcam_GetTraceCount(0, &count);
    std::vector<TavlinVcamTraceEntry> entries(count);
    if (count > 0) TavlinVcam_GetTrace(0, 0, entries.data(), count);
    std::vector<std::pair<int, int>> writes;
    for (const auto& e : entries) {
        if (e.pipe == 0 && e.succeeded && e.data[0] == 0x04) {
            writes.emplace_back(e.data[1], (e.data[2] << 8) | e.data[3]);
        }
    }
    return writes;
}

TEST_F(SettingsTest, FreshAccountDefaults) {
    EXPECT_EQ(Tavlin_GetColorMode(camera_), 24);
    EXPECT_EQ(Tavlin_GetWaitTime(camera_), 1);
    int32_t tw = 0, sx = -1, w = 0, th = 0, sy = -1, h = 0;
    EXPECT_EQ(Tavlin_GetCaptureWindowEx(camera_, &tw, &sx, &w, &th, &sy, &h), 1);
    EXPECT_EQ(std::vector<int32_t>({tw, sx, w, th, sy, h}),
              std::vector<int32_t>({1280, 0, 1280, 1024, 0, 1024}));
    EXPECT_TRUE(std::filesystem::exists(home_ / "tavlin" / "registry.reg"));
}

TEST_F(SettingsTest, CaptureWindowRejectedButKept) {
    EXPECT_EQ(Tavlin_SetCaptureWindowEx(camera_, 1280, 100, 1280, 1024, 0, 1024), 0);
    EXPECT_EQ(Errors(), (std::vector<int32_t>{7}));
    int32_t sx = 0, w = 0;
    Tavlin_GetCaptureWindowEx(camera_, nullptr, &sx, &w, nullptr, nullptr, nullptr);
    EXPECT_EQ(sx, 100);
    EXPECT_EQ(w, 1280);
    EXPECT_EQ(Tavlin_SetSubSample(camera_, 2), 1);
    EXPECT_EQ(Tavlin_SetCaptureWindowEx(camera_, 1280, 0, 1280, 1024, 0, 1024), 1);
    EXPECT_EQ(Tavlin_Width(camera_), 1280);  // not divided by the sub-sampling
    // The sensor window was programmed: column start 20, 1/4 sub-sampling.
    EXPECT_EQ(SensorRegister(2), 20);
}

TEST_F(SettingsTest, PresetSearchHitMissAndInvalidPreset) {
    EXPECT_EQ(Tavlin_SetCaptureWindow(camera_, 640, 480), 0);
    EXPECT_EQ(Errors(), (std::vector<int32_t>{4}));
    {
        auto store = settings::RegistryStore::ForCurrentUser();
        settings::RegistryKey key;
        ASSERT_EQ(store.CreateKey("Software\\Korvel\\Tavlin410QZVKESdk\\Camera_00\\Size_01", key),
                  settings::RegResult::Success);
        const std::pair<const char*, int> values[] = {{"TH", 1280}, {"TV", 1024}, {"EH", 640},
                                                      {"EV", 480},  {"EHS", 700}, {"EVS", 0},
                                                      {"Buf", 6}};
        for (auto [name, value] : values) key.SetValue(name, static_cast<uint32_t>(value));
        ASSERT_EQ(key.Close(), settings::RegResult::Success);
    }
    EXPECT_EQ(Tavlin_SetCaptureWindow(camera_, 640, 480), 1);
    EXPECT_EQ(Errors(), (std::vector<int32_t>{7}));
    EXPECT_EQ(Tavlin_Width(camera_), 1280);
    EXPECT_EQ(Tavlin_Height(camera_), 1024);
}

TEST_F(SettingsTest, ColourModeAndCameraInformation) {
    EXPECT_EQ(Tavlin_SetColorMode(camera_, 16), 1);
    EXPECT_EQ(Tavlin_GetColorMode(camera_), 10);
    EXPECT_EQ(Tavlin_SetColorMode(camera_, 12), 0);
    TavlinCameraInfo info{};
    info.size = 32;
    EXPECT_EQ(Tavlin_GetCameraInfo(camera_, &info), 0);
    EXPECT_EQ(Tavlin_GetCameraInfo(camera_, nullptr), 0);
    EXPECT_EQ(Errors(), (std::vector<int32_t>{9, 5, 9}));
    info.size = 36;
    ASSERT_EQ(Tavlin_GetCameraInfo(camera_, &info), 1);
    EXPECT_EQ(std::vector<int32_t>({info.sensorWidth, info.sensorHeight, info.globalGainMin,
                                    info.globalGainMax, info.colorGainMin, info.colorGainMax,
                                    info.exposureMin, info.exposureMax}),
              std::vector<int32_t>({1280, 1024, 0, 63, 0, 63, 1, 16383}));
}

TEST_F(SettingsTest, MirrorsAndAutoIris) {
    EXPECT_EQ(Tavlin_SetMirrorH(camera_, 5), 1);
    EXPECT_EQ(Tavlin_GetMirrorH(camera_), 1);
    EXPECT_EQ(Tavlin_SetMirrorV(camera_, -3), 1);
    EXPECT_EQ(Tavlin_GetMirrorV(camera_), 1);
    EXPECT_EQ(Tavlin_SetAutoIris(camera_, 3), 0);
    TavlinMessage m{};
    ASSERT_EQ(TavlinHost_GetMessage(window_, &m, 1000), 1);
    EXPECT_EQ(m.lParam, 9);
    EXPECT_TRUE(Errors().empty());
}

TEST_F(SettingsTest, RangedFilterValuesRefuseOutOfRangeAndKeepTheOldValue) {
    EXPECT_EQ(Tavlin_SetBrightness(camera_, -255), 1);
    EXPECT_EQ(Tavlin_SetBrightness(camera_, 256), 0);
    int32_t ok = 0;
    EXPECT_EQ(Tavlin_GetBrightness(camera_, &ok), -255);
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(Tavlin_SetSharpness(camera_, -1), 0);
    EXPECT_EQ(Tavlin_SetFilterValue(camera_, 28, 2), 0);
    EXPECT_EQ(Tavlin_SetFilterValue(camera_, 28, 1), 1);
    EXPECT_EQ(Tavlin_SetFilterValue(camera_, 29, 0), 0);
    EXPECT_EQ(Tavlin_GetFilterValue(camera_, 0, &ok), 0);
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(Errors(), (std::vector<int32_t>{9, 9, 9, 9, 9}));
    // Bounds are inclusive on both sides for every ranged id.
    const struct {
        int id, lo, hi;
    } rows[] = {{1, -255, 255}, {2, -127, 127}, {3, -360, 360}, {4, -255, 255},
                {5, 0, 30},     {7, 0, 400},    {11, 0, 200},   {12, 0, 3},
                {19, 0, 2},     {20, 0, 255},   {24, -255, 255}};
    for (const auto& r : rows) {
        EXPECT_EQ(Tavlin_SetFilterValue(camera_, r.id, r.lo), 1) << r.id;
        EXPECT_EQ(Tavlin_SetFilterValue(camera_, r.id, r.hi), 1) << r.id;
        EXPECT_EQ(Tavlin_SetFilterValue(camera_, r.id, r.lo - 1), 0) << r.id;
        EXPECT_EQ(Tavlin_SetFilterValue(camera_, r.id, r.hi + 1), 0) << r.id;
        EXPECT_EQ(Tavlin_GetFilterValue(camera_, r.id, nullptr), r.hi) << r.id;
    }
}

TEST_F(SettingsTest, BayerGainPackingAndAutoFlag) {
    EXPECT_EQ(Tavlin_SetBayerGainRGB(camera_, int32_t(0x01FF8040)), 1);
    EXPECT_EQ(Tavlin_GetBayerGainRed(camera_, nullptr), 64);
    EXPECT_EQ(Tavlin_GetBayerGainGreen(camera_, nullptr), 128);
    EXPECT_EQ(Tavlin_GetBayerGainBlue(camera_, nullptr), 255);
    EXPECT_EQ(Tavlin_GetBayerGainRGB(camera_, nullptr), 0x00FF8040);
    EXPECT_EQ(Tavlin_SetBayerGainAuto(camera_, 5), 1);
    EXPECT_EQ(Tavlin_GetBayerGainAuto(camera_, nullptr), 1);
}

TEST_F(SettingsTest, SensorBackedValuesGoToTheirRegisters) {
    TavlinVcam_ClearTrace(0);
    EXPECT_EQ(Tavlin_SetColorGainRed(camera_, 30), 1);
    EXPECT_EQ(SensorRegister(45), 30);
    EXPECT_EQ(SensorWrites(), (std::vector<std::pair<int, int>>{{45, 30}}));
    TavlinVcam_ClearTrace(0);
    EXPECT_EQ(Tavlin_SetGlobalGain(camera_, 20), 1);
    EXPECT_EQ(SensorWrites(), (std::vector<std::pair<int, int>>{{53, 20}}));
    EXPECT_EQ(SensorRegister(53), 20);
    EXPECT_EQ(SensorRegister(45), 30);  // only the global register was written
    EXPECT_EQ(Tavlin_GetColorGainRed(camera_, nullptr), 30);  // read back from the sensor
    EXPECT_EQ(Tavlin_GetGlobalGain(camera_, nullptr), 20);
    EXPECT_EQ(Tavlin_SetColorGainBlue(camera_, 64), 0);
    EXPECT_EQ(Tavlin_SetExposureTime(camera_, 0), 0);
    EXPECT_EQ(Tavlin_SetExposureTime(camera_, 16384), 0);
    EXPECT_EQ(Tavlin_SetExposureTime(camera_, 16383), 1);
    EXPECT_EQ(SensorRegister(9), 16383);
    EXPECT_EQ(Tavlin_GetExposureTime(camera_, nullptr), 16383);
    EXPECT_EQ(Errors(), (std::vector<int32_t>{9, 9, 9}));
}

TEST_F(SettingsTest, RealExposureTimeFigures) {
    ASSERT_EQ(Tavlin_SetExposureTime(camera_, 1049), 1);
    Tavlin_SetHalfClock(camera_, 0);
    int32_t ok = 0;
    EXPECT_EQ(Tavlin_GetRealExposureTime(camera_, &ok), 66611);
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(Tavlin_SetRealExposureTime(camera_, 66612), 1);
    EXPECT_EQ(Tavlin_GetExposureTime(camera_, nullptr), 1049);
    EXPECT_EQ(Tavlin_SetRealExposureTime(camera_, 63), 0);
    EXPECT_EQ(Tavlin_SetRealExposureTime(camera_, 64), 1);
    EXPECT_EQ(Tavlin_GetExposureTime(camera_, nullptr), 1);
    EXPECT_EQ(Errors(), (std::vector<int32_t>{9}));
}

TEST_F(SettingsTest, SettingsSurviveReleaseUnderTheDeviceNumber) {
    ASSERT_EQ(TavlinVcam_Attach(1), 1);
    // A camera plugged in after initialisation is selectable once a list has been taken.
    EXPECT_EQ(Tavlin_SetDeviceNumber(camera_, 1), 0);
    std::vector<char> names(10 * TAVLIN_DEVICE_NAME_SLOT);
    EXPECT_EQ(Tavlin_EnumDevice(camera_, names.data()), 2);
    EXPECT_EQ(Tavlin_SetDeviceNumber(camera_, 5), 0);  // no camera there
    EXPECT_EQ(Errors(), (std::vector<int32_t>{2, 2}));
    ASSERT_EQ(Tavlin_SetGamma(camera_, 150), 1);
    ASSERT_EQ(Tavlin_SetDeviceNumber(camera_, 1), 1);
    ASSERT_EQ(Tavlin_SetGamma(camera_, 60), 1);
    ASSERT_EQ(Tavlin_Release(camera_), 1);
    camera_ = 0;
    auto store = settings::RegistryStore::ForCurrentUser();
    auto read = [&](const char* path) {
        uint32_t value = 0;
        settings::RegistryKey key;
        EXPECT_EQ(store.OpenKey(path, settings::RegAccess::Read, key), settings::RegResult::Success)
            << path;
        EXPECT_EQ(key.QueryValue("Gamma", value), settings::RegResult::Success);
        return value;
    };
    EXPECT_EQ(read("Software\\Korvel\\Tavlin410QZVKESdk\\Camera_00\\Filter"), 150u);
    EXPECT_EQ(read("Software\\Korvel\\Tavlin410QZVKESdk\\Camera_01\\Filter"), 60u);
}

TEST_F(SettingsTest, ConfigFilesAndWideNames) {
    const auto path = home_ / "pairs.bin";
    {
        std::ofstream out(path, std::ios::binary);
        const int32_t pairs[5] = {1, 2, 3, 4, 99};
        out.write(reinterpret_cast<const char*>(pairs), 20);
    }
    EXPECT_EQ(Tavlin_LoadConfigFileA(camera_, path.c_str()), 1);
    EXPECT_EQ(Tavlin_LoadConfigFileA(camera_, (home_ / "missing").c_str()), 0);
    const char16_t lone[] = {u'a', 0xD800, 0};
    EXPECT_EQ(Tavlin_LoadConfigFileW(camera_, lone), 0);
    EXPECT_EQ(Errors(), (std::vector<int32_t>{12}));
}

}  // namespace
}  // namespace tavlin::test
