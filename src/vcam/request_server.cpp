#include "vcam/request_server.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "vcam/wire_protocol.h"

namespace tavlin::vcam {

namespace {

// Buffers of one connection, grown on demand up to the wire limits and reused.
struct ConnectionBuffers {
    std::vector<uint8_t> input;
    std::vector<uint8_t> output;
};

bool ServeOne(ByteStream& stream, DeviceFile& device, ConnectionBuffers& buffers) {
    std::array<uint8_t, wire::kRequestHeaderSize> headerBytes;
    if (!stream.ReadExact(headerBytes.data(), headerBytes.size())) return false;
    const auto request = wire::DecodeRequest(headerBytes);
    if (!request) return false;

    buffers.input.resize(request->InputBytes());
    if (!buffers.input.empty() && !stream.ReadExact(buffers.input.data(), buffers.input.size())) {
        return false;
    }
    // At least one byte, so a zero-length buffer the caller passed is still not null.
    if (request->HasOutput() && buffers.output.size() < std::max<uint32_t>(request->outLength, 1)) {
        buffers.output.resize(std::max<uint32_t>(request->outLength, 1));
    }
    if (request->directLength > 0 &&
        !stream.ReadExact(buffers.output.data(), request->directLength)) {
        return false;
    }

    const void* in = request->HasInput() ? buffers.input.data() : nullptr;
    uint8_t* out = request->HasOutput() ? buffers.output.data() : nullptr;
    uint32_t returned = 0;
    const bool ok =
        device.IoControl(request->code, in, request->inLength, out, request->outLength, &returned);

    wire::ReplyHeader reply;
    reply.success = ok;
    // The count goes back as the driver reported it (a wrong count is the caller's to judge);
    // the data never exceeds the buffer. What the driver read from the buffer need not travel
    // back.
    reply.returned = ok ? returned : 0;
    reply.dataLength = (ok && out != nullptr && request->directLength == 0)
                           ? std::min(returned, request->outLength)
                           : 0;
    const auto replyBytes = wire::EncodeReply(reply);
    return stream.WriteParts({{replyBytes.data(), replyBytes.size()}, {out, reply.dataLength}});
}

}  // namespace

size_t ServeDeviceConnection(ByteStream& stream, DeviceFile* device) {
    const auto hello = wire::EncodeHello({wire::kVersion, device != nullptr});
    if (!stream.WriteAll(hello.data(), hello.size()) || device == nullptr) return 0;
    ConnectionBuffers buffers;
    size_t served = 0;
    while (ServeOne(stream, *device, buffers)) ++served;
    return served;
}

}  // namespace tavlin::vcam
