// The camera's state and its answer to command packets, as plain data and pure functions, so
// any transport (in-process device files, a socket daemon) can serve the same model.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "device/driver_protocol.h"

namespace tavlin::vcam {

namespace protocol = device::protocol;
using device::Packet;

struct ModelState {
    std::array<uint16_t, 256> sensor{};
    std::array<uint8_t, 256> controller{};
    std::vector<uint8_t> srom;
    Packet reply{};               // the block every reply read hands out until the next answer
    uint32_t transferSize = 0;    // command 0x09
    uint8_t sampleWidthFlag = 0;  // command 0x0A; the sample width itself is controller reg 14
    bool frameRequested = false;  // command 0x02 seen and not yet answered by a frame read
    uint32_t driverSetting = 3000;
    uint64_t prepareCount = 0;  // command 0x01
    uint64_t selectCount = 0;   // command 0x06
};

// Sensor register values after power-on and after a reset through register 13.
uint16_t PowerOnSensorValue(uint8_t reg);

// A camera as it comes out of the box; serial goes into the identification bytes.
ModelState PowerOnState(uint32_t serial);

// Applies one command packet. Unknown commands and malformed SROM packets are ignored, as the
// camera's firmware would.
void ApplyCommand(ModelState& state, const Packet& packet);

// Applies a driver-setting block (control code 0x2220A0): word 0 must be 1, word 1 is the value.
// Returns false for a block the driver refuses (too short or another selector).
bool ApplyDriverSetting(ModelState& state, std::span<const uint8_t> block);

// Trigger mode: the sensor waits for pulses (read mode A bit 8) that the controller routes to it
// (register 11 bit 0).
bool InTriggerMode(const ModelState& state);

// Bytes per sample on pipe 2: controller register 14 selects 16-bit words.
int BytesPerSample(const ModelState& state);

// Pixel clock in Hz selected by controller register 15.
uint32_t PixelClockHz(const ModelState& state);

}  // namespace tavlin::vcam
