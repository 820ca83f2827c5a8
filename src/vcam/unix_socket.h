// Unix stream sockets for the camera daemon and its clients: where the sockets live, connecting
// and listening, and whole-message reads and writes that never raise SIGPIPE.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

namespace tavlin::vcam {

// Owns one file descriptor.
class UniqueFd {
  public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { Reset(); }
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int Get() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }
    int Release();
    void Reset(int fd = -1);

  private:
    int fd_ = -1;
};

// Blocking byte transport; the daemon's request loop is written against this so it can be fed
// from memory.
class ByteStream {
  public:
    // One piece of a message written with WriteParts.
    struct Part {
        const void* data;
        size_t size;
    };

    virtual ~ByteStream() = default;
    // False at end of stream or on an error (then nothing more can be read).
    virtual bool ReadExact(void* data, size_t size) = 0;
    virtual bool WriteAll(const void* data, size_t size) = 0;
    // The parts in order, as one message where the transport allows: a peer woken by the first
    // bytes then finds the rest already there.
    virtual bool WriteParts(std::initializer_list<Part> parts);
};

class SocketStream final : public ByteStream {
  public:
    explicit SocketStream(int fd) : fd_(fd) {}
    bool ReadExact(void* data, size_t size) override;
    bool WriteAll(const void* data, size_t size) override;
    bool WriteParts(std::initializer_list<Part> parts) override;

  private:
    int fd_;
};

// The folder of the daemon's sockets: ${XDG_RUNTIME_DIR}/tavlin when XDG_RUNTIME_DIR names an
// absolute path, else /tmp/tavlin-<uid>.
std::string DaemonSocketDir();
// "<dir>/<device name>.sock" and "<dir>/control.sock".
std::string DeviceSocketPath(std::string_view deviceName);
std::string ControlSocketPath();

// A folder fit to hold our sockets: a real folder (not a link) owned by this user that nobody
// else may enter or write. Sockets under /tmp are otherwise open to impersonation.
bool PrivateFolder(const std::string& path);

// Connects to a listening socket; empty when the path is too long or nobody listens.
std::optional<UniqueFd> ConnectUnixSocket(const std::string& path);
// Binds and listens at path (which must not exist); empty on failure.
std::optional<UniqueFd> ListenUnixSocket(const std::string& path);

// Gives up on reads that wait longer than the time (0: wait forever).
bool SetReceiveTimeout(int fd, int milliseconds);

}  // namespace tavlin::vcam
