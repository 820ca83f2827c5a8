#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>
#include <future>
#include <thread>
#include <vector>

#include "vcam/device_file.h"
#include "vcam/camera_model.h"
#include "vcam_test_support.h"

namespace tavlin::vcam {
namespace {

using testing::AttachedCameras;
using testing::ReadTrace;
namespace proto = protocol;

constexpr char kPath0[] = "\\\\.\\TvlnQZ410VKE-0";

// Issues requests the way the SDK's channel does, so these tests speak the bare driver contract.
struct Client {
    std::unique_ptr<DeviceFile> file = OpenAttachedDeviceFile(kPath0);

    bool Pipe(uint32_t code, uint32_t pipe, void* buffer, uint32_t length, uint32_t* got) {
        const std::array<uint8_t, 4> number = {uint8_t(pipe), 0, 0, 0};
        return file->IoControl(code, number.data(), 4, buffer, length, got);
    }
    bool Command(std::initializer_list<uint8_t> bytes) {
        std::array<uint8_t, 64> packet{};
        std::copy(bytes.begin(), bytes.end(), packet.begin());
        uint32_t got = 0;
        return Pipe(proto::kCodePipeInput, 0, packet.data(), 64, &got) && got == 64;
    }
    bool ReadFrame(std::vector<uint8_t>& frame, uint32_t* got) {
        Command({proto::kCmdFrameRequest});
        return Pipe(proto::kCodePipeInput, 2, frame.data(), uint32_t(frame.size()), got);
    }
    bool DriverSetting(uint32_t value) {
        std::array<uint8_t, 44> block{1, 0, 0, 0, uint8_t(value), uint8_t(value >> 8)};
        uint32_t got = 0;
        return file->IoControl(proto::kCodeDriverSetting, block.data(), 44, nullptr, 0, &got);
    }
    void EnterTriggerMode() {
        Command({proto::kCmdControllerWrite, proto::controller::kTriggerControl, 1});
        Command({proto::kCmdSensorWrite, proto::sensor::kReadModeA, 0x81, 0x00});
    }
};

TEST(VirtualCamera, PathsResolveOnlyToAttachedCameras) {
    EXPECT_EQ(OpenAttachedDeviceFile(kPath0), nullptr);
    AttachedCameras cameras({0, 22});
    EXPECT_NE(OpenAttachedDeviceFile(kPath0), nullptr);
    EXPECT_NE(OpenAttachedDeviceFile("\\\\.\\TvlnQZ410VKE-N"), nullptr);  // index 22 is N
    EXPECT_EQ(OpenAttachedDeviceFile("\\\\.\\TvlnQZ410VKE-M"), nullptr);
    EXPECT_EQ(OpenAttachedDeviceFile("TvlnQZ410VKE-0"), nullptr);
    EXPECT_EQ(TavlinVcam_Attach(0), 0);  // already there
}

TEST(VirtualCamera, DetachFailsOpenHandlesAndANewCameraStartsFresh) {
    AttachedCameras cameras({0});
    Client client;
    ASSERT_TRUE(client.Command({proto::kCmdSensorWrite, 9, 0, 77}));
    ASSERT_EQ(TavlinVcam_Detach(0), 1);
    EXPECT_FALSE(client.Command({proto::kCmdSensorWrite, 9, 0, 78}));
    AttachedCameras::Attach(0);
    uint16_t shutter = 0;
    ASSERT_EQ(TavlinVcam_ReadSensorRegister(0, 9, &shutter), 1);
    EXPECT_EQ(shutter, 1049);
    EXPECT_FALSE(client.Command({proto::kCmdSensorWrite, 9, 0, 78}));  // old handle stays dead
}

TEST(VirtualCamera, RequestsBreakingTheContractFail) {
    AttachedCameras cameras({0});
    Client client;
    std::array<uint8_t, 64> block{};
    uint32_t got = 99;
    EXPECT_FALSE(client.Pipe(proto::kCodePipeInput, 0, block.data(), 63, &got));
    EXPECT_EQ(got, 0u);
    EXPECT_FALSE(client.Pipe(proto::kCodePipeInput, 3, block.data(), 64, &got));
    EXPECT_FALSE(client.Pipe(0x222000, 0, block.data(), 64, &got));
    std::vector<uint8_t> frame(16);
    // A frame read that no frame request announced.
    EXPECT_FALSE(client.Pipe(proto::kCodePipeInput, 2, frame.data(), 16, &got));
}

TEST(VirtualCamera, InjectedFaultsHitTheNextRequestsOfTheirKind) {
    AttachedCameras cameras({0});
    Client client;
    ASSERT_EQ(TavlinVcam_FailNext(0, TAVLIN_VCAM_FAULT_COMMAND_SEND, 2), 1);
    EXPECT_FALSE(client.Command({proto::kCmdSensorWrite, 9, 0, 5}));
    EXPECT_FALSE(client.Command({proto::kCmdSensorWrite, 9, 0, 5}));
    uint16_t shutter = 0;
    TavlinVcam_ReadSensorRegister(0, 9, &shutter);
    EXPECT_EQ(shutter, 1049);  // failed sends change nothing
    EXPECT_TRUE(client.Command({proto::kCmdSensorWrite, 9, 0, 5}));

    std::vector<uint8_t> frame(1024);
    uint32_t got = 0;
    TavlinVcam_FailNext(0, TAVLIN_VCAM_FAULT_SHORT_FRAME, 1);
    EXPECT_TRUE(client.ReadFrame(frame, &got));
    EXPECT_EQ(got, 512u);
    EXPECT_TRUE(client.ReadFrame(frame, &got));
    EXPECT_EQ(got, 1024u);
    TavlinVcam_FailNext(0, TAVLIN_VCAM_FAULT_FRAME_READ, 1);
    EXPECT_FALSE(client.ReadFrame(frame, &got));
    TavlinVcamCounters counters{};
    TavlinVcam_GetCounters(0, &counters);
    EXPECT_EQ(counters.framesDelivered, 1u);
    EXPECT_EQ(counters.framesShort, 1u);
    EXPECT_EQ(counters.framesFailed, 1u);
}

TEST(VirtualCamera, TriggerModeDeliversOneFramePerPulse) {
    AttachedCameras cameras({0});
    Client client;
    EXPECT_EQ(TavlinVcam_Trigger(0, 1), 0);  // free-running: pulses are ignored
    client.EnterTriggerMode();
    ASSERT_TRUE(client.DriverSetting(60000));
    std::vector<uint8_t> frame(256);
    uint32_t got = 0;
    auto pending = std::async(std::launch::async, [&] { return client.ReadFrame(frame, &got); });
    // The read waits for the pulse; the pulse is counted until a read takes it.
    while (TavlinVcam_Trigger(0, 1) != 1) std::this_thread::yield();
    EXPECT_TRUE(pending.get());
    EXPECT_EQ(got, 256u);
    EXPECT_EQ(TavlinVcam_Trigger(0, 2), 2);
    EXPECT_TRUE(client.ReadFrame(frame, &got));
    EXPECT_TRUE(client.ReadFrame(frame, &got));
    TavlinVcamCounters counters{};
    TavlinVcam_GetCounters(0, &counters);
    EXPECT_EQ(counters.triggersPending, 0u);
}

TEST(VirtualCamera, TriggerReadFailsAfterTheDriverSettingTimeOut) {
    AttachedCameras cameras({0});
    Client client;
    client.EnterTriggerMode();
    ASSERT_TRUE(client.DriverSetting(20));
    std::vector<uint8_t> frame(64);
    uint32_t got = 0;
    EXPECT_FALSE(client.ReadFrame(frame, &got));
    uint32_t setting = 0;
    TavlinVcam_GetDriverSetting(0, &setting);
    EXPECT_EQ(setting, 20u);
}

TEST(VirtualCamera, DetachWakesAStalledRead) {
    AttachedCameras cameras({0});
    Client client;
    TavlinVcam_SetStall(0, 1);
    std::vector<uint8_t> frame(64);
    uint32_t got = 0;
    auto pending = std::async(std::launch::async, [&] { return client.ReadFrame(frame, &got); });
    TavlinVcam_Detach(0);
    EXPECT_FALSE(pending.get());
}

TEST(VirtualCamera, UnplugAfterFramesDeliversThenUnplugs) {
    AttachedCameras cameras({0});
    Client client;
    TavlinVcam_UnplugAfterFrames(0, 2);
    std::vector<uint8_t> frame(64);
    uint32_t got = 0;
    EXPECT_TRUE(client.ReadFrame(frame, &got));
    EXPECT_TRUE(client.ReadFrame(frame, &got));
    EXPECT_FALSE(client.ReadFrame(frame, &got));
    EXPECT_EQ(OpenAttachedDeviceFile(kPath0), nullptr);
}

TEST(VirtualCamera, TraceRecordsPacketsRepliesAndHandles) {
    AttachedCameras cameras({0});
    Client first;
    Client second;
    first.Command({proto::kCmdSensorRead, 0});
    std::array<uint8_t, 64> reply{};
    uint32_t got = 0;
    ASSERT_TRUE(second.Pipe(proto::kCodePipeOutput, 1, reply.data(), 64, &got));
    EXPECT_EQ(reply[0], 0x84);  // chip version, most significant byte first
    EXPECT_EQ(reply[1], 0x31);
    const auto trace = ReadTrace(0);
    ASSERT_EQ(trace.size(), 2u);
    EXPECT_EQ(trace[0].handle, 1u);
    EXPECT_EQ(trace[1].handle, 2u);
    EXPECT_EQ(trace[0].controlCode, proto::kCodePipeInput);
    EXPECT_EQ(trace[1].controlCode, proto::kCodePipeOutput);
    EXPECT_EQ(trace[1].pipe, 1u);
    EXPECT_EQ(trace[1].data[0], 0x84);
    EXPECT_EQ(trace[1].sequence, trace[0].sequence + 1);
}

TEST(VcamInterface, RefusesBadIndicesAndNullOutputs) {
    AttachedCameras cameras({0});
    uint16_t value16 = 0;
    uint8_t value8 = 0;
    EXPECT_EQ(TavlinVcam_Attach(32), 0);
    EXPECT_EQ(TavlinVcam_Attach(-1), 0);
    EXPECT_EQ(TavlinVcam_ReadSensorRegister(1, 0, &value16), 0);
    EXPECT_EQ(TavlinVcam_ReadSensorRegister(0, 256, &value16), 0);
    EXPECT_EQ(TavlinVcam_ReadSensorRegister(0, 0, nullptr), 0);
    EXPECT_EQ(TavlinVcam_ReadSrom(0, 0x10000, &value8), 0);
    EXPECT_EQ(TavlinVcam_ReadSrom(0, -1, &value8), 0);
    EXPECT_EQ(TavlinVcam_SetScene(0, TAVLIN_VCAM_SCENE_RAW), 0);  // nothing loaded
    EXPECT_EQ(TavlinVcam_SetRawFrames(0, nullptr, 8, 1), 0);
    EXPECT_EQ(TavlinVcam_SetRawFrames(0, &value8, 12, 1), 0);
    EXPECT_EQ(TavlinVcam_FailNext(0, 9, 1), 0);
    EXPECT_EQ(TavlinVcam_GetTrace(0, 0, nullptr, 4), 0);
    EXPECT_EQ(TavlinVcam_LoadRawFile(0, "/nonexistent/raw", 8), 0);
}

}  // namespace
}  // namespace tavlin::vcam

namespace tavlin::vcam {
namespace {

std::string TempPath(const char* name) {
    const char* base = std::getenv("TAVLIN_TEST_TMP");
    std::string dir = base != nullptr ? base : "/tmp";
    std::filesystem::create_directories(dir);
    return dir + "/" + name + std::to_string(::getpid());
}

TEST(RawFrames, FileFramesReplayInALoopThroughTheWindow) {
    AttachedCameras cameras({0});
    const size_t frameBytes = 1280 * 1024;
    std::vector<uint8_t> data(2 * frameBytes);
    for (size_t i = 0; i < frameBytes; ++i) {
        data[i] = uint8_t(i % 251);
        data[frameBytes + i] = uint8_t(255 - i % 251);
    }
    const std::string path = TempPath("vcam_raw_");
    {
        std::ofstream file(path, std::ios::binary);
        file.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
    }
    EXPECT_EQ(TavlinVcam_LoadRawFile(0, path.c_str(), 8), 2);
    std::filesystem::resize_file(path, frameBytes + 1);
    EXPECT_EQ(TavlinVcam_LoadRawFile(0, path.c_str(), 8), 0);  // not whole frames
    std::filesystem::remove(path);

    Client client;
    // A 4 x 2 window at raw row 3, column 6.
    client.Command({proto::kCmdSensorWrite, proto::sensor::kRowStart, 0, 12 + 3});
    client.Command({proto::kCmdSensorWrite, proto::sensor::kColumnStart, 0, 20 + 6});
    client.Command({proto::kCmdSensorWrite, proto::sensor::kRowCount, 0, 1});
    client.Command({proto::kCmdSensorWrite, proto::sensor::kColumnCount, 0, 3});
    std::vector<uint8_t> frame(8);
    uint32_t got = 0;
    for (int n = 0; n < 3; ++n) {
        ASSERT_TRUE(client.ReadFrame(frame, &got));
        const size_t at = 3 * 1280 + 6;
        const uint8_t expected = n % 2 == 0 ? uint8_t(at % 251) : uint8_t(255 - at % 251);
        EXPECT_EQ(frame[0], expected) << n;
        EXPECT_EQ(frame[5], n % 2 == 0 ? uint8_t((at + 1280 + 1) % 251)
                                       : uint8_t(255 - (at + 1280 + 1) % 251));
    }
    EXPECT_EQ(TavlinVcam_SetScene(0, TAVLIN_VCAM_SCENE_FLAT), 1);
    ASSERT_TRUE(client.ReadFrame(frame, &got));
    EXPECT_EQ(frame[0], (4 * 128 * 8 * 8 / (14 * 14)) >> 2);  // power-on gains 8, shutter 1049
}

}  // namespace
}  // namespace tavlin::vcam
