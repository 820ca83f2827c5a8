// The daemon's side of one client connection: decode requests, run them on an open device
// file, send the replies. Written against ByteStream so garbage can be fed from memory.
#pragma once

#include "vcam/device_file.h"
#include "vcam/unix_socket.h"

namespace tavlin::vcam {

// Sends the hello (opened when device is non-null), then serves requests until the client
// closes, the stream fails or a request does not decode (the connection is then dropped: a
// stream out of step cannot be resynchronised). Returns the number of requests served.
size_t ServeDeviceConnection(ByteStream& stream, DeviceFile* device);

}  // namespace tavlin::vcam
