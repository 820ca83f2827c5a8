// Streaming colour mode 24 at 1280 x 1024 from the virtual camera (as fast as it can render)
// into an application buffer, with and without the camera's preview window, next to the cost of
// the frame pipeline alone and of one copy of the output frame, in one run.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "camera/frame_pipeline.h"
#include "stream_colour24.h"

namespace {

using tavlin::bench::kStreamHeight;
using tavlin::bench::kStreamWidth;
constexpr int32_t kWidth = kStreamWidth;
constexpr int32_t kHeight = kStreamHeight;

void BM_StreamColour24(benchmark::State& state) {
    tavlin::bench::StreamColour24(
        state, state.range(0) != 0,
        state.range(1) != 0 ? TAVLIN_VCAM_PACING_AS_TAKEN : TAVLIN_VCAM_PACING_FAST);
}
BENCHMARK(BM_StreamColour24)
    ->ArgNames({"preview_window", "as_taken"})
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond)
    ->MinTime(3.0);

// The pipeline of one frame with neutral settings: Bayer to 24-bit colour.
void BM_PipelineColour24(benchmark::State& state) {
    tavlin::camera::ImageBuffers buffers;
    buffers[tavlin::camera::kBuffer8].Create(kWidth, kHeight, 8);
    buffers[tavlin::camera::kBuffer24].Create(kWidth, kHeight, 24);
    buffers[tavlin::camera::kBufferScratch].CreateLike(&buffers[tavlin::camera::kBuffer24]);
    uint8_t* raw = buffers[tavlin::camera::kBuffer8].Bits();
    for (int32_t i = 0; i < kWidth * kHeight; ++i) raw[i] = static_cast<uint8_t>(i * 7 + (i >> 9));
    tavlin::camera::FrameSettings settings;
    settings.colorMode = 2;
    for (auto _ : state) {
        benchmark::DoNotOptimize(tavlin::camera::RunImageStages(settings, buffers));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PipelineColour24)->Unit(benchmark::kMillisecond);

// One copy of a 24-bit output frame between two buffers larger than the caches together, the
// unit of the copies a delivered frame needs.
void BM_CopyOutputFrame(benchmark::State& state) {
    constexpr size_t kFrameBytes = size_t{kWidth} * 3 * kHeight;
    constexpr size_t kFrames = 8;
    std::vector<uint8_t> from(kFrameBytes * kFrames, 1);
    std::vector<uint8_t> to(kFrameBytes * kFrames);
    size_t k = 0;
    for (auto _ : state) {
        std::memcpy(to.data() + k * kFrameBytes, from.data() + k * kFrameBytes, kFrameBytes);
        benchmark::ClobberMemory();
        k = (k + 1) % kFrames;
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFrameBytes));
}
BENCHMARK(BM_CopyOutputFrame)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
