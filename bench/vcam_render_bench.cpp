// The virtual camera's frame rendering, which every streaming benchmark pays on the camera's
// side: the plain renderer against the one that keeps lines between frames, on a full-sensor
// moving ramp at both sample widths.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "vcam/frame_renderer.h"

namespace {

using namespace tavlin::vcam;
namespace reg = protocol::sensor;

ModelState FullSensor(int wide) {
    ModelState s = PowerOnState(1);
    for (uint8_t r :
         {reg::kGainGreen1, reg::kGainBlue, reg::kGainRed, reg::kGainGreen2, reg::kGlobalGain}) {
        s.sensor[r] = 14;
    }
    s.controller[protocol::controller::kSampleWidth] = uint8_t(wide);
    return s;
}

void BM_RenderPlain(benchmark::State& state) {
    const ModelState s = FullSensor(int(state.range(0)));
    std::vector<uint8_t> frame(ReadoutOf(s).ImageBytes());
    uint64_t n = 0;
    for (auto _ : state) {
        RenderFrame(s, Scene{}, n++, frame.data(), frame.size());
        benchmark::DoNotOptimize(frame.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(frame.size()));
}

void BM_RenderCached(benchmark::State& state) {
    const ModelState s = FullSensor(int(state.range(0)));
    std::vector<uint8_t> frame(ReadoutOf(s).ImageBytes());
    CachedRenderer renderer;
    uint64_t n = 0;
    for (auto _ : state) {
        renderer.Render(s, Scene{}, n++, frame.data(), frame.size());
        benchmark::DoNotOptimize(frame.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(frame.size()));
}

BENCHMARK(BM_RenderPlain)->Arg(0)->Arg(1)->ArgName("wide")->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RenderCached)->Arg(0)->Arg(1)->ArgName("wide")->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
