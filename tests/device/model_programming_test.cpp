#include <gtest/gtest.h>

#include "device/tavlin_410qz_sdk.h"
#include "device_test_support.h"

namespace tavlin::device {
namespace {

using testing::AttachedCameras;
using testing::Wire;
using Lines = std::vector<std::string>;

uint16_t SensorRegister(int reg) {
    uint16_t value = 0;
    EXPECT_EQ(TavlinVcam_ReadSensorRegister(0, reg, &value), 1);
    return value;
}

uint8_t ControllerRegister(int reg) {
    uint8_t value = 0;
    EXPECT_EQ(TavlinVcam_ReadControllerRegister(0, reg, &value), 1);
    return value;
}

TEST(ModelSelection, ConstructionInitialisesTheCameraInOrder) {
    AttachedCameras cameras({0});
    CTavlin410QZVKESdk sdk;
    const Lines expected = {
        // sample width 8-bit
        "cmd 0A 01", "cmd 25 0E 00",
        // select
        "cmd 06",
        // sensor initialisation
        "cmd 04 0D 00 01", "cmd 04 0D 00 00", "cmd 0C 00", "reply", "reply", "cmd 04 2B 00 0E",
        "cmd 04 2C 00 0E", "cmd 04 2D 00 0E", "cmd 04 2E 00 0E", "cmd 04 35 00 0E",
        "cmd 04 29 00 01", "cmd 04 3F 00 00", "cmd 04 40 00 06", "cmd 04 4A 00 60",
        "cmd 04 4E 00 0C",
        // full window, no sub-sampling
        "cmd 0C 1E", "reply", "reply", "cmd 0C 20", "reply", "reply", "cmd 09 00 00 14 00",
        "cmd 04 01 00 0C", "cmd 04 02 00 14", "cmd 04 03 03 FF", "cmd 04 04 04 FF",
        "cmd 04 05 00 13", "cmd 04 06 00 19", "cmd 04 1E 80 00", "cmd 04 20 11 04", "cmd 25 00 00",
        "cmd 25 01 00", "cmd 25 02 14", "cmd 25 03 00",
        // trigger mode off
        "cmd 25 0B 00", "cmd 0C 1E", "reply", "reply", "cmd 04 1E 80 00"};
    EXPECT_EQ(Wire(0), expected);
    EXPECT_EQ(sdk.SelectedIndex(), 0);
    EXPECT_STREQ(sdk.DevicePath(), "\\\\.\\TvlnQZ410VKE-0");
    EXPECT_EQ(sdk.FrameBytes(), 1310720);
    EXPECT_EQ(sdk.RingBufferBytes(), 2621440u);
    EXPECT_EQ(SensorRegister(43), 14);
}

TEST(ModelSelection, WithoutCameraTheObjectStillExists) {
    CTavlin410QZVKESdk sdk;
    EXPECT_FALSE(sdk.IsPresent(0));
    EXPECT_EQ(sdk.FrameBytes(), 1310720);
    EXPECT_EQ(sdk.SelectCamera(33), Status::BadArgument);
    EXPECT_EQ(sdk.SelectCamera(-1), Status::BadArgument);
    EXPECT_EQ(sdk.SelectDevice(32), Status::Ok);  // 32 names a path; nothing answers there
    EXPECT_FALSE(sdk.IsPresent(32));
    EXPECT_FALSE(sdk.IsPresent(-1));
}

TEST(ProgramWindow, AlignsStartsAndCountsAndDividesTheGeometry) {
    AttachedCameras cameras({0});
    CTavlin410QZVKESdk sdk;
    TavlinVcam_ClearTrace(0);
    ASSERT_EQ(sdk.ProgramWindow(100, 51, 640, 480, 1), Status::Ok);
    EXPECT_EQ(sdk.LineWidth(), 320);
    EXPECT_EQ(sdk.FrameLines(), 240);
    EXPECT_EQ(sdk.FrameBytes(), 76800);
    EXPECT_EQ(sdk.RowStart(), 64);
    EXPECT_EQ(sdk.ColumnStart(), 120);
    EXPECT_EQ(sdk.RowCount(), 479);
    EXPECT_EQ(sdk.ColumnCount(), 639);
    EXPECT_EQ(SensorRegister(30), 0x8000);
    EXPECT_EQ(SensorRegister(32), 0x111C);  // bits 3-4 set on 0x1104
    EXPECT_EQ(ControllerRegister(0), 0x00);
    EXPECT_EQ(ControllerRegister(1), 0x2C);  // 76800 = 0x012C00
    EXPECT_EQ(ControllerRegister(2), 0x01);
    uint32_t transfer = 0;
    TavlinVcam_GetTransferSize(0, &transfer);
    EXPECT_EQ(transfer, 76800u);

    ASSERT_EQ(sdk.ProgramWindow(0, 0, 1280, 1024, 3), Status::Ok);
    EXPECT_EQ(sdk.LineWidth(), 160);
    EXPECT_EQ(sdk.FrameLines(), 128);
    EXPECT_EQ(sdk.RowStart(), 12);
    EXPECT_EQ(sdk.ColumnStart(), 20);
    EXPECT_EQ(sdk.RowCount(), 1023);
    EXPECT_EQ(sdk.ColumnCount(), 1279);
    EXPECT_EQ(SensorRegister(30), 0x8030);
    EXPECT_EQ(SensorRegister(32), 0x1104);
    ASSERT_EQ(sdk.ProgramWindow(0, 0, 1280, 1024, 2), Status::Ok);
    EXPECT_EQ(SensorRegister(30), 0x800C);
}

TEST(ProgramWindow, RefusesBadWindowsWithoutSendingAnything) {
    AttachedCameras cameras({0});
    CTavlin410QZVKESdk sdk;
    TavlinVcam_ClearTrace(0);
    EXPECT_EQ(sdk.ProgramWindow(1, 0, 1280, 1024, 0), Status::BadArgument);
    EXPECT_EQ(sdk.ProgramWindow(0, 0, 3, 1024, 0), Status::BadArgument);
    EXPECT_EQ(sdk.ProgramWindow(0, 1, 1280, 1024, 0), Status::BadArgument);
    EXPECT_EQ(sdk.ProgramWindow(-2, 0, 64, 64, 0), Status::BadArgument);
    EXPECT_EQ(sdk.ProgramWindow(0, 0, 64, 0, 0), Status::BadArgument);
    EXPECT_EQ(sdk.ProgramWindow(0, 0, 64, 64, 4), Status::BadArgument);
    EXPECT_EQ(sdk.ProgramWindow(0x7FFFFFF0, 0, 64, 64, 0), Status::BadArgument);
    EXPECT_TRUE(Wire(0).empty());
    EXPECT_EQ(sdk.LineWidth(), 1280);
}

// Stored settings may carry codes 17..19: 17 and 18 program the full read, 19 is refused.
TEST(ProgramWindow, StoredSubSampleCodes) {
    AttachedCameras cameras({0});
    CTavlin410QZVKESdk sdk;
    for (int32_t code : {17, 18}) {
        ASSERT_EQ(sdk.ProgramWindow(0, 0, 1280, 1024, code), Status::Ok) << code;
        EXPECT_EQ(sdk.LineWidth(), 1280) << code;
    }
    TavlinVcam_ClearTrace(0);
    EXPECT_EQ(sdk.ProgramWindow(0, 0, 640, 480, 19), Status::BadArgument);
    EXPECT_TRUE(Wire(0).empty());
}

TEST(TriggerMode, ControllerAndSensorBits) {
    AttachedCameras cameras({0});
    CTavlin410QZVKESdk sdk;
    TavlinVcam_ClearTrace(0);
    ASSERT_EQ(sdk.SetTriggerMode(1), Status::Ok);
    EXPECT_EQ(Wire(0), (Lines{"cmd 25 0B 01", "cmd 0C 1E", "reply", "reply", "cmd 04 1E 81 00"}));
    EXPECT_EQ(sdk.TriggerMode(), 1);
    ASSERT_EQ(sdk.SetTriggerMode(2), Status::Ok);
    EXPECT_EQ(ControllerRegister(11), 1);
    EXPECT_EQ(SensorRegister(30) & 0x0100, 0);
    TavlinVcam_FailNext(0, TAVLIN_VCAM_FAULT_COMMAND_SEND, 1);
    EXPECT_EQ(sdk.SetTriggerMode(0), Status::Failed);
    EXPECT_EQ(sdk.TriggerMode(), 2);
}

TEST(SampleWidth, FlagAlwaysOneRegisterFourteenDecides) {
    AttachedCameras cameras({0});
    CTavlin410QZVKESdk sdk;
    TavlinVcam_ClearTrace(0);
    EXPECT_EQ(sdk.SetSampleWidth(0), Status::Ok);
    EXPECT_EQ(sdk.SetSampleWidth(5), Status::Ok);
    EXPECT_EQ(Wire(0), (Lines{"cmd 0A 01", "cmd 25 0E 00", "cmd 0A 01", "cmd 25 0E 01"}));
    EXPECT_EQ(sdk.WideSamples(), 5);
}

TEST(GainsAndShutter, MaskAndClamp) {
    AttachedCameras cameras({0});
    CTavlin410QZVKESdk sdk;
    TavlinVcam_ClearTrace(0);
    sdk.SetShutter(0);
    sdk.SetShutter(20000);
    sdk.SetShutter(65537);
    sdk.SetGlobalGain(0x1FF);
    sdk.SetColourGain(45, 0x1F3);
    sdk.SetClockSetting(0x105);
    EXPECT_EQ(sdk.SetColourGain(42, 1), Status::BadArgument);
    EXPECT_EQ(sdk.SetColourGain(47, 1), Status::BadArgument);
    EXPECT_EQ(Wire(0), (Lines{"cmd 04 09 00 01", "cmd 04 09 3F FF", "cmd 04 09 00 01",
                              "cmd 04 35 00 7F", "cmd 04 2D 00 F3", "cmd 25 0F 05"}));
    int32_t gain = 0;
    EXPECT_EQ(sdk.GetColourGain(45, &gain), Status::Ok);
    EXPECT_EQ(gain, 0x73);
    EXPECT_EQ(sdk.GetGlobalGain(), 0x7F);
    int32_t shutter = 0;
    EXPECT_EQ(sdk.GetShutter(&shutter), Status::Ok);
    EXPECT_EQ(shutter, 1);
    EXPECT_EQ(sdk.GetShutter(nullptr), Status::BadArgument);
    EXPECT_EQ(sdk.ColourGainDefault(43, &gain), Status::Ok);
    EXPECT_EQ(gain, 14);
    EXPECT_EQ(sdk.ColourGainMinimum(53, &gain), Status::BadArgument);
}

}  // namespace
}  // namespace tavlin::device
