// The AVX-512 rows, built through SIMDe (avx512_emulation.h), against the plain rows: on machines
// without AVX-512 the imaging tests never reach them. Each SIMD row function does what it can of a
// row and the plain one finishes it, as in the library; the result must equal the plain row alone
// byte for byte, bytes outside the pixels' channels included.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "adjustment_tables.h"
#include "plain_rows.h"
#include "simd_rows.h"

namespace tavlin::imaging {
namespace {

template <typename Sample>
void Fill(std::vector<Sample>& values, std::mt19937& random, uint32_t maxValue) {
    for (Sample& v : values) v = static_cast<Sample>(random() % (maxValue + 1));
}

// Widths 1..41 around the vector steps, then larger odd and even ones.
size_t WidthFor(int round, std::mt19937& random) {
    if (round < 41) return static_cast<size_t>(round + 1);
    return round % 2 == 0 ? 1280 + random() % 8 : 42 + random() % 900;
}

struct HueSettings {
    HueShift shift;
    int32_t scale;
    std::vector<int32_t> chroma = std::vector<int32_t>(256);
};

HueSettings RandomHue(std::mt19937& random) {
    const auto hue = static_cast<int32_t>(random() % 721) - 360;
    const auto saturation = static_cast<int32_t>(random() % 511) - 255;
    HueSettings s{MakeHueShift(hue), ChromaScale(saturation)};
    BuildChromaTable(saturation, s.chroma.data());
    return s;
}

TEST(Avx512Rows, HueSaturationEqualsThePlainRows) {
    std::mt19937 random(2024);
    for (int round = 0; round < 240; ++round) {
        const size_t width = WidthFor(round % 60, random);
        const HueSettings s = RandomHue(random);
        const bool inPlace = random() % 2 == 0;
        // 8-bit pixels of 3 and 4 bytes.
        for (int32_t bytes : {3, 4}) {
            std::vector<uint8_t> src(width * bytes);
            std::vector<uint8_t> dst(width * bytes);
            Fill(src, random, 255);
            Fill(dst, random, 255);
            if (inPlace) dst = src;
            std::vector<uint8_t> expected = dst;
            const uint8_t* in = inPlace ? dst.data() : src.data();
            plain::HueSaturation8(expected.data(), inPlace ? expected.data() : src.data(), width,
                                  bytes, s.shift, s.scale, s.chroma.data());
            const size_t done = avx512::HueSaturation8(dst.data(), in, width, bytes, s.shift,
                                                       s.scale, s.chroma.data());
            ASSERT_LE(done, width);
            plain::HueSaturation8(dst.data() + done * bytes, in + done * bytes, width - done, bytes,
                                  s.shift, s.scale, s.chroma.data());
            ASSERT_EQ(dst, expected) << bytes << " bytes, width " << width;
        }
        // Wide pixels of 3 and 4 words, every shift, with samples above the significant bits.
        for (int32_t words : {3, 4}) {
            const auto shift = static_cast<int32_t>(random() % 9);
            const uint32_t maxValue = random() % 4 == 0 ? 0xFFFF : (256u << shift) - 1;
            std::vector<uint16_t> src(width * words);
            std::vector<uint16_t> dst(width * words);
            Fill(src, random, maxValue);
            Fill(dst, random, 0xFFFF);
            if (inPlace) dst = src;
            std::vector<uint16_t> expected = dst;
            const uint16_t* in = inPlace ? dst.data() : src.data();
            plain::HueSaturation16(expected.data(), inPlace ? expected.data() : src.data(), width,
                                   words, shift, s.shift, s.scale, s.chroma.data());
            const size_t done = avx512::HueSaturation16(dst.data(), in, width, words, shift,
                                                        s.shift, s.scale, s.chroma.data());
            ASSERT_LE(done, width);
            plain::HueSaturation16(dst.data() + done * words, in + done * words, width - done,
                                   words, shift, s.shift, s.scale, s.chroma.data());
            ASSERT_EQ(dst, expected) << words << " words, shift " << shift << ", width " << width;
        }
    }
}

template <typename Sample, typename Simd, typename Plain>
void CheckDemosaic(Simd simd, Plain plainRow, uint32_t rangeMax, uint32_t fullMax) {
    std::mt19937 random(77);
    for (int round = 0; round < 600; ++round) {
        const auto width = static_cast<int32_t>(WidthFor(round % 60, random)) + 2;
        const int32_t channels = random() % 2 == 0 ? 3 : 4;
        const int32_t bytesPerPixel = channels * static_cast<int32_t>(sizeof(Sample));
        // Some rows hold samples the 16-bit sums cannot take, which the rows leave to plain code.
        const uint32_t maxValue = random() % 3 == 0 ? fullMax : rangeMax;
        std::vector<Sample> raw[4];
        for (auto& row : raw) {
            row.resize(static_cast<size_t>(width));
            Fill(row, random, maxValue);
        }
        DemosaicRowSources<Sample> rows;
        rows.redNear = raw[0].data();
        rows.redFar = raw[1].data();
        rows.blueNear = raw[2].data();
        rows.blueFar = raw[3].data();
        rows.redParity = static_cast<int32_t>(random() % 2);
        // Gains up to 512 as the colour settings give, sometimes larger ones.
        const uint32_t gainMax = random() % 8 == 0 ? 5000 : 512;
        rows.gainR = static_cast<int32_t>(random() % (gainMax + 1));
        rows.gainB = static_cast<int32_t>(random() % (gainMax + 1));
        // The interior columns 2 .. width - 2, or a piece of them.
        int32_t x0 = 2;
        int32_t x1 = width - 1;
        if (round % 3 == 0) {
            x0 = std::min(2 + 2 * static_cast<int32_t>(random() % 3), x1 & ~1);
            x1 = x0 + static_cast<int32_t>(random() % static_cast<uint32_t>(x1 - x0 + 1));
        }
        std::vector<uint8_t> out(static_cast<size_t>(width) * bytesPerPixel);
        Fill(out, random, 255);
        std::vector<uint8_t> expected = out;
        plainRow(rows, expected.data(), bytesPerPixel, x0, x1);
        const int32_t done = simd(rows, out.data(), bytesPerPixel, x0, x1);
        ASSERT_GE(done, x0);
        ASSERT_LE(done, x1);
        plainRow(rows, out.data(), bytesPerPixel, done, x1);
        ASSERT_EQ(out, expected) << "width " << width << ", " << bytesPerPixel << " bytes, x " << x0
                                 << ".." << x1 << ", red parity " << rows.redParity;
    }
}

TEST(Avx512Rows, DemosaicEqualsThePlainRows) {
    CheckDemosaic<uint8_t>(avx512::Demosaic8, plain::Demosaic8, 255, 255);
    CheckDemosaic<uint16_t>(avx512::Demosaic16, plain::Demosaic16, 1023, 0xFFFF);
}

}  // namespace
}  // namespace tavlin::imaging
