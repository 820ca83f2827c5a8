// One connection on the daemon's control socket: lines in, replies out, without blocking the
// daemon's event loop. Commands run in the order they arrive.
#pragma once

#include <string>
#include <string_view>

#include "vcam/unix_socket.h"

namespace tavlin::vcamd {

class ControlSession {
  public:
    explicit ControlSession(vcam::UniqueFd fd) : fd_(std::move(fd)) {}

    int Fd() const { return fd_.Get(); }
    // Poll events the session waits for.
    short Events() const;
    // Handles readiness; false when the session is finished and can be dropped.
    bool Service(short revents);
    // A command asked the daemon to stop.
    bool ShutdownRequested() const { return shutdownRequested_; }
    // Sends what it can of the pending replies without waiting (used when the daemon stops).
    void FlushNow();

  private:
    void ReadInput();
    void RunCompleteLines();
    void Execute(std::string_view line);
    void WriteOutput();

    vcam::UniqueFd fd_;
    std::string input_;
    std::string output_;
    bool peerClosed_ = false;
    bool failed_ = false;
    bool shutdownRequested_ = false;
};

}  // namespace tavlin::vcamd
