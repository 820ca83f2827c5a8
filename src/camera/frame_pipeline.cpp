#include "camera/frame_pipeline.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "imaging/adjustment_plan.h"
#include "imaging/color_conversion.h"
#include "imaging/gray_filter.h"

namespace tavlin::camera {

namespace {

template <typename Sample>
void ReverseRow(const uint8_t* source, uint8_t* destination, int32_t width) {
    const auto* in = reinterpret_cast<const Sample*>(source);
    auto* out = reinterpret_cast<Sample*>(destination);
    for (int32_t j = 0; j < width; ++j) out[j] = in[width - 1 - j];
}

int RunWhole(output::ImageBuffer& destination, imaging::ConversionKernel kernel,
             const output::ImageBuffer& source, void* block) {
    return destination.Transfer(kernel, &source, nullptr, 0, 0, block, nullptr);
}

// White balance measured on the raw frame when it is enabled; the block gets the result.
void BalanceColours(const FrameSettings& s, output::ImageBuffer& raw,
                    imaging::ColorConversionBlock& block, FrameMeasurements& found) {
    if (s.values.bayerGainAuto == 0) return;
    imaging::WhiteBalanceBlock measured = imaging::MakeWhiteBalanceBlock(s.values, block.phase);
    raw.Transfer(imaging::MeasureWhiteBalance, &raw, nullptr, 0, 0, &measured, nullptr);
    found.whiteBalanceMeasured = true;
    found.whiteBalance = imaging::ConcludeWhiteBalance(measured, s.values);
    block.gainR = found.whiteBalance.gainR;
    block.gainG = found.whiteBalance.gainG;
    block.gainB = found.whiteBalance.gainB;
}

void RunGrayFilter(const FrameSettings& s, ImageBuffers& buffers, FrameMeasurements& found) {
    const bool wide = s.colorMode == 1;
    output::ImageBuffer& image = buffers[wide ? kBuffer16 : kBuffer8];
    const int32_t phase = imaging::CorrectedPhase(s.values.bayerMode, s.mirrorV, s.mirrorH);
    if (s.values.grayMode == 2) {
        // Through colour and back: a true luminance image in either gray depth.
        output::ImageBuffer& colour = buffers[wide ? kBuffer48 : kBuffer24];
        imaging::ColorConversionBlock block =
            imaging::MakeColorConversionBlock(s.values, s.mirrorV, s.mirrorH);
        BalanceColours(s, image, block, found);
        if (RunWhole(colour, imaging::ConvertBayerToColor, image, &block) != 0) {
            RunWhole(image, imaging::LuminanceFromColor, colour, nullptr);
        }
        return;
    }
    if (s.values.grayMode != 1) return;
    imaging::GrayBlock block = imaging::MakeGrayBlock(s.values, phase, wide ? 10 : 8);
    if (s.values.grayAutoRequest != 0) {
        image.Transfer(imaging::MeasureGrayGains, &image, nullptr, 0, 0, &block, nullptr);
        found.grayMeasured = true;
        found.gray = block;
    }
    if (imaging::GrayGainsActive(block))
        RunWhole(image, imaging::ApplyGrayGainOffset, image, &block);
}

void RunColourConversion(const FrameSettings& s, ImageBuffers& buffers, FrameMeasurements& found) {
    output::ImageBuffer& raw = buffers[RawSlot(s.colorMode)];
    imaging::ColorConversionBlock block =
        imaging::MakeColorConversionBlock(s.values, s.mirrorV, s.mirrorH);
    BalanceColours(s, raw, block, found);
    RunWhole(buffers[OutputSlot(s.colorMode)], imaging::ConvertBayerToColor, raw, &block);
}

void RunAdjustments(const FrameSettings& s, ImageBuffers& buffers) {
    imaging::AdjustmentPlan plan = imaging::PlanAdjustments(s.values, s.colorMode);
    output::ImageBuffer& image = buffers[OutputSlot(s.colorMode)];
    output::ImageBuffer& scratch = buffers[kBufferScratch];
    for (imaging::AdjustmentStep& step : plan) {
        const output::ImageBuffer* source = &image;
        if (step.readsCopy) {
            if (scratch.Bits() == nullptr || scratch.Stride() != image.Stride() ||
                scratch.Height() != image.Height()) {
                continue;
            }
            std::memcpy(scratch.Bits(), image.Bits(),
                        static_cast<size_t>(image.Height()) * image.Stride());
            source = &scratch;
        }
        image.Transfer(step.kernel, source, nullptr, 0, 0, step.Block(), nullptr);
    }
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
    FrameMeasurements found;
    if (!ValidColorMode(settings.colorMode)) return found;
    if (settings.colorMode <= 1) {
        RunGrayFilter(settings, buffers, found);
    } else {
        RunColourConversion(settings, buffers, found);
    }
    RunAdjustments(settings, buffers);
    return found;
}

}  // namespace tavlin::camera
