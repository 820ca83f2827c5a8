#include "vcam/control_command.h"

#include <gtest/gtest.h>

#include "tavlin/tavlin_vcam.h"
#include "vcam/device_file.h"
#include "vcam_test_support.h"

namespace tavlin::vcam {
namespace {

std::string Reply(std::string_view line) {
    return ExecuteControlCommand(line).reply;
}

class ControlCommandTest : public ::testing::Test {
  protected:
    void TearDown() override { TavlinVcam_DetachAll(); }
};

TEST_F(ControlCommandTest, AttachListAndDetachChangeTheCameras) {
    EXPECT_EQ(Reply("list"), "ok\n");
    EXPECT_EQ(Reply("attach 2"), "ok\n");
    EXPECT_EQ(Reply("attach 0x1F"), "ok\n");
    EXPECT_EQ(Reply("attach 2"), "error a camera is already attached there\n");
    EXPECT_EQ(Reply("  list \r"), "ok 2 31\n");
    EXPECT_EQ(Reply("detach 2"), "ok\n");
    EXPECT_EQ(Reply("detach 2"), "error no camera at 2\n");
    EXPECT_EQ(TavlinVcam_IsAttached(2), 0);
    EXPECT_EQ(TavlinVcam_IsAttached(31), 1);
}

TEST_F(ControlCommandTest, MalformedCommandsChangeNothing) {
    ASSERT_EQ(Reply("attach 1"), "ok\n");
    for (const char* line : {"",
                             "attach",
                             "attach 32",
                             "attach -1",
                             "attach 1x",
                             "attach 0x",
                             "attach 99999999999999999999",
                             "detach 1 2",
                             "fail 1 frame",
                             "fail 1 frame -3",
                             "fail 1 everything 2",
                             "pacing 1 slow",
                             "scene 1 raw",
                             "scene 1 sky",
                             "noise 1 256",
                             "noise 1 -1",
                             "noise 1 4 0x100000000",
                             "noise 1 4 5 6",
                             "stall 1 maybe",
                             "sensor 1 0x10000",
                             "trigger 1 0",
                             "trace 1 x",
                             "raw 1 12 /dev/null",
                             "raw 1 8",
                             "srom-write 1 0 256",
                             "frobnicate 1",
                             "shutdown now"}) {
        const auto result = ExecuteControlCommand(line);
        EXPECT_TRUE(result.reply.starts_with("error ")) << line << " -> " << result.reply;
        EXPECT_FALSE(result.shutdown) << line;
    }
    TavlinVcamCounters c{};
    ASSERT_EQ(TavlinVcam_GetCounters(1, &c), 1);
    EXPECT_EQ(c.framesFailed + c.commands, 0u);
    EXPECT_EQ(Reply("list"), "ok 1\n");
    EXPECT_TRUE(ExecuteControlCommand("shutdown").shutdown);
}

TEST_F(ControlCommandTest, ControlsReachTheCamera) {
    testing::AttachedCameras cameras({3});
    EXPECT_EQ(Reply("srom-write 3 0x1EB0 0"), "ok\n");
    EXPECT_EQ(Reply("srom 3 7856"), "ok 0\n");  // 0x1EB0
    EXPECT_EQ(Reply("sensor 3 9"), "ok 1049\n");
    EXPECT_EQ(Reply("driver-setting 3"), "ok 3000\n");
    EXPECT_EQ(Reply("transfer-size 3"), "ok 0\n");
    EXPECT_EQ(Reply("trigger 3 4"), "ok 0\n");  // not in trigger mode
    EXPECT_EQ(Reply("scene 3 chart"), "ok\n");
    EXPECT_EQ(Reply("noise 3 8 42"), "ok\n");
    EXPECT_EQ(Reply("noise 3 0"), "ok\n");
    EXPECT_EQ(Reply("fail 3 command 1"), "ok\n");

    auto file = OpenAttachedDeviceFile("\\\\.\\TvlnQZ410VKE-3");
    ASSERT_TRUE(file);
    const uint8_t pipe0[4] = {0, 0, 0, 0};
    uint8_t packet[64] = {0x04, 9, 0x01, 0x00};  // shutter 256
    uint32_t got = 0;
    EXPECT_FALSE(file->IoControl(0x222051, pipe0, 4, packet, 64, &got));  // the injected fault
    EXPECT_TRUE(file->IoControl(0x222051, pipe0, 4, packet, 64, &got));
    EXPECT_EQ(Reply("sensor 3 9"), "ok 256\n");
    EXPECT_EQ(Reply("counters 3"),
              "ok delivered=0 short=0 failed=0 commands=1 triggers-pending=0 handles=1\n");

    const std::string trace = Reply("trace 3 0 10");
    EXPECT_EQ(trace.substr(0, trace.find('\n')), "ok 2");
    // sequence handle code pipe length returned succeeded data
    EXPECT_NE(trace.find("\n0 1 0x222051 0 64 0 0 0409010000"), std::string::npos) << trace;
    EXPECT_NE(trace.find("\n1 1 0x222051 0 64 64 1 0409010000"), std::string::npos) << trace;
    EXPECT_EQ(Reply("trace 3 1 1").substr(0, 5), "ok 1\n");
    EXPECT_EQ(Reply("clear-trace 3"), "ok\n");
    EXPECT_EQ(Reply("trace 3"), "ok 0\n");
}

}  // namespace
}  // namespace tavlin::vcam
