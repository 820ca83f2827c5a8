// The framed protocol that carries device-file requests between a process and the camera
// daemon. One connection is one open device handle. All words are little-endian 32-bit.
//
//   daemon -> client, once after accept:  hello   { magic, version, status (1 open, 0 refused) }
//   client -> daemon:                     request { magic, code, flags, inLength, outLength,
//                                                   directLength } + in bytes + direct bytes
//   daemon -> client:                     reply   { magic, success, returned, dataLength }
//                                                   + data bytes
//
// "direct" bytes are the caller's output buffer content the driver reads (a command packet sent
// through an input-direct pipe request); "data" is what the driver wrote into that buffer.
// Every length is checked against fixed limits before anything is read or allocated, so a
// garbage stream costs at most one buffer of kMaxOutput bytes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace tavlin::vcam::wire {

inline constexpr uint32_t kHelloMagic = 0x4C485654;    // "TVHL"
inline constexpr uint32_t kRequestMagic = 0x51525654;  // "TVRQ"
inline constexpr uint32_t kReplyMagic = 0x50525654;    // "TVRP"
inline constexpr uint32_t kVersion = 1;

// Control inputs are 4 or 44 bytes and command packets 64; frames are at most 1280 x 1024
// 16-bit samples. The limits leave room without trusting a peer's sizes.
inline constexpr uint32_t kMaxInput = 4096;
inline constexpr uint32_t kMaxDirect = 4096;
inline constexpr uint32_t kMaxOutput = 16u << 20;

inline constexpr uint32_t kFlagHasInput = 1;   // the caller passed an input buffer
inline constexpr uint32_t kFlagHasOutput = 2;  // the caller passed an output buffer

inline constexpr size_t kHelloSize = 12;
inline constexpr size_t kRequestHeaderSize = 24;
inline constexpr size_t kReplyHeaderSize = 16;

struct Hello {
    uint32_t version = kVersion;
    bool opened = false;
};

struct RequestHeader {
    uint32_t code = 0;
    uint32_t flags = 0;
    uint32_t inLength = 0;
    uint32_t outLength = 0;
    uint32_t directLength = 0;

    bool HasInput() const { return (flags & kFlagHasInput) != 0; }
    bool HasOutput() const { return (flags & kFlagHasOutput) != 0; }
    // Bytes that follow the header on the wire.
    uint32_t InputBytes() const { return HasInput() ? inLength : 0; }
};

struct ReplyHeader {
    bool success = false;
    uint32_t returned = 0;
    uint32_t dataLength = 0;
};

std::array<uint8_t, kHelloSize> EncodeHello(const Hello& hello);
std::optional<Hello> DecodeHello(std::span<const uint8_t, kHelloSize> bytes);

std::array<uint8_t, kRequestHeaderSize> EncodeRequest(const RequestHeader& header);
// Empty for a wrong magic, unknown flags or a length beyond the limits.
std::optional<RequestHeader> DecodeRequest(std::span<const uint8_t, kRequestHeaderSize> bytes);

std::array<uint8_t, kReplyHeaderSize> EncodeReply(const ReplyHeader& header);
// Empty for a wrong magic or a reply that does not fit the request it answers: more data than
// the output buffer holds, a byte count beyond it, or data without success.
std::optional<ReplyHeader> DecodeReply(std::span<const uint8_t, kReplyHeaderSize> bytes,
                                       const RequestHeader& request);

}  // namespace tavlin::vcam::wire
