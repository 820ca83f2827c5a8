// Uncompressed TIFF through libtiff: one strip of tightly packed rows (no 4-byte row padding, so
// every width decodes correctly), samples in R, G, B order, 16-bit samples scaled to full range.
#include <tiffio.h>

#include <algorithm>
#include <array>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "diag/log.h"
#include "output/block_buffer.h"
#include "output/image_file_formats.h"

namespace tavlin::output::detail {

namespace {

// libtiff's default handlers print; its messages go to the log only.
template <diag::Level kLevel>
int LogTiffMessage(TIFF*, void*, const char* module, const char* format, va_list args) {
    if (!diag::On(diag::Category::Output, kLevel)) return 1;
    constexpr size_t kMessageBytes = 512;
    std::array<char, kMessageBytes> message{};
    std::vsnprintf(message.data(), message.size(), format, args);
    diag::Write(diag::Category::Output, kLevel, diag::kNoCamera, "libtiff: %s: %s",
                module != nullptr ? module : "-", message.data());
    return 1;
}

struct TiffLayout {
    uint16_t bitsPerSample;
    uint16_t photometric;
    uint16_t samplesPerPixel;
};

TiffLayout LayoutFor(uint16_t bitCount) {
    switch (bitCount) {
        case 8:
            return {8, PHOTOMETRIC_MINISBLACK, 1};
        case 16:
            return {16, PHOTOMETRIC_MINISBLACK, 1};
        case 24:
            return {8, PHOTOMETRIC_RGB, 3};
        case 32:
            return {8, PHOTOMETRIC_RGB, 4};
        case 48:
            return {16, PHOTOMETRIC_RGB, 3};
        default:  // 64
            return {16, PHOTOMETRIC_RGB, 4};
    }
}

// One packed row: B and R swapped, 16-bit samples scaled; the fourth sample is 0 at 8 bits and
// full scale at 16 bits.
void PackRow(const uint8_t* src, uint8_t* dst, const ImageBuffer& image, SampleScale scale) {
    const int32_t width = image.Width();
    switch (image.BitCount()) {
        case 8:
            std::memcpy(dst, src, static_cast<size_t>(width));
            return;
        case 16:
            ScaleWordsLittleEndian(src, dst, width, scale);
            return;
        case 24:
        case 32:
            SwapToRgbRow(src, image.BytesPerPixel(), dst, width);
            return;
        default:  // 48, 64
            SwapToRgbWideRow(src, image.BytesPerPixel(), dst, width, scale);
            return;
    }
}

// Appends the packed rows to strip 0, converted a block at a time (uncompressed data is its own
// raw encoding). Rows that need no change go out straight from the image.
bool WriteStrip(TIFF* tiff, const ImageBuffer& image, SampleScale scale) {
    const size_t packedRow = static_cast<size_t>(image.Width()) * image.BytesPerPixel();
    const auto stride = static_cast<size_t>(image.Stride());
    if (image.BitCount() == 8 && packedRow == stride) {
        const auto bytes = static_cast<tmsize_t>(image.SizeBytes());
        return TIFFWriteRawStrip(tiff, 0, const_cast<uint8_t*>(image.Bits()), bytes) == bytes;
    }
    const int32_t rowsPerBlock = RowsPerWriteBlock(packedRow);
    uint8_t* block = ThreadBlockBuffer(packedRow * static_cast<size_t>(rowsPerBlock));
    if (block == nullptr) return false;
    for (int32_t first = 0; first < image.Height(); first += rowsPerBlock) {
        const int32_t rows = std::min(rowsPerBlock, image.Height() - first);
        for (int32_t r = 0; r < rows; ++r) {
            PackRow(image.Bits() + (first + r) * stride, block + r * packedRow, image, scale);
        }
        const auto bytes = static_cast<tmsize_t>(packedRow * static_cast<size_t>(rows));
        if (TIFFWriteRawStrip(tiff, 0, block, bytes) != bytes) return false;
    }
    return true;
}

TIFF* OpenQuiet(const std::string& fileName) {
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (options == nullptr) return nullptr;
    TIFFOpenOptionsSetErrorHandlerExtR(options, LogTiffMessage<diag::Level::Error>, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options, LogTiffMessage<diag::Level::Warn>, nullptr);
    TIFF* tiff = TIFFOpenExt(fileName.c_str(), "w", options);
    TIFFOpenOptionsFree(options);
    return tiff;
}

}  // namespace

int WriteTiffFile(const std::string& fileName, const ImageBuffer& image, SampleScale scale) {
    const TiffLayout layout = LayoutFor(image.BitCount());
    TIFF* tiff = OpenQuiet(fileName);
    if (tiff == nullptr) return 0;
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(image.Width()));
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(image.Height()));
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, layout.bitsPerSample);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, layout.photometric);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, layout.samplesPerPixel);
    if (layout.samplesPerPixel == 4) {
        // A fourth sample beside R, G, B must be declared; it carries no meaning here.
        const uint16_t extra[] = {EXTRASAMPLE_UNSPECIFIED};
        TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, 1, extra);
    }
    const bool written = WriteStrip(tiff, image, scale);
    // The directory is written by the flush; its failure (a full disk) must not pass silently.
    const bool flushed = written && TIFFFlush(tiff) == 1;
    TIFFClose(tiff);
    return flushed ? 1 : 0;
}

}  // namespace tavlin::output::detail
