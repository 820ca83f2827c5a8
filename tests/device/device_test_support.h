// Reads a camera's trace as short wire lines: "cmd 04 0D 00 01" for a packet (only the bytes the
// command defines), "reply" for a reply read, "frame <bytes>" for a frame read, "setting <v>".
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "device/driver_protocol.h"
#include "vcam/vcam_test_support.h"

namespace tavlin::testing {

inline size_t DefinedBytes(uint8_t command) {
    namespace p = device::protocol;
    switch (command) {
        case p::kCmdSensorWrite:
            return 4;
        case p::kCmdTransferSize:
            return 5;
        case p::kCmdSampleWidth:
        case p::kCmdSensorRead:
        case p::kCmdControllerRead:
            return 2;
        case p::kCmdControllerWrite:
            return 3;
        case p::kCmdSromWrite:
        case p::kCmdSromRead:
            return 6;
        default:
            return 1;
    }
}

inline std::string WireLine(const TavlinVcamTraceEntry& e) {
    char text[64];
    if (e.controlCode == device::protocol::kCodeDriverSetting) {
        std::snprintf(text, sizeof(text), "setting %u",
                      unsigned(e.data[4] | (e.data[5] << 8) | (e.data[6] << 16)));
        return text;
    }
    if (e.pipe == 1) return "reply";
    if (e.pipe == 2) {
        std::snprintf(text, sizeof(text), "frame %u", unsigned(e.length));
        return text;
    }
    std::string line = "cmd";
    const size_t n = DefinedBytes(e.data[0]);
    for (size_t i = 0; i < n; ++i) {
        std::snprintf(text, sizeof(text), " %02X", e.data[i]);
        line += text;
    }
    // Anything past the defined bytes must be zero fill, and every packet 64 bytes long.
    if (!RestIsZero(e, n) || e.length != 64) line += " !";
    return line;
}

inline std::vector<std::string> Wire(int index) {
    std::vector<std::string> lines;
    for (const auto& e : ReadTrace(index)) lines.push_back(WireLine(e));
    return lines;
}

}  // namespace tavlin::testing
