#include "vcam/unix_socket.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/uio.h>
#include <sys/un.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace tavlin::vcam {

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
}

int UniqueFd::Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

void UniqueFd::Reset(int fd) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
}

bool SocketStream::ReadExact(void* data, size_t size) {
    auto* at = static_cast<uint8_t*>(data);
    while (size > 0) {
        const ssize_t n = ::recv(fd_, at, size, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        at += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool SocketStream::WriteAll(const void* data, size_t size) {
    const auto* at = static_cast<const uint8_t*>(data);
    while (size > 0) {
        // MSG_NOSIGNAL: a peer that went away must fail this call, not kill the process.
        const ssize_t n = ::send(fd_, at, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        at += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool ByteStream::WriteParts(std::initializer_list<Part> parts) {
    for (const auto& part : parts) {
        if (part.size > 0 && !WriteAll(part.data, part.size)) return false;
    }
    return true;
}

bool SocketStream::WriteParts(std::initializer_list<Part> parts) {
    std::array<iovec, 4> vectors{};
    size_t count = 0;
    for (const auto& part : parts) {
        if (part.size == 0) continue;
        if (count == vectors.size()) return ByteStream::WriteParts(parts);
        vectors[count++] = {const_cast<void*>(part.data), part.size};
    }
    iovec* next = vectors.data();
    while (count > 0) {
        msghdr message{};
        message.msg_iov = next;
        message.msg_iovlen = count;
        const ssize_t n = ::sendmsg(fd_, &message, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        // Skip what went out, possibly ending inside a part.
        auto sent = static_cast<size_t>(n);
        while (count > 0 && sent >= next->iov_len) {
            sent -= next->iov_len;
            ++next;
            --count;
        }
        if (count > 0) {
            next->iov_base = static_cast<uint8_t*>(next->iov_base) + sent;
            next->iov_len -= sent;
        }
    }
    return true;
}

std::string DaemonSocketDir() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/') return std::string(runtime) + "/tavlin";
    return "/tmp/tavlin-" + std::to_string(::getuid());
}

std::string DeviceSocketPath(std::string_view deviceName) {
    return DaemonSocketDir() + "/" + std::string(deviceName) + ".sock";
}

std::string ControlSocketPath() {
    return DaemonSocketDir() + "/control.sock";
}

bool PrivateFolder(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) return false;
    return S_ISDIR(info.st_mode) && info.st_uid == ::getuid() &&
           (info.st_mode & (S_IRWXG | S_IRWXO)) == 0;
}

namespace {

bool FillAddress(const std::string& path, sockaddr_un& address) {
    std::memset(&address, 0, sizeof(address));
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof(address.sun_path)) {
        errno = ENAMETOOLONG;
        return false;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

}  // namespace

std::optional<UniqueFd> ConnectUnixSocket(const std::string& path) {
    sockaddr_un address;
    if (!FillAddress(path, address)) return std::nullopt;
    // Non-blocking while connecting: a daemon that stopped accepting (its backlog full) fails
    // the open at once instead of hanging it. Unix sockets connect at once or not at all.
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!fd.Valid()) return std::nullopt;
    int rc;
    do {
        rc = ::connect(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address));
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) return std::nullopt;
    const int flags = ::fcntl(fd.Get(), F_GETFL);
    if (flags < 0 || ::fcntl(fd.Get(), F_SETFL, flags & ~O_NONBLOCK) != 0) return std::nullopt;
    return fd;
}

std::optional<UniqueFd> ListenUnixSocket(const std::string& path) {
    sockaddr_un address;
    if (!FillAddress(path, address)) return std::nullopt;
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!fd.Valid()) return std::nullopt;
    if (::bind(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(fd.Get(), 64) != 0) {
        return std::nullopt;
    }
    return fd;
}

bool SetReceiveTimeout(int fd, int milliseconds) {
    timeval tv{};
    tv.tv_sec = milliseconds / 1000;
    tv.tv_usec = (milliseconds % 1000) * 1000;
    return ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof(tv)) == 0;
}

}  // namespace tavlin::vcam
