// Cameras attached inside a process exist for that process alone: their claims must neither
// block nor be blocked by other processes, whatever those stream at the same device index.
#include "multiprocess/daemon_fixture.h"

namespace tavlin::test {
namespace {

class PrivateCameraTest : public DaemonTest {
  protected:
    // A client with its own in-process camera at index 0, opened with small fast frames.
    ChildProcess& StartPrivateClient() {
        auto& client = StartClient();
        EXPECT_EQ(Ask(client, "attach 0"), "ok");
        OpenSmall(client);
        return client;
    }
};

TEST_F(PrivateCameraTest, TwoProcessesStreamTheirOwnCamerasAtTheSameIndex) {
    auto& first = StartPrivateClient();
    auto& second = StartPrivateClient();
    ASSERT_EQ(Ask(first, "callback"), "ok");
    ASSERT_EQ(Ask(second, "callback"), "ok");
    // Both deliver while the other streams, not one after the other.
    for (int round = 0; round < 3; ++round) {
        EXPECT_EQ(Ask(first, "frames 2"), "ok");
        EXPECT_EQ(Ask(second, "frames 2"), "ok");
    }
    EXPECT_EQ(Ask(first, "stop"), "ok");
    EXPECT_EQ(Ask(second, "stop"), "ok");
}

TEST_F(PrivateCameraTest, PrivateAndDaemonCamerasAtOneIndexDoNotBlockEachOther) {
    ASSERT_TRUE(StartDaemon());
    auto& shared = StartClient();
    OpenSmall(shared);
    auto& own = StartPrivateClient();
    // The daemon's camera first, then a private one at the same index, and the other way round.
    ASSERT_EQ(Ask(shared, "callback"), "ok");
    ASSERT_EQ(Ask(own, "callback"), "ok");
    EXPECT_EQ(Ask(shared, "frames 2"), "ok");
    EXPECT_EQ(Ask(own, "frames 2"), "ok");
    ASSERT_EQ(Ask(shared, "stop"), "ok");
    ASSERT_EQ(Ask(shared, "callback"), "ok");
    EXPECT_EQ(Ask(shared, "frames 2"), "ok");
    EXPECT_EQ(Ask(own, "stop"), "ok");
    EXPECT_EQ(Ask(shared, "stop"), "ok");
}

TEST_F(PrivateCameraTest, TheDaemonCameraStillGoesToOneProcessBesideAPrivateStreamer) {
    ASSERT_TRUE(StartDaemon());
    auto& own = StartPrivateClient();
    auto& first = StartClient();
    auto& second = StartClient();
    OpenSmall(first);
    OpenSmall(second);
    ASSERT_EQ(Ask(own, "callback"), "ok");
    ASSERT_EQ(Ask(first, "callback"), "ok");
    EXPECT_EQ(Ask(second, "start"), "fail 1 2");
    EXPECT_EQ(Ask(own, "frames 2"), "ok");
    EXPECT_EQ(Ask(first, "stop"), "ok");
    EXPECT_EQ(Ask(own, "stop"), "ok");
}

}  // namespace
}  // namespace tavlin::test
