#include "vcam/camera_model.h"

#include <cstdio>
#include <cstring>

namespace tavlin::vcam {

namespace proto = protocol;
namespace reg = protocol::sensor;
namespace ctl = protocol::controller;

namespace {

constexpr char kIdentification[] = "410QZ-VKE";
constexpr uint32_t kSerialOffset = 0x10;
constexpr uint8_t kColourVariantPowerOn = 1;

void ResetSensor(ModelState& state) {
    for (size_t r = 0; r < state.sensor.size(); ++r) {
        state.sensor[r] = PowerOnSensorValue(static_cast<uint8_t>(r));
    }
}

void WriteSensor(ModelState& state, uint8_t r, uint16_t value) {
    if (r == reg::kReset && (value & 1) != 0) ResetSensor(state);
    state.sensor[r] = value;
}

void AnswerSromRead(ModelState& state, const Packet& p) {
    if (p[1] != proto::kSromMemory || p[2] != proto::kSromReadAddressCount ||
        p[3] != proto::kSromReadCount) {
        return;
    }
    const uint32_t address = (uint32_t{p[4]} << 8) | p[5];
    state.reply.fill(0);
    state.reply[0] = state.srom[address];
}

void ApplySromWrite(ModelState& state, const Packet& p) {
    if (p[1] != proto::kSromMemory || p[2] != proto::kSromWriteCount) return;
    const uint32_t address = (uint32_t{p[3]} << 8) | p[4];
    state.srom[address] = p[5];
}

}  // namespace

uint16_t PowerOnSensorValue(uint8_t r) {
    switch (r) {
        case reg::kChipVersion:
            return 0x8431;
        case reg::kRowStart:
            return reg::kRowOffset;
        case reg::kColumnStart:
            return reg::kColumnOffset;
        case reg::kRowCount:
            return 1023;
        case reg::kColumnCount:
            return 1279;
        case reg::kHorizontalBlank:
            return 9;
        case reg::kVerticalBlank:
            return 25;
        case reg::kShutter:
            return 1049;
        case reg::kReadModeA:
            return 0x8000;
        case reg::kReadModeB:
            return 0x1104;
        case reg::kGainGreen1:
        case reg::kGainBlue:
        case reg::kGainRed:
        case reg::kGainGreen2:
        case reg::kGlobalGain:
            return 8;
        default:
            return 0;
    }
}

ModelState PowerOnState(uint32_t serial) {
    ModelState state;
    ResetSensor(state);
    // The controller powers up describing a full 8-bit frame: 1280 x 1024 bytes.
    constexpr uint32_t kFullFrame = 1280u * 1024u;
    for (int i = 0; i < 4; ++i) {
        state.controller[ctl::kFrameBytes0 + i] = static_cast<uint8_t>(kFullFrame >> (8 * i));
    }
    state.srom.assign(proto::kSromSize, 0xFF);
    std::memcpy(&state.srom[proto::kSromIdentificationBase], kIdentification,
                sizeof(kIdentification) - 1);
    char digits[16];
    std::snprintf(digits, sizeof(digits), "%08u", serial % 100000000u);
    std::memcpy(&state.srom[proto::kSromIdentificationBase + kSerialOffset], digits, 8);
    state.srom[proto::kSromColourVariant] = kColourVariantPowerOn;
    return state;
}

void ApplyCommand(ModelState& state, const Packet& p) {
    switch (p[0]) {
        case proto::kCmdPrepareTransfer:
            ++state.prepareCount;
            break;
        case proto::kCmdFrameRequest:
            state.frameRequested = true;
            break;
        case proto::kCmdSensorWrite:
            WriteSensor(state, p[1], static_cast<uint16_t>((p[2] << 8) | p[3]));
            break;
        case proto::kCmdSelect:
            ++state.selectCount;
            break;
        case proto::kCmdTransferSize:
            state.transferSize = uint32_t{p[1]} | (uint32_t{p[2]} << 8) | (uint32_t{p[3]} << 16) |
                                 (uint32_t{p[4]} << 24);
            break;
        case proto::kCmdSampleWidth:
            state.sampleWidthFlag = p[1];
            break;
        case proto::kCmdSensorRead:
            state.reply.fill(0);
            state.reply[0] = static_cast<uint8_t>(state.sensor[p[1]] >> 8);
            state.reply[1] = static_cast<uint8_t>(state.sensor[p[1]]);
            break;
        case proto::kCmdControllerWrite:
            state.controller[p[1]] = p[2];
            break;
        case proto::kCmdControllerRead:
            state.reply.fill(0);
            state.reply[0] = state.controller[p[1]];
            break;
        case proto::kCmdSromWrite:
            ApplySromWrite(state, p);
            break;
        case proto::kCmdSromRead:
            AnswerSromRead(state, p);
            break;
        default:
            break;
    }
}

bool ApplyDriverSetting(ModelState& state, std::span<const uint8_t> block) {
    if (block.size() < 8) return false;
    auto word = [&](size_t at) {
        return uint32_t{block[at]} | (uint32_t{block[at + 1]} << 8) |
               (uint32_t{block[at + 2]} << 16) | (uint32_t{block[at + 3]} << 24);
    };
    if (word(0) != 1) return false;
    state.driverSetting = word(4);
    return true;
}

bool InTriggerMode(const ModelState& state) {
    return (state.sensor[reg::kReadModeA] & reg::kReadModeATrigger) != 0 &&
           (state.controller[ctl::kTriggerControl] & ctl::kTriggerEnable) != 0;
}

int BytesPerSample(const ModelState& state) {
    return state.controller[ctl::kSampleWidth] != 0 ? 2 : 1;
}

uint32_t PixelClockHz(const ModelState& state) {
    switch (state.controller[ctl::kClock]) {
        case 1:
            return 12000000;
        case 2:
            return 48000000;
        case 3:
            return 40000000;
        case 4:
            return 20000000;
        case 5:
            return 10000000;
        default:
            return 24000000;
    }
}

}  // namespace tavlin::vcam
