// The virtual camera's fault injection through device files: which request a fault hits, what
// long, empty and hung requests do, and cancelling a handle.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>
#include <vector>

#include "vcam/device_file.h"
#include "vcam/camera_model.h"
#include "vcam/wire_protocol.h"
#include "vcam_test_support.h"

namespace tavlin::vcam {
namespace {

namespace proto = protocol;
using testing::AttachedCameras;

constexpr const char* kPath = "\\\\.\\TvlnQZ410VKE-0";
constexpr uint32_t kFrame = 4096;

// One frame request and read on the file; the byte count, or -1 when the read failed.
int64_t ReadFrame(DeviceFile& file, std::vector<uint8_t>& out) {
    uint8_t pipe[4] = {proto::kPipeCommand, 0, 0, 0};
    std::vector<uint8_t> packet(proto::kPacketSize, 0);
    packet[0] = proto::kCmdFrameRequest;
    uint32_t returned = 0;
    file.IoControl(proto::kCodePipeInput, pipe, 4, packet.data(), proto::kPacketSize, &returned);
    pipe[0] = proto::kPipeFrame;
    out.assign(kFrame, 0xEE);
    if (!file.IoControl(proto::kCodePipeInput, pipe, 4, out.data(), kFrame, &returned)) return -1;
    return returned;
}

uint32_t Waiting() {
    uint32_t count = 0;
    EXPECT_EQ(TavlinVcam_GetWaitingRequests(0, &count), 1);
    return count;
}

bool WaitUntilBlocked() {
    for (int i = 0; i < 2000 && Waiting() == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return Waiting() == 1;
}

TEST(VcamFaults, TheNthRequestOfTheKindIsHitAndCountsStayApart) {
    AttachedCameras cameras{0};
    auto file = OpenAttachedDeviceFile(kPath);
    ASSERT_TRUE(file);
    std::vector<uint8_t> frame;
    ASSERT_EQ(TavlinVcam_FailNth(0, TAVLIN_VCAM_FAULT_FRAME_READ, 3, 2), 1);
    EXPECT_EQ(ReadFrame(*file, frame), kFrame);
    EXPECT_EQ(ReadFrame(*file, frame), kFrame);
    EXPECT_EQ(ReadFrame(*file, frame), -1);
    EXPECT_EQ(ReadFrame(*file, frame), -1);
    EXPECT_EQ(ReadFrame(*file, frame), kFrame);

    // Long: the whole buffer, reported half as large again; empty: nothing, buffer untouched.
    // Every delivering read counts for both kinds, whichever hits it.
    ASSERT_EQ(TavlinVcam_FailNth(0, TAVLIN_VCAM_FAULT_LONG_FRAME, 2, 1), 1);
    ASSERT_EQ(TavlinVcam_FailNth(0, TAVLIN_VCAM_FAULT_EMPTY_FRAME, 1, 1), 1);
    EXPECT_EQ(ReadFrame(*file, frame), 0);
    EXPECT_EQ(frame[0], 0xEE);
    EXPECT_EQ(ReadFrame(*file, frame), kFrame + kFrame / 2);
    EXPECT_EQ(ReadFrame(*file, frame), kFrame);
    TavlinVcamCounters c{};
    ASSERT_EQ(TavlinVcam_GetCounters(0, &c), 1);
    EXPECT_EQ(c.framesDelivered, 4u);
    EXPECT_EQ(c.framesShort, 2u);
    EXPECT_EQ(c.framesFailed, 2u);

    EXPECT_EQ(TavlinVcam_FailNth(0, TAVLIN_VCAM_FAULT_FRAME_READ, 0, 1), 0);  // nth from 1
    EXPECT_EQ(TavlinVcam_FailNth(0, 9, 1, 1), 0);
    EXPECT_EQ(TavlinVcam_FailNth(1, TAVLIN_VCAM_FAULT_FRAME_READ, 1, 1), 0);
}

TEST(VcamFaults, AHungReadWaitsUntilReleasedCancelledOrUnplugged) {
    AttachedCameras cameras{0};
    auto file = OpenAttachedDeviceFile(kPath);
    ASSERT_TRUE(file);
    std::vector<uint8_t> frame;
    for (int how = 0; how < 3; ++how) {
        SCOPED_TRACE(how);
        if (how == 2) {
            file.reset();
            AttachedCameras::Attach(1);  // keeps the registry busy with another camera
            file = OpenAttachedDeviceFile(kPath);
            ASSERT_TRUE(file);
        }
        ASSERT_EQ(TavlinVcam_FailNext(0, TAVLIN_VCAM_FAULT_HANG_FRAME, 1), 1);
        auto read = std::async(std::launch::async, [&] { return ReadFrame(*file, frame); });
        ASSERT_TRUE(WaitUntilBlocked());
        EXPECT_EQ(read.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
        if (how == 0) TavlinVcam_SetStall(0, 0);
        if (how == 1) file->Cancel();
        if (how == 2) TavlinVcam_Detach(0);
        EXPECT_EQ(read.get(), -1);
        if (how != 2) {
            EXPECT_EQ(Waiting(), 0u);
        }
        if (how == 1) {
            // A cancelled handle stays dead; a new one works.
            EXPECT_EQ(ReadFrame(*file, frame), -1);
            file = OpenAttachedDeviceFile(kPath);
            ASSERT_TRUE(file);
            EXPECT_EQ(ReadFrame(*file, frame), kFrame);
        }
        if (how == 0) {
            EXPECT_EQ(ReadFrame(*file, frame), kFrame);
        }
    }
}

TEST(VcamFaults, CancelEndsAStalledReadOnThatHandleOnly) {
    AttachedCameras cameras{0};
    auto stalled = OpenAttachedDeviceFile(kPath);
    auto other = OpenAttachedDeviceFile(kPath);
    ASSERT_TRUE(stalled && other);
    std::vector<uint8_t> a, b;
    TavlinVcam_SetStall(0, 1);
    auto read = std::async(std::launch::async, [&] { return ReadFrame(*stalled, a); });
    ASSERT_TRUE(WaitUntilBlocked());
    stalled->Cancel();
    EXPECT_EQ(read.get(), -1);
    TavlinVcam_SetStall(0, 0);
    EXPECT_EQ(ReadFrame(*other, b), kFrame);
}

TEST(VcamFaults, AnOverlongCountCrossesTheSocketOnlyWithAFullBuffer) {
    const wire::RequestHeader read{proto::kCodePipeInput,
                                   wire::kFlagHasInput | wire::kFlagHasOutput, 4, 100, 0};
    const auto full = wire::DecodeReply(wire::EncodeReply({true, 150, 100}), read);
    ASSERT_TRUE(full);
    EXPECT_EQ(full->returned, 150u);
    EXPECT_FALSE(wire::DecodeReply(wire::EncodeReply({true, 150, 99}), read));
    EXPECT_FALSE(wire::DecodeReply(wire::EncodeReply({true, 150, 150}), read));
    const wire::RequestHeader noBuffer{proto::kCodeDriverSetting, wire::kFlagHasInput, 44, 0, 0};
    EXPECT_FALSE(wire::DecodeReply(wire::EncodeReply({true, 1, 0}), noBuffer));
}

}  // namespace
}  // namespace tavlin::vcam
