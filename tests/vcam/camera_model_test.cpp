#include <gtest/gtest.h>

#include "vcam/camera_model.h"
#include "vcam/frame_renderer.h"

namespace tavlin::vcam {
namespace {

namespace reg = protocol::sensor;
namespace ctl = protocol::controller;

Packet P(std::initializer_list<uint8_t> bytes) {
    Packet p{};
    size_t i = 0;
    for (uint8_t b : bytes) p[i++] = b;
    return p;
}

TEST(CameraModel, PowerOnDescribesAFullSensorFrame) {
    const ModelState s = PowerOnState(7);
    EXPECT_EQ(s.sensor[reg::kRowStart], 12);
    EXPECT_EQ(s.sensor[reg::kColumnStart], 20);
    EXPECT_EQ(s.sensor[reg::kRowCount], 1023);
    EXPECT_EQ(s.sensor[reg::kColumnCount], 1279);
    EXPECT_EQ(s.sensor[reg::kShutter], 1049);
    EXPECT_EQ(s.controller[2], 0x14);  // 1,310,720 = 0x140000
    EXPECT_EQ(s.srom[0x1800], '4');
    EXPECT_EQ(s.srom[0x1810 + 7], '7');
    EXPECT_EQ(s.srom[protocol::kSromColourVariant], 1);
    EXPECT_FALSE(InTriggerMode(s));
}

TEST(CameraModel, RegisterCommandsWriteAndAnswerMostSignificantByteFirst) {
    ModelState s = PowerOnState(1);
    ApplyCommand(s, P({protocol::kCmdSensorWrite, 9, 0x12, 0x34}));
    EXPECT_EQ(s.sensor[9], 0x1234);
    ApplyCommand(s, P({protocol::kCmdSensorRead, 9}));
    EXPECT_EQ(s.reply[0], 0x12);
    EXPECT_EQ(s.reply[1], 0x34);
    ApplyCommand(s, P({protocol::kCmdControllerWrite, 7, 0xA5}));
    ApplyCommand(s, P({protocol::kCmdControllerRead, 7}));
    EXPECT_EQ(s.reply[0], 0xA5);
    EXPECT_EQ(s.reply[1], 0);  // the previous answer does not linger
}

TEST(CameraModel, ResetRegisterRestoresPowerOnValues) {
    ModelState s = PowerOnState(1);
    ApplyCommand(s, P({protocol::kCmdSensorWrite, reg::kShutter, 0, 5}));
    ApplyCommand(s, P({protocol::kCmdSensorWrite, reg::kReset, 0, 1}));
    EXPECT_EQ(s.sensor[reg::kShutter], 1049);
    EXPECT_EQ(s.sensor[reg::kReset], 1);
    ApplyCommand(s, P({protocol::kCmdSensorWrite, reg::kReset, 0, 0}));
    EXPECT_EQ(s.sensor[reg::kReset], 0);
}

TEST(CameraModel, SromPacketsNeedTheirFixedHeader) {
    ModelState s = PowerOnState(1);
    ApplyCommand(s, P({protocol::kCmdSromWrite, 0x51, 0x03, 0x18, 0x20, 0x5A}));
    EXPECT_EQ(s.srom[0x1820], 0x5A);
    ApplyCommand(s, P({protocol::kCmdSromWrite, 0x50, 0x03, 0x18, 0x21, 0x5A}));
    EXPECT_EQ(s.srom[0x1821], 0xFF);
    ApplyCommand(s, P({protocol::kCmdSromRead, 0x51, 0x02, 0x01, 0x18, 0x20}));
    EXPECT_EQ(s.reply[0], 0x5A);
}

TEST(CameraModel, DriverSettingNeedsSelectorOne) {
    ModelState s = PowerOnState(1);
    std::array<uint8_t, 44> block{};
    block[0] = 1;
    block[4] = 0xB8;
    block[5] = 0x0B;
    EXPECT_TRUE(ApplyDriverSetting(s, block));
    EXPECT_EQ(s.driverSetting, 3000u);
    block[0] = 2;
    block[4] = 1;
    EXPECT_FALSE(ApplyDriverSetting(s, block));
    EXPECT_EQ(s.driverSetting, 3000u);
}

}  // namespace
}  // namespace tavlin::vcam
