#include "camera/frame_pipeline.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <functional>
#include <optional>
#include <tuple>
#include <vector>

#include "imaging/adjustment_plan.h"
#include "imaging/adjustments.h"
#include "imaging/color_conversion.h"
#include "imaging/gray_filter.h"
#include "imaging/whole_image.h"

namespace tavlin::camera {

namespace {

template <typename Sample>
void ReverseRow(const uint8_t* source, uint8_t* destination, int32_t width) {
    const auto* in = reinterpret_cast<const Sample*>(source);
    auto* out = reinterpret_cast<Sample*>(destination);
    for (int32_t j = 0; j < width; ++j) out[j] = in[width - 1 - j];
}

// Rows first .. end - 1.
struct RowRange {
    int32_t first;
    int32_t end;
};

// Band `band` of `bands` over `height` rows; the bands cover the rows once, in order (some are
// empty when there are more bands than rows).
RowRange BandRows(int32_t height, int32_t band, int32_t bands) {
    return {static_cast<int32_t>(int64_t{height} * band / bands),
            static_cast<int32_t>(int64_t{height} * (band + 1) / bands)};
}

// Rows first .. end - 1 of a run's rectangle, written to the same rows of its destination.
imaging::StageRun RowsOf(const imaging::StageRun& run, RowRange rows) {
    imaging::StageRun part = run;
    part.src.top = run.src.top + rows.first;
    part.src.bottom = run.src.top + rows.end;
    part.dstY = run.dstY + rows.first;
    return part;
}

// The pool's workers are made for the first frame that is large enough.
int32_t BandCount(BandWorkerPool& pool, const imaging::ImageView& image, BandWorkers** workers) {
    *workers = nullptr;
    const BandShape& shape = pool.Shape();
    if (image.bits == nullptr || int64_t{image.width} * image.height < shape.minimumPixels) {
        return 1;
    }
    *workers = pool.Get();
    if (*workers == nullptr || (*workers)->Threads() < 2) return 1;
    const int32_t most = (*workers)->Threads() * kBandsPerThread;
    return shape.minimumRows > 0 ? std::clamp(image.height / shape.minimumRows, 1, most) : most;
}

// Runs work(band, bands) for every band and returns when all are done.
void RunPhase(BandWorkers* workers, int32_t bands,
              const std::function<void(int32_t, int32_t)>& work) {
    if (bands <= 1 || workers == nullptr) {
        work(0, 1);
        return;
    }
    workers->Run(bands, [&](int32_t band) { work(band, bands); });
}

// One band of a run's rectangle: its rows of the whole run, cut as the image's rows are.
RowRange RunBand(const imaging::StageRun& run, int32_t band, int32_t bands) {
    return BandRows(run.src.Height(), band, bands);
}

// White balance measured on the raw frame when it is enabled; the block gets the result. The
// bands' integer sums add up to exactly the whole frame's.
void BalanceColours(const FrameSettings& s, output::ImageBuffer& raw,
                    imaging::ColorConversionBlock& block, FrameMeasurements& found,
                    BandWorkers* workers, int32_t bands) {
    if (s.values.bayerGainAuto == 0) return;
    imaging::WhiteBalanceBlock measured = imaging::MakeWhiteBalanceBlock(s.values, block.phase);
    if (const std::optional<imaging::StageRun> run =
            imaging::WholeImageRun(raw.View(), raw.View())) {
        std::array<imaging::WhiteBalanceSums, kMaxBandThreads * kBandsPerThread> parts{};
        RunPhase(workers, bands, [&](int32_t band, int32_t count) {
            const RowRange rows = RunBand(*run, band, count);
            parts[static_cast<size_t>(band)] =
                imaging::SumWhiteBalanceRows(*run, measured, rows.first, rows.end);
        });
        imaging::WhiteBalanceSums total;
        for (int32_t band = 0; band < bands; ++band) total.Add(parts[static_cast<size_t>(band)]);
        imaging::ConcludeWhiteBalanceSums(total, &measured);
    }
    found.whiteBalanceMeasured = true;
    found.whiteBalance = imaging::ConcludeWhiteBalance(measured, s.values);
    block.gainR = found.whiteBalance.gainR;
    block.gainG = found.whiteBalance.gainG;
    block.gainB = found.whiteBalance.gainB;
}

// The conversion of one frame into its output image, with the measurements already taken on the
// whole frame, so every band converts with the same gains.
struct Conversion {
    enum class Kind : uint8_t { None, GrayGains, Colour, GrayThroughColour };
    Kind kind = Kind::None;
    std::optional<imaging::StageRun> run;        // gray gains in place, or raw to colour
    std::optional<imaging::StageRun> luminance;  // colour back to gray (gray mode 2)
    imaging::ColorConversionBlock colour;
    imaging::GrayBlock gray;
};

Conversion PrepareGrayFilter(const FrameSettings& s, ImageBuffers& buffers,
                             FrameMeasurements& found, BandWorkers* workers, int32_t bands) {
    Conversion c;
    const bool wide = s.colorMode == kGray16;
    output::ImageBuffer& image = buffers[wide ? kBuffer16 : kBuffer8];
    const int32_t phase = imaging::CorrectedPhase(s.values.bayerMode, s.mirrorV, s.mirrorH);
    if (s.values.grayMode == 2) {
        // Through colour and back: a true luminance image in either gray depth.
        output::ImageBuffer& colour = buffers[wide ? kBuffer48 : kBuffer24];
        c.colour = imaging::MakeColorConversionBlock(s.values, s.mirrorV, s.mirrorH);
        BalanceColours(s, image, c.colour, found, workers, bands);
        c.kind = Conversion::Kind::GrayThroughColour;
        c.run = imaging::WholeImageRun(colour.View(), image.View());
        c.luminance = imaging::WholeImageRun(image.View(), colour.View());
        return c;
    }
    if (s.values.grayMode != 1) return c;
    c.gray = imaging::MakeGrayBlock(s.values, phase,
                                    wide ? sensor::kWideSampleBits : sensor::kNarrowSampleBits);
    if (s.values.grayAutoRequest != 0) {
        imaging::RunStage(imaging::MeasureGrayGains, image.View(), c.gray);
        found.grayMeasured = true;
        found.gray = c.gray;
    }
    if (imaging::GrayGainsActive(c.gray)) {
        c.kind = Conversion::Kind::GrayGains;
        c.run = imaging::WholeImageRun(image.View(), image.View());
    }
    return c;
}

Conversion PrepareColourConversion(const FrameSettings& s, ImageBuffers& buffers,
                                   FrameMeasurements& found, BandWorkers* workers, int32_t bands) {
    Conversion c;
    output::ImageBuffer& raw = buffers[RawSlot(s.colorMode)];
    c.colour = imaging::MakeColorConversionBlock(s.values, s.mirrorV, s.mirrorH);
    BalanceColours(s, raw, c.colour, found, workers, bands);
    c.kind = Conversion::Kind::Colour;
    c.run = imaging::WholeImageRun(buffers[OutputSlot(s.colorMode)].View(), raw.View());
    return c;
}

// The adjustment steps a frame runs: a step that reads a copy is left out when the scratch
// buffer cannot hold one, as RunAdjustments does.
struct PlannedSteps {
    std::array<const imaging::AdjustmentStep*,
               std::tuple_size_v<decltype(imaging::AdjustmentPlan::steps)>>
        steps{};
    int32_t count = 0;
};

PlannedSteps RunnableSteps(imaging::AdjustmentPlan& plan, const imaging::ImageView& image,
                           const imaging::ImageView& scratch) {
    PlannedSteps runnable;
    const bool copyFits = scratch.bits != nullptr && scratch.stride == image.stride &&
                          scratch.height == image.height && image.bits != nullptr;
    for (const imaging::AdjustmentStep& step : plan) {
        if (step.readsCopy && !copyFits) continue;
        runnable.steps[runnable.count++] = &step;
    }
    return runnable;
}

void RunStepRows(const imaging::AdjustmentStep& step, const imaging::ImageView& image,
                 const imaging::ImageView& source, RowRange rows) {
    const std::optional<imaging::StageRun> whole = imaging::WholeImageRun(image, source);
    if (!whole) return;
    if (step.readsCopy) {
        // The neighbourhood reaches two rows either way and the two outermost rows of the image
        // stay as they are: the band plus two rows each side, within the image, gives exactly
        // the band's rows of the whole run.
        rows = {std::max(rows.first - 2, 0), std::min(rows.end + 2, whole->src.Height())};
    }
    const imaging::StageRun part = RowsOf(*whole, rows);
    if (step.stage == imaging::AdjustmentStage::HueSaturation) {
        imaging::AdjustHueSaturation(part, &step.hueSaturation);
    } else {
        step.kernel(part, &step.single);
    }
}

void CopyRows(const imaging::ImageView& image, const imaging::ImageView& scratch, RowRange rows) {
    const auto stride = static_cast<size_t>(image.stride);
    std::copy_n(image.bits + rows.first * stride, (rows.end - rows.first) * stride,
                scratch.bits + rows.first * stride);
}

}  // namespace

void MirrorRaw(output::ImageBuffer& raw, output::ImageBuffer& temporary, bool mirrorV,
               bool mirrorH) {
    const int32_t bytes = raw.BytesPerPixel();
    if ((!mirrorV && !mirrorH) || raw.Bits() == nullptr || (bytes != 1 && bytes != 2)) return;
    if (temporary.Width() != raw.Width() || temporary.Height() != raw.Height() ||
        temporary.BitCount() != raw.BitCount()) {
        if (temporary.CreateLike(&raw) == 0) return;
    }
    const int32_t height = raw.Height();
    const int32_t width = raw.Width();
    const size_t stride = static_cast<size_t>(raw.Stride());
    uint8_t* in = raw.Bits();
    uint8_t* tmp = temporary.Bits();
    if (mirrorH) {
        for (int32_t i = 0; i < height; ++i) {
            const int32_t target = mirrorV ? height - 1 - i : i;
            if (bytes == 1) {
                ReverseRow<uint8_t>(in + i * stride, tmp + target * stride, width);
            } else {
                ReverseRow<uint16_t>(in + i * stride, tmp + target * stride, width);
            }
        }
        std::memcpy(in, tmp, height * stride);
        return;
    }
    std::memcpy(tmp, in, height * stride);
    const size_t rowBytes = static_cast<size_t>(width) * bytes;
    for (int32_t i = 0; i < height; ++i) {
        std::memcpy(in + i * stride, tmp + (height - 1 - i) * stride, rowBytes);
    }
}

FrameMeasurements RunImageStages(const FrameSettings& settings, ImageBuffers& buffers) {
    BandWorkerPool single;
    single.SetThreads(1);
    return RunImageStages(settings, buffers, single);
}

// Measurements first, on the whole frame (white balance as bands' sums added up); then the frame in
// row bands, in phases that end when every band is done: a phase reads rows of other bands only
// from work of an earlier phase. The conversion goes with the first adjustments when its rows are
// the image's, and a copy the sharpness step reads is made in the phase before, so the copy is
// complete before any band writes the image.
FrameMeasurements RunImageStages(const FrameSettings& settings, ImageBuffers& buffers,
                                 BandWorkerPool& pool) {
    FrameMeasurements found;
    if (!ValidColorMode(settings.colorMode)) return found;
    const imaging::ImageView image = buffers[OutputSlot(settings.colorMode)].View();
    BandWorkers* workers = nullptr;
    const int32_t bands = BandCount(pool, image, &workers);
    const Conversion conversion =
        IsGrayMode(settings.colorMode)
            ? PrepareGrayFilter(settings, buffers, found, workers, bands)
            : PrepareColourConversion(settings, buffers, found, workers, bands);
    imaging::AdjustmentPlan plan = imaging::PlanAdjustments(settings.values, settings.colorMode);
    const imaging::ImageView scratch = buffers[kBufferScratch].View();
    const PlannedSteps steps = RunnableSteps(plan, image, scratch);

    using Kind = Conversion::Kind;
    std::function<void(int32_t, int32_t)> lead;
    std::atomic<bool> converted{true};
    if (conversion.kind == Kind::GrayGains && conversion.run) {
        lead = [&](int32_t band, int32_t count) {
            const imaging::StageRun& run = *conversion.run;
            imaging::ApplyGrayGainOffset(RowsOf(run, RunBand(run, band, count)), &conversion.gray);
        };
    } else if ((conversion.kind == Kind::Colour || conversion.kind == Kind::GrayThroughColour) &&
               conversion.run) {
        auto convert = [&](int32_t band, int32_t count) {
            const RowRange rows = RunBand(*conversion.run, band, count);
            if (imaging::ConvertBayerToColorRows(*conversion.run, &conversion.colour, rows.first,
                                                 rows.end) == 0) {
                converted.store(false);
            }
        };
        const bool sameRows =
            conversion.run->dstY == 0 && conversion.run->src.Height() == image.height;
        if (conversion.kind == Kind::Colour && sameRows) {
            lead = convert;
        } else {
            // Gray mode 2: the luminance overwrites raw rows that other bands' conversion reads.
            RunPhase(workers, bands, convert);
        }
        if (conversion.kind == Kind::GrayThroughColour && converted.load() &&
            conversion.luminance) {
            lead = [&](int32_t band, int32_t count) {
                const imaging::StageRun& run = *conversion.luminance;
                imaging::LuminanceFromColor(RowsOf(run, RunBand(run, band, count)), nullptr);
            };
        }
    }

    // The first phase runs the steps before the first one that reads a copy, each later phase
    // starts at such a step; a phase followed by one copies its rows into the scratch buffer.
    int32_t first = 0;
    bool firstPhase = true;
    while (firstPhase || first < steps.count) {
        int32_t end = firstPhase ? first : first + 1;
        while (end < steps.count && !steps.steps[end]->readsCopy) ++end;
        const bool copyAfter = end < steps.count;
        if (lead || end > first || copyAfter) {
            RunPhase(workers, bands, [&](int32_t band, int32_t count) {
                if (lead) lead(band, count);
                const RowRange rows = BandRows(image.height, band, count);
                for (int32_t i = first; i < end; ++i) {
                    const imaging::AdjustmentStep& step = *steps.steps[i];
                    RunStepRows(step, image, step.readsCopy ? scratch : image, rows);
                }
                if (copyAfter) CopyRows(image, scratch, rows);
            });
        }
        lead = nullptr;
        first = end;
        firstPhase = false;
    }
    return found;
}

}  // namespace tavlin::camera
