#include "vcam/socket_device_file.h"

#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>

#include "diag/log.h"
#include "vcam/camera_model.h"
#include "vcam/unix_socket.h"
#include "vcam/wire_protocol.h"

namespace tavlin::vcam {

namespace {

// A daemon that accepted but never answers (stopped) must not hang the open: a stop issues a
// register write or two, and must come back promptly even then. A live daemon answers within
// milliseconds.
constexpr int kHelloTimeoutMs = 1000;

uint32_t FirstWord(const void* in, uint32_t length) {
    if (in == nullptr || length < 4) return 0xFFFFFFFFu;
    const auto* b = static_cast<const uint8_t*>(in);
    return uint32_t{b[0]} | (uint32_t{b[1]} << 8) | (uint32_t{b[2]} << 16) | (uint32_t{b[3]} << 24);
}

// On pipe 0 the output buffer is driver input: the command packet, whichever of the two pipe
// codes carries it (the transfer thread sends its frame requests with the output-direct one).
// For every other request the driver only writes the buffer, so its old content stays here.
uint32_t DirectBytes(uint32_t code, const void* in, uint32_t inLength, const void* out,
                     uint32_t outLength) {
    if (code != protocol::kCodePipeInput && code != protocol::kCodePipeOutput) return 0;
    if (out == nullptr || FirstWord(in, inLength) != protocol::kPipeCommand) return 0;
    return std::min(outLength, wire::kMaxDirect);
}

class SocketDeviceFile final : public DeviceFile {
  public:
    explicit SocketDeviceFile(UniqueFd fd) : fd_(std::move(fd)), stream_(fd_.Get()) {}

    bool IoControl(uint32_t code, const void* in, uint32_t inLength, void* out, uint32_t outLength,
                   uint32_t* bytesReturned) override {
        *bytesReturned = 0;
        std::lock_guard guard(mutex_);
        if (broken_ || cancelled_.load()) return false;
        if (inLength > wire::kMaxInput || outLength > wire::kMaxOutput) return false;
        wire::RequestHeader request;
        request.code = code;
        request.flags = (in ? wire::kFlagHasInput : 0) | (out ? wire::kFlagHasOutput : 0);
        request.inLength = inLength;
        request.outLength = outLength;
        request.directLength = DirectBytes(code, in, inLength, out, outLength);
        bool success = false;
        if (!Exchange(request, in, static_cast<uint8_t*>(out), success, bytesReturned)) {
            // The stream is out of step or gone: this handle fails from now on, like a handle
            // on an unplugged camera.
            broken_ = true;
            ::shutdown(fd_.Get(), SHUT_RDWR);
            *bytesReturned = 0;
            return false;
        }
        return success;
    }

    // Not under the request lock: the request it cancels holds it. Shutting the socket down
    // ends a blocked exchange at once; the handle is dead from then on.
    void Cancel() override {
        cancelled_.store(true);
        ::shutdown(fd_.Get(), SHUT_RDWR);
    }

  private:
    // False when the exchange itself failed; `success` is the driver's answer.
    bool Exchange(const wire::RequestHeader& request, const void* in, uint8_t* out, bool& success,
                  uint32_t* bytesReturned) {
        const auto header = wire::EncodeRequest(request);
        if (!stream_.WriteParts({{header.data(), header.size()},
                                 {in, request.InputBytes()},
                                 {out, request.directLength}})) {
            return false;
        }
        std::array<uint8_t, wire::kReplyHeaderSize> replyBytes;
        if (!stream_.ReadExact(replyBytes.data(), replyBytes.size())) return false;
        const auto reply = wire::DecodeReply(replyBytes, request);
        if (!reply) return false;
        if (reply->dataLength > 0 && !stream_.ReadExact(out, reply->dataLength)) return false;
        success = reply->success;
        *bytesReturned = reply->returned;
        return true;
    }

    UniqueFd fd_;
    SocketStream stream_;
    std::mutex mutex_;  // one request at a time on the connection
    bool broken_ = false;
    std::atomic<bool> cancelled_{false};
};

bool ReceiveHello(int fd) {
    if (!SetReceiveTimeout(fd, kHelloTimeoutMs)) return false;
    std::array<uint8_t, wire::kHelloSize> bytes;
    SocketStream stream(fd);
    if (!stream.ReadExact(bytes.data(), bytes.size())) return false;
    const auto hello = wire::DecodeHello(bytes);
    if (!hello || hello->version != wire::kVersion || !hello->opened) return false;
    // Requests themselves may wait as long as the driver would (a trigger without time-out).
    return SetReceiveTimeout(fd, 0);
}

}  // namespace

std::unique_ptr<DeviceFile> OpenDaemonDeviceFile(std::string_view deviceName) {
    if (deviceName.empty() || deviceName.find('/') != std::string_view::npos) return nullptr;
    if (!PrivateFolder(DaemonSocketDir())) {
        TAVLIN_LOG(Vcam, Trace, "no private daemon folder %s", DaemonSocketDir().c_str());
        return nullptr;
    }
    const std::string path = DeviceSocketPath(deviceName);
    auto fd = ConnectUnixSocket(path);
    if (!fd) {
        // Nobody listening is the usual answer where no daemon runs.
        if (errno == ENOENT) {
            TAVLIN_LOG(Vcam, Trace, "no daemon socket %s", path.c_str());
        } else {
            TAVLIN_LOG(Vcam, Warn, "cannot connect to the daemon socket %s: %s", path.c_str(),
                       std::strerror(errno));
        }
        return nullptr;
    }
    if (!ReceiveHello(fd->Get())) {
        TAVLIN_LOG(Vcam, Warn, "the daemon at %s did not greet", path.c_str());
        return nullptr;
    }
    return std::make_unique<SocketDeviceFile>(std::move(*fd));
}

}  // namespace tavlin::vcam
