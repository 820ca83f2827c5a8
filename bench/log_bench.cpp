// What diagnostic logging costs while it is off: a log statement on a hot path beside the same
// loop without one, and streaming colour mode 24 at 1280 x 1024 with logging off and with it on
// at info (nothing per frame). Built again with -DTAVLIN_LOG_COMPILED_OUT, where every statement
// of the library is compiled out, the same program gives the baseline (docs/performance.md).
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <time.h>

#include <atomic>
#include <filesystem>
#include <vector>

#include "diag/log.h"
#include "tavlin/tavlin.h"
#include "tavlin/tavlin_ext.h"
#include "tavlin/tavlin_host.h"
#include "tavlin/tavlin_vcam.h"

namespace {

constexpr int32_t kWidth = 1280;
constexpr int32_t kHeight = 1024;

std::atomic<uint64_t> gDelivered{0};
void CountMessage(void*, int32_t, const char*, int32_t, int64_t, const char*) {
    gDelivered.fetch_add(1, std::memory_order_relaxed);
}

// The loop the statement sits in, without it.
void BM_LoopWithoutStatement(benchmark::State& state) {
    uint64_t frame = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(++frame);
    }
}
BENCHMARK(BM_LoopWithoutStatement);

// A debug statement with arguments while logging is off.
void BM_LogStatementOff(benchmark::State& state) {
    TavlinExt_SetLogLevels(nullptr);
    uint64_t frame = 0;
    for (auto _ : state) {
        TAVLIN_LOG(Transfer, Debug, "frame %llu taken", static_cast<unsigned long long>(frame));
        benchmark::DoNotOptimize(++frame);
    }
}
BENCHMARK(BM_LogStatementOff);

// The same statement with logging on for other levels: still only the check.
void BM_LogStatementFilteredOut(benchmark::State& state) {
    TavlinExt_SetLogCallback(CountMessage, nullptr, TAVLIN_EXT_LOG_INFO);
    uint64_t frame = 0;
    for (auto _ : state) {
        TAVLIN_LOG(Transfer, Debug, "frame %llu taken", static_cast<unsigned long long>(frame));
        benchmark::DoNotOptimize(++frame);
    }
    TavlinExt_SetLogCallback(nullptr, nullptr, TAVLIN_EXT_LOG_OFF);
}
BENCHMARK(BM_LogStatementFilteredOut);

// For scale: a statement that is on, formatted and passed to a callback that counts it.
void BM_LogStatementToCallback(benchmark::State& state) {
    TavlinExt_SetLogCallback(CountMessage, nullptr, TAVLIN_EXT_LOG_DEBUG);
    uint64_t frame = 0;
    for (auto _ : state) {
        TAVLIN_LOG(Transfer, Debug, "frame %llu taken", static_cast<unsigned long long>(frame));
        benchmark::DoNotOptimize(++frame);
    }
    TavlinExt_SetLogCallback(nullptr, nullptr, TAVLIN_EXT_LOG_OFF);
}
BENCHMARK(BM_LogStatementToCallback);

double ProcessCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Streaming as fast as the virtual camera renders; range(0): 0 logging off, 1 on at info into
// a callback.
void BM_StreamColour24(benchmark::State& state) {
    const auto config = std::filesystem::temp_directory_path() / "tavlin-bench-config";
    std::filesystem::create_directories(config);
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    TavlinExt_SetLogCallback(state.range(0) != 0 ? CountMessage : nullptr, nullptr,
                             TAVLIN_EXT_LOG_INFO);
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
    TavlinExt_SetLogCallback(nullptr, nullptr, TAVLIN_EXT_LOG_OFF);
    state.SetItemsProcessed(frames);
    state.counters["frames_per_s"] =
        benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
    state.counters["cpu_ms_per_frame"] = frames > 0 ? 1000.0 * cpu / frames : 0.0;
}
BENCHMARK(BM_StreamColour24)
    ->Arg(0)
    ->Arg(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond)
    ->MinTime(3.0);

}  // namespace

BENCHMARK_MAIN();
