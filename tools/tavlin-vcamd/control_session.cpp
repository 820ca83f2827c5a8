#include "control_session.h"

#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>

#include "vcam/control_command.h"

namespace tavlin::vcamd {

namespace {

constexpr size_t kMaxLine = 4096;
// A reader that never drains its replies is dropped rather than buffered without end.
constexpr size_t kMaxPendingOutput = 16u << 20;

}  // namespace

short ControlSession::Events() const {
    short events = 0;
    if (!peerClosed_ && !failed_) events |= POLLIN;
    if (!output_.empty()) events |= POLLOUT;
    return events;
}

bool ControlSession::Service(short revents) {
    if (revents & (POLLIN | POLLHUP)) ReadInput();
    if (revents & POLLERR) failed_ = true;
    RunCompleteLines();
    if (!output_.empty() && !failed_) WriteOutput();
    if (failed_) return false;
    return !(peerClosed_ && output_.empty());
}

void ControlSession::ReadInput() {
    char chunk[4096];
    const ssize_t n = ::recv(fd_.Get(), chunk, sizeof(chunk), MSG_DONTWAIT);
    if (n > 0) {
        input_.append(chunk, static_cast<size_t>(n));
    } else if (n == 0) {
        peerClosed_ = true;
    } else if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
        failed_ = true;
    }
}

void ControlSession::RunCompleteLines() {
    size_t end;
    while (!shutdownRequested_ && (end = input_.find('\n')) != std::string::npos) {
        if (end > kMaxLine) break;
        Execute(std::string_view(input_).substr(0, end));
        input_.erase(0, end + 1);
    }
    // A line too long is refused whether or not its end has arrived, and ends the session.
    const size_t lineLength = std::min(input_.find('\n'), input_.size());
    if (!shutdownRequested_ && lineLength > kMaxLine) {
        output_ += "error line too long\n";
        input_.clear();
        peerClosed_ = true;  // stop reading; the reply still goes out
    }
    // A last command without its newline still counts once the peer has finished sending.
    if (!shutdownRequested_ && peerClosed_ && !input_.empty()) {
        Execute(input_);
        input_.clear();
    }
    if (output_.size() > kMaxPendingOutput) failed_ = true;
}

void ControlSession::Execute(std::string_view line) {
    const auto result = vcam::ExecuteControlCommand(line);
    output_ += result.reply;
    shutdownRequested_ = result.shutdown;
}

void ControlSession::WriteOutput() {
    const ssize_t n =
        ::send(fd_.Get(), output_.data(), output_.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
    if (n > 0) {
        output_.erase(0, static_cast<size_t>(n));
    } else if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
        failed_ = true;
    }
}

void ControlSession::FlushNow() {
    if (!failed_ && !output_.empty()) WriteOutput();
}

}  // namespace tavlin::vcamd
