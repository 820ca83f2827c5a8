// Faults of the virtual-camera daemon as this process's SDK sees them: the daemon killed or
// stopped mid-stream, and faults injected through its control socket. The process must not die
// of SIGPIPE, stop and close must come back promptly, and a fresh start works once a daemon
// serves again.
#include <signal.h>
#include <sys/socket.h>

#include <filesystem>

#include "integration/fault_fixture.h"
#include "support/child_process.h"
#include "vcam/unix_socket.h"

namespace tavlin::test {
namespace {

class FaultDaemon : public ::testing::Test {
  protected:
    void SetUp() override {
        // A default SIGPIPE disposition, so a write to a dead daemon would end this process.
        signal(SIGPIPE, SIG_DFL);
        const char* base = getenv("TAVLIN_TEST_TMP");
        // Short: socket paths must fit a socket address.
        root_ = std::filesystem::path(base ? base : "/tmp") / ("fd-" + std::to_string(getpid()));
        std::filesystem::remove_all(root_);
        std::filesystem::create_directories(root_ / "run");
        std::filesystem::create_directories(root_ / "config");
        std::filesystem::permissions(root_ / "run", std::filesystem::perms::owner_all);
        savedRuntime_ = getenv("XDG_RUNTIME_DIR") ? getenv("XDG_RUNTIME_DIR") : "";
        setenv("XDG_RUNTIME_DIR", (root_ / "run").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (root_ / "config").c_str(), 1);
        TavlinVcam_DetachAll();  // device 0 must be the daemon's camera
        ASSERT_TRUE(StartDaemon());
        window_ = TavlinHost_CreateMessageWindow();
        frames_ = TavlinHost_CreateMessageWindow();
        camera_ = Tavlin_Initialize(window_);
        ASSERT_NE(camera_, 0);
        frame_.assign(1280 * 1024 * 4, 0);
        ASSERT_EQ(Tavlin_CallBackPreview(camera_, frames_, frame_.data(),
                                         static_cast<int32_t>(frame_.size()), 1),
                  1);
        ASSERT_TRUE(FramesArrive(2));
        ASSERT_EQ(Tavlin_StopPreview(camera_), 1);
        Drain();
        baseline_ = SteadyResources();
    }

    void TearDown() override {
        if (camera_ != 0) {
            EXPECT_EQ(Tavlin_Release(camera_), 1);
        }
        TavlinHost_DestroyWindow(window_);
        TavlinHost_DestroyWindow(frames_);
        if (daemon_) {
            kill(daemon_->Pid(), SIGCONT);
            kill(daemon_->Pid(), SIGTERM);
            daemon_->Wait();
            daemon_.reset();
        }
        setenv("XDG_RUNTIME_DIR", savedRuntime_.c_str(), 1);
        std::filesystem::remove_all(root_);
    }

    bool StartDaemon() {
        daemon_ = std::make_unique<ChildProcess>();
        if (!daemon_->Start("../tools/tavlin-vcamd/tavlin-vcamd",
                            {"--cameras", "0", "--pacing", "fast"})) {
            return false;
        }
        return daemon_->ReadLine().starts_with("tavlin-vcamd: serving");
    }

    void KillDaemon() {
        kill(daemon_->Pid(), SIGKILL);
        daemon_->Wait();
        daemon_.reset();
    }

    std::string Control(const std::string& command) {
        auto fd = vcam::ConnectUnixSocket(vcam::ControlSocketPath());
        if (!fd) return "no daemon";
        vcam::SocketStream stream(fd->Get());
        const std::string line = command + "\n";
        if (!stream.WriteAll(line.data(), line.size())) return "send failed";
        shutdown(fd->Get(), SHUT_WR);
        std::string reply;
        char chunk[512];
        ssize_t n;
        while ((n = recv(fd->Get(), chunk, sizeof(chunk), 0)) > 0) reply.append(chunk, size_t(n));
        return reply;
    }

    bool BlockedInDaemon() {
        for (int i = 0; i < 500; ++i) {
            if (Control("waiting 0").starts_with("ok 1")) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    bool StartStream() {
        return Tavlin_CallBackPreview(camera_, frames_, frame_.data(),
                                      static_cast<int32_t>(frame_.size()), 1) == 1;
    }

    bool FramesArrive(int count) {
        int seen = 0;
        TavlinMessage m;
        while (seen < count && TavlinHost_GetMessage(frames_, &m, 5000) == 1) {
            if (m.message == TAVLIN_MSG_FRAME && m.wParam != 0) ++seen;
        }
        return seen == count;
    }

    bool StreamStops() {
        TavlinMessage m;
        while (TavlinHost_GetMessage(frames_, &m, 8000) == 1) {
            if (m.message == TAVLIN_MSG_FRAME && m.wParam == 0 &&
                m.lParam == TAVLIN_ERR_STREAM_STOPPED) {
                return true;
            }
        }
        return false;
    }

    void Drain() {
        TavlinMessage m;
        while (TavlinHost_PeekMessage(frames_, &m)) {
        }
        while (TavlinHost_PeekMessage(window_, &m)) {
        }
        while (Tavlin_GetLastError(camera_) != 0) {
        }
    }

    bool StopsPromptly() {
        int32_t result = 0;
        return ReturnsWithin(
                   kPrompt, [&] { return Tavlin_StopPreview(camera_); }, &result) &&
               result == 1;
    }

    bool ClosesPromptly() {
        int32_t result = 0;
        return ReturnsWithin(
                   kPrompt, [&] { return Tavlin_Close(camera_); }, &result) &&
               result == 1;
    }

    // The daemon's pipes to this process count in the baseline: compare with a daemon running.
    void ExpectNothingLeft() {
        EXPECT_FALSE(DeviceClaimed(0));
        EXPECT_EQ(SettledDescriptors(baseline_.descriptors), baseline_.descriptors)
            << DescriptorList();
        EXPECT_EQ(SettledThreadCount(baseline_.threads), baseline_.threads);
    }

    static std::string DescriptorList() {
        std::string list;
        for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
            std::error_code error;
            list += " " + std::filesystem::read_symlink(entry.path(), error).string();
        }
        return list;
    }

    std::filesystem::path root_;
    std::string savedRuntime_;
    std::unique_ptr<ChildProcess> daemon_;
    TAVLIN_HWND window_ = nullptr;
    TAVLIN_HWND frames_ = nullptr;
    int32_t camera_ = 0;
    std::vector<uint8_t> frame_;
    ProcessResources baseline_;
};

TEST_F(FaultDaemon, DaemonKilledMidStreamStopsTheStreamWith13AndANewDaemonServesTheSameHandle) {
    ASSERT_TRUE(StartStream());
    ASSERT_TRUE(FramesArrive(2));
    KillDaemon();
    EXPECT_TRUE(StreamStops());
    // Register writes of the stop meet the dead daemon: no SIGPIPE, no wait.
    EXPECT_TRUE(StopsPromptly());
    EXPECT_TRUE(ClosesPromptly());

    ASSERT_TRUE(StartDaemon());
    ExpectNothingLeft();
    Drain();
    ASSERT_TRUE(StartStream());
    EXPECT_TRUE(FramesArrive(3));
    EXPECT_TRUE(StopsPromptly());
}

TEST_F(FaultDaemon, StoppedDaemonDoesNotHoldStopOrClose) {
    ASSERT_TRUE(StartStream());
    ASSERT_TRUE(FramesArrive(2));
    kill(daemon_->Pid(), SIGSTOP);
    // The transfer thread now waits for a reply that does not come.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(StopsPromptly());
    EXPECT_TRUE(ClosesPromptly());
    kill(daemon_->Pid(), SIGCONT);
    ExpectNothingLeft();
    Drain();
    ASSERT_TRUE(StartStream());
    EXPECT_TRUE(FramesArrive(3));
    EXPECT_TRUE(StopsPromptly());
}

TEST_F(FaultDaemon, FaultsInjectedThroughTheDaemonReachTheStream) {
    // A stalled camera behind the daemon: the stop cancels the read on its socket.
    ASSERT_TRUE(StartStream());
    ASSERT_TRUE(FramesArrive(1));
    ASSERT_TRUE(Control("stall 0 on").starts_with("ok"));
    ASSERT_TRUE(BlockedInDaemon());
    EXPECT_TRUE(StopsPromptly());
    ASSERT_TRUE(Control("stall 0 off").starts_with("ok"));

    // A hung frame read, the second from now.
    Drain();
    ASSERT_TRUE(StartStream());
    ASSERT_TRUE(FramesArrive(1));
    ASSERT_TRUE(Control("fail 0 hang-frame 1 2").starts_with("ok"));
    ASSERT_TRUE(BlockedInDaemon());
    EXPECT_TRUE(ClosesPromptly());
    EXPECT_EQ(Tavlin_GetLastError(camera_), 0);

    // One long frame per run is dropped, over the socket as in-process; two end the run.
    Drain();
    ASSERT_TRUE(StartStream());
    ASSERT_TRUE(Control("fail 0 long 1").starts_with("ok"));
    EXPECT_TRUE(FramesArrive(3));
    EXPECT_EQ(Tavlin_GetLastError(camera_), 0);
    ASSERT_TRUE(Control("fail 0 empty 2").starts_with("ok"));
    EXPECT_TRUE(StreamStops());
    EXPECT_TRUE(StopsPromptly());
    ExpectNothingLeft();

    Drain();
    ASSERT_TRUE(StartStream());
    EXPECT_TRUE(FramesArrive(3));
    EXPECT_TRUE(StopsPromptly());
    EXPECT_TRUE(Control("bogus 0").starts_with("error"));
}

}  // namespace
}  // namespace tavlin::test
