#include "output/image_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "diag/log.h"
#include "output/output_test_support.h"
#include "output/sample_rows.h"
#include "platform/output_file.h"

namespace tavlin::output {
namespace {

using test::FillPattern;
using test::Le16;
using test::Le32;
using test::PatternSample;
using test::Quote;
using test::ReadFileBytes;
using test::RequireTool;
using test::RunTool;

constexpr int kBits = 10;
constexpr int kDepths[] = {8, 16, 24, 32, 48, 64};

class ImageFileTest : public test::OutputFolderTest {
  protected:
    ImageBuffer Pattern(int32_t width, int32_t height, int bitCount) {
        ImageBuffer image;
        EXPECT_EQ(image.Create(width, height, bitCount), 1);
        FillPattern(image);
        return image;
    }

    // The pixels an independent decoder gives back, top row first, as 8-bit or 16-bit
    // little-endian samples of `map` ("gray", "rgb", "rgba").
    std::string Decode(const std::filesystem::path& file, const std::string& map, int depth) {
        if (!RequireTool("convert")) return {};
        const auto run = RunTool("convert " + Quote(file) + " -depth " + std::to_string(depth) +
                                 " -endian LSB " + map + ":-");
        EXPECT_EQ(run.exitCode, 0) << file;
        return run.output;
    }
};

// --- exact bytes of the headerless and BMP layouts

TEST_F(ImageFileTest, EightBitBmpHasGrayTableAndBottomUpPaddedRows) {
    ImageBuffer image = Pattern(641, 2, 8);
    const auto bmp = Path("gray.bmp");
    ASSERT_EQ(SaveImageFile(bmp, image, kFileBmp, kBits), 1);
    const auto bytes = ReadFileBytes(bmp);
    ASSERT_EQ(bytes.size(), 2366u);
    EXPECT_EQ(Le16(bytes, 0), 0x4D42);
    EXPECT_EQ(Le32(bytes, 2), 2366u);
    EXPECT_EQ(Le32(bytes, 6), 0u);
    EXPECT_EQ(Le32(bytes, 10), 1078u);
    EXPECT_EQ(Le32(bytes, 14), 40u);
    EXPECT_EQ(static_cast<int32_t>(Le32(bytes, 18)), 641);
    EXPECT_EQ(static_cast<int32_t>(Le32(bytes, 22)), 2);
    EXPECT_EQ(Le16(bytes, 26), 1);
    EXPECT_EQ(Le16(bytes, 28), 8);
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(Le32(bytes, 54 + 4 * i), static_cast<uint32_t>(i * 0x010101)) << i;
    }
    // File row 0 is the image's bottom row (memory row 1), whole stride included.
    EXPECT_TRUE(std::equal(image.Bits() + 644, image.Bits() + 1288, bytes.begin() + 1078));
    EXPECT_TRUE(std::equal(image.Bits(), image.Bits() + 644, bytes.begin() + 1078 + 644));

    const auto raw = Path("gray.raw");
    ASSERT_EQ(SaveImageFile(raw, image, kFileRaw, kBits), 1);
    const auto rawBytes = ReadFileBytes(raw);
    ASSERT_EQ(rawBytes.size(), 1288u);
    EXPECT_TRUE(std::equal(rawBytes.begin(), rawBytes.end(), image.Bits()));
}

TEST_F(ImageFileTest, ColourBmpDecodesTopRowFirst) {
    ImageBuffer image = Pattern(640, 480, 24);
    const auto bmp = Path("colour.bmp");
    ASSERT_EQ(SaveImageFile(bmp, image, kFileBmp, kBits), 1);
    EXPECT_EQ(std::filesystem::file_size(bmp), 921654u);
    const std::string rgb = Decode(bmp, "rgb", 8);
    ASSERT_EQ(rgb.size(), 640u * 480 * 3);
    for (int32_t y : {0, 1, 479}) {
        for (int32_t x : {0, 5, 639}) {
            const auto* p = reinterpret_cast<const uint8_t*>(rgb.data()) + (y * 640 + x) * 3;
            EXPECT_EQ(p[0], PatternSample(x, y, 2, 255)) << x << "," << y;
            EXPECT_EQ(p[2], PatternSample(x, y, 0, 255)) << x << "," << y;
        }
    }
}

TEST_F(ImageFileTest, EveryDepthWritesBmpAndRawOfTheStoredSize) {
    for (int depth : kDepths) {
        ImageBuffer image = Pattern(37, 5, depth);
        const auto bmp = Path("d" + std::to_string(depth) + ".bmp");
        const auto raw = Path("d" + std::to_string(depth) + ".raw");
        ASSERT_EQ(SaveImageFile(bmp, image, kFileBmp, kBits), 1) << depth;
        ASSERT_EQ(SaveImageFile(raw, image, kFileRaw, kBits), 1) << depth;
        const size_t header = depth <= 8 ? 1078 : 54;
        const auto bytes = ReadFileBytes(bmp);
        ASSERT_EQ(bytes.size(), header + image.SizeBytes()) << depth;
        EXPECT_EQ(Le16(bytes, 28), depth);
        EXPECT_TRUE(std::equal(image.Bits(), image.Bits() + image.Stride(),
                               bytes.begin() + header + 4 * image.Stride()))
            << "top row last, " << depth;
        EXPECT_EQ(ReadFileBytes(raw).size(), image.SizeBytes()) << depth;
    }
}

// --- decoded by independent libraries

TEST_F(ImageFileTest, PngHoldsFullRangeSamplesAndOpaqueAlpha) {
    if (!RequireTool("pngcheck")) return;
    struct Case {
        int depth;
        const char* map;
        int channels;  // in the decoder's map
        bool alpha;
    };
    for (const Case& c :
         {Case{8, "gray", 1, false}, Case{16, "gray", 1, false}, Case{24, "rgb", 3, false},
          Case{32, "rgba", 4, true}, Case{48, "rgb", 3, false}, Case{64, "rgba", 4, true}}) {
        ImageBuffer image = Pattern(33, 7, c.depth);
        if (c.depth == 32) image.Bits()[3] = 0;  // first pixel: fourth byte 0 means opaque
        if (c.depth == 16) image.Bits()[0] = 0xFF, image.Bits()[1] = 0x03;  // 1023
        const auto png = Path("p" + std::to_string(c.depth) + ".png");
        ASSERT_EQ(SaveImageFile(png, image, kFilePng, kBits), 1) << c.depth;
        const auto check = RunTool("pngcheck " + Quote(png));
        EXPECT_EQ(check.exitCode, 0) << check.output;

        const bool wide = test::WideSamples(c.depth);
        const std::string pixels = Decode(png, c.map, wide ? 16 : 8);
        ASSERT_EQ(pixels.size(), 33u * 7 * c.channels * (wide ? 2 : 1)) << c.depth;
        const uint16_t maximum = wide ? 1023 : 255;
        for (int32_t y = 0; y < 7; ++y) {
            for (int32_t x = 0; x < 33; ++x) {
                for (int ch = 0; ch < c.channels; ++ch) {
                    const size_t i = (static_cast<size_t>(y) * 33 + x) * c.channels + ch;
                    const uint16_t got = wide ? Le16({pixels.begin(), pixels.end()}, 2 * i)
                                              : static_cast<uint8_t>(pixels[i]);
                    uint16_t want;
                    if (c.alpha && ch == 3) {
                        want = wide ? 0xFFFF
                                    : 255 - (x == 0 && y == 0 ? 0 : PatternSample(x, y, 3, 255));
                    } else {
                        const int stored = c.channels == 1 ? 0 : 2 - ch;  // B, G, R in memory
                        uint16_t v = PatternSample(x, y, stored, maximum);
                        if (c.depth == 16 && x == 0 && y == 0) v = 1023;
                        want = wide ? static_cast<uint16_t>(v << 6) : v;
                    }
                    ASSERT_EQ(got, want) << c.depth << " at " << x << "," << y << " ch " << ch;
                }
            }
        }
    }
    EXPECT_EQ(Le16(std::vector<uint8_t>{0xC0, 0xFF}, 0), 0xFFC0);
}

TEST_F(ImageFileTest, TiffTagsAndSamplesForEveryDepth) {
    if (!RequireTool("tiffinfo") || !RequireTool("tiffdump")) return;
    // Odd widths: rows are packed in the strip. The large size spans several conversion blocks.
    for (auto [width, height] : {std::pair{37, 6}, std::pair{1001, 700}}) {
        for (int depth : kDepths) {
            ImageBuffer image = Pattern(width, height, depth);
            const auto tif = Path("t" + std::to_string(depth) + ".tif");
            ASSERT_EQ(SaveImageFile(tif, image, kFileTiff, kBits), 1) << depth;
            const auto info = RunTool("tiffinfo " + Quote(tif) + " 2>&1");
            EXPECT_EQ(info.exitCode, 0);
            EXPECT_NE(info.output.find("Image Width: " + std::to_string(width) +
                                       " Image Length: " + std::to_string(height)),
                      std::string::npos)
                << info.output;
            EXPECT_EQ(info.output.find("arning"), std::string::npos) << info.output;
            const bool wide = test::WideSamples(depth);
            EXPECT_NE(info.output.find("Bits/Sample: " + std::to_string(wide ? 16 : 8)),
                      std::string::npos);
            const bool gray = depth <= 16;
            EXPECT_NE(info.output.find(gray ? "min-is-black" : "RGB color"), std::string::npos);
            EXPECT_NE(info.output.find("Compression Scheme: None"), std::string::npos);

            const std::string pixels = Decode(tif, gray ? "gray" : "rgb", wide ? 16 : 8);
            const int channels = gray ? 1 : 3;
            ASSERT_EQ(pixels.size(), size_t(width) * height * channels * (wide ? 2 : 1)) << depth;
            const std::vector<uint8_t> bytes(pixels.begin(), pixels.end());
            for (int32_t y = 0; y < height; ++y) {
                for (int32_t x = 0; x < width; ++x) {
                    for (int ch = 0; ch < channels; ++ch) {
                        const size_t i = (static_cast<size_t>(y) * width + x) * channels + ch;
                        const uint16_t v =
                            PatternSample(x, y, gray ? 0 : 2 - ch, wide ? 1023 : 255);
                        ASSERT_EQ(wide ? Le16(bytes, 2 * i) : bytes[i],
                                  wide ? static_cast<uint16_t>(v << 6) : v)
                            << depth << " at " << x << "," << y;
                    }
                }
            }
        }
    }
}

TEST_F(ImageFileTest, JpegIsProgressiveAtEachQualityAndDecodesClose) {
    if (!RequireTool("djpeg") || !RequireTool("identify")) return;
    for (int depth : kDepths) {
        ImageBuffer image;
        ASSERT_EQ(image.Create(64, 48, depth), 1);
        // Smooth gradients, so the lossy codec stays close to every sample.
        const int samples = depth / (test::WideSamples(depth) ? 16 : 8);
        for (int32_t y = 0; y < 48; ++y) {
            for (int32_t x = 0; x < 64; ++x) {
                for (int c = 0; c < samples; ++c) {
                    const int v8 = x + y * (c + 1);
                    uint8_t* p = image.Bits() + y * image.Stride();
                    if (test::WideSamples(depth)) {
                        const uint16_t v = static_cast<uint16_t>(v8 << 2);
                        p[(x * samples + c) * 2] = static_cast<uint8_t>(v);
                        p[(x * samples + c) * 2 + 1] = static_cast<uint8_t>(v >> 8);
                    } else {
                        p[x * samples + c] = static_cast<uint8_t>(v8);
                    }
                }
            }
        }
        for (const auto& [code, quality] :
             {std::pair{kFileJpeg100, 100}, std::pair{kFileJpeg70, 70},
              std::pair{kFileJpeg20, 20}}) {
            const auto jpg =
                Path("j" + std::to_string(depth) + "_" + std::to_string(quality) + ".jpg");
            ASSERT_EQ(SaveImageFile(jpg, image, code, kBits), 1) << depth;
            const auto bytes = ReadFileBytes(jpg);
            bool progressive = false;
            for (size_t i = 0; i + 1 < bytes.size(); ++i) {
                if (bytes[i] == 0xFF && bytes[i + 1] == 0xC2) progressive = true;
            }
            EXPECT_TRUE(progressive) << "no SOF2 marker, depth " << depth;
            const auto id = RunTool("identify -format '%Q %[interlace] %w %h' " + Quote(jpg));
            EXPECT_EQ(id.output, std::to_string(quality) + " JPEG 64 48") << depth;
        }
        const bool gray = depth <= 16;
        const auto decoded = RunTool("djpeg " + std::string(gray ? "-grayscale " : "") + "-pnm " +
                                     Quote(Path("j" + std::to_string(depth) + "_100.jpg")));
        ASSERT_EQ(decoded.exitCode, 0);
        const size_t pixelBytes = 64u * 48 * (gray ? 1 : 3);
        ASSERT_GE(decoded.output.size(), pixelBytes);
        const auto* pixels = reinterpret_cast<const uint8_t*>(decoded.output.data()) +
                             decoded.output.size() - pixelBytes;
        for (int32_t y = 0; y < 48; y += 7) {
            for (int32_t x = 0; x < 64; x += 9) {
                for (int ch = 0; ch < (gray ? 1 : 3); ++ch) {
                    const int want = x + y * ((gray ? 0 : 2 - ch) + 1);
                    const int got = pixels[(y * 64 + x) * (gray ? 1 : 3) + ch];
                    EXPECT_NEAR(got, want, 6) << depth << " at " << x << "," << y << " ch " << ch;
                }
            }
        }
    }
}

// The processor's row converters against the plain ones on random pixels (row padding
// included), sizes and sample depths: every format and depth gives the same file, byte for byte.
TEST_F(ImageFileTest, FilesAreTheSameWithThePlainRowConverters) {
    std::mt19937 random(20261210);
    for (int round = 0; round < 6; ++round) {
        const int32_t width = 1 + int32_t(random() % (round < 3 ? 40 : 900));
        const int32_t height = 1 + int32_t(random() % 40);
        const int significant = 8 + int(random() % 9);
        for (int depth : kDepths) {
            ImageBuffer image;
            ASSERT_EQ(image.Create(width, height, depth), 1);
            for (size_t i = 0; i < image.SizeBytes(); ++i) image.Bits()[i] = uint8_t(random());
            for (int code = kFileBmp; code <= kFileTiff; ++code) {
                const std::string where = std::to_string(width) + " x " + std::to_string(height) +
                                          " at " + std::to_string(depth) + ", " +
                                          std::to_string(significant) + " bits, format " +
                                          std::to_string(code);
                UsePlainRows(true);
                const int plainSaved = SaveImageFile(Path("plain"), image, code, significant);
                UsePlainRows(false);
                ASSERT_EQ(plainSaved, 1) << where;
                ASSERT_EQ(SaveImageFile(Path("fast"), image, code, significant), 1) << where;
                ASSERT_EQ(ReadFileBytes(Path("fast")), ReadFileBytes(Path("plain"))) << where;
            }
        }
    }
}

TEST_F(ImageFileTest, SnapshotIsAnIndependentCopy) {
    ImageBuffer image = Pattern(37, 5, 48);
    ImageBuffer copy;
    ASSERT_EQ(SnapshotImage(image, copy), 1);
    ASSERT_EQ(copy.SizeBytes(), image.SizeBytes());
    EXPECT_EQ(copy.BitCount(), 48);
    EXPECT_TRUE(std::equal(image.Bits(), image.Bits() + image.SizeBytes(), copy.Bits()));
    image.Bits()[0] ^= 0xFF;
    EXPECT_NE(copy.Bits()[0], image.Bits()[0]) << "the copy owns its pixels";
    ImageBuffer empty;
    EXPECT_EQ(SnapshotImage(empty, copy), 0);
    EXPECT_FALSE(copy.Usable());
}

// --- bad input and failing files

TEST_F(ImageFileTest, UnknownFormatCodesWriteNothing) {
    ImageBuffer image = Pattern(8, 8, 24);
    for (int code : {7, -1, 1000}) {
        const auto file = Path("unknown" + std::to_string(code));
        EXPECT_EQ(SaveImageFile(file, image, code, kBits), 0);
        EXPECT_FALSE(std::filesystem::exists(file));
    }
    ImageBuffer empty;
    EXPECT_EQ(SaveImageFile(Path("empty.bmp"), empty, kFileBmp, kBits), 0);
    EXPECT_FALSE(std::filesystem::exists(Path("empty.bmp")));
}

TEST_F(ImageFileTest, PathsThatCannotBeWrittenFailForEveryFormat) {
    ImageBuffer image = Pattern(8, 8, 24);
    const std::string tooLong(300, 'n');
    std::filesystem::create_directory(Path("folder"));
    for (int code = kFileBmp; code <= kFileTiff; ++code) {
        EXPECT_EQ(SaveImageFile(Path("missing/x.img"), image, code, kBits), 0) << code;
        EXPECT_EQ(SaveImageFile(Path("folder"), image, code, kBits), 0) << code;
        EXPECT_EQ(SaveImageFile(Path(tooLong), image, code, kBits), 0) << code;
        EXPECT_EQ(SaveImageFile("/proc/tavlin-image", image, code, kBits), 0) << code;
        EXPECT_TRUE(std::filesystem::is_directory(Path("folder")));
    }
    // Beyond PATH_MAX as a whole, each component short.
    std::string deep = Path("deep");
    while (deep.size() <= 4200) deep += "/abcdefghij";
    // A folder the writer may not write into (permissions apply: root drops them first).
    const auto locked = Path("locked");
    std::filesystem::create_directory(locked);
    std::filesystem::permissions(
        locked, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec |
                    std::filesystem::perms::others_read | std::filesystem::perms::others_exec);
    const int written = test::RunInChild(
        [&] {
            int mask = 0;
            for (int code = kFileBmp; code <= kFileTiff; ++code) {
                if (SaveImageFile(deep + "/x.img", image, code, kBits) != 0) mask |= 1 << code;
                if (SaveImageFile(locked / "x.img", image, code, kBits) != 0) mask |= 1 << code;
            }
            return mask;
        },
        nullptr, RLIM_INFINITY, true);
    EXPECT_EQ(written, 0) << "formats that claimed success (bit per code)";
    EXPECT_TRUE(std::filesystem::is_empty(locked));
}

TEST_F(ImageFileTest, ExistingFilesAreReplacedAndUtf8NamesKept) {
    ImageBuffer image = Pattern(16, 4, 8);
    const auto name = Path("画像 é.bmp");
    {
        std::ofstream big(name, std::ios::binary);
        big << std::string(100000, 'x');
    }
    ASSERT_EQ(SaveImageFile(name, image, kFileBmp, kBits), 1);
    EXPECT_EQ(std::filesystem::file_size(name), 1078u + 64);
    ASSERT_EQ(SaveImageFile(name, image, kFileRaw, kBits), 1);
    EXPECT_EQ(std::filesystem::file_size(name), 64u);
}

TEST_F(ImageFileTest, FileOpenForWritingElsewhereIsNotClobbered) {
    ImageBuffer image = Pattern(16, 4, 8);
    const auto name = Path("held.raw");
    platform::OutputFile holder;
    ASSERT_TRUE(holder.Open(name));
    ASSERT_TRUE(holder.Write("keep", 4));
    EXPECT_EQ(SaveImageFile(name, image, kFileRaw, kBits), 0);
    EXPECT_EQ(SaveImageFile(name, image, kFileBmp, kBits), 0);
    EXPECT_EQ(std::filesystem::file_size(name), 4u);
}

TEST_F(ImageFileTest, FullDiskFailsEveryFormatWithoutCrashing) {
    ImageBuffer image = Pattern(256, 256, 24);
    std::string errors;
    const int failedCodes = test::RunWithFileSizeLimit(
        8192,
        [&] {
            int mask = 0;
            for (int code = kFileBmp; code <= kFileTiff; ++code) {
                const auto file = Path("full" + std::to_string(code));
                if (SaveImageFile(file, image, code, kBits) == 0) mask |= 1 << code;
            }
            return mask;
        },
        &errors);
    EXPECT_EQ(failedCodes, 0x7F) << "a format reported success on a full disk (-1: the child "
                                    "was killed by the file size signal)";
    EXPECT_NE(errors.find("libpng error: "), std::string::npos) << errors;
    EXPECT_EQ(errors.find("JPEG"), std::string::npos) << "only libpng may print: " << errors;
}

// With logging on, libpng's and libtiff's own reasons reach the log; libpng's error line on stderr
// is printed as before.
TEST_F(ImageFileTest, CodecMessagesReachTheLogWhenAsked) {
    struct Capture {
        std::mutex lock;
        std::vector<std::string> lines;
        static void Add(void* context, int32_t, const char* category, int32_t, int64_t,
                        const char* message) {
            auto* self = static_cast<Capture*>(context);
            const std::lock_guard<std::mutex> hold(self->lock);
            self->lines.push_back(std::string(category) + " " + message);
        }
        bool Has(const std::string& prefix) {
            const std::lock_guard<std::mutex> hold(lock);
            return std::any_of(lines.begin(), lines.end(),
                               [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
        }
    } capture;
    ASSERT_TRUE(diag::SetCallback(Capture::Add, &capture, diag::Level::Warn));
    // Larger than the stream's buffer: every write to /dev/full fails with ENOSPC, so libpng
    // gives up with its own reason while writing rows.
    const ImageBuffer image = Pattern(512, 512, 24);
    testing::internal::CaptureStderr();
    EXPECT_EQ(SaveImageFile("/dev/full", image, kFilePng, kBits), 0);
    const std::string printed = testing::internal::GetCapturedStderr();
    EXPECT_EQ(SaveImageFile(Path("no-such-folder/x.tif"), image, kFileTiff, kBits), 0);
    ASSERT_TRUE(diag::SetCallback(nullptr, nullptr, diag::Level::Off));
    EXPECT_TRUE(capture.Has("output libpng: ")) << ::testing::PrintToString(capture.lines);
    EXPECT_TRUE(capture.Has("output libtiff: ")) << ::testing::PrintToString(capture.lines);
    EXPECT_NE(printed.find("libpng error: "), std::string::npos) << printed;
}

}  // namespace
}  // namespace tavlin::output
