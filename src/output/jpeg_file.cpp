// Progressive JPEG through libjpeg. Colour rows go in as B, G, R (the library's extended input
// colour spaces), so 24- and 32-bit images are encoded straight from their memory; 16-bit samples
// are reduced to 8 bits a block of rows at a time.
#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <memory>
#include <new>

#include "output/image_file_formats.h"

// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>

#ifndef JCS_EXTENSIONS
#error "libjpeg with the extended colour spaces (libjpeg-turbo) is required"
#endif

namespace tavlin::output::detail {

namespace {

constexpr int kRowsPerBlock = 16;

// The standard error manager would print and exit(); failures come back to the writer instead.
struct ErrorExit {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

[[noreturn]] void JumpBack(j_common_ptr info) {
    std::longjmp(reinterpret_cast<ErrorExit*>(info->err)->jump, 1);
}

// The library keeps no log: warnings and traces are not printed.
void Quiet(j_common_ptr) {}

struct RowSource {
    J_COLOR_SPACE space;
    int components;
    bool converted;  // false: rows are taken from the image memory as they are
};

RowSource SourceFor(uint16_t bitCount) {
    switch (bitCount) {
        case 8:
            return {JCS_GRAYSCALE, 1, false};
        case 16:
            return {JCS_GRAYSCALE, 1, true};
        case 24:
            return {JCS_EXT_BGR, 3, false};
        case 32:
            return {JCS_EXT_BGRX, 4, false};
        default:  // 48, 64
            return {JCS_EXT_BGR, 3, true};
    }
}

void ConvertRow(const ImageBuffer& image, int32_t row, uint8_t* out, SampleScale scale) {
    const uint8_t* src = image.Bits() + static_cast<size_t>(row) * image.Stride();
    if (image.BitCount() == 16) {
        ReduceGrayRow(src, out, image.Width(), scale);
    } else {
        ReduceBgrRow(src, image.BytesPerPixel(), out, image.Width(), scale);
    }
}

// Feeds every row, top row first, in blocks.
void WriteRows(jpeg_compress_struct& info, const ImageBuffer& image, const RowSource& source,
               uint8_t* block, SampleScale scale) {
    const size_t packedRow = static_cast<size_t>(image.Width()) * source.components;
    JSAMPROW rows[kRowsPerBlock];
    while (info.next_scanline < info.image_height) {
        const auto first = static_cast<int32_t>(info.next_scanline);
        const int count = std::min<int32_t>(kRowsPerBlock, image.Height() - first);
        for (int i = 0; i < count; ++i) {
            if (source.converted) {
                rows[i] = block + i * packedRow;
                ConvertRow(image, first + i, rows[i], scale);
            } else {
                rows[i] = const_cast<uint8_t*>(image.Bits()) +
                          static_cast<size_t>(first + i) * image.Stride();
            }
        }
        jpeg_write_scanlines(&info, rows, static_cast<JDIMENSION>(count));
    }
}

}  // namespace

int WriteJpegFile(const std::string& fileName, const ImageBuffer& image, int quality,
                  SampleScale scale) {
    const RowSource source = SourceFor(image.BitCount());
    std::unique_ptr<uint8_t[]> block;
    if (source.converted) {
        block.reset(
            new (std::nothrow)
                uint8_t[static_cast<size_t>(image.Width()) * source.components * kRowsPerBlock]);
        if (!block) return 0;
    }
    std::FILE* file = std::fopen(fileName.c_str(), "wbe");
    if (file == nullptr) return 0;

    jpeg_compress_struct info{};
    ErrorExit error{};
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = JumpBack;
    error.manager.output_message = Quiet;
    if (setjmp(error.jump) != 0) {
        jpeg_destroy_compress(&info);
        std::fclose(file);
        return 0;
    }
    // The installed library's own version, as jpeg_create_compress passes it.
    jpeg_CreateCompress(&info, JPEG_LIB_VERSION, sizeof(info));
    jpeg_stdio_dest(&info, file);
    info.image_width = static_cast<JDIMENSION>(image.Width());
    info.image_height = static_cast<JDIMENSION>(image.Height());
    info.input_components = source.components;
    info.in_color_space = source.space;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    WriteRows(info, image, source, block.get(), scale);
    jpeg_finish_compress(&info);  // flushes the file and fails on a write error
    jpeg_destroy_compress(&info);
    return std::fclose(file) == 0 ? 1 : 0;
}

}  // namespace tavlin::output::detail
