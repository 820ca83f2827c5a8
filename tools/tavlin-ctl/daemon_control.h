// Client side of the virtual-camera daemon's control socket: one text command, one reply.
#pragma once

#include <string>

namespace ctl {

struct DaemonReply {
    bool reached = false;  // a daemon answered
    bool ok = false;       // its reply started with "ok"
    std::string text;      // the reply after "ok " or "error ", or why no daemon was reached
};

// The control socket's path, or "" (with the reason in *why) when the socket folder is missing
// or unsafe: anyone able to write there could impersonate the daemon.
std::string ControlSocketPath(std::string* why);

// Sends one command line and reads the whole reply (waiting at most timeoutMs for it).
DaemonReply SendDaemonCommand(const std::string& command, int timeoutMs = 5000);

}  // namespace ctl
