#include "output/avi_writer.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "output/output_test_support.h"
#include "output/record_frame.h"
#include "platform/output_file.h"

namespace tavlin::output {
namespace {

using test::FillPattern;
using test::Le32;
using test::PatternSample;
using test::Quote;
using test::ReadFileBytes;
using test::RequireTool;
using test::RunTool;
using test::Tag;

class AviWriterTest : public test::OutputFolderTest {
  protected:
    // Frames of a 24-bit pattern image shifted by `frame`, converted as the recorder does.
    std::vector<std::vector<uint8_t>> WriteFrames(AviWriter& writer, int32_t width, int32_t height,
                                                  int count) {
        ImageBuffer image;
        EXPECT_EQ(image.Create(width, height, 24), 1);
        RecordFrameConverter converter;
        EXPECT_EQ(converter.Prepare(width, height), 1);
        std::vector<std::vector<uint8_t>> tops;  // each frame top row first, packed R, G, B
        for (int f = 0; f < count; ++f) {
            FillPattern(image);
            for (size_t i = 0; i < image.SizeBytes(); ++i) image.Bits()[i] += f * 3;
            const uint8_t* frame = converter.Convert(image);
            EXPECT_NE(frame, nullptr);
            EXPECT_EQ(writer.WriteFrame(frame), AviWriteResult::kWritten);
            std::vector<uint8_t> rgb;
            for (int32_t y = 0; y < height; ++y) {
                const uint8_t* row = image.Bits() + y * image.Stride();
                for (int32_t x = 0; x < width; ++x) {
                    rgb.insert(rgb.end(), {row[3 * x + 2], row[3 * x + 1], row[3 * x]});
                }
            }
            tops.push_back(std::move(rgb));
        }
        return tops;
    }

    void ExpectPlaysBack(const std::filesystem::path& avi, int32_t width, int32_t height,
                         const std::vector<std::vector<uint8_t>>& frames, const std::string& rate) {
        if (!RequireTool("ffprobe") || !RequireTool("ffmpeg")) return;
        const auto probe = RunTool(
            "ffprobe -v error -select_streams v:0 -count_frames -show_entries "
            "stream=width,height,nb_read_frames,r_frame_rate -of csv=p=0 " +
            Quote(avi));
        EXPECT_EQ(probe.output, std::to_string(width) + "," + std::to_string(height) + "," + rate +
                                    "," + std::to_string(frames.size()) + "\n");
        const auto decoded =
            RunTool("ffmpeg -v error -i " + Quote(avi) + " -f rawvideo -pix_fmt rgb24 -");
        ASSERT_EQ(decoded.exitCode, 0);
        const size_t frameBytes = static_cast<size_t>(width) * height * 3;
        ASSERT_EQ(decoded.output.size(), frameBytes * frames.size());
        for (size_t f = 0; f < frames.size(); ++f) {
            EXPECT_TRUE(std::equal(
                frames[f].begin(), frames[f].end(),
                reinterpret_cast<const uint8_t*>(decoded.output.data()) + f * frameBytes))
                << "frame " << f;
        }
    }
};

TEST_F(AviWriterTest, OpenWritesTheHeaderWithPlaceholders) {
    AviWriter writer;
    const auto avi = Path("open.avi");
    ASSERT_EQ(writer.Open(avi, 640, 480, 32), AviWriteResult::kWritten);
    const auto b = ReadFileBytes(avi);
    ASSERT_EQ(b.size(), 232u);
    EXPECT_EQ(Tag(b, 0), "RIFF");
    EXPECT_EQ(Le32(b, 4), 0u);
    EXPECT_EQ(Tag(b, 8), "AVI ");
    EXPECT_EQ(Tag(b, 12) + Tag(b, 20) + Tag(b, 24), "LISThdrlavih");
    EXPECT_EQ(Le32(b, 16), 200u);
    EXPECT_EQ(Le32(b, 28), 56u);
    EXPECT_EQ(Le32(b, 32), 33333u);
    EXPECT_EQ(Le32(b, 44), 0x10010u);
    EXPECT_EQ(Le32(b, 48), 0u);
    EXPECT_EQ(Le32(b, 56), 1u);
    EXPECT_EQ(Le32(b, 60), 921608u);
    EXPECT_EQ(Le32(b, 64), 640u);
    EXPECT_EQ(Le32(b, 68), 480u);
    EXPECT_EQ(Tag(b, 88) + Tag(b, 96) + Tag(b, 100), "LISTstrlstrh");
    EXPECT_EQ(Le32(b, 92), 124u);
    EXPECT_EQ(Le32(b, 104), 64u);
    EXPECT_EQ(Tag(b, 108) + Tag(b, 112), "vidsDIB ");
    EXPECT_EQ(Le32(b, 128), 333333u);
    EXPECT_EQ(Le32(b, 132), 10000000u);
    EXPECT_EQ(Le32(b, 140), 0u);
    EXPECT_EQ(Le32(b, 144), 921608u);
    EXPECT_EQ(Tag(b, 172), "strf");
    EXPECT_EQ(Le32(b, 176), 40u);
    EXPECT_EQ(Le32(b, 180), 40u);
    EXPECT_EQ(Le32(b, 184), 640u);
    EXPECT_EQ(Le32(b, 188), 480u);
    EXPECT_EQ(Le32(b, 192), 1u | (24u << 16));
    EXPECT_EQ(Tag(b, 220), "LIST");
    EXPECT_EQ(Le32(b, 224), 0u);
    EXPECT_EQ(Tag(b, 228), "movi");
    EXPECT_EQ(writer.BitCount(), 32);
}

TEST_F(AviWriterTest, CloseWritesIndexAndPatchesCountsAndRate) {
    AviWriter writer;
    const auto avi = Path("vga.avi");
    ASSERT_EQ(writer.Open(avi, 640, 480, 24), AviWriteResult::kWritten);
    const auto frames = WriteFrames(writer, 640, 480, 3);
    ASSERT_EQ(writer.Close(MeasuredAviRate(120, 4000)), AviWriteResult::kWritten);
    const auto b = ReadFileBytes(avi);
    const uint32_t chunk = 8 + 921600;
    ASSERT_EQ(b.size(), 232u + 3 * chunk + 8 + 3 * 16);
    EXPECT_EQ(Le32(b, 4), b.size() - 8);
    EXPECT_EQ(Le32(b, 224), 4 + 3 * chunk);
    EXPECT_EQ(Le32(b, 48), 3u);
    EXPECT_EQ(Le32(b, 140), 3u);
    EXPECT_EQ(Le32(b, 32), 33333u);
    EXPECT_EQ(Le32(b, 128), 333333u);
    EXPECT_EQ(Le32(b, 132), 10000000u);
    for (int f = 0; f < 3; ++f) {
        EXPECT_EQ(Tag(b, 232 + f * chunk), "00db");
        EXPECT_EQ(Le32(b, 236 + f * chunk), 921600u);
    }
    const size_t index = 232 + 3 * chunk;
    EXPECT_EQ(Tag(b, index), "idx1");
    EXPECT_EQ(Le32(b, index + 4), 48u);
    const uint32_t offsets[] = {4, 921612, 1843220};
    for (int f = 0; f < 3; ++f) {
        const size_t entry = index + 8 + 16 * f;
        EXPECT_EQ(Tag(b, entry), "00db");
        EXPECT_EQ(Le32(b, entry + 4), 16u);
        EXPECT_EQ(Le32(b, entry + 8), offsets[f]);
        EXPECT_EQ(Le32(b, entry + 12), 921600u);
    }
    ExpectPlaysBack(avi, 640, 480, frames, "10000000/333333");
}

TEST_F(AviWriterTest, WidthsOffTheFourByteGridStillPlay) {
    AviWriter writer;
    const auto avi = Path("odd.avi");
    ASSERT_EQ(writer.Open(avi, 37, 21, 24), AviWriteResult::kWritten);
    EXPECT_EQ(writer.FrameStride(), 112);
    EXPECT_EQ(writer.FrameBytes(), 112u * 21);
    const auto frames = WriteFrames(writer, 37, 21, 4);
    ASSERT_EQ(writer.Close(MeasuredAviRate(25, 1000)), AviWriteResult::kWritten);
    const auto b = ReadFileBytes(avi);
    EXPECT_EQ(Le32(b, 32), 40000u);
    EXPECT_EQ(Le32(b, 128), 400000u);
    EXPECT_EQ(Le32(b, 60), 112u * 21 + 8);
    ExpectPlaysBack(avi, 37, 21, frames, "25/1");
}

TEST_F(AviWriterTest, RateStaysDefinedForExtremeTimings) {
    EXPECT_EQ(MeasuredAviRate(120, 4000), 3000u);
    EXPECT_EQ(MeasuredAviRate(25, 1000), 2500u);
    EXPECT_EQ(MeasuredAviRate(10, 0), kAviOpeningRate);
    EXPECT_EQ(MeasuredAviRate(1, 200000), 1u) << "below 0.01 frames per second";
    EXPECT_EQ(MeasuredAviRate(0, 1000), 1u);
    EXPECT_EQ(MeasuredAviRate(100000, 3333333), 3000u) << "frame x 100000 overflows 32 bits";
    EXPECT_EQ(MeasuredAviRate(4000000000u, 1), 100000000u);

    AviWriter writer;
    ASSERT_EQ(writer.Open(Path("zero.avi"), 8, 8, 24), AviWriteResult::kWritten);
    WriteFrames(writer, 8, 8, 1);
    ASSERT_EQ(writer.Close(0), AviWriteResult::kWritten);
    const auto b = ReadFileBytes(Path("zero.avi"));
    EXPECT_EQ(Le32(b, 32), 100000000u);
    EXPECT_EQ(Le32(b, 128), 1000000000u);
}

TEST_F(AviWriterTest, StopsAtTheSizeLimitWithAPlayableFile) {
    const uint64_t frameChunk = 8 + 24 * 16;  // 8 x 16 frames: stride 24
    const uint64_t limit = 232 + 5 * frameChunk + 8 + 5 * 16 + 10;
    AviWriter writer(limit);
    const auto avi = Path("limit.avi");
    ASSERT_EQ(writer.Open(avi, 8, 16, 24), AviWriteResult::kWritten);
    const auto frames = WriteFrames(writer, 8, 16, 5);
    std::vector<uint8_t> frame(writer.FrameBytes());
    EXPECT_EQ(writer.WriteFrame(frame.data()), AviWriteResult::kFull);
    ASSERT_EQ(writer.Close(3000), AviWriteResult::kWritten);
    EXPECT_LE(std::filesystem::file_size(avi), limit);
    ExpectPlaysBack(avi, 8, 16, frames, "10000000/333333");

    AviWriter tiny(300);
    EXPECT_EQ(tiny.Open(Path("tiny.avi"), 640, 480, 24), AviWriteResult::kFull)
        << "not even one frame fits";
}

TEST_F(AviWriterTest, FullDiskKeepsTheWholeFramesPlayable) {
    const auto avi = Path("full.avi");
    std::vector<std::vector<uint8_t>> frames;
    const int result = test::RunWithFileSizeLimit(
        232 + 2 * (8 + 32 * 32 * 3) + 500,
        [&] {
            AviWriter writer;
            if (writer.Open(avi, 32, 32, 24) != AviWriteResult::kWritten) return 10;
            WriteFrames(writer, 32, 32, 2);
            std::vector<uint8_t> frame(writer.FrameBytes(), 0x55);
            if (writer.WriteFrame(frame.data()) != AviWriteResult::kFailed) return 11;
            if (writer.WriteFrame(frame.data()) != AviWriteResult::kFailed) return 12;
            return writer.Close(2500) == AviWriteResult::kWritten ? 0 : 13;
        },
        nullptr);
    ASSERT_EQ(result, 0);
    AviWriter reference;
    ASSERT_EQ(reference.Open(Path("ref.avi"), 32, 32, 24), AviWriteResult::kWritten);
    frames = WriteFrames(reference, 32, 32, 2);
    reference.Reset();
    ExpectPlaysBack(avi, 32, 32, frames, "25/1");
}

// Disk space is reserved a few frames ahead while recording (where the file system can), and
// none is left past the end of a finalised or abandoned file.
TEST_F(AviWriterTest, SpaceReservedAheadIsGivenBackWhenTheFileCloses) {
    const auto allocated = [](const std::filesystem::path& path) {
        struct stat status {};
        EXPECT_EQ(::stat(path.c_str(), &status), 0);
        return uint64_t(status.st_blocks) * 512;
    };
    platform::OutputFile probe;
    ASSERT_TRUE(probe.Open(Path("probe")));
    const bool reserves = probe.Reserve(0, 1 << 20);
    probe.Close();

    const int32_t width = 320, height = 240;
    const uint64_t chunk = 8 + uint64_t(width) * height * 3;
    for (const bool finalise : {true, false}) {
        const auto avi = Path(finalise ? "finalised.avi" : "abandoned.avi");
        AviWriter writer;
        ASSERT_EQ(writer.Open(avi, width, height, 24), AviWriteResult::kWritten);
        WriteFrames(writer, width, height, 3);
        const uint64_t size = std::filesystem::file_size(avi);
        ASSERT_EQ(size, 232 + 3 * chunk);
        if (reserves) {
            EXPECT_GE(allocated(avi), size + 4 * chunk) << "frames ahead reserved";
        }
        if (finalise) {
            ASSERT_EQ(writer.Close(3000), AviWriteResult::kWritten);
        } else {
            writer.Reset();
        }
        const uint64_t kept = std::filesystem::file_size(avi);
        EXPECT_EQ(kept, finalise ? size + 8 + 3 * 16 : size);
        EXPECT_LT(allocated(avi), kept + 65536) << (finalise ? "finalised" : "abandoned");
    }
}

TEST_F(AviWriterTest, ResetAbandonsAndReopenTruncates) {
    AviWriter writer;
    const auto avi = Path("again.avi");
    ASSERT_EQ(writer.Open(avi, 16, 16, 24), AviWriteResult::kWritten);
    WriteFrames(writer, 16, 16, 3);
    writer.Reset();
    auto b = ReadFileBytes(avi);
    EXPECT_EQ(b.size(), 232u + 3 * (8 + 768));
    EXPECT_EQ(Le32(b, 4), 0u) << "an abandoned file is not finalised";
    EXPECT_EQ(writer.Close(3000), AviWriteResult::kFailed) << "nothing open";
    EXPECT_EQ(writer.WriteFrame(b.data()), AviWriteResult::kFailed);

    ASSERT_EQ(writer.Open(avi, 16, 16, 24), AviWriteResult::kWritten);
    EXPECT_EQ(std::filesystem::file_size(avi), 232u);
    EXPECT_EQ(writer.Open(Path("no/such/folder.avi"), 16, 16, 24), AviWriteResult::kFailed);
    EXPECT_FALSE(writer.IsOpen());
    EXPECT_EQ(writer.Open(Path("bad.avi"), 0, 16, 24), AviWriteResult::kFailed);
}

TEST_F(AviWriterTest, CheckpointedFilePlaysItsWholeFramesWhenNeverFinalised) {
    AviWriter writer;
    const auto avi = Path("cut.avi");
    ASSERT_EQ(writer.Open(avi, 12, 8, 24), AviWriteResult::kWritten);
    auto frames = WriteFrames(writer, 12, 8, 3);
    ASSERT_EQ(writer.Checkpoint(2500), AviWriteResult::kWritten);
    // A frame written after the update, and one cut off halfway, as a killed process leaves them.
    frames.push_back(WriteFrames(writer, 12, 8, 1).front());
    ASSERT_EQ(writer.BeginFrame(), AviWriteResult::kWritten);
    std::vector<uint8_t> half(writer.FrameBytes() / 2, 0x33);
    const iovec part{half.data(), half.size()};
    ASSERT_EQ(writer.AppendFrame(&part, 1), AviWriteResult::kWritten);
    const auto b = ReadFileBytes(avi);
    const uint32_t chunk = 8 + 36 * 8;
    EXPECT_EQ(Le32(b, 4), 220 + 4 + 3 * chunk);
    EXPECT_EQ(Le32(b, 224), 4 + 3 * chunk);
    EXPECT_EQ(Le32(b, 48), 3u);
    EXPECT_EQ(Le32(b, 140), 3u);
    EXPECT_EQ(Le32(b, 32), 40000u);
    // Players read on past the stated list to the last whole frame; the cut one is dropped.
    ExpectPlaysBack(avi, 12, 8, frames, "25/1");
    writer.Reset();
}

TEST_F(AviWriterTest, CheckpointsLeaveTheFinishedFileUnchanged) {
    const auto plain = Path("plain.avi");
    const auto updated = Path("updated.avi");
    AviWriter a, b;
    ASSERT_EQ(a.Open(plain, 7, 5, 24), AviWriteResult::kWritten);
    ASSERT_EQ(b.Open(updated, 7, 5, 24), AviWriteResult::kWritten);
    for (int i = 0; i < 4; ++i) {
        WriteFrames(a, 7, 5, 1);
        WriteFrames(b, 7, 5, 1);
        ASSERT_EQ(b.Checkpoint(1000 + i), AviWriteResult::kWritten);
    }
    ASSERT_EQ(a.Close(2997), AviWriteResult::kWritten);
    ASSERT_EQ(b.Close(2997), AviWriteResult::kWritten);
    EXPECT_EQ(ReadFileBytes(plain), ReadFileBytes(updated));
}

TEST_F(AviWriterTest, PiecesThatDoNotMakeOneFrameFailIt) {
    AviWriter writer;
    const auto avi = Path("pieces.avi");
    ASSERT_EQ(writer.Open(avi, 4, 4, 24), AviWriteResult::kWritten);
    const auto frames = WriteFrames(writer, 4, 4, 2);
    std::vector<uint8_t> bytes(writer.FrameBytes() + 1, 0x44);
    const iovec tooMuch{bytes.data(), bytes.size()};
    ASSERT_EQ(writer.BeginFrame(), AviWriteResult::kWritten);
    EXPECT_EQ(writer.BeginFrame(), AviWriteResult::kFailed) << "one frame at a time";
    EXPECT_EQ(writer.AppendFrame(&tooMuch, 1), AviWriteResult::kFailed);
    EXPECT_EQ(writer.EndFrame(), AviWriteResult::kFailed);
    EXPECT_EQ(writer.WriteFrame(bytes.data()), AviWriteResult::kFailed) << "failed for good";
    ASSERT_EQ(writer.Close(3000), AviWriteResult::kWritten);
    ExpectPlaysBack(avi, 4, 4, frames, "10000000/333333");

    ASSERT_EQ(writer.Open(avi, 4, 4, 24), AviWriteResult::kWritten);
    const auto kept = WriteFrames(writer, 4, 4, 1);
    const iovec shortFrame{bytes.data(), 10};
    ASSERT_EQ(writer.BeginFrame(), AviWriteResult::kWritten);
    ASSERT_EQ(writer.AppendFrame(&shortFrame, 1), AviWriteResult::kWritten);
    EXPECT_EQ(writer.EndFrame(), AviWriteResult::kFailed);
    ASSERT_EQ(writer.Close(3000), AviWriteResult::kWritten);
    EXPECT_EQ(std::filesystem::file_size(avi), 232u + (8 + 48) + 8 + 16) << "short frame cut off";
    ExpectPlaysBack(avi, 4, 4, kept, "10000000/333333");
}

// --- conversion of each output depth into the 24-bit bottom-up frame

// The frame a plain per-pixel reading of the image gives: rows bottom-up, B, G, R bytes, samples
// wider than 8 bits reduced by `down`, gray through the palette, zero row padding.
std::vector<uint8_t> ReferenceFrame(const ImageBuffer& image, int down) {
    const int32_t width = image.Width(), height = image.Height();
    const size_t stride = (size_t(width) * 3 + 3) & ~size_t{3};
    std::vector<uint8_t> frame(stride * height, 0);
    const auto word = [down](const uint8_t* p) {
        return uint8_t(((p[0] | p[1] << 8) >> down) & 255);
    };
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* row = image.Bits() + size_t(y) * image.Stride();
        uint8_t* out = frame.data() + size_t(height - 1 - y) * stride;
        for (int32_t x = 0; x < width; ++x) {
            uint8_t* bgr = out + 3 * x;
            switch (image.BitCount()) {
                case 8: {
                    const gdi::RGBQUAD& entry = image.Palette()[row[x]];
                    bgr[0] = entry.rgbBlue, bgr[1] = entry.rgbGreen, bgr[2] = entry.rgbRed;
                    break;
                }
                case 16:
                    bgr[0] = bgr[1] = bgr[2] = word(row + 2 * x);
                    break;
                default: {
                    const int bytes = image.BytesPerPixel();
                    const bool wide = image.BitCount() >= 48;
                    for (int c = 0; c < 3; ++c) {
                        bgr[c] = wide ? word(row + bytes * x + 2 * c) : row[bytes * x + c];
                    }
                }
            }
        }
    }
    return frame;
}

// Every depth on random pixels (row padding full of garbage included) and random sizes, with the
// processor's row converters and the plain ones, at two sample depths: the converted frame is the
// reference, and Record puts exactly those bytes into the file.
TEST_F(AviWriterTest, FramesMatchAPlainReadingOfTheImage) {
    std::mt19937 random(20261208);
    for (const bool plain : {false, true}) {
        UsePlainRows(plain);
        for (int round = 0; round < 12; ++round) {
            const int32_t width = 1 + int32_t(random() % (round < 6 ? 40 : 700));
            const int32_t height = 1 + int32_t(random() % 60);
            const int significant = round % 2 == 0 ? 10 : 12;
            SampleScale scale;
            ASSERT_TRUE(SampleScale::FromSignificantBits(significant, &scale));
            for (int depth : {8, 16, 24, 32, 48, 64}) {
                ImageBuffer image;
                ASSERT_EQ(image.Create(width, height, depth), 1);
                for (size_t i = 0; i < image.SizeBytes(); ++i) image.Bits()[i] = uint8_t(random());
                const std::vector<uint8_t> expected = ReferenceFrame(image, scale.down);
                const std::string where = std::to_string(width) + " x " + std::to_string(height) +
                                          " at " + std::to_string(depth) +
                                          (plain ? ", plain rows" : "");

                RecordFrameConverter converter;
                ASSERT_EQ(converter.Prepare(width, height), 1);
                const uint8_t* frame = converter.Convert(image, scale);
                ASSERT_NE(frame, nullptr) << where;
                ASSERT_TRUE(std::equal(expected.begin(), expected.end(), frame)) << where;

                AviWriter writer;
                ASSERT_EQ(writer.Open(Path("frames.avi"), width, height, depth),
                          AviWriteResult::kWritten);
                for (int f = 0; f < 2; ++f) {
                    ASSERT_EQ(converter.Record(image, writer, scale), AviWriteResult::kWritten);
                }
                ASSERT_EQ(writer.Close(3000), AviWriteResult::kWritten);
                const auto file = ReadFileBytes(Path("frames.avi"));
                for (size_t f = 0; f < 2; ++f) {
                    const size_t chunk = 232 + f * (8 + expected.size());
                    ASSERT_GE(file.size(), chunk + 8 + expected.size()) << where;
                    EXPECT_EQ(Tag(file, chunk), "00db") << where;
                    EXPECT_EQ(Le32(file, chunk + 4), expected.size()) << where;
                    EXPECT_TRUE(std::equal(expected.begin(), expected.end(),
                                           file.begin() + std::ptrdiff_t(chunk + 8)))
                        << where << ", frame " << f;
                }
            }
        }
    }
    UsePlainRows(false);
}

TEST(RecordFrameConverterTest, EveryDepthBecomesBottomUpEightBitBgr) {
    for (int depth : {8, 16, 24, 32, 48, 64}) {
        ImageBuffer image;
        ASSERT_EQ(image.Create(5, 3, depth), 1);
        FillPattern(image);
        RecordFrameConverter converter;
        ASSERT_EQ(converter.Prepare(5, 3), 1);
        const uint8_t* frame = converter.Convert(image);
        ASSERT_NE(frame, nullptr) << depth;
        const int32_t stride = converter.Frame().Stride();
        ASSERT_EQ(stride, 16);
        const bool wide = test::WideSamples(depth);
        for (int32_t row = 0; row < 3; ++row) {
            const int32_t y = 2 - row;  // frame rows run bottom-up
            for (int32_t x = 0; x < 5; ++x) {
                for (int c = 0; c < 3; ++c) {
                    const int channel = depth <= 16 ? 0 : c;
                    uint16_t v = PatternSample(x, y, channel, wide ? 1023 : 255);
                    if (wide) v = (v >> 2) & 0xFF;
                    ASSERT_EQ(frame[row * stride + 3 * x + c], v)
                        << depth << " at " << x << "," << y << " c " << c;
                }
            }
            EXPECT_EQ(frame[row * stride + 15], 0) << "padding stays zero";
        }
    }
}

TEST_F(AviWriterTest, ConverterRefusesImagesOfAnotherSize) {
    RecordFrameConverter converter;
    ImageBuffer image;
    ASSERT_EQ(image.Create(8, 8, 24), 1);
    EXPECT_EQ(converter.Convert(image), nullptr) << "nothing prepared";
    ASSERT_EQ(converter.Prepare(8, 4), 1);
    EXPECT_EQ(converter.Convert(image), nullptr);
    AviWriter writer;
    ASSERT_EQ(writer.Open(Path("other.avi"), 8, 4, 24), AviWriteResult::kWritten);
    EXPECT_EQ(converter.Record(image, writer), AviWriteResult::kFailed);
    EXPECT_EQ(converter.Prepare(0, 4), 0);
    EXPECT_FALSE(converter.Frame().Usable());
    EXPECT_EQ(converter.Record(image, writer), AviWriteResult::kFailed) << "nothing prepared";
}

}  // namespace
}  // namespace tavlin::output
