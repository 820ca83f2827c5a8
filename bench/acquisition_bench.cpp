// Streaming colour mode 24 at 1280 x 1024 from the virtual camera (as fast as it can render)
// into an application buffer, next to the cost of the frame pipeline alone on the same frame
// size, in one run.
#include <benchmark/benchmark.h>

#include "camera/frame_pipeline.h"
#include "stream_colour24.h"

namespace {

using tavlin::bench::kStreamHeight;
using tavlin::bench::kStreamWidth;
constexpr int32_t kWidth = kStreamWidth;
constexpr int32_t kHeight = kStreamHeight;

void BM_StreamColour24(benchmark::State& state) {
    tavlin::bench::StreamColour24(state);
}
BENCHMARK(BM_StreamColour24)->UseRealTime()->Unit(benchmark::kMillisecond)->MinTime(3.0);

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

}  // namespace

BENCHMARK_MAIN();
