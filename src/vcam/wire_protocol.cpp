#include "vcam/wire_protocol.h"

#include <algorithm>

namespace tavlin::vcam::wire {

namespace {

void PutWord(uint8_t* at, uint32_t value) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t GetWord(const uint8_t* at) {
    return uint32_t{at[0]} | (uint32_t{at[1]} << 8) | (uint32_t{at[2]} << 16) |
           (uint32_t{at[3]} << 24);
}

}  // namespace

std::array<uint8_t, kHelloSize> EncodeHello(const Hello& hello) {
    std::array<uint8_t, kHelloSize> bytes{};
    PutWord(&bytes[0], kHelloMagic);
    PutWord(&bytes[4], hello.version);
    PutWord(&bytes[8], hello.opened ? 1 : 0);
    return bytes;
}

std::optional<Hello> DecodeHello(std::span<const uint8_t, kHelloSize> bytes) {
    const uint32_t status = GetWord(&bytes[8]);
    if (GetWord(&bytes[0]) != kHelloMagic || status > 1) return std::nullopt;
    return Hello{GetWord(&bytes[4]), status == 1};
}

std::array<uint8_t, kRequestHeaderSize> EncodeRequest(const RequestHeader& header) {
    std::array<uint8_t, kRequestHeaderSize> bytes{};
    PutWord(&bytes[0], kRequestMagic);
    PutWord(&bytes[4], header.code);
    PutWord(&bytes[8], header.flags);
    PutWord(&bytes[12], header.inLength);
    PutWord(&bytes[16], header.outLength);
    PutWord(&bytes[20], header.directLength);
    return bytes;
}

std::optional<RequestHeader> DecodeRequest(std::span<const uint8_t, kRequestHeaderSize> bytes) {
    if (GetWord(&bytes[0]) != kRequestMagic) return std::nullopt;
    RequestHeader h;
    h.code = GetWord(&bytes[4]);
    h.flags = GetWord(&bytes[8]);
    h.inLength = GetWord(&bytes[12]);
    h.outLength = GetWord(&bytes[16]);
    h.directLength = GetWord(&bytes[20]);
    if ((h.flags & ~(kFlagHasInput | kFlagHasOutput)) != 0) return std::nullopt;
    if (h.inLength > kMaxInput || h.outLength > kMaxOutput) return std::nullopt;
    // Direct bytes fill the start of the output buffer, so they need one and fit in it.
    if (h.directLength > std::min(h.outLength, kMaxDirect)) return std::nullopt;
    if (h.directLength > 0 && !h.HasOutput()) return std::nullopt;
    return h;
}

std::array<uint8_t, kReplyHeaderSize> EncodeReply(const ReplyHeader& header) {
    std::array<uint8_t, kReplyHeaderSize> bytes{};
    PutWord(&bytes[0], kReplyMagic);
    PutWord(&bytes[4], header.success ? 1 : 0);
    PutWord(&bytes[8], header.returned);
    PutWord(&bytes[12], header.dataLength);
    return bytes;
}

std::optional<ReplyHeader> DecodeReply(std::span<const uint8_t, kReplyHeaderSize> bytes,
                                       const RequestHeader& request) {
    if (GetWord(&bytes[0]) != kReplyMagic) return std::nullopt;
    const uint32_t success = GetWord(&bytes[4]);
    ReplyHeader h{success == 1, GetWord(&bytes[8]), GetWord(&bytes[12])};
    if (success > 1) return std::nullopt;
    const uint32_t room = request.HasOutput() ? request.outLength : 0;
    if (h.dataLength > room) return std::nullopt;
    // A count beyond the buffer is a driver that overran its count: it comes with the whole
    // buffer filled, never with more data.
    if (h.returned > request.outLength && (room == 0 || h.dataLength != room)) return std::nullopt;
    if (!h.success && (h.returned != 0 || h.dataLength != 0)) return std::nullopt;
    return h;
}

}  // namespace tavlin::vcam::wire
