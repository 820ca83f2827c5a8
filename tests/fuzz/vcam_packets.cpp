// The virtual camera's request handling on arbitrary request sequences: command packets on pipe
// 0, reply reads on pipe 1, frame reads on pipe 2, driver-setting blocks, requests with other
// codes, pipes and sizes, mixed with the control side (triggers, faults, scenes, unplugging).
// Output buffers are allocated at exactly the requested size, so a write past one is an ASan
// report. Checked after every request: the byte count fits the buffer and matches what was
// asked, and every frame read the camera accepted is counted once as delivered, short or failed.
#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "fuzz_support.h"
#include "vcam/camera_model.h"
#include "vcam/virtual_camera.h"

namespace {

namespace proto = tavlin::vcam::protocol;
using tavlin::fuzz::InputReader;
using tavlin::vcam::VirtualCamera;

// A full 16-bit frame of the largest window, with room to spare.
constexpr uint32_t kMaxFrameRead = 3u << 20;

struct Harness {
    VirtualCamera camera{12345678};
    uint32_t handle = *camera.Open();
    uint64_t frameReadsAccepted = 0;
    uint32_t lastReturned = 0;

    // One request with an input block of exactly `in` and an output buffer of outLength bytes
    // (none when outLength is negative).
    bool Request(uint32_t code, const std::vector<uint8_t>* in, int64_t outLength,
                 const uint8_t* outContents = nullptr) {
        std::unique_ptr<uint8_t[]> out;
        if (outLength >= 0) {
            out = std::make_unique<uint8_t[]>(static_cast<size_t>(outLength));
            if (outContents != nullptr) std::memcpy(out.get(), outContents, size_t(outLength));
        }
        const uint32_t outSize = outLength >= 0 ? static_cast<uint32_t>(outLength) : 0;
        uint32_t returned = 0xDEADBEEF;
        const bool ok = camera.Request(handle, code, in ? in->data() : nullptr,
                                       in ? static_cast<uint32_t>(in->size()) : 0, out.get(),
                                       outSize, &returned);
        FUZZ_CHECK(ok || returned == 0);
        lastReturned = returned;
        return ok;
    }

    static std::vector<uint8_t> PipeWord(uint32_t pipe) {
        std::vector<uint8_t> word(4);
        for (int i = 0; i < 4; ++i) word[i] = static_cast<uint8_t>(pipe >> (8 * i));
        return word;
    }

    void SendPacket(InputReader& input) {
        uint8_t packet[proto::kPacketSize] = {};
        const auto bytes = input.Bytes(sizeof packet);
        std::copy(bytes.begin(), bytes.end(), packet);
        const uint8_t shape = input.Byte();
        const uint32_t code = shape & 1 ? proto::kCodePipeOutput : proto::kCodePipeInput;
        // Mostly whole packets; sometimes a short or long buffer holding the packet's start.
        int64_t length = proto::kPacketSize;
        if (shape & 2) length = input.Byte();
        std::vector<uint8_t> padded(static_cast<size_t>(length));
        std::copy_n(packet, std::min<size_t>(padded.size(), sizeof packet), padded.begin());
        const auto pipe = PipeWord(proto::kPipeCommand);
        const bool ok = Request(code, &pipe, length, padded.data());
        const bool plugged = camera.Plugged();
        if (ok) FUZZ_CHECK(length == int64_t(proto::kPacketSize) && plugged);
        if (ok) FUZZ_CHECK(lastReturned == proto::kPacketSize);
    }

    void ReadReply(InputReader& input) {
        const uint8_t shape = input.Byte();
        const int64_t length = shape & 1 ? input.Byte() : int64_t(proto::kPacketSize);
        const auto pipe = PipeWord(proto::kPipeReply);
        const bool ok =
            Request(shape & 2 ? proto::kCodePipeOutput : proto::kCodePipeInput, &pipe, length);
        if (ok) FUZZ_CHECK(length >= int64_t(proto::kPacketSize));
        if (ok) FUZZ_CHECK(lastReturned == proto::kPacketSize);
    }

    void ReadFrame(InputReader& input) {
        const uint8_t shape = input.Byte();
        if (shape & 1) {  // the frame request the driver sends first
            uint8_t packet[proto::kPacketSize] = {proto::kCmdFrameRequest};
            const auto pipe = PipeWord(proto::kPipeCommand);
            Request(proto::kCodePipeOutput, &pipe, sizeof packet, packet);
        }
        // Mostly small frames, which keep the fuzzer fast; sometimes up to the largest.
        const bool large = (shape & 0x0E) == 0x0E;
        const uint32_t length = large ? input.Word32() % kMaxFrameRead : input.Word16() % 8192;
        const auto pipe = PipeWord(proto::kPipeFrame);
        const auto before = camera.Counters();
        const bool plugged = camera.Plugged();
        const bool ok = Request(proto::kCodePipeInput, &pipe, length);
        const auto after = camera.Counters();
        const uint64_t counted = (after.framesDelivered - before.framesDelivered) +
                                 (after.framesShort - before.framesShort) +
                                 (after.framesFailed - before.framesFailed);
        FUZZ_CHECK(counted == (plugged ? 1u : 0u));
        if (plugged) ++frameReadsAccepted;
        // The whole buffer, or what a frame fault makes of it: half, none, or a count half as
        // large again as the buffer (a driver's miscount; it never writes more than the buffer).
        if (ok) {
            FUZZ_CHECK(length > 0);
            FUZZ_CHECK(lastReturned == length || lastReturned == length / 2 || lastReturned == 0 ||
                       lastReturned == length + length / 2);
        }
    }

    void SendDriverSetting(InputReader& input) {
        std::vector<uint8_t> block(proto::kDriverSettingSize);
        const auto bytes = input.Bytes(8);
        std::copy(bytes.begin(), bytes.end(), block.begin());
        // The trigger time-out: always one millisecond, since 0 (wait for ever) or a larger
        // value would only make the fuzzer wait.
        const uint32_t timeout = 1;
        std::memcpy(&block[4], &timeout, sizeof timeout);
        if (input.Byte() & 1) block.resize(input.Byte());
        const bool ok = Request(proto::kCodeDriverSetting, &block, -1);
        FUZZ_CHECK(lastReturned == 0);
        if (ok) FUZZ_CHECK(camera.DriverSetting() == timeout);
    }

    // Any code, pipe and sizes, input and output possibly missing.
    void SendAnything(InputReader& input) {
        const uint8_t shape = input.Byte();
        static constexpr uint32_t kCodes[] = {proto::kCodePipeInput, proto::kCodePipeOutput,
                                              proto::kCodeDriverSetting};
        const uint32_t code = shape & 4 ? input.Word32() : kCodes[(shape >> 3) % 3];
        std::vector<uint8_t> in(input.Byte() % 64);
        const auto bytes = input.Bytes(in.size());
        std::copy(bytes.begin(), bytes.end(), in.begin());
        // A driver-setting block must not ask for a long trigger time-out.
        if (code == proto::kCodeDriverSetting && in.size() >= 8) {
            in[4] = 1;
            in[5] = in[6] = in[7] = 0;
        }
        const int64_t outLength = shape & 1 ? -1 : int64_t(input.Byte());
        const bool input4 = !(shape & 2) && in.size() == proto::kPipeRequestSize;
        // This may well be a frame read, which the camera counts like any other.
        if (input4 && (code == proto::kCodePipeInput || code == proto::kCodePipeOutput) &&
            in[0] == proto::kPipeFrame && in[1] == 0 && in[2] == 0 && in[3] == 0 &&
            outLength >= 0 && camera.Plugged()) {
            ++frameReadsAccepted;
        }
        Request(code, shape & 2 ? nullptr : &in, outLength);
        const uint32_t room = static_cast<uint32_t>(std::max<int64_t>(outLength, 0));
        FUZZ_CHECK(lastReturned <= room || lastReturned == room + room / 2);
    }

    void Control(InputReader& input) {
        const uint8_t what = input.Byte();
        const uint8_t value = input.Byte();
        switch (what % 7) {
            case 0:
                camera.Trigger(value % 4 - 1);
                break;
            case 1:
                // The kinds that fail or cut a request; those that hang it need a second thread.
                camera.FailNext(static_cast<tavlin::vcam::FaultKind>(value % 6), value / 8 % 4);
                break;
            case 2:
                camera.SetScene(value & 2   ? tavlin::vcam::SceneKind::Chart
                                : value % 2 ? tavlin::vcam::SceneKind::Flat
                                            : tavlin::vcam::SceneKind::Ramp);
                camera.SetNoise({value >> 4, value});
                break;
            case 3:
                camera.SetRawFrames(SmallRawFrames());
                break;
            case 4:
                camera.UnplugAfterFrames(value % 4);
                break;
            case 5:  // reopen: a fresh handle on the same camera
                camera.Close(handle);
                if (auto reopened = camera.Open()) handle = *reopened;
                break;
            default:
                camera.Trace(value, 4);
                break;
        }
    }

    static std::shared_ptr<const tavlin::vcam::RawFrames> SmallRawFrames() {
        static const auto frames = [] {
            auto raw = std::make_shared<tavlin::vcam::RawFrames>();
            raw->frameCount = 2;
            raw->samples.resize(size_t(2) * raw->kWidth * raw->kHeight);
            for (size_t i = 0; i < raw->samples.size(); ++i) raw->samples[i] = i % 1024;
            return raw;
        }();
        return frames;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    InputReader input(data, size);
    Harness harness;
    harness.camera.SetRealTime(false);
    // A trigger that never comes costs one millisecond, not the camera's three seconds.
    std::vector<uint8_t> setting(proto::kDriverSettingSize);
    setting[0] = 1;
    setting[4] = 1;
    FUZZ_CHECK(harness.Request(proto::kCodeDriverSetting, &setting, -1));

    while (!input.Empty()) {
        switch (input.Byte() % 6) {
            case 0:
                harness.SendPacket(input);
                break;
            case 1:
                harness.ReadReply(input);
                break;
            case 2:
                harness.ReadFrame(input);
                break;
            case 3:
                harness.SendDriverSetting(input);
                break;
            case 4:
                harness.SendAnything(input);
                break;
            default:
                harness.Control(input);
                break;
        }
    }
    const auto counters = harness.camera.Counters();
    FUZZ_CHECK(counters.framesDelivered + counters.framesShort + counters.framesFailed ==
               harness.frameReadsAccepted);
    FUZZ_CHECK(harness.camera.TraceCount() <= VirtualCamera::kTraceCapacity);
    return 0;
}
