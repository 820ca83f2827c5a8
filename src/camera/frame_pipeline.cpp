#include "camera/frame_pipeline.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "imaging/adjustment_plan.h"
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

// White balance measured on the raw frame when it is enabled; the block gets the result.
void BalanceColours(const FrameSettings& s, output::ImageBuffer& raw,
                    imaging::ColorConversionBlock& block, FrameMeasurements& found) {
    if (s.values.bayerGainAuto == 0) return;
    imaging::WhiteBalanceBlock measured = imaging::MakeWhiteBalanceBlock(s.values, block.phase);
    imaging::RunStage(imaging::MeasureWhiteBalance, raw.View(), measured);
    found.whiteBalanceMeasured = true;
    found.whiteBalance = imaging::ConcludeWhiteBalance(measured, s.values);
    block.gainR = found.whiteBalance.gainR;
    block.gainG = found.whiteBalance.gainG;
    block.gainB = found.whiteBalance.gainB;
}

void RunGrayFilter(const FrameSettings& s, ImageBuffers& buffers, FrameMeasurements& found) {
    const bool wide = s.colorMode == kGray16;
    output::ImageBuffer& image = buffers[wide ? kBuffer16 : kBuffer8];
    const int32_t phase = imaging::CorrectedPhase(s.values.bayerMode, s.mirrorV, s.mirrorH);
    if (s.values.grayMode == 2) {
        // Through colour and back: a true luminance image in either gray depth.
        output::ImageBuffer& colour = buffers[wide ? kBuffer48 : kBuffer24];
        imaging::ColorConversionBlock block =
            imaging::MakeColorConversionBlock(s.values, s.mirrorV, s.mirrorH);
        BalanceColours(s, image, block, found);
        if (imaging::RunStage(imaging::ConvertBayerToColor, colour.View(), image.View(), block) !=
            0) {
            imaging::RunStage(imaging::LuminanceFromColor, image.View(), colour.View());
        }
        return;
    }
    if (s.values.grayMode != 1) return;
    imaging::GrayBlock block = imaging::MakeGrayBlock(
        s.values, phase, wide ? sensor::kWideSampleBits : sensor::kNarrowSampleBits);
    if (s.values.grayAutoRequest != 0) {
        imaging::RunStage(imaging::MeasureGrayGains, image.View(), block);
        found.grayMeasured = true;
        found.gray = block;
    }
    if (imaging::GrayGainsActive(block)) {
        imaging::RunStage(imaging::ApplyGrayGainOffset, image.View(), block);
    }
}

void RunColourConversion(const FrameSettings& s, ImageBuffers& buffers, FrameMeasurements& found) {
    output::ImageBuffer& raw = buffers[RawSlot(s.colorMode)];
    imaging::ColorConversionBlock block =
        imaging::MakeColorConversionBlock(s.values, s.mirrorV, s.mirrorH);
    BalanceColours(s, raw, block, found);
    imaging::RunStage(imaging::ConvertBayerToColor, buffers[OutputSlot(s.colorMode)].View(),
                      raw.View(), block);
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
    if (IsGrayMode(settings.colorMode)) {
        RunGrayFilter(settings, buffers, found);
    } else {
        RunColourConversion(settings, buffers, found);
    }
    imaging::AdjustmentPlan plan = imaging::PlanAdjustments(settings.values, settings.colorMode);
    imaging::RunAdjustments(plan, buffers[OutputSlot(settings.colorMode)].View(),
                            buffers[kBufferScratch].View());
    return found;
}

}  // namespace tavlin::camera
