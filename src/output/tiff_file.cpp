// Uncompressed TIFF through libtiff: one strip of tightly packed rows (no 4-byte row padding, so
// every width decodes correctly), samples in R, G, B order, 16-bit samples scaled to full range.
#include <tiffio.h>

#include <cstdarg>
#include <cstring>
#include <memory>
#include <new>

#include "output/image_file_formats.h"

namespace tavlin::output::detail {

namespace {

// libtiff's default handlers print; the library keeps no log.
int Quiet(TIFF*, void*, const char*, const char*, va_list) {
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
    const uint16_t bpp = image.BytesPerPixel();
    switch (image.BitCount()) {
        case 8:
            std::memcpy(dst, src, static_cast<size_t>(width));
            return;
        case 16:
            ScaleWordsLittleEndian(src, dst, width, scale);
            return;
        case 24:
        case 32:
            for (int32_t x = 0; x < width; ++x, src += bpp, dst += bpp) {
                dst[0] = src[2];
                dst[1] = src[1];
                dst[2] = src[0];
                if (bpp == 4) dst[3] = 0;
            }
            return;
        default:  // 48, 64
            for (int32_t x = 0; x < width; ++x, src += bpp, dst += bpp) {
                ScaleWordsLittleEndian(src + 4, dst, 1, scale);
                ScaleWordsLittleEndian(src + 2, dst + 2, 1, scale);
                ScaleWordsLittleEndian(src, dst + 4, 1, scale);
                if (bpp == 8) dst[6] = dst[7] = 0xFF;
            }
            return;
    }
}

TIFF* OpenQuiet(const std::string& fileName) {
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (options == nullptr) return nullptr;
    TIFFOpenOptionsSetErrorHandlerExtR(options, Quiet, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options, Quiet, nullptr);
    TIFF* tiff = TIFFOpenExt(fileName.c_str(), "w", options);
    TIFFOpenOptionsFree(options);
    return tiff;
}

}  // namespace

int WriteTiffFile(const std::string& fileName, const ImageBuffer& image, SampleScale scale) {
    const TiffLayout layout = LayoutFor(image.BitCount());
    const size_t packedRow = static_cast<size_t>(image.Width()) * image.BytesPerPixel();
    const size_t stripBytes = packedRow * static_cast<size_t>(image.Height());
    std::unique_ptr<uint8_t[]> strip(new (std::nothrow) uint8_t[stripBytes]);
    if (!strip) return 0;
    for (int32_t row = 0; row < image.Height(); ++row) {
        PackRow(image.Bits() + static_cast<size_t>(row) * image.Stride(),
                strip.get() + row * packedRow, image, scale);
    }

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
    const bool written =
        TIFFWriteEncodedStrip(tiff, 0, strip.get(), static_cast<tmsize_t>(stripBytes)) != -1;
    // The directory is written by the flush; its failure (a full disk) must not pass silently.
    const bool flushed = written && TIFFFlush(tiff) == 1;
    TIFFClose(tiff);
    return flushed ? 1 : 0;
}

}  // namespace tavlin::output::detail
