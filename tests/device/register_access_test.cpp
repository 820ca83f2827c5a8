#include <gtest/gtest.h>

#include "device/tavlin_410qz_sdk.h"
#include "device_test_support.h"

namespace tavlin::device {
namespace {

using testing::AttachedCameras;
using testing::Wire;
using Lines = std::vector<std::string>;

class RegisterAccess : public ::testing::Test {
  protected:
    void SetUp() override { TavlinVcam_ClearTrace(0); }
    AttachedCameras cameras{0};
    CTavlin410QZVKESdk sdk;
};

TEST_F(RegisterAccess, NumbersAndValuesKeepTheirLowBits) {
    TavlinVcam_ClearTrace(0);
    ASSERT_EQ(sdk.WriteSensorRegister(0x109, 0x12345), Status::Ok);
    uint16_t value = 0;
    ASSERT_EQ(sdk.ReadSensorRegister(0x109, &value), Status::Ok);
    EXPECT_EQ(value, 0x2345);
    ASSERT_EQ(sdk.WriteIOPort(0x1A5), Status::Ok);
    uint8_t port = 0;
    ASSERT_EQ(sdk.ReadIOPort(&port), Status::Ok);
    EXPECT_EQ(port, 0xA5);
    EXPECT_EQ(Wire(0), (Lines{"cmd 04 09 23 45", "cmd 0C 09", "reply", "reply", "cmd 25 07 A5",
                              "cmd 26 07", "reply", "reply"}));
}

TEST_F(RegisterAccess, NullOutputsSendNothing) {
    TavlinVcam_ClearTrace(0);
    EXPECT_EQ(sdk.ReadSensorRegister(9, nullptr), Status::BadArgument);
    EXPECT_EQ(sdk.ReadIOPort(nullptr), Status::BadArgument);
    EXPECT_EQ(sdk.ReadSromID(0, nullptr), Status::BadArgument);
    EXPECT_TRUE(Wire(0).empty());
}

TEST_F(RegisterAccess, SromIdentificationBytes) {
    TavlinVcam_ClearTrace(0);
    ASSERT_EQ(sdk.WriteSromID(0x120, 0x1C3), Status::Ok);  // index and value use their low 8 bits
    uint8_t value = 0;
    ASSERT_EQ(sdk.ReadSromID(0x20, &value), Status::Ok);
    EXPECT_EQ(value, 0xC3);
    EXPECT_EQ(Wire(0), (Lines{"cmd 40 51 03 18 20 C3", "cmd 41 51 02 01 18 20", "reply", "reply"}));
    uint8_t stored = 0;
    ASSERT_EQ(TavlinVcam_ReadSrom(0, 0x1820, &stored), 1);
    EXPECT_EQ(stored, 0xC3);
}

TEST_F(RegisterAccess, SromBelowTheIdentificationAreaIsRefused) {
    TavlinVcam_ClearTrace(0);
    uint8_t value = 7;
    EXPECT_EQ(sdk.ReadSromByte(0x17FF, &value), Status::BadArgument);
    EXPECT_EQ(value, 0);
    EXPECT_EQ(sdk.ReadSromByte(0x10000, &value), Status::BadArgument);
    EXPECT_EQ(sdk.ReadSromByte(-5, &value), Status::BadArgument);
    EXPECT_TRUE(Wire(0).empty());
    ASSERT_EQ(sdk.ReadSromByte(0x1EB0, &value), Status::Ok);
    EXPECT_EQ(value, 1);  // the camera's colour-variant byte
}

TEST_F(RegisterAccess, FailedReadsReportZero) {
    TavlinVcam_FailNext(0, TAVLIN_VCAM_FAULT_REPLY_READ, 2);
    uint16_t value = 5;
    EXPECT_EQ(sdk.ReadSensorRegister(9, &value), Status::Failed);
    EXPECT_EQ(value, 0);
    TavlinVcam_Detach(0);
    EXPECT_EQ(sdk.WriteIOPort(1), Status::NoDevice);
}

}  // namespace
}  // namespace tavlin::device
