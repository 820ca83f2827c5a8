// A frame's image stages in row bands on several threads against the whole-image stages run one
// after the other on one thread: every buffer byte and every measurement the same, for every
// colour mode, mirroring, random settings and sizes down to fewer rows than bands.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <random>
#include <vector>

#include "camera/band_workers.h"
#include "camera/frame_pipeline.h"
#include "imaging/adjustment_plan.h"
#include "imaging/color_conversion.h"
#include "imaging/gray_filter.h"
#include "imaging/whole_image.h"

namespace tavlin::camera {
namespace {

// The stages as the pipeline ran them before bands: whole images, one stage after the other.
FrameMeasurements WholeImageStages(const FrameSettings& s, ImageBuffers& buffers) {
    FrameMeasurements found;
    auto balance = [&](output::ImageBuffer& raw, imaging::ColorConversionBlock& block) {
        if (s.values.bayerGainAuto == 0) return;
        imaging::WhiteBalanceBlock measured = imaging::MakeWhiteBalanceBlock(s.values, block.phase);
        imaging::RunStage(imaging::MeasureWhiteBalance, raw.View(), measured);
        found.whiteBalanceMeasured = true;
        found.whiteBalance = imaging::ConcludeWhiteBalance(measured, s.values);
        block.gainR = found.whiteBalance.gainR;
        block.gainG = found.whiteBalance.gainG;
        block.gainB = found.whiteBalance.gainB;
    };
    if (IsGrayMode(s.colorMode)) {
        const bool wide = s.colorMode == kGray16;
        output::ImageBuffer& image = buffers[wide ? kBuffer16 : kBuffer8];
        if (s.values.grayMode == 2) {
            output::ImageBuffer& colour = buffers[wide ? kBuffer48 : kBuffer24];
            imaging::ColorConversionBlock block =
                imaging::MakeColorConversionBlock(s.values, s.mirrorV, s.mirrorH);
            balance(image, block);
            if (imaging::RunStage(imaging::ConvertBayerToColor, colour.View(), image.View(),
                                  block) != 0) {
                imaging::RunStage(imaging::LuminanceFromColor, image.View(), colour.View());
            }
        } else if (s.values.grayMode == 1) {
            imaging::GrayBlock block = imaging::MakeGrayBlock(
                s.values, imaging::CorrectedPhase(s.values.bayerMode, s.mirrorV, s.mirrorH),
                wide ? sensor::kWideSampleBits : sensor::kNarrowSampleBits);
            if (s.values.grayAutoRequest != 0) {
                imaging::RunStage(imaging::MeasureGrayGains, image.View(), block);
                found.grayMeasured = true;
                found.gray = block;
            }
            if (imaging::GrayGainsActive(block)) {
                imaging::RunStage(imaging::ApplyGrayGainOffset, image.View(), block);
            }
        }
    } else {
        output::ImageBuffer& raw = buffers[RawSlot(s.colorMode)];
        imaging::ColorConversionBlock block =
            imaging::MakeColorConversionBlock(s.values, s.mirrorV, s.mirrorH);
        balance(raw, block);
        imaging::RunStage(imaging::ConvertBayerToColor, buffers[OutputSlot(s.colorMode)].View(),
                          raw.View(), block);
    }
    imaging::AdjustmentPlan plan = imaging::PlanAdjustments(s.values, s.colorMode);
    imaging::RunAdjustments(plan, buffers[OutputSlot(s.colorMode)].View(),
                            buffers[kBufferScratch].View());
    return found;
}

// Every buffer of the pipeline filled with the same random bytes for the same seed; wide raw
// samples sometimes above their 10 bits.
void FillBuffers(ImageBuffers& buffers, int32_t colorMode, int32_t width, int32_t height,
                 uint32_t seed) {
    std::mt19937 random(seed);
    const int32_t bits[] = {8, 16, 24, 32, 48, 64};
    for (size_t slot = kBuffer8; slot <= kBuffer64; ++slot) {
        ASSERT_EQ(buffers[slot].Create(width, height, bits[slot]), 1);
    }
    ASSERT_EQ(buffers[kBufferScratch].CreateLike(&buffers[OutputSlot(colorMode)]), 1);
    const bool over = random() % 4 == 0;
    for (size_t slot = kBuffer8; slot <= kBufferScratch; ++slot) {
        output::ImageBuffer& b = buffers[slot];
        const size_t bytes = static_cast<size_t>(b.Stride()) * b.Height();
        for (size_t i = 0; i < bytes; ++i) b.Bits()[i] = static_cast<uint8_t>(random());
        if (slot == kBuffer16 && !over) {
            auto* samples = reinterpret_cast<uint16_t*>(b.Bits());
            for (size_t i = 0; i < bytes / 2; ++i) samples[i] &= 0x3FF;
        }
    }
}

imaging::FilterValues RandomValues(std::mt19937& random) {
    auto pick = [&](int32_t low, int32_t high) {
        return std::uniform_int_distribution<int32_t>(low, high)(random);
    };
    auto maybe = [&](int32_t neutral, int32_t low, int32_t high) {
        return pick(0, 2) == 0 ? neutral : pick(low, high);
    };
    imaging::FilterValues v;
    v.gamma = maybe(100, 1, 300);
    v.contrast = maybe(0, -100, 100);
    v.brightness = maybe(0, -100, 100);
    v.sharpness = maybe(0, 1, 30);
    v.hue = maybe(0, -180, 180);
    v.saturation = maybe(0, -100, 100);
    v.bayerGainR = pick(0, 400);
    v.bayerGainG = pick(0, 400);
    v.bayerGainB = pick(0, 400);
    v.bayerGainAuto = pick(0, 1);
    v.bayerMode = pick(0, 3);
    v.grayMode = pick(0, 2);
    v.grayGainR = maybe(128, 0, 512);
    v.grayGainG1 = pick(64, 256);
    v.grayOffsetB = pick(-50, 50);
    v.grayAutoRequest = pick(-1, 1);
    return v;
}

void ExpectSameMeasurements(const FrameMeasurements& a, const FrameMeasurements& b) {
    EXPECT_EQ(a.whiteBalanceMeasured, b.whiteBalanceMeasured);
    EXPECT_EQ(a.whiteBalance.gainR, b.whiteBalance.gainR);
    EXPECT_EQ(a.whiteBalance.gainG, b.whiteBalance.gainG);
    EXPECT_EQ(a.whiteBalance.gainB, b.whiteBalance.gainB);
    EXPECT_EQ(a.grayMeasured, b.grayMeasured);
    EXPECT_EQ(a.gray.gainR, b.gray.gainR);
    EXPECT_EQ(a.gray.gainG1, b.gray.gainG1);
    EXPECT_EQ(a.gray.gainG2, b.gray.gainG2);
    EXPECT_EQ(a.gray.gainB, b.gray.gainB);
}

// First differing buffer byte, or -1.
int64_t FirstDifference(const ImageBuffers& a, const ImageBuffers& b, size_t* slot) {
    for (*slot = kBuffer8; *slot <= kBufferScratch; ++*slot) {
        const output::ImageBuffer& x = a[*slot];
        const output::ImageBuffer& y = b[*slot];
        const size_t bytes = static_cast<size_t>(x.Stride()) * x.Height();
        for (size_t i = 0; i < bytes; ++i) {
            if (x.Bits()[i] != y.Bits()[i]) return static_cast<int64_t>(i);
        }
    }
    return -1;
}

TEST(FrameBandsTest, BandsGiveTheWholeImageResultWhateverTheThreads) {
    // Bands even on tiny frames, and more bands than rows.
    const BandShape everyFrame{0, 0};
    std::vector<BandWorkerPool> pools(4);
    pools[0].SetThreads(1);  // bands off
    for (int32_t t = 1; t < 4; ++t) pools[t].SetThreads(t, everyFrame);
    BandWorkerPool configured;  // the default shape: large frames only
    const int32_t sizes[][2] = {{37, 1}, {36, 2},  {41, 3},    {40, 5}, {33, 7},   {64, 13},
                                {7, 29}, {97, 67}, {130, 101}, {2, 40}, {300, 257}};
    std::mt19937 random(20261210);
    for (int32_t colorMode = 0; colorMode < 6; ++colorMode) {
        for (int32_t mirror = 0; mirror < 4; ++mirror) {
            for (const auto& size : sizes) {
                FrameSettings s;
                s.colorMode = colorMode;
                s.mirrorV = (mirror & 1) != 0;
                s.mirrorH = (mirror & 2) != 0;
                s.values = RandomValues(random);
                const uint32_t seed = random();
                ImageBuffers expected;
                FillBuffers(expected, colorMode, size[0], size[1], seed);
                const FrameMeasurements reference = WholeImageStages(s, expected);
                for (size_t p = 0; p <= pools.size(); ++p) {
                    BandWorkerPool& pool = p < pools.size() ? pools[p] : configured;
                    ImageBuffers actual;
                    FillBuffers(actual, colorMode, size[0], size[1], seed);
                    const FrameMeasurements found = RunImageStages(s, actual, pool);
                    size_t slot = 0;
                    const int64_t at = FirstDifference(expected, actual, &slot);
                    ASSERT_EQ(at, -1)
                        << "mode " << colorMode << " mirror " << mirror << " size " << size[0]
                        << "x" << size[1] << " pool " << p << " slot " << slot << " gray mode "
                        << s.values.grayMode << " sharpness " << s.values.sharpness;
                    ExpectSameMeasurements(reference, found);
                }
            }
        }
    }
}

TEST(FrameBandsTest, EveryBandRunsOnceAndThePoolStopsCleanly) {
    for (int32_t threads : {1, 2, 3, 5}) {
        BandWorkers workers(threads);
        EXPECT_GE(workers.Threads(), 1);
        EXPECT_LE(workers.Threads(), threads);
        for (int32_t bands : {0, 1, 2, 3, 7, 64}) {
            for (int round = 0; round < 20; ++round) {
                std::vector<std::atomic<int32_t>> runs(static_cast<size_t>(bands));
                workers.Run(bands, [&](int32_t band) { runs[static_cast<size_t>(band)]++; });
                for (const auto& r : runs) ASSERT_EQ(r.load(), 1) << threads << " " << bands;
            }
        }
    }  // each pool joins its helpers here; a hang fails the test by its time limit

    BandWorkerPool pool;
    pool.SetThreads(3);
    BandWorkers* first = pool.Get();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(pool.Get(), first);  // kept between frames
    pool.Stop();
    EXPECT_NE(pool.Get(), nullptr);  // made again after a stop
    pool.SetThreads(1);
    EXPECT_EQ(pool.Get(), nullptr);  // one thread: no pool at all
}

TEST(FrameBandsTest, ThreadsFromTheEnvironment) {
    const char* saved = std::getenv("TAVLIN_WORKERS");
    const std::string kept = saved != nullptr ? saved : "";
    unsetenv("TAVLIN_WORKERS");
    const int32_t byCores = ConfiguredBandThreads();
    EXPECT_GE(byCores, 1);
    EXPECT_LE(byCores, kDefaultBandThreads);
    const std::pair<const char*, int32_t> cases[] = {
        {"0", 1},  {"1", 1},         {"3", 3},        {"99", kMaxBandThreads},
        {"-2", 1}, {"two", byCores}, {"2x", byCores}, {"", byCores}};
    for (const auto& [text, threads] : cases) {
        setenv("TAVLIN_WORKERS", text, 1);
        EXPECT_EQ(ConfiguredBandThreads(), threads) << '"' << text << '"';
    }
    if (saved != nullptr) {
        setenv("TAVLIN_WORKERS", kept.c_str(), 1);
    } else {
        unsetenv("TAVLIN_WORKERS");
    }
}

}  // namespace
}  // namespace tavlin::camera
