// The USB transport end to end on the emulated bus: discovery, device files, frames in pieces,
// faults, cancelling and unplugging, against the virtual camera behind it.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "device/driver_protocol.h"
#include "support/emulated_usb.h"
#include "usb/usb_cameras.h"

namespace tavlin::usb {
namespace {

namespace proto = device::protocol;
using testing::EmulatedUsbBus;
using testing::UsbEndpointLayout;
using testing::UsbPlugOptions;
using Packet = std::array<uint8_t, proto::kPacketSize>;

Packet MakePacket(std::initializer_list<uint8_t> head) {
    Packet p{};
    std::copy(head.begin(), head.end(), p.begin());
    return p;
}

Packet TransferSize(uint32_t bytes) {
    return MakePacket({proto::kCmdTransferSize, uint8_t(bytes), uint8_t(bytes >> 8),
                       uint8_t(bytes >> 16), uint8_t(bytes >> 24)});
}

bool Pipe(device::DeviceFile& file, uint32_t code, uint32_t pipe, uint8_t* data, uint32_t length,
          uint32_t* returned) {
    const uint8_t request[4] = {uint8_t(pipe), 0, 0, 0};
    return file.IoControl(code, request, sizeof request, data, length, returned);
}

// Sent the way the device layer sends it: the output-direct code for the frame request.
bool Send(device::DeviceFile& file, Packet packet) {
    uint32_t returned = 0;
    const uint32_t code =
        packet[0] == proto::kCmdFrameRequest ? proto::kCodePipeOutput : proto::kCodePipeInput;
    return Pipe(file, code, proto::kPipeCommand, packet.data(), packet.size(), &returned) &&
           returned == proto::kPacketSize;
}

bool ReadFrame(device::DeviceFile& file, std::vector<uint8_t>& frame, uint32_t* returned) {
    return Send(file, MakePacket({proto::kCmdFrameRequest})) &&
           Pipe(file, proto::kCodePipeInput, proto::kPipeFrame, frame.data(),
                uint32_t(frame.size()), returned);
}

bool SetFrameTimeout(device::DeviceFile& file, uint32_t ms) {
    std::array<uint8_t, proto::kDriverSettingSize> block{1, 0, 0, 0, uint8_t(ms), uint8_t(ms >> 8)};
    uint32_t returned = 0;
    return file.IoControl(proto::kCodeDriverSetting, block.data(), block.size(), nullptr, 0,
                          &returned);
}

template <typename Predicate>
bool Eventually(Predicate done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

class UsbTransport : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(EmulatedUsbBus::Available()) << "run under tests/usb_wrapper.sh";
        bus_ = &EmulatedUsbBus::Instance();  // before libusb starts
        // Each test its own product id: the process's transport outlives a test.
        product_ = uint16_t(0x0500 + counter_++);
        char ids[16];
        std::snprintf(ids, sizeof ids, "fff0:%04x", product_);
        setenv("TAVLIN_USB_IDS", ids, 1);
        setenv("TAVLIN_USB_IDS_FILE", "/nonexistent/usb-ids", 1);
    }
    void TearDown() override {
        for (auto id : plugged_) bus_->Unplug(id);
    }

    EmulatedUsbBus::DeviceId Plug(std::vector<uint8_t> ports,
                                  UsbEndpointLayout layout = UsbEndpointLayout::kCamera) {
        camera_ = std::make_shared<vcam::VirtualCamera>(1);
        camera_->SetRealTime(false);
        UsbPlugOptions options;
        options.product = product_;
        options.ports = std::move(ports);
        options.layout = layout;
        const auto id = bus_->Plug(camera_, options);
        plugged_.push_back(id);
        return id;
    }

    // The cameras once `count` are listed (hotplug delivers arrivals on the event thread).
    std::vector<UsbCamera> AwaitCameras(size_t count) {
        std::vector<UsbCamera> cameras;
        Eventually([&] {
            cameras = Cameras();
            return cameras.size() == count;
        });
        return cameras;
    }

    std::unique_ptr<device::DeviceFile> OpenOnly() {
        const auto cameras = AwaitCameras(1);
        EXPECT_EQ(cameras.size(), 1u);
        if (cameras.empty()) return nullptr;
        camera_info_ = cameras[0];
        auto result = Open(cameras[0]);
        EXPECT_EQ(result.status, OpenStatus::kOk);
        return std::move(result.file);
    }

    static inline int counter_ = 0;
    EmulatedUsbBus* bus_ = nullptr;
    uint16_t product_ = 0;
    std::shared_ptr<vcam::VirtualCamera> camera_;
    UsbCamera camera_info_;
    std::vector<EmulatedUsbBus::DeviceId> plugged_;
};

TEST_F(UsbTransport, ScanListsTheCameraWithItsSerialAndPassesOverOtherLayouts) {
    Plug({4}, UsbEndpointLayout::kTwoEndpoints);
    Plug({5}, UsbEndpointLayout::kSwapped);
    Plug({3}, UsbEndpointLayout::kInterruptIn);
    const auto id = Plug({2});
    AwaitCameras(1);
    const UsbScan scan = Scan();
    ASSERT_EQ(scan.cameras.size(), 1u);
    EXPECT_EQ(scan.cameras[0].PortPath(), "1-2");
    EXPECT_EQ(scan.cameras[0].Node(), bus_->NodePath(id));
    EXPECT_EQ(scan.cameras[0].serial, "00000001");
    ASSERT_EQ(scan.skipped.size(), 3u);
    EXPECT_EQ(scan.skipped[0].reason, "endpoint 2 (0x82) is interrupt, the camera's is bulk");
    EXPECT_EQ(scan.skipped[1].reason, "interface 0 has 2 endpoints, the camera has 3");
    EXPECT_EQ(scan.skipped[2].reason, "endpoint 1 (0x83) is IN, the camera's is OUT");
}

TEST_F(UsbTransport, CommandsRepliesAndFramesInPiecesThroughOneSharedClaim) {
    const auto id = Plug({2});
    auto file = OpenOnly();
    ASSERT_NE(file, nullptr);
    auto second = Open(camera_info_);
    ASSERT_EQ(second.status, OpenStatus::kOk);
    EXPECT_EQ(bus_->OpenClients(id), 1u);

    ASSERT_TRUE(Send(*file, MakePacket({proto::kCmdSensorWrite, proto::sensor::kShutter, 1, 2})));
    EXPECT_EQ(camera_->SensorRegister(proto::sensor::kShutter), 0x0102);
    ASSERT_TRUE(Send(*second.file, MakePacket({proto::kCmdSensorRead, proto::sensor::kShutter})));
    Packet reply{};
    uint32_t returned = 0;
    ASSERT_TRUE(Pipe(*file, proto::kCodePipeInput, proto::kPipeReply, reply.data(), 64, &returned));
    EXPECT_EQ(returned, 64u);
    EXPECT_EQ(reply[0], 1);
    EXPECT_EQ(reply[1], 2);

    // 16-bit samples: 2.6 MB, three pieces in flight.
    const uint32_t bytes = 2 * 1280 * 1024;
    ASSERT_TRUE(Send(*file, TransferSize(bytes / 2)));
    ASSERT_TRUE(
        Send(*file, MakePacket({proto::kCmdControllerWrite, proto::controller::kSampleWidth, 1})));
    ASSERT_EQ(testing::UsbFrameBytes(*camera_), bytes);
    std::vector<uint8_t> frame(bytes, 0xEE);
    for (int n = 0; n < 2; ++n) {
        ASSERT_TRUE(ReadFrame(*file, frame, &returned));
        EXPECT_EQ(returned, bytes);
    }
    EXPECT_EQ(camera_->Counters().framesDelivered, 2u);

    // The claim goes with the last file (the bus notices the closed node a moment later).
    second.file.reset();
    EXPECT_EQ(bus_->OpenClients(id), 1u);
    file.reset();
    EXPECT_TRUE(Eventually([&] { return bus_->OpenClients(id) == 0; }));
}

TEST_F(UsbTransport, ShortLongEmptyAndRefusedFrames) {
    Plug({2});
    auto file = OpenOnly();
    ASSERT_NE(file, nullptr);
    const uint32_t bytes = 64 * 1024 + 100;  // the last piece is not whole packets
    ASSERT_TRUE(Send(*file, TransferSize(bytes)));
    std::vector<uint8_t> frame(bytes);
    uint32_t returned = 0;
    camera_->FailNext(vcam::FaultKind::ShortFrame, 1);
    ASSERT_TRUE(ReadFrame(*file, frame, &returned));
    EXPECT_EQ(returned, bytes / 2);
    camera_->FailNext(vcam::FaultKind::LongFrame, 1);
    ASSERT_TRUE(ReadFrame(*file, frame, &returned));
    EXPECT_GT(returned, bytes);
    camera_->FailNext(vcam::FaultKind::EmptyFrame, 1);
    ASSERT_TRUE(ReadFrame(*file, frame, &returned));
    EXPECT_EQ(returned, 0u);
    // A refused read fails; the next frame reads as usual.
    camera_->FailNext(vcam::FaultKind::FrameRead, 1);
    EXPECT_FALSE(ReadFrame(*file, frame, &returned));
    ASSERT_TRUE(ReadFrame(*file, frame, &returned));
    EXPECT_EQ(returned, bytes);
}

TEST_F(UsbTransport, CancelEndsABlockedReadAndThatFileOnly) {
    Plug({2});
    auto file = OpenOnly();
    ASSERT_NE(file, nullptr);
    auto other = Open(camera_info_);
    ASSERT_EQ(other.status, OpenStatus::kOk);
    ASSERT_TRUE(Send(*file, TransferSize(4096)));
    camera_->SetStall(true);
    std::vector<uint8_t> frame(4096);
    uint32_t returned = 1;
    bool ok = true;
    std::thread reader([&] { ok = ReadFrame(*file, frame, &returned); });
    EXPECT_TRUE(Eventually([&] { return camera_->WaitingRequests() > 0; }));
    file->Cancel();
    reader.join();
    EXPECT_FALSE(ok);
    EXPECT_EQ(returned, 0u);
    camera_->SetStall(false);
    EXPECT_FALSE(Send(*file, MakePacket({proto::kCmdSelect})));  // and every later request
    EXPECT_TRUE(Send(*other.file, MakePacket({proto::kCmdSelect})));
}

TEST_F(UsbTransport, TriggerModeFrameReadsTimeOutByTheDriverSetting) {
    Plug({2});
    auto file = OpenOnly();
    ASSERT_NE(file, nullptr);
    ASSERT_TRUE(Send(*file, TransferSize(4096)));
    ASSERT_TRUE(SetFrameTimeout(*file, 50));
    ASSERT_TRUE(Send(*file, MakePacket({proto::kCmdSensorWrite, proto::sensor::kReadModeA,
                                        uint8_t(proto::sensor::kReadModeATrigger >> 8),
                                        uint8_t(proto::sensor::kReadModeATrigger)})));
    ASSERT_TRUE(
        Send(*file, MakePacket({proto::kCmdControllerWrite, proto::controller::kTriggerControl,
                                proto::controller::kTriggerEnable})));
    // No trigger comes: the read gives up.
    std::vector<uint8_t> frame(4096);
    uint32_t returned = 1;
    EXPECT_FALSE(ReadFrame(*file, frame, &returned));
    EXPECT_EQ(returned, 0u);
}

TEST_F(UsbTransport, UnplugFailsEveryFileAndLaterOpens) {
    const auto id = Plug({2});
    auto file = OpenOnly();
    ASSERT_NE(file, nullptr);
    auto other = Open(camera_info_);
    ASSERT_EQ(other.status, OpenStatus::kOk);
    ASSERT_TRUE(Send(*file, MakePacket({proto::kCmdSelect})));
    bus_->Unplug(id);
    EXPECT_FALSE(Send(*file, MakePacket({proto::kCmdSelect})));
    EXPECT_FALSE(Send(*other.file, MakePacket({proto::kCmdSelect})));
    std::vector<uint8_t> frame(64);
    uint32_t returned = 0;
    EXPECT_FALSE(
        Pipe(*other.file, proto::kCodePipeInput, proto::kPipeFrame, frame.data(), 64, &returned));
    EXPECT_EQ(Open(camera_info_).status, OpenStatus::kGone);
    EXPECT_TRUE(AwaitCameras(0).empty());
}

}  // namespace
}  // namespace tavlin::usb
