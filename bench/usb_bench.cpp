// Frames through the emulated USB bus: with plain libusb (the frame-request packet on 0x01, the
// frame on 0x83), through the SDK's USB transport (a device file on the same emulated camera),
// and through the in-process transport on the same camera model. Counters: frames per second
// and process CPU time per frame (all threads: client, umockdev and the emulation). Arguments:
// bytes per sample (1 or 2, full 1280 x 1024 frames), whether the node polls quietly (1) or is
// umockdev's regular file that always polls ready (0), and the camera's pacing (0 as fast as it
// renders, 1 its real frame period, where the client waits for each frame). The SDK's USB
// transport should cost at most 1.1 times the bare loop. Run under tests/usb_wrapper.sh.
#include <stdlib.h>

#include <chrono>
#include <thread>
#include <vector>

#include "device/device_file.h"
#include "emulated_usb_fixture.h"
#include "stream_colour24.h"
#include "transport/transport_choice.h"
#include "vcam/camera_registry.h"
#include "vcam/device_file.h"

namespace tavlin::bench {
namespace {

constexpr uint32_t kFullFrame = 1280u * 1024u;

class UsbFrames : public EmulatedUsbCamera {
  public:
    void SetUp(benchmark::State& state) override {
        options.quietPolling = state.range(1) != 0;
        EmulatedUsbCamera::SetUp(state);
        if (camera) camera->SetRealTime(state.range(2) != 0);
    }

    // Lets go of the fixture's own handle, as another program would, and waits until the SDK's
    // USB transport places the camera at index 0. False when the fixture had no camera.
    bool HandOverToSdk() {
        if (handle == nullptr) return false;
        libusb_release_interface(handle, 0);
        libusb_close(handle);
        handle = nullptr;
        setenv("TAVLIN_USB_IDS", "fff0:0410", 1);
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!transport::UsbCameraAt(0) && std::chrono::steady_clock::now() < end) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }
};

Packet TransferSizePacket() {
    return MakePacket({proto::kCmdTransferSize, uint8_t(kFullFrame), uint8_t(kFullFrame >> 8),
                       uint8_t(kFullFrame >> 16), uint8_t(kFullFrame >> 24)});
}

Packet SampleWidthPacket(bool wide) {
    return MakePacket(
        {proto::kCmdControllerWrite, proto::controller::kSampleWidth, uint8_t(wide ? 1 : 0)});
}

// The frame loop's counters, from the process CPU time at its start.
void Report(benchmark::State& state, uint32_t bytes, double cpuBefore) {
    const double cpu = ProcessCpuSeconds() - cpuBefore;
    const auto frames = double(state.iterations());
    state.SetBytesProcessed(int64_t(state.iterations()) * bytes);
    state.counters["frames_per_s"] = benchmark::Counter(frames, benchmark::Counter::kIsRate);
    state.counters["cpu_us_per_frame"] = frames > 0 ? cpu * 1e6 / frames : 0.0;
}

// Frames through a device file as the transfer thread reads them: the frame request on pipe 0,
// then the frame on pipe 2.
void DeviceFileFrameLoop(benchmark::State& state, device::DeviceFile& file) {
    const bool wide = state.range(0) == 2;
    const uint32_t bytes = kFullFrame * (wide ? 2 : 1);
    const uint8_t pipe0[4] = {0, 0, 0, 0};
    const uint8_t pipe2[4] = {2, 0, 0, 0};
    uint32_t moved = 0;
    auto send = [&](Packet packet) {
        return file.IoControl(proto::kCodePipeOutput, pipe0, 4, packet.data(), 64, &moved) &&
               moved == 64;
    };
    if (!send(TransferSizePacket()) || !send(SampleWidthPacket(wide))) {
        state.SkipWithError("setup packets refused");
        return;
    }
    std::vector<uint8_t> frame(bytes);
    const double cpuBefore = ProcessCpuSeconds();
    for (auto _ : state) {
        if (!send(MakePacket({proto::kCmdFrameRequest})) ||
            !file.IoControl(proto::kCodePipeInput, pipe2, 4, frame.data(), bytes, &moved) ||
            moved != bytes) {
            state.SkipWithError("frame read failed");
            break;
        }
        benchmark::DoNotOptimize(frame.data());
    }
    Report(state, bytes, cpuBefore);
}

}  // namespace

BENCHMARK_DEFINE_F(UsbFrames, BareLibusbFrameLoop)(benchmark::State& state) {
    const bool wide = state.range(0) == 2;
    const uint32_t bytes = kFullFrame * (wide ? 2 : 1);
    if (!Send(TransferSizePacket()) || !Send(SampleWidthPacket(wide))) {
        state.SkipWithError("setup packets refused");
        return;
    }
    std::vector<uint8_t> frame(bytes);
    const double cpuBefore = ProcessCpuSeconds();
    for (auto _ : state) {
        if (ReadFrame(frame.data(), int(frame.size())) != int(bytes)) {
            state.SkipWithError("frame read failed");
            break;
        }
        benchmark::DoNotOptimize(frame.data());
    }
    Report(state, bytes, cpuBefore);
}

// The same emulated camera through the SDK's USB transport: the bare loop's handle lets go of
// the interface first, as another program would.
BENCHMARK_DEFINE_F(UsbFrames, SdkUsbTransportFrameLoop)(benchmark::State& state) {
    if (!HandOverToSdk()) return;
    auto file = device::OpenDeviceFile("\\\\.\\TvlnQZ410VKE-0");
    if (!file) {
        state.SkipWithError("the USB transport did not open the emulated camera");
        return;
    }
    DeviceFileFrameLoop(state, *file);
}

// The in-process transport on the same camera model: what the emulation and libusb add.
BENCHMARK_DEFINE_F(UsbFrames, SdkInProcessTransportFrameLoop)(benchmark::State& state) {
    auto& registry = vcam::CameraRegistry::Instance();
    registry.Attach(1);
    registry.At(1)->SetRealTime(state.range(2) != 0);
    registry.At(1)->SetScene(vcam::SceneKind::Flat);
    {
        auto file = vcam::OpenAttachedDeviceFile("\\\\.\\TvlnQZ410VKE-1");
        if (file)
            DeviceFileFrameLoop(state, *file);
        else
            state.SkipWithError("no in-process camera");
    }
    registry.Detach(1);
}

// The whole SDK on the emulated camera: colour 24 at 1280 x 1024 delivered into the
// application's buffer, as acquisition_bench streams it from the in-process camera.
BENCHMARK_DEFINE_F(UsbFrames, SdkUsbStreamColour24)(benchmark::State& state) {
    if (!HandOverToSdk()) return;
    StreamColour24FromDevice0(state, state.range(3) != 0);
}

BENCHMARK_REGISTER_F(UsbFrames, BareLibusbFrameLoop)
    ->ArgNames({"bytes_per_sample", "quiet_poll", "real_time"})
    ->Args({1, 1, 0})
    ->Args({2, 1, 0})
    ->Args({2, 0, 0})
    ->Args({1, 1, 1})
    ->Args({1, 0, 1})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
// The three transports in turn on the same frames, so their ratios come from one run.
BENCHMARK_REGISTER_F(UsbFrames, SdkUsbTransportFrameLoop)
    ->ArgNames({"bytes_per_sample", "quiet_poll", "real_time"})
    ->Args({1, 1, 0})
    ->Args({2, 1, 0})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_REGISTER_F(UsbFrames, SdkInProcessTransportFrameLoop)
    ->ArgNames({"bytes_per_sample", "quiet_poll", "real_time"})
    ->Args({1, 1, 0})
    ->Args({2, 1, 0})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_REGISTER_F(UsbFrames, SdkUsbStreamColour24)
    ->ArgNames({"bytes_per_sample", "quiet_poll", "real_time", "preview_window"})
    ->Args({1, 1, 0, 0})
    ->Args({1, 1, 0, 1})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond)
    ->MinTime(3.0);

}  // namespace tavlin::bench

BENCHMARK_MAIN();
