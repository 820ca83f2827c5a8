#include "usb/usb_layout.h"

#include <algorithm>
#include <cstdio>

#include "device/driver_protocol.h"

namespace tavlin::usb {

namespace {

namespace protocol = device::protocol;

const char* TypeName(EndpointType type) {
    switch (type) {
        case EndpointType::kControl:
            return "control";
        case EndpointType::kIsochronous:
            return "isochronous";
        case EndpointType::kBulk:
            return "bulk";
        case EndpointType::kInterrupt:
            return "interrupt";
    }
    return "unknown";
}

bool IsIn(const EndpointInfo& endpoint) {
    return (endpoint.address & 0x80) != 0;
}

std::string Describe(size_t index, const EndpointInfo& endpoint) {
    char text[48];
    std::snprintf(text, sizeof text, "endpoint %zu (0x%02x)", index + 1, endpoint.address);
    return text;
}

uint32_t Word(std::span<const uint8_t> bytes, size_t at) {
    return uint32_t{bytes[at]} | (uint32_t{bytes[at + 1]} << 8) | (uint32_t{bytes[at + 2]} << 16) |
           (uint32_t{bytes[at + 3]} << 24);
}

}  // namespace

std::optional<CameraEndpoints> JudgeLayout(const InterfaceInfo& interface, std::string* reason) {
    struct Expected {
        bool in;
    };
    constexpr Expected kExpected[] = {{false}, {true}, {true}};
    constexpr size_t kCount = std::size(kExpected);
    std::string why;
    if (!interface.hasInterface0) {
        why = "the configuration has no interface 0";
    } else if (!interface.hasAltSetting0) {
        why = "interface 0 has no alternate setting 0";
    } else if (interface.endpoints.size() != kCount) {
        why = "interface 0 has " + std::to_string(interface.endpoints.size()) +
              " endpoints, the camera has " + std::to_string(kCount);
    } else {
        for (size_t i = 0; i < kCount && why.empty(); ++i) {
            const EndpointInfo& endpoint = interface.endpoints[i];
            if (endpoint.type != EndpointType::kBulk) {
                why = Describe(i, endpoint) + " is " + TypeName(endpoint.type) +
                      ", the camera's is bulk";
            } else if (IsIn(endpoint) != kExpected[i].in) {
                why = Describe(i, endpoint) + " is " + (IsIn(endpoint) ? "IN" : "OUT") +
                      ", the camera's is " + (kExpected[i].in ? "IN" : "OUT");
            } else if (endpoint.maxPacketSize == 0) {
                why = Describe(i, endpoint) + " has a maximum packet size of 0";
            }
        }
    }
    if (!why.empty()) {
        if (reason != nullptr) *reason = std::move(why);
        return std::nullopt;
    }
    return CameraEndpoints{interface.endpoints[0], interface.endpoints[1], interface.endpoints[2]};
}

bool CameraBefore(const UsbCamera& a, const UsbCamera& b) {
    if (a.bus != b.bus) return a.bus < b.bus;
    if (a.ports != b.ports) return a.ports < b.ports;  // lexicographic, a prefix first
    return a.address < b.address;
}

void SortCameras(std::vector<UsbCamera>& cameras) {
    std::stable_sort(cameras.begin(), cameras.end(), CameraBefore);
}

std::vector<uint32_t> PlanFrameChunks(uint32_t length, uint16_t maxPacketSize) {
    std::vector<uint32_t> chunks;
    if (length == 0) return chunks;
    const uint32_t packet = std::max<uint32_t>(maxPacketSize, 1);
    // Two pieces at least once the frame spans more than two packets, so one is always queued
    // behind the one the controller fills.
    uint32_t chunk = kFrameChunkBytes / packet * packet;
    const uint32_t half = (length / 2 + packet - 1) / packet * packet;
    if (length > 2 * packet) chunk = std::min(chunk, half);
    chunk = std::max(chunk, packet);
    for (uint32_t done = 0; done < length;) {
        const uint32_t piece = std::min(chunk, length - done);
        chunks.push_back(piece);
        done += piece;
    }
    return chunks;
}

bool TriggerModeAfter(std::span<const uint8_t> packet, bool before) {
    if (packet.size() < 3 || packet[0] != protocol::kCmdControllerWrite ||
        packet[1] != protocol::controller::kTriggerControl) {
        return before;
    }
    return (packet[2] & protocol::controller::kTriggerEnable) != 0;
}

std::optional<uint32_t> FrameTimeoutSetting(std::span<const uint8_t> block) {
    if (block.size() != protocol::kDriverSettingSize || Word(block, 0) != 1) return std::nullopt;
    return Word(block, 4);
}

}  // namespace tavlin::usb
