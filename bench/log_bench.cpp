// What diagnostic logging costs while it is off: a log statement on a hot path beside the same
// loop without one, and streaming colour mode 24 at 1280 x 1024 with logging off and with it on
// at info (nothing per frame). Built again with -DTAVLIN_LOG_COMPILED_OUT, where every statement
// of the library is compiled out, the same program gives the baseline (docs/performance.md).
#include <benchmark/benchmark.h>

#include <atomic>

#include "diag/log.h"
#include "stream_colour24.h"
#include "tavlin/tavlin_ext.h"

namespace {

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

// Streaming as fast as the virtual camera renders; range(0): 0 logging off, 1 on at info into
// a callback.
void BM_StreamColour24(benchmark::State& state) {
    TavlinExt_SetLogCallback(state.range(0) != 0 ? CountMessage : nullptr, nullptr,
                             TAVLIN_EXT_LOG_INFO);
    tavlin::bench::StreamColour24(state);
    TavlinExt_SetLogCallback(nullptr, nullptr, TAVLIN_EXT_LOG_OFF);
}
BENCHMARK(BM_StreamColour24)
    ->Arg(0)
    ->Arg(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond)
    ->MinTime(3.0);

}  // namespace

BENCHMARK_MAIN();
