#include "output/sample_rows.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace tavlin::output {
namespace {

// The converters read and write in wide steps; these compare them, sample by sample, with the
// rules they implement on every width up to a few SIMD blocks, and check that nothing is written
// past the row (a canary after the expected output). Each case runs with the processor-specific
// paths and with the baseline code alone.
class SampleRowsTest : public ::testing::TestWithParam<bool> {
  protected:
    void SetUp() override { UsePlainRows(GetParam()); }
    void TearDown() override { UsePlainRows(false); }

    static constexpr uint8_t kCanary = 0xA5;

    std::vector<uint8_t> RandomBytes(size_t n) {
        std::vector<uint8_t> bytes(n);
        for (auto& b : bytes) b = static_cast<uint8_t>(random_());
        return bytes;
    }
    static uint16_t WordAt(const std::vector<uint8_t>& bytes, size_t index) {
        return static_cast<uint16_t>(bytes[2 * index] | (bytes[2 * index + 1] << 8));
    }
    static void ExpectCanary(const std::vector<uint8_t>& out, size_t used, int32_t width) {
        for (size_t i = used; i < out.size(); ++i) ASSERT_EQ(out[i], kCanary) << "width " << width;
    }

    std::mt19937 random_{7};
    const SampleScale scale_{};  // 10 significant bits
};

TEST_P(SampleRowsTest, ReductionsKeepTheLowEightBitsOfTheShiftedWord) {
    for (int32_t width = 1; width <= 70; ++width) {
        // Full 16-bit words: values above 1023 must wrap (AND 255), not saturate.
        const auto src = RandomBytes(size_t(width) * 8);
        std::vector<uint8_t> gray(width + 8, kCanary), bgr6(width * 3 + 8, kCanary),
            bgr8(width * 3 + 8, kCanary), grayBgr(width * 3 + 8, kCanary);
        ReduceGrayRow(src.data(), gray.data(), width, scale_);
        ReduceBgrRow(src.data(), 6, bgr6.data(), width, scale_);
        ReduceBgrRow(src.data(), 8, bgr8.data(), width, scale_);
        ReduceGrayToBgrRow(src.data(), grayBgr.data(), width, scale_);
        for (int32_t x = 0; x < width; ++x) {
            ASSERT_EQ(gray[x], (WordAt(src, x) >> 2) & 0xFF) << width;
            for (int c = 0; c < 3; ++c) {
                ASSERT_EQ(bgr6[3 * x + c], (WordAt(src, 3 * x + c) >> 2) & 0xFF) << width;
                ASSERT_EQ(bgr8[3 * x + c], (WordAt(src, 4 * x + c) >> 2) & 0xFF) << width;
                ASSERT_EQ(grayBgr[3 * x + c], gray[x]);
            }
        }
        ExpectCanary(gray, width, width);
        ExpectCanary(bgr6, width * 3, width);
        ExpectCanary(bgr8, width * 3, width);
        ExpectCanary(grayBgr, width * 3, width);
    }
}

TEST_P(SampleRowsTest, ScalingFillsSixteenBitsInEitherByteOrder) {
    for (int32_t samples = 1; samples <= 40; ++samples) {
        const auto src = RandomBytes(size_t(samples) * 2);
        std::vector<uint8_t> little(samples * 2 + 4, kCanary), big(samples * 2 + 4, kCanary);
        ScaleWordsLittleEndian(src.data(), little.data(), samples, scale_);
        ScaleWordsBigEndian(src.data(), big.data(), samples, scale_);
        for (int32_t i = 0; i < samples; ++i) {
            const auto v = static_cast<uint16_t>(WordAt(src, i) << 6);
            ASSERT_EQ(WordAt(little, i), v);
            ASSERT_EQ(big[2 * i], v >> 8);
            ASSERT_EQ(big[2 * i + 1], v & 0xFF);
        }
        ExpectCanary(little, samples * 2, samples);
        ExpectCanary(big, samples * 2, samples);
    }
    std::vector<uint8_t> top{0xFF, 0x03}, out(2);
    ScaleWordsBigEndian(top.data(), out.data(), 1, scale_);
    EXPECT_EQ(out, (std::vector<uint8_t>{0xFF, 0xC0})) << "1023 is 0xFFC0";
}

TEST_P(SampleRowsTest, ColourReorderingAndPaletteExpansion) {
    gdi::RGBQUAD palette[256];
    for (int i = 0; i < 256; ++i) {
        palette[i] = {uint8_t(i), uint8_t(255 - i), uint8_t(i * 3), 0x77};
    }
    for (int32_t width = 1; width <= 23; ++width) {
        const auto src = RandomBytes(size_t(width) * 8);
        std::vector<uint8_t> copied(width * 3 + 4, kCanary), expanded(width * 3 + 4, kCanary),
            rgb(width * 3 + 4, kCanary), rgb0(width * 4 + 4, kCanary),
            wide6(width * 6 + 4, kCanary), wide8(width * 8 + 4, kCanary);
        CopyBgrRow(src.data(), 4, copied.data(), width);
        ExpandPaletteRow(src.data(), PaletteTable::From(palette), expanded.data(), width);
        SwapToRgbRow(src.data(), 3, rgb.data(), width);
        SwapToRgbRow(src.data(), 4, rgb0.data(), width);
        SwapToRgbWideRow(src.data(), 6, wide6.data(), width, scale_);
        SwapToRgbWideRow(src.data(), 8, wide8.data(), width, scale_);
        for (int32_t x = 0; x < width; ++x) {
            for (int c = 0; c < 3; ++c) {
                ASSERT_EQ(copied[3 * x + c], src[4 * x + c]);
                ASSERT_EQ(rgb[3 * x + c], src[3 * x + 2 - c]);
                ASSERT_EQ(rgb0[4 * x + c], src[4 * x + 2 - c]);
                ASSERT_EQ(WordAt(wide6, 3 * x + c), uint16_t(WordAt(src, 3 * x + 2 - c) << 6));
                ASSERT_EQ(WordAt(wide8, 4 * x + c), uint16_t(WordAt(src, 4 * x + 2 - c) << 6));
            }
            ASSERT_EQ(rgb0[4 * x + 3], 0);
            ASSERT_EQ(WordAt(wide8, 4 * x + 3), 0xFFFF);
            const gdi::RGBQUAD& entry = palette[src[x]];
            ASSERT_EQ(expanded[3 * x], entry.rgbBlue);
            ASSERT_EQ(expanded[3 * x + 1], entry.rgbGreen);
            ASSERT_EQ(expanded[3 * x + 2], entry.rgbRed);
        }
        ExpectCanary(copied, width * 3, width);
        ExpectCanary(expanded, width * 3, width);
        ExpectCanary(rgb, width * 3, width);
        ExpectCanary(rgb0, width * 4, width);
        ExpectCanary(wide6, width * 6, width);
        ExpectCanary(wide8, width * 8, width);
    }
}

TEST_P(SampleRowsTest, GrayTablesRepeatTheIndexAndAlphaIsInverted) {
    gdi::RGBQUAD ramp[256];
    for (int i = 0; i < 256; ++i) ramp[i] = {uint8_t(i), uint8_t(i), uint8_t(i), 0};
    const PaletteTable gray = PaletteTable::From(ramp);
    EXPECT_TRUE(gray.grayRamp);
    ramp[200].rgbRed = 7;
    EXPECT_FALSE(PaletteTable::From(ramp).grayRamp);
    for (int32_t width = 1; width <= 70; ++width) {
        const auto src = RandomBytes(size_t(width) * 4);
        std::vector<uint8_t> expanded(width * 3 + 4, kCanary), inverted(width * 4 + 4, kCanary);
        ExpandPaletteRow(src.data(), gray, expanded.data(), width);
        InvertFourthBytesRow(src.data(), inverted.data(), width);
        for (int32_t x = 0; x < width; ++x) {
            for (int c = 0; c < 3; ++c) {
                ASSERT_EQ(expanded[3 * x + c], src[x]) << width;
                ASSERT_EQ(inverted[4 * x + c], src[4 * x + c]) << width;
            }
            ASSERT_EQ(inverted[4 * x + 3], 255 - src[4 * x + 3]) << width;
        }
        ExpectCanary(expanded, width * 3, width);
        ExpectCanary(inverted, width * 4, width);
    }
}

INSTANTIATE_TEST_SUITE_P(Paths, SampleRowsTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& paramInfo) {
                             return paramInfo.param ? "Baseline" : "Fastest";
                         });

}  // namespace
}  // namespace tavlin::output
