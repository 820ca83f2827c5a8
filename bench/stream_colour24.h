// Streaming colour mode 24 at 1280 x 1024 from an in-process virtual camera rendering as fast as
// it can, into an application buffer through frame messages: the end-to-end case several
// benchmarks measure, with frames per second and process CPU per delivered frame as counters.
#pragma once

#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <time.h>

#include <cstdint>
#include <filesystem>
#include <vector>

#include "tavlin/tavlin.h"
#include "tavlin/tavlin_host.h"
#include "tavlin/tavlin_vcam.h"

namespace tavlin::bench {

inline constexpr int32_t kStreamWidth = 1280;
inline constexpr int32_t kStreamHeight = 1024;

inline double ProcessCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

inline void StreamColour24(benchmark::State& state) {
    const auto config = std::filesystem::temp_directory_path() / "tavlin-bench-config";
    std::filesystem::create_directories(config);
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    TavlinVcam_Attach(0);
    TavlinVcam_SetPacing(0, TAVLIN_VCAM_PACING_FAST);
    TAVLIN_HWND window = TavlinHost_CreateMessageWindow();
    const int32_t camera = Tavlin_Initialize(window);
    Tavlin_SetColorMode(camera, 24);
    Tavlin_SetSubSample(camera, 0);
    Tavlin_SetCaptureWindowEx(camera, kStreamWidth, 0, kStreamWidth, kStreamHeight, 0,
                              kStreamHeight);
    Tavlin_SetWaitTime(camera, 0);
    std::vector<uint8_t> image(static_cast<size_t>(kStreamWidth) * 3 * kStreamHeight);
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

}  // namespace tavlin::bench
