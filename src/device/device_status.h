// The outcome of a device operation. Operations report one of these; plain bool is kept for
// yes/no questions (IsOpen, IsPresent and the like).
#pragma once

#include <cstdint>

namespace tavlin::device {

enum class Status : uint8_t {
    Ok,
    Failed,       // the request went out but did not complete (I/O error, short reply, hung)
    NoDevice,     // nothing to talk to: no handle, or nothing answers under the path
    BadArgument,  // a missing buffer, or a register, address or value the operation refuses
};

}  // namespace tavlin::device
