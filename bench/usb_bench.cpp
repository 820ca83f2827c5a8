// Frames through the emulated USB bus with plain libusb: the frame-request packet on 0x01, the
// frame on 0x83, as a USB transport would stream. Counters: frames per second and process CPU
// time per frame (all threads: client, umockdev and the emulation). Arguments: bytes per sample
// (1 or 2, full 1280 x 1024 frames), whether the node polls quietly (1) or is umockdev's regular
// file that always polls ready (0), and the camera's pacing (0 as fast as it renders, 1 its real
// frame period, where the client waits for each frame). Run under tests/usb_wrapper.sh.
#include <vector>

#include "emulated_usb_fixture.h"

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
};

BENCHMARK_DEFINE_F(UsbFrames, BareLibusbFrameLoop)(benchmark::State& state) {
    const bool wide = state.range(0) == 2;
    const uint32_t bytes = kFullFrame * (wide ? 2 : 1);
    if (!Send(MakePacket({proto::kCmdTransferSize, uint8_t(kFullFrame), uint8_t(kFullFrame >> 8),
                          uint8_t(kFullFrame >> 16), uint8_t(kFullFrame >> 24)})) ||
        !Send(MakePacket({proto::kCmdControllerWrite, proto::controller::kSampleWidth,
                          uint8_t(wide ? 1 : 0)}))) {
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
    const double cpu = ProcessCpuSeconds() - cpuBefore;
    const auto frames = double(state.iterations());
    state.SetBytesProcessed(int64_t(state.iterations()) * bytes);
    state.counters["frames_per_s"] = benchmark::Counter(frames, benchmark::Counter::kIsRate);
    state.counters["cpu_us_per_frame"] = frames > 0 ? cpu * 1e6 / frames : 0.0;
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

}  // namespace
}  // namespace tavlin::bench

BENCHMARK_MAIN();
