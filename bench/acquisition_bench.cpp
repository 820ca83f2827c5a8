// Streaming colour mode 24 at 1280 x 1024 from the virtual camera (as fast as it can render)
// into an application buffer, next to the cost of the frame pipeline alone on the same frame
// size, in one run.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <time.h>

#include <filesystem>
#include <vector>

#include "camera/frame_pipeline.h"
#include "tavlin/tavlin.h"
#include "tavlin/tavlin_host.h"
#include "tavlin/tavlin_vcam.h"

namespace {

constexpr int32_t kWidth = 1280;
constexpr int32_t kHeight = 1024;

double ProcessCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

void BM_StreamColour24(benchmark::State& state) {
    const auto config = std::filesystem::temp_directory_path() / "tavlin-bench-config";
    std::filesystem::create_directories(config);
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    TavlinVcam_Attach(0);
    TavlinVcam_SetPacing(0, TAVLIN_VCAM_PACING_FAST);
    TAVLIN_HWND window = TavlinHost_CreateMessageWindow();
    const int32_t camera = Tavlin_Initialize(window);
    Tavlin_SetColorMode(camera, 24);
    Tavlin_SetSubSample(camera, 0);
    Tavlin_SetCaptureWindowEx(camera, kWidth, 0, kWidth, kHeight, 0, kHeight);
    Tavlin_SetWaitTime(camera, 0);
    std::vector<uint8_t> image(static_cast<size_t>(kWidth) * 3 * kHeight);
    Tavlin_CallBackPreview(camera, window, image.data(), static_cast<int32_t>(image.size()), 1);

    int64_t frames = 0;
    const double cpuStart = ProcessCpuSeconds();
    for (auto _ : state) {
        TavlinMessage m{};
        while (TavlinHost_GetMessage(window, &m, 5000) == 1) {
            if (m.message == TAVLIN_MSG_FRAME && m.wParam != 0) break;
        }
        ++frames;
    }
    const double cpu = ProcessCpuSeconds() - cpuStart;
    Tavlin_StopPreview(camera);
    Tavlin_Release(camera);
    TavlinHost_DestroyWindow(window);
    TavlinVcam_Detach(0);
    state.SetItemsProcessed(frames);
    state.counters["frames_per_s"] =
        benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
    state.counters["cpu_ms_per_frame"] = frames > 0 ? 1000.0 * cpu / frames : 0.0;
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
