// The daemon as a process: its controls while clients stream, one daemon per folder, leftovers
// of a dead daemon, and a clean stop.
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <chrono>
#include <thread>

#include "multiprocess/daemon_fixture.h"

namespace tavlin::test {
namespace {

namespace fs = std::filesystem;

class VcamDaemonTest : public DaemonTest {
  protected:
    std::vector<std::string> Sockets() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(SocketFolder())) {
            if (entry.path().extension() == ".sock") names.push_back(entry.path().filename());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(VcamDaemonTest, ServesTheCamerasOfItsCommandLine) {
    ASSERT_TRUE(StartDaemon({"--cameras", "0,3-4", "--pacing", "fast"}));
    EXPECT_EQ(Sockets(), (std::vector<std::string>{"TvlnQZ410VKE-0.sock", "TvlnQZ410VKE-3.sock",
                                                   "TvlnQZ410VKE-4.sock", "control.sock"}));
    EXPECT_EQ(Control("list"), "ok 0 3 4\n");
    EXPECT_EQ(Control("sensor 3 0"), "ok 33841\n");  // chip version 0x8431
    EXPECT_EQ(Control("srom 4 0x1EB0"), "ok 1\n");
    EXPECT_EQ(Control("sensor 1 0"), "error no camera at 1\n");
    EXPECT_EQ(Control("bogus"), "error unknown command bogus; try help\n");
    EXPECT_EQ(fs::status(SocketFolder()).permissions() & fs::perms::all, fs::perms::owner_all);
}

TEST_F(VcamDaemonTest, RefusesBadCommandLines) {
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--cameras", "32"}, {"--cameras", "3-1"}, {"--pacing", "slow"}, {"--cameras"}}) {
        ChildProcess daemon;
        ASSERT_TRUE(daemon.Start(kDaemonProgram, args));
        EXPECT_EQ(daemon.Wait(), 2);
    }
}

TEST_F(VcamDaemonTest, RefusesASocketFolderItCannotUseSafely) {
    fs::create_directories(SocketFolder());
    fs::permissions(SocketFolder(), fs::perms::owner_all | fs::perms::group_read |
                                        fs::perms::group_exec | fs::perms::others_read |
                                        fs::perms::others_exec);
    ChildProcess open;
    ASSERT_TRUE(open.Start(kDaemonProgram, {}));
    EXPECT_EQ(open.Wait(), 1);
    EXPECT_FALSE(fs::exists(SocketFolder() / "control.sock"));

    // Socket addresses hold 108 bytes: a deeper folder cannot serve, and says so.
    const fs::path deep = root_ / std::string(100, 'd');
    fs::create_directories(deep);
    setenv("XDG_RUNTIME_DIR", deep.c_str(), 1);
    ChildProcess tooDeep;
    ASSERT_TRUE(tooDeep.Start(kDaemonProgram, {}));
    EXPECT_EQ(tooDeep.Wait(), 1);
}

TEST_F(VcamDaemonTest, ASecondDaemonOnTheSameFolderIsRefused) {
    ASSERT_TRUE(StartDaemon());
    ChildProcess second;
    ASSERT_TRUE(second.Start(kDaemonProgram, {"--cameras", "1"}));
    EXPECT_EQ(second.Wait(), 1);
    // The first one's sockets and cameras are untouched.
    EXPECT_EQ(Control("list"), "ok 0\n");
    EXPECT_EQ(Sockets(), (std::vector<std::string>{"TvlnQZ410VKE-0.sock", "control.sock"}));
}

TEST_F(VcamDaemonTest, SocketsLeftByADeadDaemonAreCleanedUp) {
    ASSERT_TRUE(StartDaemon({"--cameras", "0,5"}));
    EXPECT_EQ(StopDaemon(SIGKILL), -1);
    ASSERT_EQ(Sockets().size(), 3u);  // left behind, nobody listening
    ASSERT_TRUE(StartDaemon({"--cameras", "1"}));
    EXPECT_EQ(Sockets(), (std::vector<std::string>{"TvlnQZ410VKE-1.sock", "control.sock"}));
    auto& client = StartClient();
    ASSERT_EQ(Ask(client, "open"), "ok");  // selects device 0: absent now
    EXPECT_EQ(Control("counters 1"),
              "ok delivered=0 short=0 failed=0 commands=0 "
              "triggers-pending=0 handles=0\n");
}

TEST_F(VcamDaemonTest, SigtermStopsCleanlyWhileAClientStreams) {
    ASSERT_TRUE(StartDaemon());
    auto& client = StartClient();
    OpenSmall(client);
    ASSERT_EQ(Ask(client, "callback"), "ok");
    ASSERT_EQ(Ask(client, "frames 2"), "ok");
    EXPECT_EQ(StopDaemon(SIGTERM), 0);
    EXPECT_TRUE(Sockets().empty());
    // The client saw its camera go, as with an unplugged one, and lives on: no SIGPIPE. Frames
    // that arrived before the daemon went may still be queued ahead of the stream's end.
    EXPECT_EQ(Ask(client, "stopped"), "ok 13");
    EXPECT_EQ(Ask(client, "frames 1 500"), "fail 0");
    EXPECT_EQ(Ask(client, "stop"), "ok");
    EXPECT_TRUE(Ask(client, "read 9").starts_with("fail"));
    client.Send("exit");
    EXPECT_EQ(client.Wait(), 0);
}

TEST_F(VcamDaemonTest, GarbageOnItsSocketsDoesNotHurtTheDaemon) {
    ASSERT_TRUE(StartDaemon());
    {
        // A peer speaking something else: a request header claiming a 4 GiB buffer.
        auto fd = vcam::ConnectUnixSocket((SocketFolder() / "TvlnQZ410VKE-0.sock").string());
        ASSERT_TRUE(fd);
        vcam::SocketStream stream(fd->Get());
        uint8_t hello[12];
        ASSERT_TRUE(stream.ReadExact(hello, sizeof(hello)));
        const uint8_t garbage[24] = {0x54, 0x56, 0x52, 0x51, 0x51, 0x20, 0x22, 0,    3, 0, 0, 0,
                                     4,    0,    0,    0,    0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0};
        ASSERT_TRUE(stream.WriteAll(garbage, sizeof(garbage)));
        EXPECT_FALSE(stream.ReadExact(hello, 1));  // dropped without an answer
    }
    EXPECT_EQ(Control(std::string(5000, 'x')), "error line too long\n");
    EXPECT_EQ(Control("ping\n" + std::string(5000, 'x') + "\nping"), "ok\nerror line too long\n");
    EXPECT_EQ(Control("ping\nlist\n\nhelp me"),
              "ok\nok 0\nerror empty command\nerror unknown command help; try help\n");
    auto& client = StartClient();
    ASSERT_EQ(Ask(client, "open"), "ok");
    EXPECT_EQ(Ask(client, "read 9"), "ok 1049");
}

TEST_F(VcamDaemonTest, ShutdownCommandStopsTheDaemon) {
    ASSERT_TRUE(StartDaemon());
    EXPECT_EQ(Control("shutdown"), "ok\n");
    EXPECT_EQ(daemon_->Wait(), 0);
    EXPECT_TRUE(Sockets().empty());
}

TEST_F(VcamDaemonTest, CamerasUnplugAndPlugBackWhileAClientStreams) {
    ASSERT_TRUE(StartDaemon());
    auto& first = StartClient();
    OpenSmall(first);
    ASSERT_EQ(Ask(first, "callback"), "ok");
    ASSERT_EQ(Ask(first, "frames 2"), "ok");
    EXPECT_EQ(Control("detach 0"), "ok\n");
    EXPECT_EQ(Sockets(), (std::vector<std::string>{"control.sock"}));
    EXPECT_EQ(Ask(first, "stopped"), "ok 13");  // the stream ends as on an unplugged camera
    EXPECT_EQ(Ask(first, "stop"), "ok");
    auto& absent = StartClient();
    EXPECT_EQ(Ask(absent, "open"), "ok");
    EXPECT_EQ(Ask(absent, "read 0"), "fail 6");

    // Plugged back: a fresh camera that a newly opened camera object streams from.
    EXPECT_EQ(Control("attach 0"), "ok\n");
    EXPECT_EQ(Control("sensor 0 9"), "ok 1049\n");
    auto& second = StartClient();
    OpenSmall(second);
    EXPECT_EQ(Ask(second, "callback"), "ok");
    EXPECT_EQ(Ask(second, "frames 3"), "ok");
    EXPECT_EQ(Ask(second, "stop"), "ok");
}

TEST_F(VcamDaemonTest, TriggerPulsesThroughTheControlSocket) {
    ASSERT_TRUE(StartDaemon());
    auto& client = StartClient();
    OpenSmall(client);
    EXPECT_EQ(Control("trigger 0 1"), "ok 0\n");  // not in trigger mode: not accepted
    ASSERT_EQ(Ask(client, "trigger"), "ok");
    ASSERT_EQ(Control("trigger 0 1"), "ok 1\n");  // the first triggered frame is discarded
    EXPECT_EQ(Ask(client, "frames 1 300"), "fail 0");
    ASSERT_EQ(Control("trigger 0 2"), "ok 2\n");
    EXPECT_EQ(Ask(client, "frames 2"), "ok");
    EXPECT_EQ(Ask(client, "frames 1 300"), "fail 0");
    EXPECT_EQ(Ask(client, "stop"), "ok");
}

TEST_F(VcamDaemonTest, FaultsAndReadBackThroughTheControlSocket) {
    ASSERT_TRUE(StartDaemon());
    auto& client = StartClient();
    ASSERT_EQ(Ask(client, "open"), "ok");
    EXPECT_EQ(Control("fail 0 reply 2"), "ok\n");
    // The reply is read twice: both reads fail, so the register read fails.
    EXPECT_EQ(Ask(client, "read 9"), "fail 6");
    EXPECT_EQ(Ask(client, "read 9"), "ok 1049");
    const std::string trace = Control("trace 0 0 100000");
    ASSERT_TRUE(trace.starts_with("ok "));
    EXPECT_NE(trace.find(" 0x22204e 1 64 0 0 "), std::string::npos);  // a failed reply read
    EXPECT_EQ(Control("clear-trace 0"), "ok\n");
    EXPECT_EQ(Control("trace 0"), "ok 0\n");
}

}  // namespace
}  // namespace tavlin::test
