// The camera daemon's socket protocols on arbitrary bytes. Byte 0 chooses:
//   0: a device connection: the rest is what a client sends; it is served against a virtual
//      camera, and every reply must be one the client accepts for the request it answers.
//   1: a control connection: the rest is sent over a socket pair to the daemon's own control
//      session; it must end (no hang), and its replies must be whole "ok"/"error" lines.
//   2: the client's decoders: the rest is request headers and the daemon's hello and replies;
//      what decodes must encode back to the same bytes and fit the request it answers.
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "control_session.h"
#include "fuzz_support.h"
#include "tavlin/tavlin_vcam.h"
#include "vcam/device_file.h"
#include "vcam/camera_model.h"
#include "vcam/request_server.h"
#include "vcam/virtual_camera.h"
#include "vcam/wire_protocol.h"

namespace {

namespace wire = tavlin::vcam::wire;
namespace proto = tavlin::vcam::protocol;
using tavlin::fuzz::InputReader;

// The client's bytes in; the daemon's reply headers and data sizes out.
class MemoryStream final : public tavlin::vcam::ByteStream {
  public:
    struct Sent {
        std::vector<uint8_t> header;
        size_t dataBytes = 0;
    };

    explicit MemoryStream(std::span<const uint8_t> in) : in_(in) {}

    bool ReadExact(void* data, size_t size) override {
        if (in_.size() - at_ < size) return false;
        std::memcpy(data, in_.data() + at_, size);
        at_ += size;
        return true;
    }
    bool WriteAll(const void* data, size_t size) override {
        const auto* bytes = static_cast<const uint8_t*>(data);
        sent.push_back({std::vector<uint8_t>(bytes, bytes + size), 0});
        return true;
    }
    bool WriteParts(std::initializer_list<Part> parts) override {
        FUZZ_CHECK(parts.size() == 2);
        const Part& header = *parts.begin();
        const Part& data = *(parts.begin() + 1);
        FUZZ_CHECK(data.size == 0 || data.data != nullptr);
        WriteAll(header.data, header.size);
        sent.back().dataBytes = data.size;
        return true;
    }

    std::vector<Sent> sent;

  private:
    std::span<const uint8_t> in_;
    size_t at_ = 0;
};

// A virtual camera behind the device-file interface, as the daemon opens it. Trigger time-outs
// are one millisecond (0 would wait for ever for a pulse nobody sends).
class FastCameraFile final : public tavlin::device::DeviceFile {
  public:
    FastCameraFile() {
        camera_.SetRealTime(false);
        uint8_t setting[proto::kDriverSettingSize] = {1, 0, 0, 0, 1};
        uint32_t returned = 0;
        camera_.Request(handle_, proto::kCodeDriverSetting, setting, sizeof setting, nullptr, 0,
                        &returned);
    }
    bool IoControl(uint32_t code, const void* in, uint32_t inLength, void* out, uint32_t outLength,
                   uint32_t* bytesReturned) override {
        std::vector<uint8_t> block;
        if (code == proto::kCodeDriverSetting && in != nullptr && inLength >= 8) {
            block.assign(static_cast<const uint8_t*>(in),
                         static_cast<const uint8_t*>(in) + inLength);
            const uint32_t timeout = 1;
            std::memcpy(&block[4], &timeout, sizeof timeout);
            in = block.data();
        }
        return camera_.Request(handle_, code, in, inLength, out, outLength, bytesReturned);
    }

  private:
    tavlin::vcam::VirtualCamera camera_{1};
    uint32_t handle_ = *camera_.Open();
};

void ServeDevice(std::span<const uint8_t> clientBytes) {
    MemoryStream stream(clientBytes);
    FastCameraFile file;
    const size_t served = tavlin::vcam::ServeDeviceConnection(stream, &file);
    FUZZ_CHECK(stream.sent.size() == served + 1);
    FUZZ_CHECK(stream.sent[0].header.size() == wire::kHelloSize);
    const auto hello = wire::DecodeHello(
        std::span<const uint8_t, wire::kHelloSize>(stream.sent[0].header.data(), wire::kHelloSize));
    FUZZ_CHECK(hello && hello->opened && hello->version == wire::kVersion);

    // Walk the client's stream again as the client would have built it.
    size_t at = 0;
    for (size_t i = 1; i <= served; ++i) {
        FUZZ_CHECK(at + wire::kRequestHeaderSize <= clientBytes.size());
        const auto request = wire::DecodeRequest(std::span<const uint8_t, wire::kRequestHeaderSize>(
            clientBytes.data() + at, wire::kRequestHeaderSize));
        FUZZ_CHECK(request.has_value());
        at += wire::kRequestHeaderSize + request->InputBytes() + request->directLength;
        const auto& sent = stream.sent[i];
        FUZZ_CHECK(sent.header.size() == wire::kReplyHeaderSize);
        const auto reply = wire::DecodeReply(std::span<const uint8_t, wire::kReplyHeaderSize>(
                                                 sent.header.data(), wire::kReplyHeaderSize),
                                             *request);
        FUZZ_CHECK(reply.has_value());
        FUZZ_CHECK(reply->dataLength == sent.dataBytes);
        FUZZ_CHECK(reply->dataLength <= reply->returned);
    }
    FUZZ_CHECK(at <= clientBytes.size());
}

// Replies are whole lines: a command's "ok"/"error" line, the help's indented lines, and trace
// lines (which start with their sequence number).
void CheckControlReplies(const std::string& replies) {
    if (replies.empty()) return;
    FUZZ_CHECK(replies.back() == '\n');
    size_t start = 0;
    while (start < replies.size()) {
        const size_t end = replies.find('\n', start);
        const std::string_view line(replies.data() + start, end - start);
        FUZZ_CHECK(line.starts_with("ok") || line.starts_with("error ") || line.starts_with("  ") ||
                   (!line.empty() && line[0] >= '0' && line[0] <= '9'));
        start = end + 1;
    }
}

void RunControlSession(std::span<const uint8_t> text) {
    int pair[2];
    FUZZ_CHECK(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, pair) == 0);
    tavlin::vcam::UniqueFd client(pair[1]);
    tavlin::vcamd::ControlSession session{tavlin::vcam::UniqueFd(pair[0])};
    size_t sent = 0;
    bool clientDone = false;
    std::string replies;
    bool open = true;
    // Every round either sends, receives or lets the session see the end of input, so the
    // session must be finished well within this many rounds.
    for (int round = 0; open; ++round) {
        FUZZ_CHECK(round < 100000);
        if (sent < text.size()) {
            const ssize_t n = ::send(client.Get(), text.data() + sent, text.size() - sent,
                                     MSG_DONTWAIT | MSG_NOSIGNAL);
            if (n > 0) sent += static_cast<size_t>(n);
        } else if (!clientDone) {
            ::shutdown(client.Get(), SHUT_WR);
            clientDone = true;
        }
        pollfd fd{session.Fd(), session.Events(), 0};
        FUZZ_CHECK(::poll(&fd, 1, 1000) >= 0);
        open = session.Service(fd.revents) && !session.ShutdownRequested();
        char chunk[65536];
        ssize_t n;
        while ((n = ::recv(client.Get(), chunk, sizeof chunk, MSG_DONTWAIT)) > 0) {
            replies.append(chunk, static_cast<size_t>(n));
        }
    }
    session.FlushNow();
    char chunk[65536];
    ssize_t n;
    while ((n = ::recv(client.Get(), chunk, sizeof chunk, MSG_DONTWAIT)) > 0) {
        replies.append(chunk, static_cast<size_t>(n));
    }
    // A session dropped for unread output may stop mid-line; only finished ones are checked.
    if (replies.size() < (16u << 20)) CheckControlReplies(replies);
    TavlinVcam_DetachAll();
}

void DecodeClientSide(InputReader& input) {
    while (!input.Empty()) {
        std::array<uint8_t, wire::kRequestHeaderSize> requestBytes{};
        const auto take = input.Bytes(requestBytes.size());
        std::copy(take.begin(), take.end(), requestBytes.begin());
        // Half the time a valid magic, so the rest of the header is exercised.
        if (input.Byte() & 1) std::memcpy(requestBytes.data(), "TVRQ", 4);
        const auto request = wire::DecodeRequest(requestBytes);
        if (request) {
            FUZZ_CHECK(wire::EncodeRequest(*request) == requestBytes);
            FUZZ_CHECK(request->inLength <= wire::kMaxInput &&
                       request->outLength <= wire::kMaxOutput);
            FUZZ_CHECK(request->directLength <= request->outLength);
        }
        std::array<uint8_t, wire::kReplyHeaderSize> replyBytes{};
        const auto replyTake = input.Bytes(replyBytes.size());
        std::copy(replyTake.begin(), replyTake.end(), replyBytes.begin());
        if (input.Byte() & 1) std::memcpy(replyBytes.data(), "TVRP", 4);
        const wire::RequestHeader asked = request.value_or(wire::RequestHeader{});
        if (const auto reply = wire::DecodeReply(replyBytes, asked)) {
            FUZZ_CHECK(wire::EncodeReply(*reply) == replyBytes);
            // Never more data than the buffer holds; a count beyond the buffer (a driver that
            // miscounted) only comes with the whole buffer's data.
            const uint32_t room = asked.HasOutput() ? asked.outLength : 0;
            FUZZ_CHECK(reply->dataLength <= room);
            FUZZ_CHECK(reply->returned <= asked.outLength ||
                       (room > 0 && reply->dataLength == room));
            FUZZ_CHECK(reply->success || (reply->returned == 0 && reply->dataLength == 0));
        }
        std::array<uint8_t, wire::kHelloSize> helloBytes{};
        const auto helloTake = input.Bytes(helloBytes.size());
        std::copy(helloTake.begin(), helloTake.end(), helloBytes.begin());
        if (const auto hello = wire::DecodeHello(helloBytes)) {
            FUZZ_CHECK(wire::EncodeHello(*hello) == helloBytes);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    InputReader input(data, size);
    switch (input.Byte() % 3) {
        case 0:
            ServeDevice(input.Rest());
            break;
        case 1:
            RunControlSession(input.Rest());
            break;
        default:
            DecodeClientSide(input);
            break;
    }
    return 0;
}
