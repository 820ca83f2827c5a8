// Image stage timings on full 1280 x 1024 frames, for every dispatch path, each taken in turns with
// its OpenCV anchor run single-threaded on a frame of the same size (memcpy of the frame when
// OpenCV is missing). `ratio` is the stage's time over the anchor's, `target` the most it may be;
// the chains also report `ratio_memcpy`; `reference/memcpy_*` times a copy of each adjusted
// frame against the table stages' anchor, the floor of a stage that reads and writes every
// sample once. Only ratios mean anything on a shared machine.
//   build/bench/bench/imaging_bench --benchmark_filter='avx2|avx512'
// The AVX2 table runs on AVX-512 machines too (UseSimdLevel), so one run measures both.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <tuple>
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

using Clock = std::chrono::steady_clock;

// Runs the anchor and the measured stage in turns and reports the stage's time per iteration,
// the anchors' times and the ratios. Timed apart, the two see different load on this shared
// machine and the anchor alone varies by 2x between runs; taken in turns within one loop they
// see the same. A second anchor (memcpy of the frame) is optional.
void Paired(benchmark::State& state, const std::function<void()>& measured,
            const std::function<void()>& anchor, const std::function<void()>& second = {},
            double target = 0) {
    double measuredSeconds = 0;
    double anchorSeconds = 0;
    double secondSeconds = 0;
    const auto seconds = [](Clock::time_point from, Clock::time_point to) {
        return std::chrono::duration<double>(to - from).count();
    };
    for (auto _ : state) {
        const Clock::time_point a = Clock::now();
        anchor();
        benchmark::ClobberMemory();
        const Clock::time_point b = Clock::now();
        measured();
        benchmark::ClobberMemory();
        const Clock::time_point c = Clock::now();
        anchorSeconds += seconds(a, b);
        measuredSeconds += seconds(b, c);
        state.SetIterationTime(seconds(b, c));
        if (second) {
            second();
            benchmark::ClobberMemory();
            secondSeconds += seconds(c, Clock::now());
        }
    }
    state.counters["anchor_ms"] =
        benchmark::Counter(1000 * anchorSeconds, benchmark::Counter::kAvgIterations);
    state.counters["ratio"] = anchorSeconds > 0 ? measuredSeconds / anchorSeconds : 0;
    if (second) state.counters["ratio_memcpy"] = measuredSeconds / secondSeconds;
    if (target > 0) state.counters["target"] = target;
}

#ifdef TAVLIN_HAVE_OPENCV
// The anchors run OpenCV single-threaded on the same frame size: the bilinear demosaic of the
// same depth, cv::LUT on 8-bit samples (it has no 16-bit form) of the same count, an unsharp
// mask of the same depth and channels, and the 8-bit HSV round trip of the same pixels (OpenCV
// converts only 8-bit and float images to HSV).
cv::Mat RandomMat(int type, uint32_t seed) {
    cv::Mat m(kHeight, kWidth, type);
    cv::RNG rng(seed);
    rng.fill(m, cv::RNG::UNIFORM, 0, CV_MAT_DEPTH(type) == CV_16U ? 1024 : 256);
    return m;
}

struct CvAnchor {
    cv::Mat in;
    cv::Mat table;
    cv::Mat scratch;
    cv::Mat out;
    std::function<void()> run;
};

std::shared_ptr<CvAnchor> CvBayer(int depth) {
    auto a = std::make_shared<CvAnchor>();
    a->in = RandomMat(CV_MAKETYPE(depth, 1), 1);
    a->run = [p = a.get()] { cv::cvtColor(p->in, p->out, cv::COLOR_BayerGB2BGR); };
    return a;
}

std::shared_ptr<CvAnchor> CvLut(int channels) {
    auto a = std::make_shared<CvAnchor>();
    a->in = RandomMat(CV_MAKETYPE(CV_8U, channels), 2);
    a->table = cv::Mat(1, 256, CV_8U);
    for (int i = 0; i < 256; ++i) a->table.at<uint8_t>(i) = static_cast<uint8_t>(255 - i);
    a->run = [p = a.get()] { cv::LUT(p->in, p->table, p->out); };
    return a;
}

std::shared_ptr<CvAnchor> CvUnsharp(int type) {
    auto a = std::make_shared<CvAnchor>();
    a->in = RandomMat(type, 3);
    a->run = [p = a.get()] {
        cv::GaussianBlur(p->in, p->scratch, cv::Size(5, 5), 0);
        cv::addWeighted(p->in, 2.0, p->scratch, -1.0, 0, p->out);
    };
    return a;
}

std::shared_ptr<CvAnchor> CvHsvRoundTrip() {
    auto a = std::make_shared<CvAnchor>();
    a->in = RandomMat(CV_8UC3, 4);
    a->run = [p = a.get()] {
        cv::cvtColor(p->in, p->scratch, cv::COLOR_BGR2HSV);
        cv::cvtColor(p->scratch, p->out, cv::COLOR_HSV2BGR);
    };
    return a;
}
#endif

std::function<void()> Memcpy(int32_t bytes) {
    auto source = std::make_shared<Frame>(bytes);
    auto target = std::make_shared<Frame>(bytes);
    return [source, target] {
        std::memcpy(target->bytes.data(), source->bytes.data(), source->bytes.size());
    };
}

// The anchor of a stage, or memcpy of the frame where OpenCV is missing.
std::function<void()> AnchorOr(std::function<void()> cv, int32_t bytes) {
    return cv ? cv : Memcpy(bytes);
}

void Convert(benchmark::State& state, SimdLevel level, int32_t rawBytes, int32_t outBytes,
             std::function<void()> anchor, double target) {
    if (!UseSimdLevel(level)) return state.SkipWithError("path not available");
    Frame raw(rawBytes);
    Frame out(outBytes);
    ColorConversionBlock block{3, 110, 100, 90};
    Paired(
        state, [&] { RunStage(ConvertBayerToColor, out.View(), raw.View(), block); },
        AnchorOr(anchor, outBytes), {}, target);
    SetBytes(state, out.bytes.size());
}

// One adjustment stage; a null kernel is hue and saturation.
void Adjustment(benchmark::State& state, SimdLevel level, Stage<const SingleValueBlock> kernel,
                int32_t bytes, int32_t value, std::function<void()> anchor, double target) {
    if (!UseSimdLevel(level)) return state.SkipWithError("path not available");
    Frame image(bytes);
    Frame copy(bytes, 2);
    HueSaturationBlock hue{value, 0, 40, kWideSampleBits};
    SingleValueBlock single{value, kWideSampleBits};
    const ImageView source = kernel == AdjustSharpness ? copy.View() : image.View();
    Paired(
        state,
        [&] {
            if (kernel == nullptr) {
                RunStage(AdjustHueSaturation, image.View(), source, hue);
            } else {
                RunStage(kernel, image.View(), source, single);
            }
        },
        AnchorOr(anchor, bytes), {}, target);
    SetBytes(state, image.bytes.size());
}

// Colour conversion and the adjustments a frame of colour mode 2 needs, against the bilinear
// demosaic alone and against a copy of the frame.
void Chain(benchmark::State& state, SimdLevel level, bool adjusted, std::function<void()> anchor,
           double target) {
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
    Paired(
        state,
        [&] {
            ColorConversionBlock block = MakeColorConversionBlock(values, false, false);
            RunStage(ConvertBayerToColor, out.View(), raw.View(), block);
            AdjustmentPlan plan = PlanAdjustments(values, 2);
            RunAdjustments(plan, out.View(), scratch.View());
        },
        AnchorOr(anchor, 3), Memcpy(3), target);
    SetBytes(state, out.bytes.size());
}

struct StageKind {
    const char* name;
    Stage<const SingleValueBlock> kernel;  // null: hue and saturation
    int32_t value;
    double target;  // at most this many times the anchor
};

struct Variant {
    const char* name;
    int32_t bytes;
    int channels;
    int depth;
};

void RegisterAll() {
    const StageKind stages[] = {{"hue", nullptr, 30, 0.4},
                                {"gamma", AdjustGamma, 140, 0.3},
                                {"contrast", AdjustContrast, 20, 0.3},
                                {"sharpness", AdjustSharpness, 10, 0.5},
                                {"brightness", AdjustBrightness, 30, 0.3}};
    const Variant variants[] = {{"gray8", 1, 1, 0},   {"gray16", 2, 1, 2},  {"color24", 3, 3, 0},
                                {"color32", 4, 4, 0}, {"color48", 6, 3, 2}, {"color64", 8, 4, 2}};
#ifdef TAVLIN_HAVE_OPENCV
    cv::setNumThreads(1);
    const auto bayer8 = CvBayer(CV_8U);
    const auto bayer16 = CvBayer(CV_16U);
    const auto hsv = CvHsvRoundTrip();
    const std::function<void()> bayer8Run = bayer8->run;
    const std::function<void()> bayer16Run = bayer16->run;
    // Shared by every registration, kept alive for the program's life.
    static std::vector<std::shared_ptr<CvAnchor>> keep;
    keep = {bayer8, bayer16, hsv};
    const auto anchorFor = [&](const StageKind& stage, const Variant& v) -> std::function<void()> {
        std::shared_ptr<CvAnchor> a;
        if (stage.kernel == nullptr) {
            a = hsv;
        } else if (stage.kernel == AdjustSharpness) {
            a = CvUnsharp(CV_MAKETYPE(v.depth == 2 ? CV_16U : CV_8U, v.channels));
        } else {
            a = CvLut(v.channels);
        }
        keep.push_back(a);
        return a->run;
    };
#else
    const std::function<void()> bayer8Run;
    const std::function<void()> bayer16Run;
    const auto anchorFor = [](const StageKind&, const Variant&) { return std::function<void()>(); };
#endif
    // A copy of each variant's frame against cv::LUT: the floor of the table stages. The
    // 16-bit frames hold twice the bytes the 8-bit anchor reads and writes.
    for (const Variant& v : variants) {
        const StageKind lut{"memcpy", AdjustGamma, 0, 0};  // any table stage: cv::LUT
        benchmark::RegisterBenchmark(
            (std::string("reference/memcpy_") + v.name).c_str(),
            [copy = Memcpy(v.bytes), anchor = anchorFor(lut, v)](benchmark::State& state) {
                Paired(state, copy, AnchorOr(anchor, 1));
            })
            ->UseManualTime();
    }
    for (SimdLevel level : {SimdLevel::Portable, SimdLevel::Avx2, SimdLevel::Avx512}) {
        if (KernelPathsFor(level) == nullptr) continue;
        const bool avx512 = level == SimdLevel::Avx512;
        const std::string prefix = std::string(SimdLevelName(level)) + "/";
        const std::tuple<const char*, int32_t, int32_t, double> conversions[] = {
            {"convert_8_to_24", 1, 3, avx512 ? 0.6 : 0.8},
            {"convert_8_to_32", 1, 4, 0},
            {"convert_16_to_48", 2, 6, 0.6},
            {"convert_16_to_64", 2, 8, 0}};
        for (const auto& [name, raw, out, target] : conversions) {
            benchmark::RegisterBenchmark((prefix + name).c_str(), Convert, level, raw, out,
                                         raw == 1 ? bayer8Run : bayer16Run, target)
                ->UseManualTime();
        }
        for (const StageKind& stage : stages) {
            for (const Variant& v : variants) {
                if (stage.kernel == nullptr && v.bytes <= 2) continue;
                benchmark::RegisterBenchmark((prefix + stage.name + "_" + v.name).c_str(),
                                             Adjustment, level, stage.kernel, v.bytes, stage.value,
                                             anchorFor(stage, v), stage.target)
                    ->UseManualTime();
            }
        }
        benchmark::RegisterBenchmark((prefix + "chain_neutral_24").c_str(), Chain, level, false,
                                     bayer8Run, avx512 ? 0.7 : 1.0)
            ->UseManualTime();
        benchmark::RegisterBenchmark((prefix + "chain_adjusted_24").c_str(), Chain, level, true,
                                     bayer8Run, 0.0)
            ->UseManualTime();
    }
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RegisterAll();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
