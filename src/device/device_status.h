// The outcome of a device operation. Operations report one of these; plain bool is kept for
// yes/no questions (IsOpen, IsPresent and the like).
#pragma once

#include <cstdint>

namespace tavlin::device {

enum class Status : uint8_t {
    Ok,
    Failed,         // a request or frame read failed (I/O error, short, hung, cut off, timed out)
    NoDevice,       // nothing to talk to: no handle, or nothing answers under the path
    BadArgument,    // a missing buffer, or a register, address or value the operation refuses
    BadLineWidth,   // a line width of none, or visible columns that leave the line
    BadFrameLines,  // a frame of no lines, or visible lines that leave the frame
    TooFewBuffers,  // fewer than two ring buffers asked for, or no whole ring to stream into
    NoMemory,       // the frame memory or the transfer thread could not be had
    Busy,           // a transfer run or a single-frame read holds the frame memory
    NotRunning,     // no transfer run to wait on
    NoFrameYet,     // the wait ended without a frame to hand out: ask again
};

}  // namespace tavlin::device
