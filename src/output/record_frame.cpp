#include "output/record_frame.h"

namespace tavlin::output {

namespace {

bool RecordableDepth(uint16_t bitCount) {
    return bitCount == 8 || bitCount == 16 || bitCount == 24 || bitCount == 32 || bitCount == 48 ||
           bitCount == 64;
}

}  // namespace

int RecordFrameConverter::Prepare(int32_t width, int32_t height) {
    Release();
    if (width <= 0 || height <= 0) return 0;
    // Zeroed once: the converters never write a row's padding.
    return frame_.Create(width, height, 24);
}

void RecordFrameConverter::Release() {
    converted_ = false;
    frame_.Release();
}

bool RecordFrameConverter::Matches(const ImageBuffer& image) const {
    return frame_.Usable() && image.Usable() && image.Width() == frame_.Width() &&
           image.Height() == frame_.Height() && RecordableDepth(image.BitCount());
}

const uint8_t* RecordFrameConverter::Convert(const ImageBuffer& image, SampleScale scale) {
    if (!Matches(image)) return nullptr;
    const int32_t width = frame_.Width();
    const int32_t height = frame_.Height();
    const auto stride = static_cast<size_t>(frame_.Stride());
    const uint16_t bytesPerPixel = image.BytesPerPixel();
    const PaletteTable palette =
        image.BitCount() == 8 ? PaletteTable::From(image.Palette()) : PaletteTable{};
    // The image is read in memory order, where the hardware prefetcher keeps up; the frame's rows
    // are filled from its end. Walking the image backwards costs nearly twice as much.
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* src = image.Bits() + static_cast<size_t>(y) * image.Stride();
        uint8_t* dst = frame_.Bits() + static_cast<size_t>(height - 1 - y) * stride;
        switch (image.BitCount()) {
            case 8:
                ExpandPaletteRow(src, palette, dst, width);
                break;
            case 16:
                ReduceGrayToBgrRow(src, dst, width, scale);
                break;
            case 24:
            case 32:
                CopyBgrRow(src, bytesPerPixel, dst, width);
                break;
            default:
                ReduceBgrRow(src, bytesPerPixel, dst, width, scale);
                break;
        }
    }
    converted_ = true;
    return frame_.Bits();
}

AviWriteResult RecordFrameConverter::WriteConverted(AviWriter& writer) const {
    if (!converted_ || writer.Width() != frame_.Width() || writer.Height() != frame_.Height()) {
        return AviWriteResult::kFailed;
    }
    return writer.WriteFrame(frame_.Bits());
}

AviWriteResult RecordFrameConverter::Record(const ImageBuffer& image, AviWriter& writer,
                                            SampleScale scale) {
    if (writer.Width() != frame_.Width() || writer.Height() != frame_.Height()) {
        return AviWriteResult::kFailed;
    }
    return Convert(image, scale) != nullptr ? WriteConverted(writer) : AviWriteResult::kFailed;
}

}  // namespace tavlin::output
