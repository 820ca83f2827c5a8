#include <gtest/gtest.h>

#include "device/driver_channel.h"
#include "device_test_support.h"

namespace tavlin::device {
namespace {

using testing::AttachedCameras;
using testing::ReadTrace;
using testing::Wire;

constexpr char kPath0[] = "\\\\.\\TvlnQZ410VKE-0";

TEST(DevicePath, AlphabetHasNBeforeM) {
    EXPECT_EQ(BuildDevicePath("TvlnQZ410VKE", 0), "\\\\.\\TvlnQZ410VKE-0");
    EXPECT_EQ(BuildDevicePath("P", 10), "\\\\.\\P-A");
    EXPECT_EQ(BuildDevicePath("P", 21), "\\\\.\\P-L");
    EXPECT_EQ(BuildDevicePath("P", 22), "\\\\.\\P-N");
    EXPECT_EQ(BuildDevicePath("P", 23), "\\\\.\\P-M");
    EXPECT_EQ(BuildDevicePath("P", 31), "\\\\.\\P-V");
    EXPECT_EQ(BuildDevicePath("P", 32), "\\\\.\\P-W");
    EXPECT_EQ(BuildDevicePath("P", -1), "");
    EXPECT_EQ(BuildDevicePath("P", 36), "");
}

TEST(PipeRequest, ChecksBufferBeforeHandle) {
    uint32_t got = 7;
    uint8_t byte = 0;
    EXPECT_EQ(PipeRequest(nullptr, protocol::kCodePipeInput, 0, nullptr, 64, &got),
              Status::BadArgument);
    EXPECT_EQ(PipeRequest(nullptr, protocol::kCodePipeInput, 0, &byte, 1, &got), Status::NoDevice);
    Packet packet{};
    EXPECT_EQ(SendCommand(nullptr, packet), Status::NoDevice);
    EXPECT_EQ(ReadReply(nullptr, packet), Status::NoDevice);
}

TEST(Transactions, NothingIsSentWhenTheOpenFails) {
    uint16_t value = 55;
    EXPECT_EQ(ReadSensorRegister(kPath0, 9, &value), Status::NoDevice);
    EXPECT_EQ(value, 0);
    EXPECT_EQ(WriteSensorRegister(kPath0, 9, 1), Status::NoDevice);
}

TEST(Transactions, RegisterPacketsAndCodes) {
    AttachedCameras cameras({0});
    ASSERT_EQ(WriteSensorRegister(kPath0, 9, 0x1234), Status::Ok);
    uint16_t value = 0;
    ASSERT_EQ(ReadSensorRegister(kPath0, 9, &value), Status::Ok);
    EXPECT_EQ(value, 0x1234);
    ASSERT_EQ(WriteControllerRegister(kPath0, 7, 0xA5), Status::Ok);
    uint8_t byte = 0;
    ASSERT_EQ(ReadControllerRegister(kPath0, 7, &byte), Status::Ok);
    EXPECT_EQ(byte, 0xA5);
    EXPECT_EQ(Wire(0), (std::vector<std::string>{"cmd 04 09 12 34", "cmd 0C 09", "reply", "reply",
                                                 "cmd 25 07 A5", "cmd 26 07", "reply", "reply"}));
    const auto trace = ReadTrace(0);
    EXPECT_EQ(trace[0].controlCode, protocol::kCodePipeInput);
    EXPECT_EQ(trace[2].controlCode, protocol::kCodePipeOutput);
    // Each transaction has its own handle.
    EXPECT_NE(trace[0].handle, trace[1].handle);
    EXPECT_EQ(trace[1].handle, trace[3].handle);
}

TEST(Transactions, FailedCommandSendReadsNoReply) {
    AttachedCameras cameras({0});
    TavlinVcam_FailNext(0, TAVLIN_VCAM_FAULT_COMMAND_SEND, 1);
    uint16_t value = 99;
    EXPECT_EQ(ReadSensorRegister(kPath0, 9, &value), Status::Failed);
    EXPECT_EQ(value, 0);
    EXPECT_EQ(ReadTrace(0).size(), 1u);
}

TEST(Transactions, OnlyTheSecondReplyReadDecides) {
    AttachedCameras cameras({0});
    TavlinVcam_FailNext(0, TAVLIN_VCAM_FAULT_REPLY_READ, 1);
    uint16_t value = 0;
    EXPECT_EQ(ReadSensorRegister(kPath0, 9, &value), Status::Ok);
    EXPECT_EQ(value, 1049);
    const auto trace = ReadTrace(0);
    ASSERT_EQ(trace.size(), 3u);
    EXPECT_FALSE(trace[1].succeeded);
    EXPECT_TRUE(trace[2].succeeded);

    TavlinVcam_FailNext(0, TAVLIN_VCAM_FAULT_REPLY_READ, 2);
    uint8_t byte = 1;
    EXPECT_EQ(ReadControllerRegister(kPath0, 2, &byte), Status::Failed);
    EXPECT_EQ(byte, 0);
}

TEST(Transactions, SromPacketsAndPauses) {
    AttachedCameras cameras({0});
    ASSERT_EQ(WriteSromByte(kPath0, 0x1820, 0x5A), Status::Ok);
    uint8_t value = 0;
    ASSERT_EQ(ReadSromByte(kPath0, 0x1820, &value), Status::Ok);
    EXPECT_EQ(value, 0x5A);
    EXPECT_EQ(Wire(0), (std::vector<std::string>{"cmd 40 51 03 18 20 5A", "cmd 41 51 02 01 18 20",
                                                 "reply", "reply"}));
}

TEST(Transactions, DriverSettingBlock) {
    AttachedCameras cameras({0});
    SendDriverSetting(kPath0, 3000);
    const auto trace = ReadTrace(0);
    ASSERT_EQ(trace.size(), 1u);
    EXPECT_EQ(trace[0].length, 44u);
    EXPECT_EQ(trace[0].data[0], 1);
    EXPECT_EQ(trace[0].data[4], 0xB8);
    EXPECT_EQ(trace[0].data[5], 0x0B);
    EXPECT_TRUE(testing::RestIsZero(trace[0], 8));
    uint32_t setting = 0;
    TavlinVcam_GetDriverSetting(0, &setting);
    EXPECT_EQ(setting, 3000u);
}

}  // namespace
}  // namespace tavlin::device
