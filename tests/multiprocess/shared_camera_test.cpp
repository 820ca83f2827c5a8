// Several SDK applications, each its own process, on one camera served by the daemon.
#include <signal.h>

#include "multiprocess/daemon_fixture.h"

namespace tavlin::test {
namespace {

class SharedCameraTest : public DaemonTest {};

TEST_F(SharedCameraTest, SecondProcessIsRefusedWhileTheFirstStreams) {
    ASSERT_TRUE(StartDaemon());
    auto& first = StartClient();
    auto& second = StartClient();
    OpenSmall(first);
    OpenSmall(second);
    ASSERT_EQ(Ask(first, "callback"), "ok");
    ASSERT_EQ(Ask(first, "frames 3"), "ok");
    // Newest first: the generic 1 is recorded after the 2 of the claimed device.
    EXPECT_EQ(Ask(second, "start"), "fail 1 2");
    EXPECT_EQ(Ask(first, "frames 2"), "ok");
    ASSERT_EQ(Ask(first, "stop"), "ok");
    EXPECT_EQ(Ask(second, "callback"), "ok");
    EXPECT_EQ(Ask(second, "frames 3"), "ok");
    EXPECT_EQ(Ask(second, "stop"), "ok");
}

TEST_F(SharedCameraTest, KilledStreamerDoesNotBlockTheNext) {
    ASSERT_TRUE(StartDaemon());
    auto& first = StartClient();
    OpenSmall(first);
    ASSERT_EQ(Ask(first, "callback"), "ok");
    ASSERT_EQ(Ask(first, "frames 2"), "ok");
    first.Kill();
    first.Wait();  // reaped, so its process id names nobody

    auto& second = StartClient();
    OpenSmall(second);
    EXPECT_EQ(Ask(second, "callback"), "ok");
    EXPECT_EQ(Ask(second, "frames 3"), "ok");
    EXPECT_EQ(Ask(second, "stop"), "ok");
    // The dead process's handles were closed with its connections; only the second's remain.
    EXPECT_EQ(Ask(second, "exit"), "");
    clients_.clear();
}

TEST_F(SharedCameraTest, OfProcessesStartingAtOnceExactlyOneStreams) {
    constexpr int kProcesses = 6;
    ASSERT_TRUE(StartDaemon());
    std::vector<ChildProcess*> clients;
    for (int i = 0; i < kProcesses; ++i) {
        clients.push_back(&StartClient());
        OpenSmall(*clients.back());
    }
    for (int round = 0; round < 3; ++round) {
        // Every client gets its command before any answers, so the starts overlap.
        for (ChildProcess* client : clients) client->Send("start");
        int winner = -1;
        for (int i = 0; i < kProcesses; ++i) {
            const std::string reply = clients[i]->ReadLine();
            if (reply == "ok") {
                EXPECT_EQ(winner, -1) << "round " << round << ": a second process streams";
                winner = i;
            } else {
                EXPECT_EQ(reply, "fail 1 2") << "round " << round;
            }
        }
        ASSERT_NE(winner, -1) << "round " << round;
        ASSERT_EQ(Ask(*clients[winner], "stop"), "ok");
    }
}

TEST_F(SharedCameraTest, RegisterWritesAreSeenByOtherProcesses) {
    ASSERT_TRUE(StartDaemon());
    auto& writer = StartClient();
    auto& reader = StartClient();
    ASSERT_EQ(Ask(writer, "open"), "ok");
    ASSERT_EQ(Ask(reader, "open"), "ok");
    ASSERT_EQ(Ask(writer, "write 9 777"), "ok");
    EXPECT_EQ(Ask(reader, "read 9"), "ok 777");
    EXPECT_EQ(Control("sensor 0 9"), "ok 777\n");
    ASSERT_EQ(Ask(reader, "write 43 21"), "ok");
    EXPECT_EQ(Ask(writer, "read 43"), "ok 21");
}

TEST_F(SharedCameraTest, RegisterWritesTravelWhileAnotherProcessStreams) {
    ASSERT_TRUE(StartDaemon());
    auto& streamer = StartClient();
    auto& writer = StartClient();
    OpenSmall(streamer);
    ASSERT_EQ(Ask(writer, "open"), "ok");
    ASSERT_EQ(Ask(streamer, "callback"), "ok");
    for (int value = 100; value < 110; ++value) {
        ASSERT_EQ(Ask(writer, "write 9 " + std::to_string(value)), "ok");
        ASSERT_EQ(Ask(streamer, "read 9"), "ok " + std::to_string(value));
    }
    EXPECT_EQ(Ask(streamer, "frames 2"), "ok");
    EXPECT_EQ(Ask(streamer, "stop"), "ok");
}

}  // namespace
}  // namespace tavlin::test
