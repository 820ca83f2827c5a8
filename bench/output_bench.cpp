// Saving a 1280 x 1024 image in every pixel format and file format, and recording a 60-frame AVI,
// each next to what it cannot beat: the codec library alone on the same (already converted)
// pixels, and one plain write() of the same number of bytes. Ratios read as "times the anchor".
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <jpeglib.h>
#include <png.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "output/avi_writer.h"
#include "output/image_file.h"
#include "output/record_frame.h"
#include "output/sample_rows.h"

namespace {

using tavlin::output::ImageBuffer;

constexpr int32_t kWidth = 1280;
constexpr int32_t kHeight = 1024;
const std::vector<int64_t> kDepths = {8, 16, 24, 32, 48, 64};

const std::string& Folder() {
    static const std::string folder = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "output-bench-XXXXXX");
        return std::string(mkdtemp(pattern.data()));
    }();
    return folder;
}

// Something like a camera frame: smooth shading with a little noise, so codecs do real work.
ImageBuffer MakeImage(int32_t bitCount) {
    ImageBuffer image;
    image.Create(kWidth, kHeight, bitCount);
    const bool wide = bitCount == 16 || bitCount == 48 || bitCount == 64;
    const int samples = bitCount / (wide ? 16 : 8);
    uint32_t noise = 12345;
    for (int32_t y = 0; y < kHeight; ++y) {
        uint8_t* row = image.Bits() + static_cast<size_t>(y) * image.Stride();
        for (int32_t x = 0; x < kWidth; ++x) {
            for (int c = 0; c < samples; ++c) {
                noise = noise * 1103515245 + 12345;
                const int v = ((x + c * 100) / 6 + y / 5 + ((noise >> 16) & 7)) & 0xFF;
                if (wide) {
                    const int v10 = v << 2;
                    row[(x * samples + c) * 2] = static_cast<uint8_t>(v10);
                    row[(x * samples + c) * 2 + 1] = static_cast<uint8_t>(v10 >> 8);
                } else {
                    row[x * samples + c] = static_cast<uint8_t>(v);
                }
            }
        }
    }
    return image;
}

// Runs `measured` and `anchor` alternately, each into a new file (`measuredFile`, `anchorFile`,
// removed untimed before each run), and reports the measured
// time per iteration with the anchor's next to it and their ratio. Taken in turns, both see the
// same page-cache state: dirty pages piling up from earlier iterations and their writeback make
// either vary by a third from one repetition to the next.
template <typename Measured, typename Anchor>
void Paired(benchmark::State& state, const std::string& measuredFile, const std::string& anchorFile,
            Measured&& measured, Anchor&& anchor) {
    const auto clean = [&] {
        std::filesystem::remove(measuredFile);
        std::filesystem::remove(anchorFile);
    };
    using Clock = std::chrono::steady_clock;
    double measuredSeconds = 0, anchorSeconds = 0;
    for (auto _ : state) {
        clean();
        const Clock::time_point a = Clock::now();
        anchor();
        const Clock::time_point b = Clock::now();
        clean();
        const Clock::time_point c = Clock::now();
        measured();
        const Clock::time_point d = Clock::now();
        const double seconds = std::chrono::duration<double>(d - c).count();
        anchorSeconds += std::chrono::duration<double>(b - a).count();
        measuredSeconds += seconds;
        state.SetIterationTime(seconds);
    }
    state.counters["anchor_ms"] =
        benchmark::Counter(1000 * anchorSeconds, benchmark::Counter::kAvgIterations);
    state.counters["ratio"] = anchorSeconds > 0 ? measuredSeconds / anchorSeconds : 0;
}

// One open and close of `file` with `writes` write() calls of `data` between them.
void WriteFile(const std::string& file, const std::vector<uint8_t>& data, int writes = 1) {
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    for (int i = 0; i < writes; ++i)
        benchmark::DoNotOptimize(::write(fd, data.data(), data.size()));
    ::close(fd);
}

// The codecs alone get the pixels exactly as the writer hands them over (reduced, scaled, in the
// writer's byte order), packed, with the writer's settings.
struct CodecInput {
    std::vector<uint8_t> rows;
    size_t rowBytes = 0;
    int channels = 0;  // JPEG: input components; PNG: samples per pixel
    bool wide = false;
};

CodecInput JpegInput(const ImageBuffer& image) {
    CodecInput input;
    const int32_t bits = image.BitCount();
    input.channels = bits <= 16 ? 1 : bits == 32 ? 4 : 3;
    input.rowBytes = size_t{kWidth} * input.channels;
    input.rows.resize(input.rowBytes * kHeight);
    const tavlin::output::SampleScale scale;
    for (int32_t y = 0; y < kHeight; ++y) {
        const uint8_t* src = image.Bits() + size_t(y) * image.Stride();
        uint8_t* dst = input.rows.data() + size_t(y) * input.rowBytes;
        if (bits == 16) {
            tavlin::output::ReduceGrayRow(src, dst, kWidth, scale);
        } else if (bits >= 48) {
            tavlin::output::ReduceBgrRow(src, image.BytesPerPixel(), dst, kWidth, scale);
        } else {
            std::copy_n(src, input.rowBytes, dst);
        }
    }
    return input;
}

void EncodeJpeg(const CodecInput& input, const std::string& file) {
    FILE* out = std::fopen(file.c_str(), "wb");
    jpeg_compress_struct info{};
    jpeg_error_mgr error{};
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, out);
    info.image_width = kWidth;
    info.image_height = kHeight;
    info.input_components = input.channels;
    info.in_color_space = input.channels == 1   ? JCS_GRAYSCALE
                          : input.channels == 4 ? JCS_EXT_BGRX
                                                : JCS_EXT_BGR;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 100, TRUE);
    jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row =
            const_cast<uint8_t*>(input.rows.data()) + size_t(info.next_scanline) * input.rowBytes;
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::fclose(out);
}

CodecInput PngInput(const ImageBuffer& image) {
    CodecInput input;
    const int32_t bits = image.BitCount();
    input.wide = bits == 16 || bits == 48 || bits == 64;
    input.channels = bits / (input.wide ? 16 : 8);
    input.rowBytes = size_t{kWidth} * input.channels * (input.wide ? 2 : 1);
    input.rows.resize(input.rowBytes * kHeight);
    const tavlin::output::SampleScale scale;
    for (int32_t y = 0; y < kHeight; ++y) {
        const uint8_t* src = image.Bits() + size_t(y) * image.Stride();
        uint8_t* dst = input.rows.data() + size_t(y) * input.rowBytes;
        if (input.wide) {
            tavlin::output::ScaleWordsBigEndian(src, dst, kWidth * input.channels, scale);
            if (input.channels == 4) {
                for (int32_t x = 0; x < kWidth; ++x) dst[8 * x + 6] = dst[8 * x + 7] = 0xFF;
            }
        } else {
            std::copy_n(src, input.rowBytes, dst);
            if (input.channels == 4) {
                for (int32_t x = 0; x < kWidth; ++x) dst[4 * x + 3] = uint8_t(255 - src[4 * x + 3]);
            }
        }
    }
    return input;
}

void EncodePng(const CodecInput& input, const std::string& file) {
    const int colorType = input.channels == 1   ? PNG_COLOR_TYPE_GRAY
                          : input.channels == 3 ? PNG_COLOR_TYPE_RGB
                                                : PNG_COLOR_TYPE_RGB_ALPHA;
    FILE* out = std::fopen(file.c_str(), "wb");
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, out);
    png_set_IHDR(png, info, kWidth, kHeight, input.wide ? 16 : 8, colorType, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_set_bgr(png);
    for (int32_t y = 0; y < kHeight; ++y) {
        png_write_row(png, input.rows.data() + size_t(y) * input.rowBytes);
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    std::fclose(out);
}

// Saving as JPEG (quality 100) or PNG next to the codec alone on the same pixels.
void SaveVsCodec(benchmark::State& state) {
    const auto bitCount = static_cast<int32_t>(state.range(0));
    const auto format = static_cast<int>(state.range(1));
    const bool jpeg = format == tavlin::output::kFileJpeg100;
    const ImageBuffer image = MakeImage(bitCount);
    const CodecInput input = jpeg ? JpegInput(image) : PngInput(image);
    const std::string file = Folder() + "/codec";
    const std::string alone = Folder() + "/codec-alone";
    Paired(
        state, file, alone, [&] { tavlin::output::SaveImageFile(file, image, format, 10); },
        [&] { jpeg ? EncodeJpeg(input, alone) : EncodePng(input, alone); });
}
BENCHMARK(SaveVsCodec)
    ->ArgsProduct({kDepths, {tavlin::output::kFileJpeg100, tavlin::output::kFilePng}})
    ->ArgNames({"bits", "format"})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// Saving next to one write() of the saved file's size (BMP, raw and TIFF: no compression).
void SaveVsWrite(benchmark::State& state) {
    const auto bitCount = static_cast<int32_t>(state.range(0));
    const auto format = static_cast<int>(state.range(1));
    const ImageBuffer image = MakeImage(bitCount);
    const std::string file = Folder() + "/paired";
    if (tavlin::output::SaveImageFile(file, image, format, 10) != 1) {
        state.SkipWithError("save failed");
        return;
    }
    const std::vector<uint8_t> data(std::filesystem::file_size(file), 7);
    const std::string plain = Folder() + "/paired-plain";
    Paired(
        state, file, plain, [&] { tavlin::output::SaveImageFile(file, image, format, 10); },
        [&] { WriteFile(plain, data); });
}
BENCHMARK(SaveVsWrite)
    ->ArgsProduct({kDepths, {0, 1, 6}})
    ->ArgNames({"bits", "format"})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// A whole 60-frame recording (open, per frame the conversion and the write, finalisation) next to
// 60 write() calls of a frame chunk's bytes into a new file.
void Avi60Frames(benchmark::State& state) {
    const auto bitCount = static_cast<int32_t>(state.range(0));
    const ImageBuffer image = MakeImage(bitCount);
    tavlin::output::RecordFrameConverter converter;
    converter.Prepare(kWidth, kHeight);
    tavlin::output::AviWriter writer;
    const std::string file = Folder() + "/record.avi";
    const std::vector<uint8_t> chunk(size_t{kWidth} * kHeight * 3 + 8, 7);
    const std::string plain = Folder() + "/plain.avi";
    Paired(
        state, file, plain,
        [&] {
            writer.Open(file, kWidth, kHeight, static_cast<int16_t>(bitCount));
            for (int frame = 0; frame < 60; ++frame) converter.Record(image, writer);
            writer.Close(tavlin::output::MeasuredAviRate(60, 2000));
        },
        [&] { WriteFile(plain, chunk, 60); });
}
BENCHMARK(Avi60Frames)
    ->ArgsProduct({kDepths})
    ->ArgName("bits")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// The conversion of a recording alone: 60 frames into memory, nothing written.
void AviConvert60Frames(benchmark::State& state) {
    const auto bitCount = static_cast<int32_t>(state.range(0));
    const ImageBuffer image = MakeImage(bitCount);
    tavlin::output::RecordFrameConverter converter;
    converter.Prepare(kWidth, kHeight);
    for (auto _ : state) {
        for (int frame = 0; frame < 60; ++frame) benchmark::DoNotOptimize(converter.Convert(image));
    }
}
BENCHMARK(AviConvert60Frames)
    ->ArgsProduct({kDepths})
    ->ArgName("bits")
    ->Unit(benchmark::kMillisecond);

// The deep conversions alone, the source read from memory (the caches filled with other data
// first, as the page-cache copies between frames do) or from the cache: a 64-bit image to a
// 24-bit AVI frame, and a 16-bit image to TIFF's scaled words. What the two figures differ by is
// the cost of reading the source from memory, which no conversion kernel removes.
void DeepConversionSource(benchmark::State& state) {
    const auto bitCount = static_cast<int32_t>(state.range(0));
    const bool fromMemory = state.range(1) != 0;
    const ImageBuffer image = MakeImage(bitCount);
    tavlin::output::RecordFrameConverter converter;
    converter.Prepare(kWidth, kHeight);
    std::vector<uint8_t> tiffRows(size_t{kWidth} * kHeight * 2);
    const std::vector<uint8_t> other(size_t{64} << 20, 1);
    const tavlin::output::SampleScale scale;
    const auto convert = [&] {
        if (bitCount == 64) {
            benchmark::DoNotOptimize(converter.Convert(image, scale));
            return;
        }
        for (int32_t y = 0; y < kHeight; ++y) {
            tavlin::output::ScaleWordsLittleEndian(image.Bits() + size_t(y) * image.Stride(),
                                                   tiffRows.data() + size_t(y) * kWidth * 2, kWidth,
                                                   scale);
        }
        benchmark::DoNotOptimize(tiffRows.data());
    };
    using Clock = std::chrono::steady_clock;
    for (auto _ : state) {
        if (fromMemory) {
            uint8_t sum = 0;
            for (size_t i = 0; i < other.size(); i += 64) sum += other[i];
            benchmark::DoNotOptimize(sum);
        } else {
            convert();
        }
        const Clock::time_point start = Clock::now();
        convert();
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    }
}
BENCHMARK(DeepConversionSource)
    ->ArgsProduct({{16, 64}, {0, 1}})
    ->ArgNames({"bits", "from_memory"})
    ->Iterations(200)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
