#include "usb/usb_layout.h"

#include <gtest/gtest.h>

#include <array>
#include <numeric>

#include "device/driver_protocol.h"
#include "usb/usb_cameras.h"

namespace tavlin::usb {
namespace {

namespace protocol = device::protocol;

InterfaceInfo CameraInterface() {
    InterfaceInfo info;
    info.hasInterface0 = true;
    info.hasAltSetting0 = true;
    info.endpoints = {{0x01, EndpointType::kBulk, 512},
                      {0x81, EndpointType::kBulk, 512},
                      {0x82, EndpointType::kBulk, 512}};
    return info;
}

std::string Reason(const InterfaceInfo& info) {
    std::string reason;
    EXPECT_FALSE(JudgeLayout(info, &reason).has_value());
    return reason;
}

TEST(UsbLayout, TheCamerasLayoutGivesItsPipesInDescriptorOrder) {
    auto info = CameraInterface();
    info.endpoints[2].address = 0x86;
    std::string reason = "untouched";
    const auto endpoints = JudgeLayout(info, &reason);
    ASSERT_TRUE(endpoints.has_value());
    EXPECT_EQ(endpoints->command.address, 0x01);
    EXPECT_EQ(endpoints->reply.address, 0x81);
    EXPECT_EQ(endpoints->frame.address, 0x86);
    EXPECT_EQ(endpoints->frame.maxPacketSize, 512);
    EXPECT_EQ(reason, "untouched");
}

TEST(UsbLayout, MissingInterfaceOrSetting) {
    auto info = CameraInterface();
    info.hasInterface0 = false;
    EXPECT_EQ(Reason(info), "the configuration has no interface 0");
    info = CameraInterface();
    info.hasAltSetting0 = false;
    EXPECT_EQ(Reason(info), "interface 0 has no alternate setting 0");
}

TEST(UsbLayout, WrongEndpointCount) {
    auto info = CameraInterface();
    info.endpoints.pop_back();
    EXPECT_EQ(Reason(info), "interface 0 has 2 endpoints, the camera has 3");
    info = CameraInterface();
    info.endpoints.push_back({0x83, EndpointType::kInterrupt, 8});
    EXPECT_EQ(Reason(info), "interface 0 has 4 endpoints, the camera has 3");
    info.endpoints.clear();
    EXPECT_EQ(Reason(info), "interface 0 has 0 endpoints, the camera has 3");
}

TEST(UsbLayout, WrongTransferType) {
    auto info = CameraInterface();
    info.endpoints[1].type = EndpointType::kInterrupt;
    EXPECT_EQ(Reason(info), "endpoint 2 (0x81) is interrupt, the camera's is bulk");
    info = CameraInterface();
    info.endpoints[2].type = EndpointType::kIsochronous;
    EXPECT_EQ(Reason(info), "endpoint 3 (0x82) is isochronous, the camera's is bulk");
}

TEST(UsbLayout, WrongDirectionOrOrder) {
    auto info = CameraInterface();
    // The frame pipe first: the command pipe would be an IN endpoint.
    std::swap(info.endpoints[0], info.endpoints[2]);
    EXPECT_EQ(Reason(info), "endpoint 1 (0x82) is IN, the camera's is OUT");
    info = CameraInterface();
    info.endpoints[2].address = 0x02;
    EXPECT_EQ(Reason(info), "endpoint 3 (0x02) is OUT, the camera's is IN");
}

TEST(UsbLayout, ZeroPacketSize) {
    auto info = CameraInterface();
    info.endpoints[0].maxPacketSize = 0;
    EXPECT_EQ(Reason(info), "endpoint 1 (0x01) has a maximum packet size of 0");
}

UsbCamera At(uint8_t bus, std::vector<uint8_t> ports, uint8_t address = 1) {
    UsbCamera camera;
    camera.bus = bus;
    camera.ports = std::move(ports);
    camera.address = address;
    return camera;
}

TEST(UsbOrder, BusThenPortPathNumberByNumber) {
    std::vector<UsbCamera> cameras = {At(2, {1}),    At(1, {10}),      At(1, {2, 1}),   At(1, {2}),
                                      At(1, {1, 4}), At(1, {9, 1, 1}), At(1, {2, 1}, 7)};
    SortCameras(cameras);
    std::vector<std::string> paths;
    for (const auto& camera : cameras) paths.push_back(camera.PortPath());
    // Numbers, not text: 1-9.1.1 before 1-10; a hub's own port before the ports below it.
    EXPECT_EQ(paths, (std::vector<std::string>{"1-1.4", "1-2", "1-2.1", "1-2.1", "1-9.1.1", "1-10",
                                               "2-1"}));
    EXPECT_EQ(cameras[2].address, 1);
    EXPECT_EQ(cameras[3].address, 7);
}

TEST(UsbCameraNames, NodeAndPortPath) {
    auto camera = At(3, {1, 12, 4}, 17);
    EXPECT_EQ(camera.Node(), "/dev/bus/usb/003/017");
    EXPECT_EQ(camera.PortPath(), "3-1.12.4");
    EXPECT_TRUE(camera.SameDevice(At(3, {1, 12, 4}, 17)));
    EXPECT_FALSE(camera.SameDevice(At(3, {1, 12, 4}, 18)));  // re-plugged
    EXPECT_FALSE(camera.SameDevice(At(3, {1, 12}, 17)));
    EXPECT_FALSE(camera.SameDevice(At(2, {1, 12, 4}, 17)));
}

void ExpectWellCut(uint32_t length, uint16_t packet) {
    const auto chunks = PlanFrameChunks(length, packet);
    ASSERT_FALSE(chunks.empty());
    EXPECT_EQ(std::accumulate(chunks.begin(), chunks.end(), uint64_t{0}), length);
    for (size_t i = 0; i + 1 < chunks.size(); ++i) {
        // Only the frame's end may be short: every other piece is whole packets.
        EXPECT_EQ(chunks[i] % packet, 0u) << "piece " << i << " of " << length;
        EXPECT_LE(chunks[i], kFrameChunkBytes);
    }
    EXPECT_LE(chunks.back(), kFrameChunkBytes);
}

TEST(UsbFrameChunks, CoverTheFrameInWholePackets) {
    for (uint32_t length : {1u, 63u, 64u, 512u, 1000u, 1025u, 4096u, 1280u * 1024u,
                            2u * 1280u * 1024u + 17u, 20u << 20}) {
        for (uint16_t packet : {64, 512, 1024}) ExpectWellCut(length, packet);
    }
}

TEST(UsbFrameChunks, ALargeFrameHasTwoPiecesInFlightAtLeast) {
    EXPECT_EQ(PlanFrameChunks(1280 * 1024, 512).size(), 2u);
    EXPECT_EQ(PlanFrameChunks(2 * 1280 * 1024, 512).size(), 2u);
    EXPECT_EQ(PlanFrameChunks(20u << 20, 512).size(), 5u);  // pieces of kFrameChunkBytes
    EXPECT_GE(PlanFrameChunks(8 * 512, 512).size(), 2u);
    EXPECT_EQ(PlanFrameChunks(512, 512).size(), 1u);
    EXPECT_TRUE(PlanFrameChunks(0, 512).empty());
}

std::array<uint8_t, protocol::kPacketSize> Write(uint8_t command, uint8_t reg, uint8_t value) {
    std::array<uint8_t, protocol::kPacketSize> packet{};
    packet[0] = command;
    packet[1] = reg;
    packet[2] = value;
    return packet;
}

TEST(UsbTriggerMode, FollowsControllerWritesToTheTriggerRegister) {
    namespace ctl = protocol::controller;
    EXPECT_TRUE(
        TriggerModeAfter(Write(protocol::kCmdControllerWrite, ctl::kTriggerControl, 0x01), false));
    EXPECT_TRUE(
        TriggerModeAfter(Write(protocol::kCmdControllerWrite, ctl::kTriggerControl, 0x83), false));
    EXPECT_FALSE(
        TriggerModeAfter(Write(protocol::kCmdControllerWrite, ctl::kTriggerControl, 0x82), true));
    // Other registers, reads and other commands leave it as it was.
    for (bool before : {false, true}) {
        EXPECT_EQ(
            TriggerModeAfter(Write(protocol::kCmdControllerWrite, ctl::kIoPort, 0x00), before),
            before);
        EXPECT_EQ(TriggerModeAfter(Write(protocol::kCmdControllerRead, ctl::kTriggerControl, 0x00),
                                   before),
                  before);
        EXPECT_EQ(TriggerModeAfter(Write(protocol::kCmdFrameRequest, 0, 0), before), before);
        EXPECT_EQ(TriggerModeAfter(std::span<const uint8_t>{}, before), before);
    }
}

std::array<uint8_t, protocol::kDriverSettingSize> Setting(uint32_t selector, uint32_t value) {
    std::array<uint8_t, protocol::kDriverSettingSize> block{};
    for (int i = 0; i < 4; ++i) {
        block[i] = static_cast<uint8_t>(selector >> (8 * i));
        block[4 + i] = static_cast<uint8_t>(value >> (8 * i));
    }
    return block;
}

TEST(UsbDriverSetting, SelectorOneCarriesTheFrameTimeOut) {
    EXPECT_EQ(FrameTimeoutSetting(Setting(1, 2500)), 2500u);
    EXPECT_EQ(FrameTimeoutSetting(Setting(1, 0)), 0u);
    EXPECT_EQ(FrameTimeoutSetting(Setting(1, 0x01020304)), 0x01020304u);
    EXPECT_EQ(FrameTimeoutSetting(Setting(2, 2500)), std::nullopt);
    const auto block = Setting(1, 2500);
    EXPECT_EQ(FrameTimeoutSetting(std::span(block).first(8)), std::nullopt);
}

}  // namespace
}  // namespace tavlin::usb
