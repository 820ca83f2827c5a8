#include "service_manager.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <systemd/sd-daemon.h>

#include <cerrno>
#include <cstddef>
#include <cstring>

namespace tavlin::vcamd {

namespace {

// The path a Unix socket is bound to; empty for an unnamed or abstract one.
std::string BoundPath(int fd) {
    sockaddr_un address{};
    socklen_t length = sizeof(address);
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) return {};
    const size_t pathBytes =
        length > offsetof(sockaddr_un, sun_path) ? length - offsetof(sockaddr_un, sun_path) : 0;
    if (pathBytes == 0 || address.sun_path[0] == '\0') return {};
    return std::string(address.sun_path, strnlen(address.sun_path, pathBytes));
}

}  // namespace

bool TakeInheritedSockets(std::vector<InheritedSocket>& sockets, std::string& error) {
    // Unsets the variables (children must not take the sockets for theirs) and marks the
    // descriptors close-on-exec.
    const int count = sd_listen_fds(1);
    if (count < 0) {
        error = std::string("cannot take the sockets passed in: ") + std::strerror(-count);
        return false;
    }
    for (int fd = SD_LISTEN_FDS_START; fd < SD_LISTEN_FDS_START + count; ++fd) {
        InheritedSocket socket{BoundPath(fd), vcam::UniqueFd(fd)};
        if (sd_is_socket_unix(fd, SOCK_STREAM, 1, nullptr, 0) <= 0 || socket.path.empty()) {
            error = "socket passed in as descriptor " + std::to_string(fd) +
                    " is not a listening Unix stream socket bound to a path";
            return false;
        }
        // Accepts follow poll; a client gone in between must not block the loop.
        const int flags = ::fcntl(fd, F_GETFL);
        if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0) {
            error = std::string("cannot use the sockets passed in: ") + std::strerror(errno);
            return false;
        }
        sockets.push_back(std::move(socket));
    }
    return true;
}

void NotifyReady(const std::string& status) {
    sd_notify(0, ("READY=1\nSTATUS=" + status).c_str());
}

void NotifyStopping() {
    sd_notify(0, "STOPPING=1");
}

}  // namespace tavlin::vcamd
