// PNG through libpng: gray, RGB or RGBA at depth 8 or 16, one row at a time. Rows go in as
// B, G, R (png_set_bgr); 16-bit samples are scaled to the full 16 bits and stored high byte first,
// as PNG requires.
#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "diag/log.h"
#include "output/image_file_formats.h"

namespace tavlin::output::detail {

namespace {

// The one line the library prints: libpng's reason for giving up.
[[noreturn]] void ReportAndJumpBack(png_structp png, png_const_charp message) {
    std::fprintf(stderr, "libpng error: %s\n", message);
    TAVLIN_LOG(Output, Error, "libpng: %s", message);
    png_longjmp(png, 1);
}

// With logging on, libpng's warnings go to the log instead of its own stderr line.
void LogWarning(png_structp, png_const_charp message) {
    TAVLIN_LOG(Output, Warn, "libpng: %s", message);
}

struct PngLayout {
    int bitDepth;
    int colorType;
    size_t rowBytes;  // of the converted row; 0 when rows are written from the image as they are
};

PngLayout LayoutFor(const ImageBuffer& image) {
    const auto width = static_cast<size_t>(image.Width());
    switch (image.BitCount()) {
        case 8:
            return {8, PNG_COLOR_TYPE_GRAY, 0};
        case 16:
            return {16, PNG_COLOR_TYPE_GRAY, width * 2};
        case 24:
            return {8, PNG_COLOR_TYPE_RGB, 0};
        case 32:
            return {8, PNG_COLOR_TYPE_RGB_ALPHA, width * 4};
        case 48:
            return {16, PNG_COLOR_TYPE_RGB, width * 6};
        default:  // 64
            return {16, PNG_COLOR_TYPE_RGB_ALPHA, width * 8};
    }
}

// B, G, R scaled and big-endian; the fourth word is opaque.
void OpaqueWideRow(const uint8_t* src, uint8_t* dst, int32_t width, SampleScale scale) {
    ScaleWordsBigEndian(src, dst, width * 4, scale);
    for (int32_t x = 0; x < width; ++x) dst[8 * x + 6] = dst[8 * x + 7] = 0xFF;
}

const uint8_t* RowToWrite(const ImageBuffer& image, int32_t row, uint8_t* converted,
                          SampleScale scale) {
    const uint8_t* src = image.Bits() + static_cast<size_t>(row) * image.Stride();
    const int32_t width = image.Width();
    switch (image.BitCount()) {
        case 16:
            ScaleWordsBigEndian(src, converted, width, scale);
            return converted;
        case 32:
            InvertFourthBytesRow(src, converted, width);
            return converted;
        case 48:
            ScaleWordsBigEndian(src, converted, width * 3, scale);
            return converted;
        case 64:
            OpaqueWideRow(src, converted, width, scale);
            return converted;
        default:
            return src;
    }
}

}  // namespace

int WritePngFile(const std::string& fileName, const ImageBuffer& image, SampleScale scale) {
    std::FILE* file = std::fopen(fileName.c_str(), "wbe");
    if (file == nullptr) {
        TAVLIN_LOG(Output, Warn, "cannot create %s: %s", fileName.c_str(), std::strerror(errno));
        return 0;
    }
    // The installed library's own version text: libpng refuses to run with another series'.
    const png_error_ptr warning =
        diag::On(diag::Category::Output, diag::Level::Warn) ? LogWarning : nullptr;
    png_structp png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, ReportAndJumpBack, warning);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (png == nullptr || info == nullptr) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        return 0;
    }
    const PngLayout layout = LayoutFor(image);
    std::unique_ptr<uint8_t[]> converted;
    if (layout.rowBytes != 0) converted.reset(new (std::nothrow) uint8_t[layout.rowBytes]);

    if (setjmp(png_jmpbuf(png)) != 0) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        return 0;
    }
    if (layout.rowBytes != 0 && !converted) png_error(png, "Zazivuduv: Out of memory");
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.Width()),
                 static_cast<png_uint_32>(image.Height()), layout.bitDepth, layout.colorType,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_set_bgr(png);
    for (int32_t row = 0; row < image.Height(); ++row) {
        png_write_row(png, RowToWrite(image, row, converted.get(), scale));
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    // Buffered bytes reach the disk only here; a full disk shows up now.
    return std::fclose(file) == 0 ? 1 : 0;
}

}  // namespace tavlin::output::detail
