// Image stage timings on full 1280 x 1024 frames, for every dispatch path, next to OpenCV
// anchors run single-threaded on the same frames (when OpenCV is present).
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "imaging/adjustment_plan.h"
#include "imaging/adjustments.h"
#include "imaging/color_conversion.h"
#include "imaging/kernel_paths.h"
#include "imaging/whole_image.h"

#ifdef TAVLIN_HAVE_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace {

using namespace tavlin::imaging;

constexpr int32_t kWidth = 1280;
constexpr int32_t kHeight = 1024;

struct Frame {
    int32_t bytesPerPixel;
    int32_t stride;
    std::vector<uint8_t> bytes;

    explicit Frame(int32_t bpp, uint32_t seed = 1)
        : bytesPerPixel(bpp),
          stride((kWidth * bpp + 3) & ~3),
          bytes(static_cast<size_t>(stride) * kHeight) {
        std::mt19937 random(seed);
        const bool wide = bpp == 2 || bpp >= 6;
        for (size_t i = 0; i < bytes.size(); i += wide ? 2 : 1) {
            if (wide) {
                const uint16_t v = random() % 1024;
                std::memcpy(&bytes[i], &v, 2);
            } else {
                bytes[i] = static_cast<uint8_t>(random());
            }
        }
    }
    ImageView View() {
        return {bytes.data(), kWidth, kHeight, stride, static_cast<uint16_t>(bytesPerPixel)};
    }
};

void SetBytes(benchmark::State& state, size_t bytes) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

void Convert(benchmark::State& state, SimdLevel level, int32_t rawBytes, int32_t outBytes) {
    if (!UseSimdLevel(level)) return state.SkipWithError("path not available");
    Frame raw(rawBytes);
    Frame out(outBytes);
    ColorConversionBlock block{3, 110, 100, 90};
    for (auto _ : state) {
        RunStage(ConvertBayerToColor, out.View(), raw.View(), block);
        benchmark::ClobberMemory();
    }
    SetBytes(state, out.bytes.size());
}

// One adjustment stage; a null kernel is hue and saturation.
void Adjustment(benchmark::State& state, SimdLevel level, Stage<const SingleValueBlock> kernel,
                int32_t bytes, int32_t value) {
    if (!UseSimdLevel(level)) return state.SkipWithError("path not available");
    Frame image(bytes);
    Frame copy(bytes, 2);
    HueSaturationBlock hue{value, 0, 40, kWideSampleBits};
    SingleValueBlock single{value, kWideSampleBits};
    const ImageView source = kernel == AdjustSharpness ? copy.View() : image.View();
    for (auto _ : state) {
        if (kernel == nullptr) {
            RunStage(AdjustHueSaturation, image.View(), source, hue);
        } else {
            RunStage(kernel, image.View(), source, single);
        }
        benchmark::ClobberMemory();
    }
    SetBytes(state, image.bytes.size());
}

// Colour conversion and the adjustments a frame of colour mode 2 needs.
void Chain(benchmark::State& state, SimdLevel level, bool adjusted) {
    if (!UseSimdLevel(level)) return state.SkipWithError("path not available");
    Frame raw(1);
    Frame out(3);
    Frame scratch(3);
    FilterValues values;
    if (adjusted) {
        values.hue = 30;
        values.saturation = 40;
        values.gamma = 140;
        values.contrast = 20;
        values.sharpness = 10;
        values.brightness = 30;
    }
    for (auto _ : state) {
        ColorConversionBlock block = MakeColorConversionBlock(values, false, false);
        RunStage(ConvertBayerToColor, out.View(), raw.View(), block);
        AdjustmentPlan plan = PlanAdjustments(values, 2);
        RunAdjustments(plan, out.View(), scratch.View());
        benchmark::ClobberMemory();
    }
    SetBytes(state, out.bytes.size());
}

#ifdef TAVLIN_HAVE_OPENCV
cv::Mat RandomMat(int type, uint32_t seed) {
    cv::Mat m(kHeight, kWidth, type);
    cv::RNG rng(seed);
    if (CV_MAT_DEPTH(type) == CV_16U) {
        rng.fill(m, cv::RNG::UNIFORM, 0, 1024);
    } else {
        rng.fill(m, cv::RNG::UNIFORM, 0, 256);
    }
    return m;
}

void CvBayer(benchmark::State& state, int depth) {
    const cv::Mat raw = RandomMat(CV_MAKETYPE(depth, 1), 1);
    cv::Mat out;
    for (auto _ : state) {
        cv::cvtColor(raw, out, cv::COLOR_BayerGB2BGR);
        benchmark::ClobberMemory();
    }
    SetBytes(state, out.total() * out.elemSize());
}

void CvLut(benchmark::State& state) {
    const cv::Mat image = RandomMat(CV_8UC3, 2);
    cv::Mat table(1, 256, CV_8U);
    for (int i = 0; i < 256; ++i) table.at<uint8_t>(i) = static_cast<uint8_t>(255 - i);
    cv::Mat out;
    for (auto _ : state) {
        cv::LUT(image, table, out);
        benchmark::ClobberMemory();
    }
    SetBytes(state, out.total() * out.elemSize());
}

void CvUnsharp(benchmark::State& state) {
    const cv::Mat image = RandomMat(CV_8UC3, 3);
    cv::Mat blurred;
    cv::Mat out;
    for (auto _ : state) {
        cv::blur(image, blurred, cv::Size(4, 4));
        cv::addWeighted(image, 2.0, blurred, -1.0, 0, out);
        benchmark::ClobberMemory();
    }
    SetBytes(state, out.total() * out.elemSize());
}

void CvHsvRoundTrip(benchmark::State& state) {
    const cv::Mat image = RandomMat(CV_8UC3, 4);
    cv::Mat hsv;
    cv::Mat out;
    for (auto _ : state) {
        cv::cvtColor(image, hsv, cv::COLOR_BGR2HSV);
        cv::cvtColor(hsv, out, cv::COLOR_HSV2BGR);
        benchmark::ClobberMemory();
    }
    SetBytes(state, out.total() * out.elemSize());
}
#endif

void Memcpy(benchmark::State& state, int32_t bytes) {
    Frame source(bytes);
    Frame target(bytes);
    for (auto _ : state) {
        std::memcpy(target.bytes.data(), source.bytes.data(), source.bytes.size());
        benchmark::ClobberMemory();
    }
    SetBytes(state, source.bytes.size());
}

struct StageKind {
    const char* name;
    Stage<const SingleValueBlock> kernel;  // null: hue and saturation
    int32_t value;
};

void RegisterAll() {
    const StageKind stages[] = {{"hue", nullptr, 30},
                                {"gamma", AdjustGamma, 140},
                                {"contrast", AdjustContrast, 20},
                                {"sharpness", AdjustSharpness, 10},
                                {"brightness", AdjustBrightness, 30}};
    const std::pair<const char*, int32_t> variants[] = {
        {"gray8", 1}, {"gray16", 2}, {"color24", 3}, {"color32", 4}, {"color48", 6}};
    for (SimdLevel level : {SimdLevel::Portable, SimdLevel::Avx2, SimdLevel::Avx512}) {
        if (KernelPathsFor(level) == nullptr) continue;
        const std::string prefix = std::string(SimdLevelName(level)) + "/";
        for (const auto& [name, raw, out] : {std::tuple{"convert_8_to_24", 1, 3},
                                             {"convert_8_to_32", 1, 4},
                                             {"convert_16_to_48", 2, 6},
                                             {"convert_16_to_64", 2, 8}}) {
            benchmark::RegisterBenchmark((prefix + name).c_str(), Convert, level, raw, out);
        }
        for (const StageKind& stage : stages) {
            for (const auto& [variant, bytes] : variants) {
                if (stage.kernel == nullptr && bytes <= 2) continue;
                benchmark::RegisterBenchmark((prefix + stage.name + "_" + variant).c_str(),
                                             Adjustment, level, stage.kernel, bytes, stage.value);
            }
        }
        benchmark::RegisterBenchmark((prefix + "chain_neutral_24").c_str(), Chain, level, false);
        benchmark::RegisterBenchmark((prefix + "chain_adjusted_24").c_str(), Chain, level, true);
    }
#ifdef TAVLIN_HAVE_OPENCV
    cv::setNumThreads(1);
    benchmark::RegisterBenchmark("anchor/cv_bayer_bilinear_8", CvBayer, CV_8U);
    benchmark::RegisterBenchmark("anchor/cv_bayer_bilinear_16", CvBayer, CV_16U);
    benchmark::RegisterBenchmark("anchor/cv_lut_24", CvLut);
    benchmark::RegisterBenchmark("anchor/cv_unsharp_24", CvUnsharp);
    benchmark::RegisterBenchmark("anchor/cv_hsv_round_trip_24", CvHsvRoundTrip);
#endif
    benchmark::RegisterBenchmark("anchor/memcpy_24", Memcpy, 3);
    benchmark::RegisterBenchmark("anchor/memcpy_48", Memcpy, 6);
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RegisterAll();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
