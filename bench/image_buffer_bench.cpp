// Raw-frame kernels and the software blit on a full 1280 x 1024 frame, each next to a memcpy of
// the same number of bytes so the figures read as "times a plain copy".
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "imaging/raw_kernels.h"
#include "output/image_buffer.h"

namespace {

using tavlin::output::ImageBuffer;

constexpr int32_t kWidth = 1280;
constexpr int32_t kHeight = 1024;

ImageBuffer MakeFrame(int32_t width, int32_t bitCount) {
    ImageBuffer image;
    image.Create(width, kHeight, bitCount);
    for (size_t i = 0; i < image.SizeBytes(); ++i) image.Bits()[i] = uint8_t(i * 13);
    return image;
}

void Memcpy(benchmark::State& state) {
    const auto bytes = static_cast<size_t>(state.range(0));
    std::vector<uint8_t> from(bytes, 1);
    std::vector<uint8_t> to(bytes);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
}
BENCHMARK(Memcpy)
    ->Arg(kWidth* kHeight)
    ->Arg(kWidth* kHeight * 2)
    ->Arg(kWidth* kHeight * 3)
    ->ArgName("bytes");

// The frame is re-strided in place every turn; its content does not change the work done.
void Restride(benchmark::State& state) {
    const auto bitCount = static_cast<int32_t>(state.range(0));
    const int32_t width = kWidth - 2 + bitCount / 16;  // 1278 at 8 bits, 1279 at 16 bits
    ImageBuffer raw = MakeFrame(width, bitCount);
    const auto kernel = bitCount == 8 ? &tavlin::imaging::Restride8 : &tavlin::imaging::Restride16;
    for (auto _ : state) {
        benchmark::DoNotOptimize(raw.Transfer(kernel, &raw, nullptr, 0, 0, nullptr, nullptr));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(raw.SizeBytes()));
}
BENCHMARK(Restride)->Arg(8)->Arg(16)->ArgName("bits");

void WindowMean(benchmark::State& state) {
    const auto bitCount = static_cast<int32_t>(state.range(0));
    ImageBuffer raw = MakeFrame(kWidth, bitCount);
    const auto kernel =
        bitCount == 8 ? &tavlin::imaging::WindowMean8 : &tavlin::imaging::WindowMean16;
    for (auto _ : state) {
        benchmark::DoNotOptimize(raw.Transfer(kernel, &raw, nullptr, 0, 0, nullptr, nullptr));
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(raw.SizeBytes()));
}
BENCHMARK(WindowMean)->Arg(8)->Arg(16)->ArgName("bits");

// The preview's equal-size draw (into a window's 32-bit surface) and the JPEG path's flip:
// source at (0, height), size -height.
void StretchBltFlip(benchmark::State& state) {
    const auto srcBits = static_cast<int32_t>(state.range(0));
    ImageBuffer source = MakeFrame(kWidth, srcBits);
    ImageBuffer target = MakeFrame(kWidth, static_cast<int32_t>(state.range(1)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(tavlin::gdi::StretchBlt(target.Dc(), 0, 0, kWidth, kHeight,
                                                         source.Dc(), 0, kHeight, kWidth, -kHeight,
                                                         tavlin::gdi::SRCCOPY));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(target.SizeBytes()));
}
BENCHMARK(StretchBltFlip)
    ->ArgNames({"source_bits", "target_bits"})
    ->Args({24, 24})
    ->Args({8, 24})
    ->Args({24, 32})
    ->Args({32, 24})
    ->Args({8, 32});

}  // namespace

BENCHMARK_MAIN();
