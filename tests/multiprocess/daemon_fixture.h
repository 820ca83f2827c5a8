// A private runtime folder with the virtual-camera daemon in it, and SDK applications as
// separate processes (the sdk_client helper) that reach the daemon's cameras.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "vcam/unix_socket.h"

namespace tavlin::test {

inline constexpr const char* kDaemonProgram = "../tools/tavlin-vcamd/tavlin-vcamd";

class DaemonTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* base = getenv("TAVLIN_TEST_TMP");
        // Short: socket paths must fit the 108 bytes of a socket address.
        root_ = std::filesystem::path(base ? base : "/tmp") / ("mp-" + std::to_string(getpid()));
        std::filesystem::remove_all(root_);
        std::filesystem::create_directories(root_ / "run");
        std::filesystem::create_directories(root_ / "config");
        // Children inherit these: the daemon puts its sockets there, clients look there.
        setenv("XDG_RUNTIME_DIR", (root_ / "run").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (root_ / "config").c_str(), 1);
    }

    void TearDown() override {
        clients_.clear();
        daemon_.reset();
        std::filesystem::remove_all(root_);
    }

    std::filesystem::path SocketFolder() const { return root_ / "run" / "tavlin"; }

    // Starts the daemon and waits until it serves; false when it did not come up.
    bool StartDaemon(std::vector<std::string> args = {"--cameras", "0"}) {
        daemon_ = std::make_unique<ChildProcess>();
        if (!daemon_->Start(kDaemonProgram, args)) return false;
        return daemon_->ReadLine().starts_with("tavlin-vcamd: serving");
    }

    // Stops the daemon with a signal and returns its exit status (-1: killed by it).
    int StopDaemon(int signal = SIGTERM) {
        kill(daemon_->Pid(), signal);
        const int status = daemon_->Wait();
        daemon_.reset();
        return status;
    }

    // One command on the control socket; the daemon's whole reply.
    std::string Control(const std::string& command) {
        auto fd = vcam::ConnectUnixSocket(vcam::ControlSocketPath());
        if (!fd) return "no daemon";
        vcam::SocketStream stream(fd->Get());
        const std::string line = command + "\n";
        if (!stream.WriteAll(line.data(), line.size())) return "send failed";
        shutdown(fd->Get(), SHUT_WR);
        std::string reply;
        char chunk[4096];
        ssize_t n;
        while ((n = recv(fd->Get(), chunk, sizeof(chunk), 0)) > 0) reply.append(chunk, size_t(n));
        return reply;
    }

    // An SDK application in its own process.
    ChildProcess& StartClient() {
        clients_.push_back(std::make_unique<ChildProcess>());
        EXPECT_TRUE(clients_.back()->Start("sdk_client", {}));
        return *clients_.back();
    }

    static std::string Ask(ChildProcess& client, const std::string& command) {
        client.Send(command);
        return client.ReadLine();
    }

    // Opens the camera in the client with small fast frames.
    static void OpenSmall(ChildProcess& client) {
        ASSERT_EQ(Ask(client, "open"), "ok");
        ASSERT_EQ(Ask(client, "small"), "ok");
    }

    std::filesystem::path root_;
    std::unique_ptr<ChildProcess> daemon_;
    std::vector<std::unique_ptr<ChildProcess>> clients_;
};

}  // namespace tavlin::test
