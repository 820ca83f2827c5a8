#include "daemon_control.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>

namespace ctl {

namespace {

// Closes the descriptor on every path out.
class Socket {
  public:
    Socket() : fd_(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0)) {}
    ~Socket() {
        if (fd_ >= 0) ::close(fd_);
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    int Get() const { return fd_; }

  private:
    int fd_;
};

std::string SocketFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/') return std::string(runtime) + "/tavlin";
    return "/tmp/tavlin-" + std::to_string(::getuid());
}

bool SendAll(int fd, const std::string& data) {
    size_t sent = 0;
    while (sent < data.size()) {
        const ssize_t n = ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

// Reads until the daemon closes, or false when the deadline passes first.
bool ReceiveAll(int fd, int timeoutMs, std::string* reply) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    char chunk[4096];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd p{fd, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) return false;
        const ssize_t n = ::recv(fd, chunk, sizeof(chunk), 0);
        if (n == 0) return true;
        if (n < 0) return false;
        reply->append(chunk, static_cast<size_t>(n));
    }
}

}  // namespace

std::string ControlSocketPath(std::string* why) {
    const std::string folder = SocketFolder();
    struct stat info {};
    if (::lstat(folder.c_str(), &info) != 0) {
        *why = "no socket folder " + folder;
        return "";
    }
    if (!S_ISDIR(info.st_mode) || info.st_uid != ::getuid() || (info.st_mode & 077) != 0) {
        *why = "socket folder " + folder + " is not a private folder of this user";
        return "";
    }
    return folder + "/control.sock";
}

DaemonReply SendDaemonCommand(const std::string& command, int timeoutMs) {
    DaemonReply result;
    const std::string path = ControlSocketPath(&result.text);
    if (path.empty()) return result;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof(address.sun_path)) {
        result.text = "socket path too long: " + path;
        return result;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    Socket socket;
    if (socket.Get() < 0 || ::connect(socket.Get(), reinterpret_cast<const sockaddr*>(&address),
                                      sizeof(address)) != 0) {
        result.text = "no daemon listens on " + path;
        return result;
    }
    std::string reply;
    if (!SendAll(socket.Get(), command + "\n") || ::shutdown(socket.Get(), SHUT_WR) != 0 ||
        !ReceiveAll(socket.Get(), timeoutMs, &reply) || reply.empty()) {
        result.text = "no reply from the daemon on " + path;
        return result;
    }
    result.reached = true;
    // Only the first line is the reply proper; a trace adds further lines.
    std::string first = reply.substr(0, reply.find('\n'));
    result.ok = first == "ok" || first.starts_with("ok ");
    if (result.ok) {
        result.text = reply.substr(std::min(reply.size(), size_t{3}));
    } else {
        result.text = first.starts_with("error ") ? first.substr(6) : first;
    }
    while (!result.text.empty() && result.text.back() == '\n') result.text.pop_back();
    return result;
}

}  // namespace ctl
