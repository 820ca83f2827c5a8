// One frame's image stages (colour 24: demosaic, hue and saturation, gamma, contrast, sharpness,
// brightness) through the camera's pipeline on one thread and in row bands on two, taken in turns
// within each loop so both see the same load on this shared machine. `ratio` is the banded time
// over the single-threaded one; the target is at most 0.6 at 1280 x 1024 on two cores.
//   frame_latency/<wb>: one frame at a time.
//   streaming/<wb>: eight frames back to back per turn (the acquiring thread's steady state).
//   size/<w>x<h>: small frames banded at any size, to place the least banded frame size.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <random>
#include <string>

#include "camera/band_workers.h"
#include "camera/frame_pipeline.h"
#include "process_cpu.h"

namespace tavlin::camera {
namespace {

using bench::ProcessCpuSeconds;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

// The buffers colour mode 2 uses, the raw frame random.
void MakeBuffers(ImageBuffers& buffers, int32_t width, int32_t height) {
    buffers[kBuffer8].Create(width, height, 8);
    buffers[kBuffer24].Create(width, height, 24);
    buffers[kBufferScratch].CreateLike(&buffers[kBuffer24]);
    std::mt19937 random(3);
    output::ImageBuffer& raw = buffers[kBuffer8];
    for (int32_t y = 0; y < height; ++y) {
        uint8_t* row = raw.Bits() + static_cast<size_t>(y) * raw.Stride();
        for (int32_t x = 0; x < width; ++x) row[x] = static_cast<uint8_t>(random());
    }
}

FrameSettings Adjusted(bool whiteBalance) {
    FrameSettings s;
    s.colorMode = 2;
    s.values.hue = 30;
    s.values.saturation = 40;
    s.values.gamma = 140;
    s.values.contrast = 20;
    s.values.sharpness = 10;
    s.values.brightness = 30;
    s.values.bayerGainAuto = whiteBalance ? 1 : 0;
    return s;
}

void InTurns(benchmark::State& state, int32_t width, int32_t height, bool whiteBalance,
             int32_t framesPerTurn, BandShape shape) {
    ImageBuffers buffers;
    MakeBuffers(buffers, width, height);
    const FrameSettings settings = Adjusted(whiteBalance);
    BandWorkerPool single;
    single.SetThreads(1);
    BandWorkerPool banded;
    banded.SetThreads(2, shape);
    RunImageStages(settings, buffers, banded);  // helpers started before timing
    double singleSeconds = 0;
    double bandedSeconds = 0;
    double singleCpu = 0;
    double bandedCpu = 0;
    for (auto _ : state) {
        const double cpuA = ProcessCpuSeconds();
        const Clock::time_point a = Clock::now();
        for (int32_t i = 0; i < framesPerTurn; ++i) RunImageStages(settings, buffers, single);
        const Clock::time_point b = Clock::now();
        const double cpuB = ProcessCpuSeconds();
        for (int32_t i = 0; i < framesPerTurn; ++i) RunImageStages(settings, buffers, banded);
        const Clock::time_point c = Clock::now();
        const double cpuC = ProcessCpuSeconds();
        singleSeconds += Seconds(a, b);
        bandedSeconds += Seconds(b, c);
        singleCpu += cpuB - cpuA;
        bandedCpu += cpuC - cpuB;
        state.SetIterationTime(Seconds(b, c));
    }
    const double frames = static_cast<double>(state.iterations()) * framesPerTurn;
    state.counters["single_ms"] = 1000 * singleSeconds / frames;
    state.counters["banded_ms"] = 1000 * bandedSeconds / frames;
    state.counters["single_fps"] = frames / singleSeconds;
    state.counters["banded_fps"] = frames / bandedSeconds;
    state.counters["ratio"] = bandedSeconds / singleSeconds;
    // CPU time over wall time: 1 for a thread that had a core to itself all along, up to 2 for
    // two threads; below that the machine's other work took the cores.
    state.counters["single_cores"] = singleCpu / singleSeconds;
    state.counters["banded_cores"] = bandedCpu / bandedSeconds;
}

void RegisterAll() {
    constexpr int32_t kWidth = 1280;
    constexpr int32_t kHeight = 1024;
    for (const bool wb : {false, true}) {
        const std::string suffix = wb ? "white_balance" : "fixed_gains";
        benchmark::RegisterBenchmark(("frame_latency/" + suffix).c_str(), InTurns, kWidth, kHeight,
                                     wb, 1, BandShape{})
            ->UseManualTime()
            ->MinTime(2.0);
        benchmark::RegisterBenchmark(("streaming/" + suffix).c_str(), InTurns, kWidth, kHeight, wb,
                                     8, BandShape{})
            ->UseManualTime()
            ->MinTime(2.0);
    }
    const int32_t sizes[][2] = {{64, 64}, {128, 128}, {256, 128}, {256, 256}, {512, 256}};
    for (const auto& size : sizes) {
        const std::string name = "size/" + std::to_string(size[0]) + "x" + std::to_string(size[1]);
        benchmark::RegisterBenchmark(name.c_str(), InTurns, size[0], size[1], false, 8,
                                     BandShape{0, kMinBandRows})
            ->UseManualTime();
    }
}

}  // namespace
}  // namespace tavlin::camera

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    tavlin::camera::RegisterAll();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
