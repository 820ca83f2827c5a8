#include "output/record_frame.h"

#include <algorithm>
#include <new>

namespace tavlin::output {

namespace {

// Large enough that a frame takes a handful of writes (the kernel's cost per write falls with its
// size up to about a megabyte), small enough to stay in the L2 cache between the conversion and
// the write that copies it out.
constexpr size_t kBlockBytes = 512 * 1024;

const uint8_t kZeroPadding[4] = {};

bool RecordableDepth(uint16_t bitCount) {
    return bitCount == 8 || bitCount == 16 || bitCount == 24 || bitCount == 32 || bitCount == 48 ||
           bitCount == 64;
}

}  // namespace

int RecordFrameConverter::Prepare(int32_t width, int32_t height) {
    Release();
    if (width <= 0 || height <= 0) return 0;
    const size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~size_t{3};
    const auto blockRows =
        static_cast<int32_t>(std::clamp<size_t>(kBlockBytes / stride, 1, size_t(height)));
    block_.reset(new (std::nothrow) uint8_t[stride * static_cast<size_t>(blockRows)]());
    if (!block_) return 0;
    try {
        rows_.reserve(2 * static_cast<size_t>(height));
    } catch (const std::bad_alloc&) {
        Release();
        return 0;
    }
    width_ = width;
    height_ = height;
    stride_ = stride;
    blockRows_ = blockRows;
    return 1;
}

void RecordFrameConverter::Release() {
    width_ = height_ = 0;
    stride_ = 0;
    blockRows_ = 0;
    block_.reset();
    rows_.clear();
    rows_.shrink_to_fit();
    frame_.Release();
}

bool RecordFrameConverter::Matches(const ImageBuffer& image) const {
    return block_ && image.Usable() && image.Width() == width_ && image.Height() == height_ &&
           RecordableDepth(image.BitCount());
}

void RecordFrameConverter::ConvertRows(const ImageBuffer& image, int32_t first, int32_t count,
                                       uint8_t* dst, size_t dstStride, SampleScale scale) const {
    const uint16_t bytesPerPixel = image.BytesPerPixel();
    const PaletteTable palette =
        image.BitCount() == 8 ? PaletteTable::From(image.Palette()) : PaletteTable{};
    for (int32_t row = first; row < first + count; ++row, dst += dstStride) {
        const uint8_t* src = image.Bits() + static_cast<size_t>(height_ - 1 - row) * image.Stride();
        switch (image.BitCount()) {
            case 8:
                ExpandPaletteRow(src, palette, dst, width_);
                break;
            case 16:
                ReduceGrayToBgrRow(src, dst, width_, scale);
                break;
            case 24:
            case 32:
                CopyBgrRow(src, bytesPerPixel, dst, width_);
                break;
            default:
                ReduceBgrRow(src, bytesPerPixel, dst, width_, scale);
                break;
        }
    }
}

AviWriteResult RecordFrameConverter::Record(const ImageBuffer& image, AviWriter& writer,
                                            SampleScale scale) {
    if (!Matches(image) || writer.Width() != width_ || writer.Height() != height_) {
        return AviWriteResult::kFailed;
    }
    const AviWriteResult begun = writer.BeginFrame();
    if (begun != AviWriteResult::kWritten) return begun;
    const AviWriteResult appended = image.BitCount() == 24 ? RecordStraight(image, writer)
                                                           : RecordInBlocks(image, writer, scale);
    const AviWriteResult ended = writer.EndFrame();
    return appended == AviWriteResult::kWritten ? ended : appended;
}

// 24-bit rows are already frame rows: one gather list, last image row first, the padding from
// zeros rather than from the image (whose padding bytes are not promised to be zero).
AviWriteResult RecordFrameConverter::RecordStraight(const ImageBuffer& image, AviWriter& writer) {
    const size_t rowBytes = static_cast<size_t>(width_) * 3;
    const size_t padding = stride_ - rowBytes;
    rows_.clear();
    for (int32_t row = height_ - 1; row >= 0; --row) {
        rows_.push_back(
            {const_cast<uint8_t*>(image.Bits()) + row * size_t(image.Stride()), rowBytes});
        if (padding != 0) rows_.push_back({const_cast<uint8_t*>(kZeroPadding), padding});
    }
    return writer.AppendFrame(rows_.data(), rows_.size()) ? AviWriteResult::kWritten
                                                          : AviWriteResult::kFailed;
}

AviWriteResult RecordFrameConverter::RecordInBlocks(const ImageBuffer& image, AviWriter& writer,
                                                    SampleScale scale) {
    for (int32_t first = 0; first < height_; first += blockRows_) {
        const int32_t rows = std::min(blockRows_, height_ - first);
        ConvertRows(image, first, rows, block_.get(), stride_, scale);
        const iovec part{block_.get(), stride_ * static_cast<size_t>(rows)};
        if (!writer.AppendFrame(&part, 1)) return AviWriteResult::kFailed;
    }
    return AviWriteResult::kWritten;
}

const uint8_t* RecordFrameConverter::Convert(const ImageBuffer& image, SampleScale scale) {
    if (!Matches(image)) return nullptr;
    if (!frame_.Usable() && frame_.Create(width_, height_, 24) != 1) return nullptr;
    ConvertRows(image, 0, height_, frame_.Bits(), static_cast<size_t>(frame_.Stride()), scale);
    return frame_.Bits();
}

}  // namespace tavlin::output
