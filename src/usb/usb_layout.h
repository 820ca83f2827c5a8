// Decisions the transport takes without touching libusb, kept apart so they can be tested on
// their own: is a device's interface the camera's, in which order cameras are listed, how a
// frame read is cut into transfers, and what a command packet does to trigger mode.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "usb/usb_cameras.h"

namespace tavlin::usb {

enum class EndpointType { kControl, kIsochronous, kBulk, kInterrupt };

struct EndpointInfo {
    uint8_t address = 0;  // bit 7 set: IN
    EndpointType type = EndpointType::kBulk;
    uint16_t maxPacketSize = 0;
};

// Interface 0, alternate setting 0, of the configuration in use (absent: the configuration has
// no such interface or setting).
struct InterfaceInfo {
    bool hasInterface0 = false;
    bool hasAltSetting0 = false;
    std::vector<EndpointInfo> endpoints;  // in descriptor order
};

// The camera's three pipes.
struct CameraEndpoints {
    EndpointInfo command;  // pipe 0, bulk OUT
    EndpointInfo reply;    // pipe 1, bulk IN
    EndpointInfo frame;    // pipe 2, bulk IN
};

// The pipes when the interface is the camera's; otherwise empty, with *reason saying why.
std::optional<CameraEndpoints> JudgeLayout(const InterfaceInfo& interface, std::string* reason);

// Bus, then port path compared number by number (a parent hub before its children), then
// address.
bool CameraBefore(const UsbCamera& a, const UsbCamera& b);
void SortCameras(std::vector<UsbCamera>& cameras);

// Frame reads are cut into transfers that are all in flight at once, so the bus never idles
// between them. Every piece but the last is a whole number of packets, so only the frame's end
// can make one short. Every transfer costs the kernel (and the event thread) a completion, so
// the camera's frames (2.6 MB at most) go as two.
inline constexpr uint32_t kFrameChunkBytes = 4u << 20;
std::vector<uint32_t> PlanFrameChunks(uint32_t length, uint16_t maxPacketSize);

// Trigger mode after a command packet went out, given the mode before it: a controller write to
// the trigger register sets or clears it.
bool TriggerModeAfter(std::span<const uint8_t> packet, bool before);

// The frame time-out of a driver-setting block (selector 1), in ms with 0 for none; empty when
// the block is not one.
std::optional<uint32_t> FrameTimeoutSetting(std::span<const uint8_t> block);

}  // namespace tavlin::usb
