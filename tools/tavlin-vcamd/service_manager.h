// Running under a service manager (systemd): listening sockets handed over by socket activation
// (LISTEN_FDS), and state reports for Type=notify (NOTIFY_SOCKET). Without either variable the
// daemon binds its own sockets and reports nothing.
#pragma once

#include <string>
#include <vector>

#include "vcam/unix_socket.h"

namespace tavlin::vcamd {

struct InheritedSocket {
    std::string path;  // where it is bound
    vcam::UniqueFd fd;
};

// Takes the sockets passed in (none when the daemon was not socket-activated). Each must be a
// listening Unix stream socket bound to a path; otherwise false, and `error` names the one.
bool TakeInheritedSockets(std::vector<InheritedSocket>& sockets, std::string& error);

// Tells the service manager the daemon accepts clients / is stopping; no-op without one.
void NotifyReady(const std::string& status);
void NotifyStopping();

}  // namespace tavlin::vcamd
