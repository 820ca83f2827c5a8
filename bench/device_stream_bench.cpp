// Full-sensor frames from the virtual camera (as fast as it can render) through the transfer
// thread and TakeFrame, against a plain memcpy of the same frame size in the same run.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "device/tavlin_410qz_sdk.h"
#include "tavlin/tavlin_vcam.h"

namespace {

using tavlin::device::CTavlin410QZVKESdk;

constexpr size_t kSamples = 1280 * 1024;

size_t FrameBytes(const benchmark::State& state) {
    return kSamples * (state.range(0) / 8);
}

void StreamTakeFrame(benchmark::State& state) {
    TavlinVcam_Attach(0);
    TavlinVcam_SetPacing(0, TAVLIN_VCAM_PACING_FAST);
    {
        CTavlin410QZVKESdk sdk;
        sdk.SetSampleWidth(state.range(0) == 16 ? 1 : 0);
        std::vector<uint8_t> destination(FrameBytes(state));
        if (sdk.StartTransfer() != tavlin::device::Status::Ok) {
            state.SkipWithError("transfer did not start");
        }
        for (auto _ : state) {
            tavlin::device::Status answer{};
            while ((answer = sdk.WaitFrame()) != tavlin::device::Status::Ok) {
                if (answer == tavlin::device::Status::Failed ||
                    answer == tavlin::device::Status::NotRunning) {
                    state.SkipWithError("stream ended");
                    break;
                }
            }
            sdk.TakeFrame(destination.data());
            benchmark::DoNotOptimize(destination.data());
        }
        sdk.StopTransfer();
    }
    TavlinVcam_Detach(0);
    state.counters["fps"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(FrameBytes(state)));
}

void MemcpyFrame(benchmark::State& state) {
    std::vector<uint8_t> source(FrameBytes(state), 0x5A);
    std::vector<uint8_t> destination(FrameBytes(state));
    for (auto _ : state) {
        std::memcpy(destination.data(), source.data(), source.size());
        benchmark::ClobberMemory();
    }
    state.counters["fps"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(FrameBytes(state)));
}

}  // namespace

BENCHMARK(StreamTakeFrame)->Arg(8)->Arg(16)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(MemcpyFrame)->Arg(8)->Arg(16)->UseRealTime()->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
