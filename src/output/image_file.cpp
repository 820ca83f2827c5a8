#include "output/image_file.h"

#include <sys/uio.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "diag/log.h"
#include "output/block_buffer.h"
#include "output/image_file_formats.h"
#include "platform/file_size_signal.h"
#include "platform/output_file.h"
#include "sensor/color_mode.h"

namespace tavlin::output {

namespace {

void PutLe16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

void PutLe32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

std::array<gdi::RGBQUAD, 256> GrayRamp() {
    std::array<gdi::RGBQUAD, 256> ramp{};
    for (int i = 0; i < 256; ++i) {
        const auto level = static_cast<uint8_t>(i);
        ramp[i] = {level, level, level, 0};
    }
    return ramp;
}

}  // namespace

namespace detail {

int WriteBmpFile(const std::string& fileName, const ImageBuffer& image) {
    // The file stores the picture bottom-up. Rows are put in file order a block at a time, each
    // block filled reading the image in memory order: handing the kernel the rows last one first
    // costs it more than the copy, as the prefetcher does not follow a backward walk.
    const auto stride = static_cast<size_t>(image.Stride());
    const int32_t rowsPerBlock = RowsPerWriteBlock(stride);
    uint8_t* block = ThreadBlockBuffer(stride * static_cast<size_t>(rowsPerBlock));
    if (block == nullptr) return 0;
    platform::OutputFile file;
    if (!file.Open(fileName)) return 0;

    const bool hasPalette = image.BitCount() <= 8;
    const uint32_t dataOffset = hasPalette ? 1078 : 54;
    std::array<uint8_t, 14> fileHeader{};
    PutLe16(&fileHeader[0], 0x4D42);  // "BM"
    PutLe32(&fileHeader[2], dataOffset + static_cast<uint32_t>(image.SizeBytes()));
    PutLe32(&fileHeader[10], dataOffset);
    static const std::array<gdi::RGBQUAD, 256> kGrayRamp = GrayRamp();

    // The headers go out with the first block.
    std::array<iovec, 4> parts{};
    size_t count = 0;
    parts[count++] = {fileHeader.data(), fileHeader.size()};
    parts[count++] = {const_cast<gdi::BITMAPINFOHEADER*>(&image.Header()),
                      sizeof(gdi::BITMAPINFOHEADER)};
    if (hasPalette) {
        parts[count++] = {const_cast<gdi::RGBQUAD*>(kGrayRamp.data()), sizeof(kGrayRamp)};
    }
    const int32_t height = image.Height();
    bool written = true;
    for (int32_t first = 0; written && first < height; first += rowsPerBlock) {
        const int32_t rows = std::min(rowsPerBlock, height - first);
        const int32_t top = height - first - rows;  // memory row of the block's last file row
        for (int32_t y = top; y < top + rows; ++y) {
            std::memcpy(block + static_cast<size_t>(top + rows - 1 - y) * stride,
                        image.Bits() + static_cast<size_t>(y) * stride, stride);
        }
        parts[count++] = {block, stride * static_cast<size_t>(rows)};
        written = file.WriteGather(parts.data(), count);
        count = 0;
    }
    return file.Close() && written ? 1 : 0;
}

int WriteRawFile(const std::string& fileName, const ImageBuffer& image) {
    platform::OutputFile file;
    if (!file.Open(fileName)) return 0;
    const bool written = file.Write(image.Bits(), image.SizeBytes());
    return file.Close() && written ? 1 : 0;
}

}  // namespace detail

int SnapshotImage(const ImageBuffer& image, ImageBuffer& copy) {
    if (&image == &copy) return image.Usable() ? 1 : 0;
    if (!image.Usable() || copy.CreateLike(&image) != 1) {
        copy.Release();
        return 0;
    }
    std::memcpy(copy.Bits(), image.Bits(), image.SizeBytes());
    return 1;
}

int SaveImageFile(const std::string& fileName, const ImageBuffer& image, int formatCode,
                  int significantBits) {
    if (formatCode < kFileBmp || formatCode > kFileTiff) return 0;
    SampleScale scale;
    if (!image.Usable() || !sensor::IsImageDepth(image.BitCount()) || fileName.empty() ||
        !SampleScale::FromSignificantBits(significantBits, &scale)) {
        return 0;
    }
    // The codec libraries write through their own calls; none of them may end the process at
    // the file size limit.
    const platform::FileSizeSignalGuard sizeLimit;
    const int written = [&] {
        switch (formatCode) {
            case kFileBmp:
                return detail::WriteBmpFile(fileName, image);
            case kFileRaw:
                return detail::WriteRawFile(fileName, image);
            case kFileJpeg100:
                return detail::WriteJpegFile(fileName, image, 100, scale);
            case kFileJpeg70:
                return detail::WriteJpegFile(fileName, image, 70, scale);
            case kFileJpeg20:
                return detail::WriteJpegFile(fileName, image, 20, scale);
            case kFilePng:
                return detail::WritePngFile(fileName, image, scale);
            default:
                return detail::WriteTiffFile(fileName, image, scale);
        }
    }();
    if (written == 0) {
        TAVLIN_LOG(Output, Warn, "%s: writing file format %d failed", fileName.c_str(), formatCode);
    } else {
        TAVLIN_LOG(Output, Debug, "%s written (file format %d)", fileName.c_str(), formatCode);
    }
    return written;
}

}  // namespace tavlin::output
