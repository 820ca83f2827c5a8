// Enumeration, names, registers, SROM, I/O port and clock exports on virtual cameras.
#include <cstring>

#include "integration/sdk_fixture.h"

namespace tavlin::test {
namespace {

using DeviceExportsTest = SdkTest;

TEST_F(DeviceExportsTest, ListsNameCamerasByRankAndNamesByIndex) {
    ASSERT_EQ(TavlinVcam_Attach(3), 1);
    std::vector<char> names(12 * TAVLIN_DEVICE_NAME_SLOT, 'x');
    ASSERT_EQ(Tavlin_EnumDevice(camera_, names.data()), 2);
    const std::string first(&names[0]);
    const std::string second(&names[TAVLIN_DEVICE_NAME_SLOT]);
    EXPECT_NE(first.find("01"), std::string::npos) << first;
    EXPECT_NE(second.find("02"), std::string::npos) << second;
    for (int slot = 2; slot < 10; ++slot) EXPECT_EQ(names[slot * TAVLIN_DEVICE_NAME_SLOT], '\0');
    EXPECT_EQ(names[10 * TAVLIN_DEVICE_NAME_SLOT], 'x');  // nothing beyond ten slots

    char name[64];
    ASSERT_EQ(Tavlin_GetDeviceName(camera_, 3, name, sizeof(name)), 1);
    EXPECT_NE(std::string(name).find("04"), std::string::npos) << name;
    EXPECT_EQ(Tavlin_GetDeviceName(camera_, 1, name, sizeof(name)), 0);
    EXPECT_EQ(Tavlin_GetDeviceName(camera_, 32, name, sizeof(name)), 0);
    EXPECT_EQ(Tavlin_GetDeviceName(camera_, -1, name, sizeof(name)), 0);
    char small[14];
    std::memset(small, 'y', sizeof(small));
    EXPECT_EQ(Tavlin_GetDeviceName(camera_, 0, small, sizeof(small)), 0);
    EXPECT_EQ(small[0], 'y');
    EXPECT_EQ(Errors(), (std::vector<int32_t>{9, 9, 9, 2}));

    TavlinWChar wide[64];
    ASSERT_EQ(Tavlin_GetDeviceNameW(camera_, 0, wide, 64), 1);
    EXPECT_EQ(char(wide[0]), name[0]);
}

TEST_F(DeviceExportsTest, RegisterAccessUsesTheLowBits) {
    int32_t ok = 0;
    ASSERT_EQ(Tavlin_WriteRegister(camera_, 0x109, 0x12345), 1);
    uint16_t value = 0;
    ASSERT_EQ(TavlinVcam_ReadSensorRegister(0, 9, &value), 1);
    EXPECT_EQ(value, 0x2345);
    EXPECT_EQ(Tavlin_ReadRegisterEx(camera_, 9, &ok), 0x2345);
    EXPECT_EQ(ok, 1);
    // A failed transaction reports 6 and clears the flag.
    TavlinVcam_FailNext(0, TAVLIN_VCAM_FAULT_COMMAND_SEND, 2);
    EXPECT_EQ(Tavlin_ReadRegister(camera_, 9, &ok), 0);
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(Tavlin_WriteRegisterEx(camera_, 9, 5), 0);
    EXPECT_EQ(Errors(), (std::vector<int32_t>{6, 6}));
}

TEST_F(DeviceExportsTest, SromPortAndClock) {
    ASSERT_EQ(Tavlin_WriteSromID(camera_, 0x20, 0x1AB), 1);
    uint8_t byte = 0;
    ASSERT_EQ(TavlinVcam_ReadSrom(0, 0x1820, &byte), 1);
    EXPECT_EQ(byte, 0xAB);
    int32_t ok = 0;
    EXPECT_EQ(Tavlin_ReadSromID(camera_, 0x120, &ok), 0xAB);
    EXPECT_EQ(ok, 1);

    EXPECT_EQ(Tavlin_SetIOPort(camera_, 0x5A), 1);
    uint8_t port = 0;
    EXPECT_EQ(Tavlin_GetIOPort(camera_, &port, 0, 0), 1);
    EXPECT_EQ(port, 0x5A);
    EXPECT_EQ(Tavlin_GetIOPort(camera_, nullptr, 0, 0), 0);
    TavlinMessage m{};
    ASSERT_EQ(TavlinHost_GetMessage(window_, &m, 1000), 1);
    EXPECT_EQ(m.lParam, 9);

    // The clock setting reaches the camera at the next preparation.
    EXPECT_EQ(Tavlin_SetHalfClock(camera_, 7), 1);
    EXPECT_NE(Tavlin_GetHalfClock(camera_, &ok), 7);
    ASSERT_EQ(Tavlin_SetSubSample(camera_, 3), 1);
    ASSERT_EQ(Tavlin_Capture(camera_), 1);
    EXPECT_EQ(Tavlin_GetHalfClock(camera_, &ok), 7);
    EXPECT_EQ(ok, 1);
    EXPECT_TRUE(Errors().empty());  // port and SROM failures are posted, never recorded
}

TEST_F(DeviceExportsTest, UnsupportedStubsPostElevenEveryTime) {
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Tavlin_Fps(camera_), 0);
    EXPECT_EQ(Tavlin_Fpga_ReadRegister(camera_, 1, 2, 3), 0);
    EXPECT_EQ(Tavlin_SetSamplingRate(camera_, 4), 0);
    int count = 0;
    TavlinMessage m{};
    while (TavlinHost_PeekMessage(window_, &m)) {
        EXPECT_EQ(m.lParam, 11);
        ++count;
    }
    EXPECT_EQ(count, 5);
    EXPECT_TRUE(Errors().empty());
}

}  // namespace
}  // namespace tavlin::test
