#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <string>

#include "imaging/adjustment_plan.h"
#include "imaging/adjustment_tables.h"
#include "imaging/adjustments.h"
#include "reference.h"
#include "test_image.h"

namespace tavlin::imaging {
namespace {

using test::TestImage;

constexpr int32_t kBits = kWideSampleBits;

int32_t MaxOf(const TestImage& image) {
    return image.Wide() ? 1023 : 255;
}

void RunSingle(imaging::Stage<const SingleValueBlock> kernel, TestImage& image, int32_t value) {
    SingleValueBlock block{value, kBits};
    TestImage copy = image;
    ImageView source = kernel == AdjustSharpness ? copy.View() : image.View();
    ASSERT_EQ(imaging::RunStage(kernel, image.View(), source, &block), 1);
}

TEST(Gamma, ExponentFollowsTheSetting) {
    EXPECT_DOUBLE_EQ(GammaExponent(200), 11.0);
    EXPECT_DOUBLE_EQ(GammaExponent(50), 0.5);
    EXPECT_DOUBLE_EQ(GammaExponent(100), 1.0);
}

TEST(Gamma, ZeroLiftsGrayToTheMaximumButKeepsBlackColourChannels) {
    for (int32_t bytes : {1, 2, 3, 4, 6, 8}) {
        TestImage image(5, 3, bytes);
        RunSingle(AdjustGamma, image, 0);
        const bool limited = bytes == 3 || bytes == 4;
        EXPECT_EQ(image.Get(2, 1, 0), limited ? 0 : MaxOf(image)) << bytes;
    }
}

TEST(Contrast, StretchesAndCompressesAboutMidGray) {
    TestImage image(4, 1, 1);
    image.Set(0, 0, 0, 0);
    image.Set(1, 0, 0, 255);
    image.Set(2, 0, 0, 100);
    image.Set(3, 0, 0, 156);
    TestImage weak = image;
    RunSingle(AdjustContrast, weak, -127);
    EXPECT_EQ(weak.Get(0, 0), 63);
    EXPECT_EQ(weak.Get(1, 0), 191);
    RunSingle(AdjustContrast, image, 100);
    EXPECT_EQ(image.Get(2, 0), 0);
    EXPECT_EQ(image.Get(3, 0), 255);
}

// The contrast stage computes its table as a line where the line gives every entry. The
// double-precision tables fall below whole results at a few entries for some settings (those
// keep the lookup), but the fit must hold for nearly all, or the fast rows would rarely run.
TEST(Contrast, EverySettingFitsItsLineAtTheCameraWidths) {
    std::vector<uint8_t> table8(256);
    std::vector<uint16_t> table16(WideTableEntries(kBits));
    int32_t fitted8 = 0;
    int32_t fitted16 = 0;
    for (int32_t c = -127; c <= 127; ++c) {
        BuildContrastTable8(c, table8.data());
        fitted8 += FitContrastLine(c, 8, table8.data()).has_value();
        BuildContrastTable16(c, kBits, table16.data());
        fitted16 += FitContrastLine(c, kBits, table16.data()).has_value();
    }
    EXPECT_GE(fitted8, 250);
    EXPECT_GE(fitted16, 240);
}

TEST(Contrast, ALineThatMissesOneEntryIsRefused) {
    std::vector<uint16_t> table(WideTableEntries(kBits));
    BuildContrastTable16(40, kBits, table.data());
    table[700] += 1;
    EXPECT_FALSE(FitContrastLine(40, kBits, table.data()).has_value());
}

// Every contrast setting on every path against the reference.
void ExpectEveryContrastLikeTheReference(const TestImage& image, int32_t bits,
                                         const std::string& what) {
    for (int32_t c = -127; c <= 127; ++c) {
        TestImage expected = image;
        ref::Contrast(expected, c, bits);
        for (SimdLevel level : test::AvailableLevels()) {
            test::ScopedLevel scoped(level);
            TestImage actual = image;
            SingleValueBlock block{c, bits};
            imaging::RunStage(AdjustContrast, actual.View(), actual.View(), &block);
            ASSERT_EQ(actual.bytes, expected.bytes)
                << "contrast " << c << " " << what << " " << SimdLevelName(level);
        }
    }
}

// Every sample value (and, for 16-bit samples, values above the range) through every path and
// every setting, against the reference.
TEST(Contrast, EverySampleValueAndSettingEqualsTheReferenceOnEveryPath) {
    for (int32_t bytes : {1, 3, 4, 2, 6, 8}) {
        const bool wide = bytes == 2 || bytes >= 6;
        const int32_t channels = wide ? bytes / 2 : bytes;
        std::vector<int32_t> values;
        for (int32_t v = 0; v < (wide ? 1 << kBits : 256); ++v) values.push_back(v);
        if (wide) values.insert(values.end(), {1 << kBits, 1500, 4095, 40000, 65535});
        const auto width = static_cast<int32_t>((values.size() + channels - 1) / channels) + 7;
        TestImage image(width, 2, bytes);
        for (size_t k = 0; k < values.size(); ++k) {
            const auto x = static_cast<int32_t>(k / channels);
            image.Set(x, 0, static_cast<int32_t>(k % channels), values[k]);
            image.Set(width - 1 - x, 1, static_cast<int32_t>(k % channels), values[k]);
        }
        ExpectEveryContrastLikeTheReference(image, kBits, "bytes " + std::to_string(bytes));
    }
}

// Sample widths the camera does not send still go through the line where it fits: at 15 and 16
// significant bits the 16-bit clamp is at its limits (a lowered line plus the offset's magnitude
// passes 65535 at 16 bits). Values around both ends, the range's size and random ones.
TEST(Contrast, WiderSamplesEqualTheReferenceOnEveryPath) {
    std::mt19937 random(16);
    for (int32_t bits : {12, 15, 16}) {
        const int32_t size = 1 << bits;
        std::vector<int32_t> values;
        for (int32_t v = 0; v < 300; ++v) values.push_back(v);
        for (int32_t v = size - 300; v < std::min(size + 300, 65536); ++v) values.push_back(v);
        for (int32_t v = 65536 - 40; v < 65536; ++v) values.push_back(v);
        for (int32_t k = 0; k < 3000; ++k) values.push_back(static_cast<int32_t>(random() % size));
        TestImage image(static_cast<int32_t>(values.size()), 1, 2);
        for (size_t k = 0; k < values.size(); ++k) {
            image.Set(static_cast<int32_t>(k), 0, 0, values[k]);
        }
        ExpectEveryContrastLikeTheReference(image, bits, "bits " + std::to_string(bits));
    }
}

TEST(Brightness, ExtremesBlackenOrMultiplyByEleven) {
    for (int32_t bytes : {1, 2, 3, 8}) {
        TestImage image(6, 2, bytes);
        image.Fill(20);
        TestImage dark = image;
        RunSingle(AdjustBrightness, dark, -255);
        EXPECT_EQ(dark.Get(3, 1, 0), 0);
        RunSingle(AdjustBrightness, image, 255);
        EXPECT_EQ(image.Get(3, 1, 0), 220);
        image.Fill(100);
        RunSingle(AdjustBrightness, image, 255);
        EXPECT_EQ(image.Get(3, 1, 0), bytes == 1 || bytes == 3 ? 255 : 1023);
    }
}

TEST(Sharpness, ConstantImageAndTheTwoPixelFrameStayUnchanged) {
    std::mt19937 random(8);
    for (int32_t bytes : {1, 2, 3, 4, 6, 8}) {
        TestImage flat(9, 8, bytes);
        flat.Fill(77);
        const TestImage before = flat;
        RunSingle(AdjustSharpness, flat, 30);
        EXPECT_EQ(flat.bytes, before.bytes);

        TestImage image(40, 12, bytes);
        image.FillRandom(random, MaxOf(image));
        const TestImage original = image;
        RunSingle(AdjustSharpness, image, 30);
        for (int32_t y = 0; y < image.height; ++y) {
            for (int32_t x = 0; x < image.width; ++x) {
                if (x >= 2 && y >= 2 && x < image.width - 2 && y < image.height - 2) continue;
                for (int32_t c = 0; c < image.Channels(); ++c) {
                    ASSERT_EQ(image.Get(x, y, c), original.Get(x, y, c)) << x << "," << y;
                }
            }
        }
    }
}

TEST(Sharpness, RefusesToReadTheImageItWrites) {
    TestImage image(8, 8, 1);
    SingleValueBlock block{10, kBits};
    EXPECT_EQ(imaging::RunStage(AdjustSharpness, image.View(), image.View(), &block), 0);
}

TEST(HueSaturation, FullTurnGivesTheSameShiftAsNone) {
    EXPECT_EQ(MakeHueShift(360).sectorStep, MakeHueShift(0).sectorStep);
    EXPECT_EQ(MakeHueShift(360).fineStep, MakeHueShift(0).fineStep);
    EXPECT_EQ(MakeHueShift(-90).sectorStep, MakeHueShift(270).sectorStep);
    EXPECT_EQ(MakeHueShift(-90).fineStep, MakeHueShift(270).fineStep);
    std::mt19937 random(4);
    TestImage turned(30, 4, 3);
    turned.FillRandom(random, 255);
    TestImage still = turned;
    HueSaturationBlock full{360, 0, 0, kBits};
    HueSaturationBlock none{0, 0, 0, kBits};
    imaging::RunStage(AdjustHueSaturation, turned.View(), turned.View(), &full);
    imaging::RunStage(AdjustHueSaturation, still.View(), still.View(), &none);
    EXPECT_EQ(turned.bytes, still.bytes);
}

TEST(HueSaturation, GrayImagesAreNotColourAdjusted) {
    TestImage gray(4, 4, 1);
    HueSaturationBlock block{90, 0, 50, kBits};
    EXPECT_EQ(imaging::RunStage(AdjustHueSaturation, gray.View(), gray.View(), &block), 0);
}

// Runs one stage and its reference on the same random image.
struct Stage {
    const char* name;
    imaging::Stage<const SingleValueBlock> kernel;  // null: hue and saturation
    std::vector<int32_t> values;
    std::function<void(TestImage& image, const TestImage& copy, int32_t value)> reference;
};

std::vector<Stage> Stages() {
    return {
        {"hue", nullptr, {-360, -200, -90, -1, 1, 45, 120, 359, 360}, nullptr},
        {"gamma",
         AdjustGamma,
         {0, 1, 37, 50, 99, 101, 150, 200},
         [](TestImage& i, const TestImage&, int32_t v) { ref::Gamma(i, v, kBits); }},
        {"contrast",
         AdjustContrast,
         {-127, -60, -1, 1, 50, 100, 127},
         [](TestImage& i, const TestImage&, int32_t v) { ref::Contrast(i, v, kBits); }},
        {"sharpness",
         AdjustSharpness,
         {1, 7, 15, 30},
         [](TestImage& i, const TestImage& c, int32_t v) { ref::Sharpness(c, i, v, kBits); }},
        {"brightness",
         AdjustBrightness,
         {-255, -128, -1, 1, 3, 100, 255},
         [](TestImage& i, const TestImage&, int32_t v) { ref::Brightness(i, v, kBits); }},
    };
}

void RunStage(const Stage& stage, TestImage& image, int32_t value, int32_t saturation) {
    TestImage copy = image;
    if (stage.kernel == nullptr) {
        HueSaturationBlock block{value, 0, saturation, kBits};
        imaging::RunStage(AdjustHueSaturation, image.View(), image.View(), &block);
        return;
    }
    SingleValueBlock block{value, kBits};
    const ImageView source = stage.kernel == AdjustSharpness ? copy.View() : image.View();
    imaging::RunStage(stage.kernel, image.View(), source, &block);
}

// Every stage, variant, path and setting range against the reference; the fourth channel and
// the row padding must come out untouched.
TEST(Adjustments, EveryPathEqualsTheReference) {
    std::mt19937 random(1234);
    const std::pair<int32_t, int32_t> sizes[] = {{5, 5}, {7, 6}, {33, 9}, {66, 7}, {131, 5}};
    for (const Stage& stage : Stages()) {
        for (int32_t bytes : {1, 2, 3, 4, 6, 8}) {
            if (stage.kernel == nullptr && bytes <= 2) continue;
            for (int32_t value : stage.values) {
                const auto [w, h] = sizes[random() % std::size(sizes)];
                TestImage image(w, h, bytes);
                image.FillRandom(random, MaxOf(image));
                const int32_t saturation = static_cast<int32_t>(random() % 511) - 255;
                TestImage expected = image;
                if (stage.reference) {
                    stage.reference(expected, image, value);
                } else {
                    ref::HueSaturation(expected, value, saturation, kBits);
                }
                for (SimdLevel level : test::AvailableLevels()) {
                    test::ScopedLevel scoped(level);
                    TestImage actual = image;
                    RunStage(stage, actual, value, saturation);
                    ASSERT_EQ(actual.bytes, expected.bytes)
                        << stage.name << " " << value << " bytes " << bytes << " "
                        << SimdLevelName(level) << " " << w << "x" << h;
                }
            }
        }
    }
}

TEST(Adjustments, FullFramesOfEveryVariantEqualTheReference) {
    std::mt19937 random(77);
    for (int32_t bytes : {1, 2, 4, 6}) {
        TestImage image(1280, 1024, bytes);
        image.FillRandom(random, MaxOf(image));
        for (const Stage& stage : Stages()) {
            if (stage.kernel == nullptr && bytes <= 2) continue;
            const int32_t value = stage.values[stage.values.size() / 2];
            TestImage expected = image;
            if (stage.reference) {
                stage.reference(expected, image, value);
            } else {
                ref::HueSaturation(expected, value, 60, kBits);
            }
            for (SimdLevel level : test::AvailableLevels()) {
                test::ScopedLevel scoped(level);
                TestImage actual = image;
                RunStage(stage, actual, value, 60);
                ASSERT_EQ(actual.bytes, expected.bytes)
                    << stage.name << " " << bytes << " " << SimdLevelName(level);
            }
        }
    }
}

// Hue and saturation at every width around the SIMD steps (a row of 1 pixel, odd widths, widths
// off the vector multiples), with whole 16-bit samples so channels above the 8 significant bits
// the arithmetic uses are limited on every path; source and destination apart as well as one.
TEST(HueSaturation, EveryWidthAndSampleRangeEqualsTheReference) {
    std::mt19937 random(99);
    for (int32_t bytes : {3, 4, 6, 8}) {
        const int32_t maxValue = bytes >= 6 ? 0xFFFF : 0xFF;
        for (int32_t width = 1; width <= 41; ++width) {
            TestImage image(width, 3, bytes);
            image.FillRandom(random, maxValue);
            const int32_t hue = static_cast<int32_t>(random() % 721) - 360;
            const int32_t saturation = static_cast<int32_t>(random() % 511) - 255;
            TestImage expected = image;
            ref::HueSaturation(expected, hue, saturation, kBits);
            for (SimdLevel level : test::AvailableLevels()) {
                test::ScopedLevel scoped(level);
                HueSaturationBlock block{hue, 0, saturation, kBits};
                TestImage inPlace = image;
                imaging::RunStage(AdjustHueSaturation, inPlace.View(), inPlace.View(), &block);
                // Apart, the destination's fourth channel and padding stay its own.
                TestImage apart(width, 3, bytes);
                apart.FillRandom(random, maxValue);
                TestImage apartExpected = apart;
                for (int32_t y = 0; y < 3; ++y) {
                    for (int32_t x = 0; x < width; ++x) {
                        for (int32_t c = 0; c < 3; ++c) {
                            apartExpected.Set(x, y, c, expected.Get(x, y, c));
                        }
                    }
                }
                imaging::RunStage(AdjustHueSaturation, apart.View(), image.View(), &block);
                ASSERT_EQ(inPlace.bytes, expected.bytes)
                    << bytes << " " << width << " " << SimdLevelName(level);
                ASSERT_EQ(apart.bytes, apartExpected.bytes)
                    << bytes << " " << width << " " << SimdLevelName(level);
            }
        }
    }
}

// Copies the channels of the first `width` pixels of every row.
void CopyPixels(const TestImage& from, TestImage& to, int32_t width, int32_t channels) {
    for (int32_t y = 0; y < from.height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            for (int32_t c = 0; c < channels; ++c) to.Set(x, y, c, from.Get(x, y, c));
        }
    }
}

// The stages that map each sample alone run over rows that follow each other as one, and with
// a fourth byte per pixel carry pixels through the lookups of others; every width around the
// vector steps, rows back to back and padded, a view narrower than its rows, and a destination
// apart from the source (whose fourth channel stays the destination's).
TEST(Adjustments, SampleStagesGiveTheReferenceOnJoinedPaddedNarrowedAndSeparateRows) {
    std::mt19937 random(2024);
    const std::vector<Stage> stages = Stages();
    for (const Stage& stage : stages) {
        if (stage.kernel == nullptr || stage.kernel == AdjustSharpness) continue;
        for (int32_t bytes : {1, 2, 3, 4, 6, 8}) {
            for (int32_t width = 1; width <= 72; ++width) {
                const int32_t value = stage.values[random() % stage.values.size()];
                TestImage source(width, 3, bytes);
                source.FillRandom(random, MaxOf(source));
                TestImage expected = source;
                stage.reference(expected, source, value);
                const int32_t colours = bytes == 4 || bytes == 8 ? 3 : source.Channels();
                // Two pixels and the padding past the view's rows stay as they are.
                TestImage wide(width + 2, 3, bytes);
                wide.FillRandom(random, MaxOf(wide));
                CopyPixels(source, wide, width, source.Channels());
                TestImage wideExpected = wide;
                CopyPixels(expected, wideExpected, width, source.Channels());
                TestImage apart(width, 3, bytes);
                apart.FillRandom(random, MaxOf(apart));
                TestImage apartExpected = apart;
                CopyPixels(expected, apartExpected, width, colours);
                for (SimdLevel level : test::AvailableLevels()) {
                    test::ScopedLevel scoped(level);
                    SingleValueBlock block{value, kBits};
                    TestImage inPlace = source;
                    imaging::RunStage(stage.kernel, inPlace.View(), inPlace.View(), &block);
                    TestImage narrowed = wide;
                    ImageView view = narrowed.View();
                    view.width = width;
                    imaging::RunStage(stage.kernel, view, view, &block);
                    TestImage separate = apart;
                    TestImage input = source;
                    imaging::RunStage(stage.kernel, separate.View(), input.View(), &block);
                    const std::string where = std::string(stage.name) + " " +
                                              std::to_string(value) + " bytes " +
                                              std::to_string(bytes) + " width " +
                                              std::to_string(width) + " " + SimdLevelName(level);
                    ASSERT_EQ(inPlace.bytes, expected.bytes) << where;
                    ASSERT_EQ(narrowed.bytes, wideExpected.bytes) << where;
                    ASSERT_EQ(separate.bytes, apartExpected.bytes) << where;
                    ASSERT_EQ(input.bytes, source.bytes) << where;
                }
            }
        }
    }
}

// One stage run after run on every path, each against the reference: a thread keeps its last
// table, and each change of setting, sample width or variant must still give that run's result.
struct SettingRun {
    int32_t bytes;
    int32_t value;
    int32_t bits;
};

void ExpectEveryRunLikeTheReference(imaging::Stage<const SingleValueBlock> kernel,
                                    void (*reference)(TestImage&, int32_t, int32_t),
                                    const std::vector<SettingRun>& runs, uint32_t seed) {
    std::mt19937 random(seed);
    for (SimdLevel level : test::AvailableLevels()) {
        test::ScopedLevel scoped(level);
        for (const SettingRun& run : runs) {
            TestImage image(37, 4, run.bytes);
            image.FillRandom(random, image.Wide() ? (1 << run.bits) - 1 : 255);
            TestImage expected = image;
            reference(expected, run.value, run.bits);
            SingleValueBlock block{run.value, run.bits};
            imaging::RunStage(kernel, image.View(), image.View(), &block);
            ASSERT_EQ(image.bytes, expected.bytes)
                << run.bytes << " " << run.value << " " << run.bits << " " << SimdLevelName(level);
        }
    }
}

TEST(Gamma, FollowsEveryChangeOfSettingSampleWidthAndVariant) {
    const std::vector<SettingRun> runs = {{1, 50, 10},  {1, 150, 10}, {1, 50, 10},  {1, 0, 10},
                                          {3, 0, 10},   {1, 0, 10},   {2, 37, 10},  {2, 37, 12},
                                          {2, 37, 10},  {2, 160, 10}, {6, 160, 10}, {2, 37, 10},
                                          {4, 101, 10}, {4, 99, 10}};
    ExpectEveryRunLikeTheReference(AdjustGamma, ref::Gamma, runs, 5);
}

TEST(Contrast, FollowsEveryChangeOfSettingAndSampleWidth) {
    const std::vector<SettingRun> runs = {{2, 50, 10}, {2, -30, 10}, {2, 50, 10},  {2, 50, 12},
                                          {6, 50, 10}, {1, 50, 10},  {1, -30, 10}, {3, -30, 10},
                                          {1, 90, 10}, {2, 90, 10}};
    ExpectEveryRunLikeTheReference(AdjustContrast, ref::Contrast, runs, 6);
}

// Out-of-range 16-bit samples take the maximum through the tables and stay clamped elsewhere.
TEST(Adjustments, WideSamplesAboveTheRangeAreHandledLikeTheReference) {
    for (const Stage& stage : Stages()) {
        if (stage.kernel == nullptr) continue;
        for (SimdLevel level : test::AvailableLevels()) {
            test::ScopedLevel scoped(level);
            TestImage image(70, 6, 2);
            image.Fill(512);
            image.Set(40, 3, 0, 0xFFFF);
            image.Set(41, 3, 0, 1024);
            TestImage expected = image;
            stage.reference(expected, image, stage.values.back());
            RunStage(stage, image, stage.values.back(), 0);
            EXPECT_EQ(image.bytes, expected.bytes) << stage.name << " " << SimdLevelName(level);
        }
    }
}

}  // namespace
}  // namespace tavlin::imaging
