// Streaming colour mode 24 at 1280 x 1024 from an in-process virtual camera rendering as fast as
// it can, into an application buffer through frame messages: the end-to-end case several
// benchmarks measure, with frames per second and process CPU per delivered frame as counters.
#pragma once

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <vector>

#include "process_cpu.h"
#include "tavlin/tavlin.h"
#include "tavlin/tavlin_host.h"
#include "tavlin/tavlin_vcam.h"

namespace tavlin::bench {

inline constexpr int32_t kStreamWidth = 1280;
inline constexpr int32_t kStreamHeight = 1024;

// Streams from whatever camera the SDK finds at device index 0. Without a preview window the
// frames go only into the application's buffer; with one, each is also drawn into the
// top-level window the camera makes.
inline void StreamColour24FromDevice0(benchmark::State& state, bool previewWindow) {
    const auto config = std::filesystem::temp_directory_path() / "tavlin-bench-config";
    std::filesystem::create_directories(config);
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    TAVLIN_HWND window = TavlinHost_CreateMessageWindow();
    const int32_t camera = Tavlin_Initialize(window);
    Tavlin_SetColorMode(camera, 24);
    Tavlin_SetSubSample(camera, 0);
    Tavlin_SetCaptureWindowEx(camera, kStreamWidth, 0, kStreamWidth, kStreamHeight, 0,
                              kStreamHeight);
    Tavlin_SetWaitTime(camera, 0);
    if (!previewWindow) Tavlin_SetPreviewWindow(camera, nullptr, 0, 0, 0, 0);
    std::vector<uint8_t> image(static_cast<size_t>(kStreamWidth) * 3 * kStreamHeight);
    if (Tavlin_CallBackPreview(camera, window, image.data(), static_cast<int32_t>(image.size()),
                               1) != 1) {
        state.SkipWithError("the camera at index 0 did not start streaming");
    }

    int64_t frames = 0;
    const double cpuStart = ProcessCpuSeconds();
    for (auto _ : state) {
        TavlinMessage m{};
        bool frame = false;
        while (!frame && TavlinHost_GetMessage(window, &m, 5000) == 1) {
            frame = m.message == TAVLIN_MSG_FRAME && m.wParam != 0;
        }
        if (!frame) {
            state.SkipWithError("no frame within 5 s");
            break;
        }
        ++frames;
    }
    const double cpu = ProcessCpuSeconds() - cpuStart;
    Tavlin_StopPreview(camera);
    Tavlin_Release(camera);
    TavlinHost_DestroyWindow(window);
    state.SetItemsProcessed(frames);
    state.counters["frames_per_s"] =
        benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
    state.counters["cpu_ms_per_frame"] = frames > 0 ? 1000.0 * cpu / frames : 0.0;
}

// The in-process virtual camera, rendering as fast as it is asked: fast pacing by default (the SDK
// reads frames as fast as they come and takes the newest), or as taken (the SDK asks for a
// frame only once the last one is taken).
inline void StreamColour24(benchmark::State& state, bool previewWindow = true,
                           int32_t pacing = TAVLIN_VCAM_PACING_FAST) {
    TavlinVcam_Attach(0);
    TavlinVcam_SetPacing(0, pacing);
    StreamColour24FromDevice0(state, previewWindow);
    TavlinVcam_Detach(0);
}

}  // namespace tavlin::bench
